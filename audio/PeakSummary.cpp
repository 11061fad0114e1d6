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

PeakSummary::Cell cellOf(float low, float high, float squares, int count) {
    const double rms = std::sqrt(double(squares) / count);
    PeakSummary::Cell cell;
    cell.low = lowStep(low);
    cell.high = highStep(high);
    cell.level = std::uint8_t(
        std::clamp(std::lround(rms * PeakSummary::LevelSteps), 0L, long(PeakSummary::LevelSteps)));
    return cell;
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
    summarise(samples, channels, count, cells.data() + block * channels);
}

void PeakSummary::summarise(const float* samples, int channels, int count, Cell* out) {
    // All channels in one pass over the interleaved frames: the block is read once.
    constexpr int Most = 8;
    float lo[Most], hi[Most], squares[Most];
    for (int c0 = 0; c0 < channels; c0 += Most) {
        const int n = std::min(Most, channels - c0);
        for (int c = 0; c < n; ++c) {
            lo[c] = hi[c] = samples[c0 + c];
            squares[c] = 0;
        }
        for (int i = 0; i < count; ++i) {
            const float* frame = samples + std::int64_t(i) * channels + c0;
            for (int c = 0; c < n; ++c) {
                const float v = frame[c];
                lo[c] = std::min(lo[c], v);
                hi[c] = std::max(hi[c], v);
                squares[c] += v * v;
            }
        }
        for (int c = 0; c < n; ++c)
            out[c0 + c] = cellOf(lo[c], hi[c], squares[c], count);
    }
}

void PeakSummary::Fold::add(const float* samples, int n) {
    if (n <= 0)
        return;
    // Independent lanes, so that the compiler keeps them in vector registers;
    // the sum of squares differs from a running one only by float rounding.
    constexpr int Lanes = 8;
    float lo[Lanes], hi[Lanes], sq[Lanes];
    const float l0 = count > 0 ? low : samples[0];
    const float h0 = count > 0 ? high : samples[0];
    for (int k = 0; k < Lanes; ++k) {
        lo[k] = l0;
        hi[k] = h0;
        sq[k] = 0;
    }
    int i = 0;
    for (; i + Lanes <= n; i += Lanes)
        for (int k = 0; k < Lanes; ++k) {
            const float v = samples[i + k];
            lo[k] = std::min(lo[k], v);
            hi[k] = std::max(hi[k], v);
            sq[k] += v * v;
        }
    for (int k = 0; i < n; ++i, ++k) {
        const float v = samples[i];
        lo[k] = std::min(lo[k], v);
        hi[k] = std::max(hi[k], v);
        sq[k] += v * v;
    }
    for (int k = 1; k < Lanes; ++k) {
        lo[0] = std::min(lo[0], lo[k]);
        hi[0] = std::max(hi[0], hi[k]);
    }
    low = lo[0];
    high = hi[0];
    squares += ((sq[0] + sq[1]) + (sq[2] + sq[3])) + ((sq[4] + sq[5]) + (sq[6] + sq[7]));
    count += n;
}

PeakSummary::Cell PeakSummary::Fold::cell() const {
    return cellOf(low, high, squares, std::max(1, count));
}

void PeakSummary::add(Sum& sum, int channel, std::int64_t begin, std::int64_t end) const {
    begin = std::clamp<std::int64_t>(begin, 0, blocks());
    end = std::clamp<std::int64_t>(end, begin, blocks());
    for (std::int64_t b = begin; b < end; ++b)
        add(sum, cells.data() + b * channels, channels, channel,
            std::min<std::int64_t>(BlockFrames, frames - b * BlockFrames));
}

void PeakSummary::add(Sum& sum, const Cell* cell, int channels, int channel, std::int64_t frames) {
    if (channels <= 0)
        return;
    const int c0 = channel < 0 ? 0 : std::min(channel, channels - 1);
    const int c1 = channel < 0 ? channels : c0 + 1;
    for (int c = c0; c < c1; ++c) {
        sum.low = std::min<int>(sum.low, cell[c].low);
        sum.high = std::max<int>(sum.high, cell[c].high);
        sum.squares += std::int64_t(cell[c].level) * cell[c].level * frames;
        sum.values += frames;
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
    sampleColumns(samples, 0, channels, channel, 0, count, width, 0, width, out.data());
    return out;
}

void sampleColumns(const float* samples, std::int64_t samplesFirst, int channels, int channel,
                   std::int64_t first, std::int64_t count, int width, int k0, int k1,
                   PeakRange* out) {
    if (width <= 0 || count <= 0 || channels <= 0)
        return;
    const int c0 = channel < 0 ? 0 : std::min(channel, channels - 1);
    const int c1 = channel < 0 ? channels : c0 + 1;
    for (int k = k0; k < k1; ++k) {
        std::int64_t a = std::int64_t(k) * count / width;
        std::int64_t b = std::int64_t(k + 1) * count / width;
        if (b <= a)
            b = std::min(a + 1, count);
        Accumulator acc;
        for (std::int64_t i = a; i < b; ++i) {
            const float* frame = samples + (first + i - samplesFirst) * channels;
            for (int c = c0; c < c1; ++c)
                acc.add(frame[c], frame[c], double(frame[c]) * frame[c], 1);
        }
        out[k] = acc.result();
    }
}
