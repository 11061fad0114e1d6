// MP3 back end of the reader, on libmpg123: float output, gapless decoding,
// an exact length (from the frames found without decoding where they tell
// it for certain, else from libmpg123's scan of the whole file) and
// sample-exact seeking.
#pragma once

#include "audio/Decoder.h"

#include <memory>

class Mpg123Decoder : public Decoder {
  public:
    // Throws AudioError naming the file when libmpg123 finds no MPEG audio
    // stream in it or the stream holds no audio.
    explicit Mpg123Decoder(const QString& path);
    ~Mpg123Decoder() override;

    void seek(std::int64_t frame) override;
    std::int64_t read(float* out, std::int64_t frames) override;

  private:
    struct State;
    std::unique_ptr<State> d;
};
