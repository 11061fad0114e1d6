// Our own Vorbis comment editor on libogg and libvorbis: it opens the three
// header packets of an Ogg Vorbis stream and writes the stream again with a new
// comment header, every audio page copied as it was. Reading alone also takes
// the comments of the other Ogg codecs the engine plays.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

class QIODevice;

// The comment block of a Vorbis comment header: the encoder's vendor text and
// the comments ("NAME=value", UTF-8) in the file's order, each exactly as long
// as the header states.
struct VorbisComments {
    QByteArray vendor;
    QList<QByteArray> comments;
};

class OggCommentStream {
  public:
    // The shapes of fread and fwrite; `stream` is whatever open() or write()
    // was handed. A read returns the items read (0 at the end or on an error),
    // a write the items written.
    using ReadFunction = qint64 (*)(void* buffer, std::size_t itemSize, std::size_t itemCount,
                                    void* stream);
    using WriteFunction = qint64 (*)(const void* buffer, std::size_t itemSize,
                                     std::size_t itemCount, void* stream);

    OggCommentStream();
    ~OggCommentStream();
    OggCommentStream(const OggCommentStream&) = delete;
    OggCommentStream& operator=(const OggCommentStream&) = delete;

    // Reads `stream` from its current position up to the end of the first
    // Vorbis stream's setup header. False, with lastError(), when the input
    // holds no complete and sound Ogg Vorbis headers. Once per editor.
    bool open(void* stream, ReadFunction read, WriteFunction write);

    // The comment block read by open(); what write() puts into the new header.
    VorbisComments& comments();
    const VorbisComments& comments() const;

    // Writes the whole input to `out` with comments() as its comment header:
    // pages of other streams and the audio pages as they were (only their
    // page numbers follow the new header's page count), the audio that shared
    // a page with the headers on pages of its own. The rest of the input is
    // read as it goes. False, with lastError(), when a write fails. Once, after
    // a successful open().
    bool write(void* out);

    // Why open() or write() failed; empty before a failure.
    QString lastError() const;

    // The comment block of a comment header packet; nothing when the packet is
    // no Vorbis comment header or its vendor text runs past its end. Comments
    // are taken while their stated lengths fit: one running past the packet
    // ends the list. The framing bit is not required.
    static std::optional<VorbisComments> parseCommentPacket(const QByteArray& packet);
    // A comment header packet with the framing bit.
    static QByteArray buildCommentPacket(const VorbisComments& block);

    // Reads `device` from its current position up to the comments of its
    // first stream of a codec the engine plays: the comment header of Vorbis
    // and Speex, the OpusTags packet of Opus, the VORBIS_COMMENT block of Ogg
    // FLAC. Each comment is handed to `take` as a view into the one copy of
    // the packet held meanwhile, so a huge comment is never copied. Empty when
    // the comments were read (an Ogg FLAC stream may have none); otherwise why
    // not. The audio is neither read nor checked.
    static QString readComments(QIODevice& device,
                                const std::function<void(QByteArrayView comment)>& take);

  private:
    struct State;
    std::unique_ptr<State> d;
};
