// Rate and channel conversion of interleaved float frames, on libswresample;
// used by the reader (asked for another PCM format) and by the writer (given
// blocks in a format other than its encoding).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class Resampler {
  public:
    // Throws AudioError when libswresample refuses the conversion.
    Resampler(int inRate, int inChannels, int outRate, int outChannels);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    int inRate() const { return m_inRate; }
    int inChannels() const { return m_inChannels; }
    int outRate() const { return m_outRate; }
    int outChannels() const { return m_outChannels; }

    // Appends the conversion of `frames` input frames to `out`. The converter
    // keeps a few frames back for its filter until more input or flush().
    void convert(const float* in, std::int64_t frames, std::vector<float>& out);
    // Appends what the converter still holds, then starts afresh.
    void flush(std::vector<float>& out);
    // Forgets everything held (after a seek, for instance).
    void reset();

  private:
    void create();

    int m_inRate;
    int m_inChannels;
    int m_outRate;
    int m_outChannels;
    struct Context;
    std::unique_ptr<Context> m_ctx;
};
