// Cuts of an MP3 file without re-encoding: a piece is the source's own MPEG
// audio frames from a little before the cut on, under an ID3v2 tag and a
// fresh Xing/LAME header whose encoder delay and padding make a gapless
// decoder (libmpg123, FFmpeg) give exactly the piece's frames.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

class QIODevice;
struct Mp3Stream;

class Mp3CopyCut {
  public:
    // True when the file opens like MPEG audio (an ID3v2 tag or a frame
    // header): then problem() speaks for it. Reads only the file's start.
    static bool isMpegAudio(const QString& path);
    // Why `path` cannot be cut this way: not one Layer III stream, a damaged
    // or missing frame, no audio. Empty when it can. Reads the whole file.
    static QString problem(const QString& path);
    // The frames of `path` as a cut finds them, kept (while the file stays
    // as it is) for the check and the cut that follow; none where it cannot
    // be cut. Reads the whole file unless it was found before.
    static std::shared_ptr<const Mp3Stream> frames(const QString& path);

    // Opens the source and finds its frames. Throws AudioError naming it.
    explicit Mp3CopyCut(const QString& path);
    ~Mp3CopyCut();
    Mp3CopyCut(const Mp3CopyCut&) = delete;
    Mp3CopyCut& operator=(const Mp3CopyCut&) = delete;

    int sampleRate() const;
    int channels() const;
    // The source's length in frames as its reader (libmpg123, gapless)
    // counts them, and in milliseconds.
    std::int64_t lengthFrames() const;
    std::int64_t lengthMs() const;

    // Writes the frames [begin, end) of the source's decoded audio to `out`
    // as an MP3 file of its own, starting with `id3v2Tag` (the bytes of a
    // whole tag; none when empty). An end past the source's end is its end.
    // Throws AudioError.
    void writePiece(QIODevice& out, std::int64_t begin, std::int64_t end,
                    const QByteArray& id3v2Tag);

  private:
    struct State;

    std::unique_ptr<State> d;
};
