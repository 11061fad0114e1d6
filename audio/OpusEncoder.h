// Encodes interleaved float frames into an Ogg Opus file with libopusenc, the
// tags as OpusTags. Frames of another rate are converted to Opus's 48 kHz,
// and the file's pre-skip and end granule make its decoded length exactly
// that of the frames given, at 48 kHz. Its rate() is that of the frames
// given.
#pragma once

#include "audio/Encoder.h"

class OpusEncoder : public CommentedEncoder<OpusFormat> {
  public:
    OpusEncoder();

    // Frames at 48 kHz that `frames` frames at `rate` become.
    static std::int64_t opusFrames(std::int64_t frames, int rate);

  private:
    std::unique_ptr<Output> start(const QString& path) override;
};
