// Cuts of an Ogg Vorbis file without re-encoding: a piece is the source's own
// audio packets from the one before the cut on, under fresh headers, with
// granule positions that make a decoder drop exactly the frames outside it.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <memory>

class QIODevice;

class OggCopyCut {
  public:
    // Why `path` cannot be cut this way: not Ogg Vorbis, a chained or
    // multiplexed Ogg file, damaged headers or pages. Empty when it can.
    static QString problem(const QString& path);

    // Opens the source and reads its headers. Throws AudioError naming it.
    explicit OggCopyCut(const QString& path);
    ~OggCopyCut();
    OggCopyCut(const OggCopyCut&) = delete;
    OggCopyCut& operator=(const OggCopyCut&) = delete;

    int sampleRate() const;
    int channels() const;
    // The source's length in frames as its reader counts them (without
    // decoding), and in milliseconds; 0 where it cannot be told.
    std::int64_t lengthFrames();
    std::int64_t lengthMs();

    // Writes the frames [begin, end) of the source's decoded audio to `out` as
    // an Ogg Vorbis stream of its own: the source's identification and setup
    // headers, a comment header holding `comments` ("NAME=value", UTF-8) and
    // a new serial number. An end past the source's end is its end. Pieces
    // asked for in ascending order read the source once. Throws AudioError.
    void writePiece(QIODevice& out, std::int64_t begin, std::int64_t end,
                    const QList<QByteArray>& comments);

  private:
    struct State;

    std::unique_ptr<State> d;
};
