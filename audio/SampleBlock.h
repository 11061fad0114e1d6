// A block of interleaved 32-bit float samples as it travels between the reader,
// the transformer, the writer and the player.
#pragma once

#include <cstdint>
#include <vector>

struct SampleBlock {
    std::vector<float> samples; // interleaved, frames() * channels values
    int channels = 0;
    int rate = 0;

    std::int64_t frames() const {
        return channels > 0 ? static_cast<std::int64_t>(samples.size()) / channels : 0;
    }
    bool empty() const { return samples.empty(); }
};
