// The records of the job list: a source file with its spans and tags.
#pragma once

#include "tags/FileTags.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// The most pieces one file may be split into. A larger plan is refused from
// its count alone: building its rows would take the memory first.
inline constexpr std::int64_t MaxPiecesPerFile = 100000;

// A span of a source in whole seconds.
struct Span {
    std::int32_t begin = 0;
    std::int32_t end = 0;
    // Runs to the source's last frame instead of its last whole second: the
    // span ends where the file does.
    bool toEnd = false;
    // A cut a planner placed between whole seconds (in a pause, say, or at a
    // CUE sheet's index), as a source frame; -1 cuts at the whole second. The
    // seconds above are then what the list shows, and an edit that moves the
    // second drops the frame.
    std::int64_t beginFrame = -1;
    std::int64_t endFrame = -1;
    // The piece's own tags (a CUE sheet's track), written instead of the
    // source's.
    std::optional<FileTags> tags = std::nullopt;
};

struct FileRow {
    QString path;                    // full path of the source file
    QString caption;                 // what the list shows: the file name or the title
    std::int32_t seconds = 0;        // the length in whole seconds
    std::int32_t sliderRange = 0;    // half-second steps, with a floor
    std::int64_t samples = 0;        // the length in frames
    std::int32_t rate = 0;           // frames a second
    std::vector<Span> spans{Span{}}; // marked spans; the last is the open span
    std::int32_t spanCount = 1;      // spans in use (a split holds the open one back)
    FileTags tags;

    // The spans in use, never past the stored ones.
    int usableSpanCount() const;
};
