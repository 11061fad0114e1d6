// Encodes interleaved float frames into an Ogg Opus file with libopusenc, the
// tags as OpusTags. Frames of another rate are converted to Opus's 48 kHz,
// and the file's pre-skip and end granule make its decoded length exactly
// that of the frames given, at 48 kHz.
#pragma once

#include "audio/Encoder.h"

#include <memory>

class OpusEncoder : public Encoder {
  public:
    OpusEncoder();
    ~OpusEncoder() override;

    // Take effect at the next open(). Comments are "NAME=value", in order.
    void setFormat(const OpusFormat& format);
    void setComments(const QList<QByteArray>& comments);

    void open(const QString& path) override;
    void write(const float* interleaved, std::int64_t frames) override;
    void close() override;

    // Frames at 48 kHz that `frames` frames at `rate` become.
    static std::int64_t opusFrames(std::int64_t frames, int rate);

  private:
    EncoderShape shape() const override; // the rate of the frames given; the file is 48 kHz

    struct Impl;
    std::unique_ptr<Impl> d;
};
