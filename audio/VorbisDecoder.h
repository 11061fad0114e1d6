// Ogg Vorbis back end of the reader, on libvorbisfile: exact length from the
// granule positions and sample-exact seeking.
#pragma once

#include "audio/Decoder.h"

#include <memory>

class VorbisDecoder : public Decoder {
  public:
    // Throws AudioError naming the file when it is not a readable Ogg Vorbis
    // stream or holds no audio.
    explicit VorbisDecoder(const QString& path);
    ~VorbisDecoder() override;

    void seek(std::int64_t frame) override;
    std::int64_t read(float* out, std::int64_t frames) override;
    std::int64_t readPlanar(const float* const*& pcm, std::int64_t frames) override;

  private:
    struct State;
    std::unique_ptr<State> d;
};
