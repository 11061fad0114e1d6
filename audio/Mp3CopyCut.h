// Cuts of an MP3 file without re-encoding: a piece is the source's own MPEG
// audio frames from a little before the cut on, under an ID3v2 tag and a
// fresh Xing/LAME header whose encoder delay and padding make a gapless
// decoder (libmpg123, FFmpeg) give exactly the piece's frames.
#pragma once

#include "audio/CopyCut.h"

#include <QString>
#include <memory>

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

    // Opens the source and finds its frames. Throws AudioError naming it. Its
    // length is libmpg123's gapless count; its pieces are MP3 files that start
    // with their ID3v2 tag.
    static std::unique_ptr<CopyCut> open(const QString& path);
};
