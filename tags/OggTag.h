// Vorbis comments of Ogg files: the seven tag texts read from the comment
// header (of Vorbis, Opus, FLAC or Speex) and written into that of an Ogg
// Vorbis file through a ".temp" file beside the file.
#pragma once

#include "audio/MessageError.h"
#include "tags/FileTags.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstddef>

// The tag texts of an Ogg Vorbis file, in the order of its key table.
struct OggTag {
    QString album{};
    QString title{};
    QString artist{};
    QString comment{};
    QString genre{};
    QString date{};
    QString trackNumber{};
};

// The fields of FileTags in an Ogg record, the year as Date.
inline constexpr TagField<OggTag> oggTagFields[] = {
    {&FileTags::title, &OggTag::title},     {&FileTags::artist, &OggTag::artist},
    {&FileTags::year, &OggTag::date},       {&FileTags::album, &OggTag::album},
    {&FileTags::comment, &OggTag::comment}, {&FileTags::genre, &OggTag::genre}};

// One comment of a file: the bytes before its first "=" as they are, and the
// text after it. A comment without a usable name has an empty name and is its
// value whole.
struct StrComment {
    QByteArray name;
    QString value;
};

// What the Ogg tag unit raises; the message names the file and the reason.
class OggTagError : public MessageError {
  public:
    using MessageError::MessageError;
};

// The file's tag texts, each trimmed of characters up to U+0020; a key that
// is absent gives an empty text. With a `limit` of 0 or more each text is cut
// to its first `limit` characters and nothing beyond them is decoded. The
// comments are those of the file's first Vorbis, Opus, FLAC or Speex stream.
// Raises OggTagError when the file cannot be opened or holds no readable
// comments of such a stream. Never changes the file.
OggTag readOggTag(const QString& path, qsizetype limit = -1);

// Rewrites the file so that its comments are exactly the non-empty texts of
// `tag` (Title, Artist, Album, TrackNumber, Date, Genre, Comment), through
// oggTempPath(path), which then replaces the file in one step. True when the
// file was replaced; false when the replacement failed. Raises OggTagError
// when the file cannot be opened or read as Ogg Vorbis, or the temporary file
// cannot be created or written. On every failure the file stays as it was, no
// temporary file is left and the file's permissions are those it had.
bool writeOggTag(const QString& path, const OggTag& tag);

// The comments writeOggTag writes for `tag`: "Title=", "Artist=", "Album=",
// "TrackNumber=", "Date=", "Genre=", "Comment=" in this order, each only when
// its text is not empty.
QList<QByteArray> oggComments(const OggTag& tag);

// The temporary file of writeOggTag: the path with its extension replaced by
// ".temp" (a.ogg gives a.temp), or with ".temp" appended where that would be
// the path itself.
QString oggTempPath(const QString& path);

// Each comment split at its first "=", the name kept only when every byte of
// it lies in 0x20 to 0x3C or 0x3E to 0x7D; the value decoded from UTF-8.
QList<StrComment> listComments(const QList<QByteArray>& comments);

// The stream functions handed to OggCommentStream; `stream` is a QIODevice.
// Reading returns the whole items read, 0 when an argument is 0 or the device
// fails; writing returns the items written, -1 when the item size is 0 and 0
// when the device fails.
qint64 readStreamCallback(void* buffer, std::size_t itemSize, std::size_t itemCount, void* stream);
qint64 writeStreamCallback(const void* buffer, std::size_t itemSize, std::size_t itemCount,
                           void* stream);
