#include "audio/PeakSummary.h"

#include <algorithm>
#include <cmath>

namespace {

std::int8_t lowStep(float v) {
    return std::int8_t(std::clamp(std::floor(v * PeakSummary::Steps), -float(PeakSummary::Steps),
                                  float(PeakSummary::Steps)));
}

std::int8_t highStep(float v) {
    return std::int8_t(std::clamp(std::ceil(v * PeakSummary::Steps), -float(PeakSummary::Steps),
                                  float(PeakSummary::Steps)));
}

// Sums of one column, in float samples.
struct Accumulator {
    float low = 0, high = 0;
    double squares = 0;
    std::int64_t values = 0;
    bool any = false;

    void add(float lo, float hi, double sumOfSquares, std::int64_t count) {
        low = any ? std::min(low, lo) : lo;
        high = any ? std::max(high, hi) : hi;
        any = true;
        squares += sumOfSquares;
        values += count;
    }
    PeakRange result() const {
        if (!any)
            return {};
        return {low, high, values > 0 ? float(std::sqrt(squares / double(values))) : 0.0f};
    }
};

} // namespace

void PeakSummary::reset(int r, int ch, std::int64_t f) {
    rate = r;
    channels = std::max(0, ch);
    frames = std::max<std::int64_t>(0, f);
    cells.assign(size_t(blocks() * channels), Cell{});
}

void PeakSummary::store(std::int64_t block, const float* samples, int count) {
    if (block < 0 || block >= blocks() || count <= 0)
        return;
    Cell* out = cells.data() + block * channels;
    for (int c = 0; c < channels; ++c) {
        float lo = samples[c], hi = samples[c];
        double squares = 0;
        for (int i = 0; i < count; ++i) {
            const float v = samples[i * channels + c];
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            squares += double(v) * v;
        }
        const double rms = std::sqrt(squares / count);
        out[c].low = lowStep(lo);
        out[c].high = highStep(hi);
        out[c].level =
            std::uint8_t(std::clamp(std::lround(rms * LevelSteps), 0L, long(LevelSteps)));
    }
}

void PeakSummary::add(Sum& sum, int channel, std::int64_t begin, std::int64_t end) const {
    begin = std::clamp<std::int64_t>(begin, 0, blocks());
    end = std::clamp<std::int64_t>(end, begin, blocks());
    if (begin == end || channels <= 0)
        return;
    const int c0 = channel < 0 ? 0 : std::min(channel, channels - 1);
    const int c1 = channel < 0 ? channels : c0 + 1;
    for (std::int64_t b = begin; b < end; ++b) {
        const Cell* cell = cells.data() + b * channels;
        const std::int64_t n = std::min<std::int64_t>(BlockFrames, frames - b * BlockFrames);
        for (int c = c0; c < c1; ++c) {
            sum.low = std::min<int>(sum.low, cell[c].low);
            sum.high = std::max<int>(sum.high, cell[c].high);
            sum.squares += std::int64_t(cell[c].level) * cell[c].level * n;
            sum.values += n;
        }
    }
}

PeakRange PeakSummary::Sum::result() const {
    if (values == 0)
        return {};
    const double rms = std::sqrt(double(squares) / double(values)) / LevelSteps;
    return {float(low) / Steps, float(high) / Steps, float(rms)};
}

PeakRange PeakSummary::range(int channel, std::int64_t begin, std::int64_t end) const {
    Sum sum;
    add(sum, channel, begin, end);
    return sum.result();
}

std::vector<PeakRange> sampleColumns(const float* samples, int channels, std::int64_t count,
                                     int channel, int width) {
    std::vector<PeakRange> out(size_t(std::max(0, width)));
    if (width <= 0 || count <= 0 || channels <= 0)
        return out;
    const int c0 = channel < 0 ? 0 : std::min(channel, channels - 1);
    const int c1 = channel < 0 ? channels : c0 + 1;
    for (int k = 0; k < width; ++k) {
        std::int64_t a = std::int64_t(k) * count / width;
        std::int64_t b = std::int64_t(k + 1) * count / width;
        if (b <= a)
            b = std::min(a + 1, count);
        Accumulator acc;
        for (std::int64_t i = a; i < b; ++i) {
            const float* frame = samples + i * channels;
            for (int c = c0; c < c1; ++c)
                acc.add(frame[c], frame[c], double(frame[c]) * frame[c], 1);
        }
        out[size_t(k)] = acc.result();
    }
    return out;
}
