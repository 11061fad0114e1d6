// Encodes interleaved float frames into an Ogg Vorbis file with libvorbisenc
// and libogg; the writer side of AudioFile sits on it.
#pragma once

#include "audio/Encoder.h"
#include "audio/OggFormat.h"

#include <QString>
#include <cstdint>
#include <memory>

class OggEncoder : public Encoder {
  public:
    OggEncoder();
    ~OggEncoder() override; // without close(): the unfinished file is abandoned

    // A nominal bitrate alone is encoded with rate management off. Takes
    // effect at the next open().
    void setFormat(const OggFormat& format);
    // Whether libvorbisenc accepts this encoding (managed when kbps > 0).
    static bool check(int rate, int channels, int kbps, int minKbps, int maxKbps);

    // Starts a file; it replaces `path` only at close(). Throws AudioError
    // naming the file and the reason.
    void open(const QString& path) override;
    // Appends frames in the encoding's rate and channel count.
    void write(const float* interleaved, std::int64_t frames) override;
    // Writes the last packets and puts the file in place.
    void close() override;

  private:
    EncoderShape shape() const override;

    struct Impl;
    std::unique_ptr<Impl> d;
};
