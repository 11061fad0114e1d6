// Rate and channel conversion of interleaved float frames, on libswresample
// in the FFmpeg module (opened by the first conversion); used by the reader
// (asked for another PCM format) and by the writer (given blocks in a format
// other than its encoding).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class SampleConversion;

class Resampler {
  public:
    // Throws AudioError when libswresample refuses the conversion, or when
    // the FFmpeg module cannot be opened.
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
    int m_inRate;
    int m_inChannels;
    int m_outRate;
    int m_outChannels;
    std::unique_ptr<SampleConversion> m_conversion;
};
