// Picks the reader's back end from what a file holds, whatever its name says.
#pragma once

#include "audio/Decoder.h"

#include <QByteArray>
#include <memory>

class DecoderFactory {
  public:
    enum class Kind { OggVorbis, Mpeg, Other };

    // Opens `path` with the back end its content calls for, falling back to
    // FFmpeg (whose module only that fallback opens). Throws AudioError naming the file and the
    // reason: also for what is not a regular file, and for a rate or channel count the reader does
    // not take. A stated length that the file's size cannot hold is replaced
    // by what decoding delivers.
    static std::unique_ptr<Decoder> open(const QString& path);
    // The back end the first bytes of a file call for.
    static Kind sniff(const QByteArray& head);

  private:
    static std::unique_ptr<Decoder> openDecoder(const QString& path);
};
