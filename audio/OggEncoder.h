// Encodes interleaved float frames into an Ogg Vorbis file with libvorbisenc
// and libogg; the writer side of AudioFile sits on it. A nominal bitrate
// alone is encoded with rate management off.
#pragma once

#include "audio/Encoder.h"
#include "audio/OggFormat.h"

class OggEncoder : public FormatEncoder<OggFormat> {
  public:
    OggEncoder();

    // Whether libvorbisenc accepts this encoding (managed when kbps > 0).
    static bool check(int rate, int channels, int kbps, int minKbps, int maxKbps);

  private:
    std::unique_ptr<Output> start(const QString& path) override;
};
