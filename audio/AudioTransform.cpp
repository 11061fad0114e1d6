#include "audio/AudioTransform.h"

void AudioTransform::Fade(SampleBlock& block, double fromPercent, double toPercent)
{
    const std::int64_t frames = block.frames();
    if (frames <= 0)
        return;
    const double from = fromPercent / 100.0;
    const double step = frames > 1 ? (toPercent - fromPercent) / 100.0 / double(frames - 1) : 0.0;
    float* p = block.samples.data();
    for (std::int64_t i = 0; i < frames; ++i) {
        const float gain = static_cast<float>(from + step * double(i));
        for (int c = 0; c < block.channels; ++c)
            *p++ *= gain;
    }
}
