// The ID3 unit: the ID3v1 block at the end of an MP3 file, the seven text
// frames of the ID3v2 tag (2.2 to 2.4) at its start, and a writer of ID3v2.3
// tags of those frames.
#pragma once

#include "audio/MessageError.h"
#include "tags/FileTags.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// A file the unit could not open, read or replace; the message names the file.
class Id3Error : public MessageError {
  public:
    using MessageError::MessageError;
};

// The last 128 bytes of a file as read. Without the marker "TAG" every text
// field and the bytes 125 and 126 are zeros, so the block reads as no tag.
struct Id3v1Block {
    QByteArray bytes = QByteArray(128, '\0');

    bool hasTag() const;
    // Texts are ISO-8859-1, each up to its first zero byte.
    QString title() const;
    QString artist() const;
    QString album() const;
    QString year() const;
    QString comment() const;
    int track() const;
    int genre() const;
};

// The seven texts of an ID3v2 tag that the program reads and writes.
struct Id3v2Tag {
    QString title = {};
    QString artist = {};
    QString album = {};
    QString year = {};
    QString track = {};
    QString comment = {};
    QString genre = {};

    bool operator==(const Id3v2Tag&) const = default;
};

// The fields of FileTags in an ID3v2 record.
inline constexpr TagField<Id3v2Tag> id3v2TagFields[] = {
    {&FileTags::title, &Id3v2Tag::title},     {&FileTags::artist, &Id3v2Tag::artist},
    {&FileTags::year, &Id3v2Tag::year},       {&FileTags::album, &Id3v2Tag::album},
    {&FileTags::comment, &Id3v2Tag::comment}, {&FileTags::genre, &Id3v2Tag::genre}};

// Never changes the file or its permissions. Throws Id3Error when the file
// cannot be opened; a file shorter than 128 bytes gives a block without a tag.
Id3v1Block readId3v1(const QString& path);

// Never throws and never changes the file: a file that cannot be read or does
// not start with an ID3v2.2, 2.3 or 2.4 tag gives empty texts, a damaged tag
// the frames that lie whole inside it and the file. Of two frames of a field
// the later counts.
Id3v2Tag readId3v2(const QString& path) noexcept;
// The same on bytes from the start of a file (the whole tag, or what there is).
Id3v2Tag parseId3v2(QByteArrayView bytes);

// Puts an ID3v2.3 tag of the seven frames at the start of the file, in place of
// an ID3v2 tag that is already there, the bytes after it copied unchanged. The
// file is replaced whole through a temporary beside it, so a failure leaves it
// as it was; its permissions are the same afterwards. Throws Id3Error.
void writeId3v2(const QString& path, const Id3v2Tag& tag);
// The bytes of that tag: ISO-8859-1 texts where every character fits, UTF-16
// with a byte order mark otherwise.
QByteArray buildId3v2(const Id3v2Tag& tag);
