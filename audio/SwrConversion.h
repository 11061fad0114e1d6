// The FFmpeg module's rate and channel conversion, on libswresample.
#pragma once

#include "audio/FfmpegModule.h"

class SwrConversion : public SampleConversion {
  public:
    // Throws AudioError when libswresample refuses the conversion.
    SwrConversion(int inRate, int inChannels, int outRate, int outChannels);
    ~SwrConversion() override;

    void convert(const float* in, std::int64_t frames, std::vector<float>& out) override;
    void flush(std::vector<float>& out) override;
    void reset() override;

  private:
    void create();

    int m_inRate;
    int m_inChannels;
    int m_outRate;
    int m_outChannels;
    struct Context;
    std::unique_ptr<Context> m_ctx;
};
