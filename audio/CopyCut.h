// What every cut without re-encoding (Ogg Vorbis, MP3, FLAC) offers whoever
// writes its pieces: the source's format and length, and pieces made of the
// source's own packets or frames.
#pragma once

#include <QByteArray>
#include <QList>
#include <cstdint>

class QIODevice;

class CopyCut {
  public:
    // A piece's tags in the form its file holds them, tagForm(): an MP3
    // piece's ID3v2 tag (the bytes of a whole tag; none when empty), or the
    // comments of an Ogg Vorbis or FLAC piece ("NAME=value", UTF-8).
    enum class TagForm { Id3v2, Comments };
    struct Tags {
        QByteArray id3v2;
        QList<QByteArray> comments;
    };

    virtual ~CopyCut() = default;

    virtual int sampleRate() const = 0;
    virtual int channels() const = 0;
    // The source's length in frames as its reader counts them, and in
    // milliseconds; 0 where it cannot be told.
    virtual std::int64_t lengthFrames() const = 0;
    virtual std::int64_t lengthMs() const = 0;

    virtual TagForm tagForm() const = 0;
    // Writes the frames [begin, end) of the source's decoded audio to `out`
    // as a file of its own holding `tags` (the form of tagForm()). An end
    // past the source's end is its end. Throws AudioError.
    virtual void writePiece(QIODevice& out, std::int64_t begin, std::int64_t end,
                            const Tags& tags) = 0;

  protected:
    CopyCut() = default;
    CopyCut(const CopyCut&) = delete;
    CopyCut& operator=(const CopyCut&) = delete;
};
