// Cuts placed where the sound says, from a source's levels: in the middle of
// its pauses (the silence split), or planned cuts moved to the quietest
// moment nearby (snapped Time and Count cuts). The results are pieces in
// source frames, which piecesToSpans turns into an ordinary span list.
#pragma once

#include "audio/LevelScan.h"
#include "core/Settings.h"
#include "joblist/JobRecords.h"

#include <cstdint>
#include <vector>

namespace SilencePlanning {

struct Piece {
    std::int64_t begin = 0; // frames
    std::int64_t end = 0;
};

// A run of windows quieter than the threshold.
struct Pause {
    std::int64_t begin = 0; // frames
    std::int64_t end = 0;
    std::int64_t middle() const { return begin + (end - begin) / 2; }
};

// The pauses quieter than `thresholdDb` for at least `minPauseSeconds`, in order.
std::vector<Pause> findPauses(const LevelScan& scan, double thresholdDb, double minPauseSeconds);

// The threshold a file's own levels suggest: a few dB above its quiet floor
// (a low percentile of its windows), never above the middle between that
// floor and its median level.
double automaticThreshold(const LevelScan& scan);

// The silence split: a cut in the middle of every pause that is not at the
// file's start or end; then pieces shorter than the minimum join their shorter
// neighbour, and pieces longer than the maximum are cut at their quietest
// moment (the maximum wins where both cannot hold). Without keepPauses each
// piece ends where its pause begins and the next begins where it ends, and
// the quiet at the start and the end is left out.
std::vector<Piece> planSilence(const LevelScan& scan, const SilenceSettings& options);

// The frame in the middle of the quietest window within ±seconds of `frame`
// (of two as quiet, the nearer), never before `floor` nor outside the file.
std::int64_t quietestNear(const LevelScan& scan, std::int64_t frame, double seconds,
                          std::int64_t floor = 0);

// Pieces cut at `cuts` (frames, ascending), each moved to the quietest moment
// within ±seconds and kept after the cut before it.
std::vector<Piece> snapCuts(const LevelScan& scan, const std::vector<std::int64_t>& cuts,
                            double seconds);

// The cuts of Time (pieces of `splitSeconds`) and Count (`splitCount` pieces)
// as the planners place them, in frames of the scan.
std::vector<std::int64_t> timeCuts(const LevelScan& scan, std::int32_t fileSeconds,
                                   int splitSeconds);
std::vector<std::int64_t> countCuts(const LevelScan& scan, std::int32_t fileSeconds,
                                    int splitCount);

// The pieces as spans: the nearest whole seconds for the list, the frames
// for the run; the last piece to the file's end runs to its last frame.
std::vector<Span> piecesToSpans(const std::vector<Piece>& pieces, int rate, std::int64_t frames);

} // namespace SilencePlanning
