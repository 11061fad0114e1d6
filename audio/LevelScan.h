// The loudness of a source over time: the RMS of all its channels in windows
// of 10 ms, in dBFS, read by decoding only (nothing is encoded). What the
// silence split and the snapped cuts decide from.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

struct LevelScan {
    // The level a window of digital silence gets, and the floor of every level.
    static constexpr float FloorDb = -120.0f;

    int rate = 0;
    int channels = 0;
    std::int64_t frames = 0;       // the source's length in frames
    std::int64_t windowFrames = 0; // frames per window: a hundredth of the rate
    std::vector<float> levels;     // dBFS per window; the last one may be shorter
    bool stopped = false;          // the scan was stopped; levels are incomplete

    std::int64_t windowCount() const { return std::int64_t(levels.size()); }
    // The first frame of window `w` and the frame in its middle, held to the file.
    std::int64_t windowBegin(std::int64_t w) const;
    std::int64_t windowMiddle(std::int64_t w) const;
    // The window frame `frame` lies in, held to the windows there are.
    std::int64_t windowAt(std::int64_t frame) const;
};

struct LevelScanControl {
    // Readers decoding parts of the file at the same time: 0 takes two where
    // the machine has two cores or more, 1 reads on the calling thread only.
    int threads = 0;
    // Called on the calling thread between blocks with the share done (0 to
    // 10000); it may let events run.
    std::function<void(int)> progress;
    // Asked on the calling thread after each progress; true ends the scan.
    std::function<bool()> stopRequested;
};

// Scans `path`. Throws AudioError (or std::runtime_error) when the file cannot
// be read. A stopped scan returns what it has with `stopped` set.
LevelScan scanLevels(const QString& path, const LevelScanControl& control = {});
