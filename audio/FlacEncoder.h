// Encodes interleaved float frames into a FLAC file with libFLAC, the tags
// as Vorbis comments; STREAMINFO (length, MD5) is completed at close.
#pragma once

#include "audio/Encoder.h"

#include <memory>

class FlacEncoder : public Encoder {
  public:
    FlacEncoder();
    ~FlacEncoder() override;

    // Take effect at the next open(). Comments are "NAME=value", in order.
    void setFormat(const FlacFormat& format);
    void setComments(const QList<QByteArray>& comments);

    void open(const QString& path) override;
    // Samples are rounded to the format's integer depth and clipped to it.
    void write(const float* interleaved, std::int64_t frames) override;
    void close() override;

  private:
    EncoderShape shape() const override;

    struct Impl;
    std::unique_ptr<Impl> d;
};
