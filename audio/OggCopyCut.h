// Cuts of an Ogg Vorbis file without re-encoding: a piece is the source's own
// audio packets from the one before the cut on, under fresh headers, with
// granule positions that make a decoder drop exactly the frames outside it.
#pragma once

#include "audio/CopyCut.h"

#include <QString>
#include <memory>

class OggCopyCut {
  public:
    // Why `path` cannot be cut this way: not Ogg Vorbis, a chained or
    // multiplexed Ogg file, damaged headers or pages. Empty when it can.
    static QString problem(const QString& path);

    // Opens the source and reads its headers. Throws AudioError naming it.
    // Its length is told without decoding; its pieces are Ogg Vorbis streams
    // of the source's identification and setup headers, a comment header
    // holding their comments and a new serial number. Pieces asked for in
    // ascending order read the source once.
    static std::unique_ptr<CopyCut> open(const QString& path);
};
