// A compact picture of a source's levels: the lowest and highest sample and
// the RMS of every 256 frames of each channel, in a byte each, so a waveform
// of any length can be drawn at any width without decoding it again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct PeakRange {
    float min = 0, max = 0, rms = 0; // samples in -1..1
};

struct PeakSummary {
    static constexpr int BlockFrames = 256;
    // Steps of the stored values: min and max are rounded outwards, so a peak is
    // never drawn smaller than it is.
    static constexpr int Steps = 127;
    static constexpr int LevelSteps = 255;

    struct Cell {
        std::int8_t low = 0;
        std::int8_t high = 0;
        std::uint8_t level = 0; // RMS
    };
    static_assert(sizeof(Cell) == 3);

    int rate = 0;
    int channels = 0;
    std::int64_t frames = 0;
    std::vector<Cell> cells; // block-major: cells[block * channels + channel]

    std::int64_t blocks() const { return (frames + BlockFrames - 1) / BlockFrames; }
    // Zeroed cells for a source of this shape.
    void reset(int rate, int channels, std::int64_t frames);
    // Summarises `count` (at most BlockFrames) interleaved frames into block `block`.
    void store(std::int64_t block, const float* samples, int count);
    // One cell a channel of `count` (at least 1) interleaved frames.
    static void summarise(const float* samples, int channels, int count, Cell* out);

    // One channel's samples gathered into a cell as they come, in runs of any
    // length: what a planar decoder's blocks are folded into without a copy.
    struct Fold {
        float low = 0, high = 0;
        float squares = 0;
        int count = 0;
        void add(const float* samples, int n);
        Cell cell() const; // of at least one sample
    };
    std::size_t bytes() const { return cells.size() * sizeof(Cell); }

    // What a column has gathered from the blocks summed into it so far.
    struct Sum {
        int low = Steps, high = -Steps;
        std::int64_t squares = 0; // level steps squared, weighted by frames
        std::int64_t values = 0;
        bool empty() const { return values == 0; }
        PeakRange result() const;
    };
    // Adds blocks [begin, end) of `channel` (-1: of every channel) to `sum`.
    void add(Sum& sum, int channel, std::int64_t begin, std::int64_t end) const;
    // Adds cells of one block (one a channel) that hold `frames` frames.
    static void add(Sum& sum, const Cell* cell, int channels, int channel, std::int64_t frames);
    PeakRange range(int channel, std::int64_t begin, std::int64_t end) const;
};

// The ranges of `width` columns over interleaved `samples` of `channels`
// channels that hold frames [first, first + count); column k covers frames
// floor(k*count/width) to floor((k+1)*count/width) of them, and a column that
// falls between two frames shows the frame it lies on. Channel -1 takes the
// extremes of every channel (and the RMS of them all).
std::vector<PeakRange> sampleColumns(const float* samples, int channels, std::int64_t count,
                                     int channel, int width);
// Columns [k0, k1) of the `width` over frames [first, first + count) into
// out[k0..k1), from `samples` that start at frame `samplesFirst` and hold every
// frame those columns show.
void sampleColumns(const float* samples, std::int64_t samplesFirst, int channels, int channel,
                   std::int64_t first, std::int64_t count, int width, int k0, int k1,
                   PeakRange* out);
