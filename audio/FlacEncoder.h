// Encodes interleaved float frames into a FLAC file with libFLAC, the tags
// as Vorbis comments; STREAMINFO (length, MD5) is completed at close.
// Samples are rounded to the format's integer depth and clipped to it.
#pragma once

#include "audio/Encoder.h"

class FlacEncoder : public CommentedEncoder<FlacFormat> {
  public:
    FlacEncoder();

  private:
    std::unique_ptr<Output> start(const QString& path) override;
};
