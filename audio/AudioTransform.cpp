#include "audio/AudioTransform.h"

#include <cmath>

void AudioTransform::fade(SampleBlock& block, double fromPercent, double toPercent) {
    const std::int64_t frames = block.frames();
    const int channels = block.channels;
    if (frames <= 0)
        return;
    const double from = fromPercent / 100.0;
    const double to = toPercent / 100.0;
    // std::lerp meets both ends exactly, so a fade-in ends on the untouched
    // signal and a fade-out on true silence.
    const double last = frames > 1 ? double(frames - 1) : 1.0;
    float* p = block.samples.data();
    for (std::int64_t i = 0; i < frames; ++i) {
        const float gain = static_cast<float>(std::lerp(from, to, double(i) / last));
        for (int c = 0; c < channels; ++c)
            *p++ *= gain;
    }
}
