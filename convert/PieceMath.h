// The arithmetic of the runs: which spans of a file become pieces in each
// split mode, which spans a join takes, and how seconds become sample frames.
#pragma once

#include "core/Settings.h"
#include "joblist/JobRecords.h"

#include <cstdint>
#include <vector>

namespace PieceMath {

// The most pieces one file may be split into; a larger plan is refused.
inline constexpr std::int64_t MaxPieces = MaxPiecesPerFile;

// Seconds of a source as frames of its open reader:
// MulDiv(seconds * 1000, LengthSamples, LengthMs); 0 for a reader without length.
std::int64_t readerFrames(std::int32_t seconds, std::int64_t lengthSamples, std::int64_t lengthMs);
// Seconds as frames by the file's row: MulDiv(seconds, samples, seconds of the
// file). A file shorter than a second has all its frames in any positive
// length, and none at 0.
std::int64_t recordFrames(std::int32_t seconds, const FileRow& r);
// The first frame a span takes: the frame a planner cut at, or its begin second.
std::int64_t spanBeginFrames(const Span& span, const FileRow& r);
// The last frame a span reaches: the frame a planner cut at, its end second,
// or the file's last frame when the span runs to the end.
std::int64_t spanEndFrames(const Span& span, const FileRow& r);

// The spans a run converts of a stored span list whose open span has been
// dropped: all but the open one, or the single span when there is only one.
int keptSpanCount(const FileRow& r);

// Split: the number of pieces of `file`, fixed when the file is started. For
// Custom and Unification the rows are those after the drop of the open span.
std::int64_t splitPieceCount(SplitMode mode, const FileRow& file, const FileRow& first,
                             int splitSeconds, int splitCount);
// Split: the bounds of piece j. False when piece j and every later one are
// left out (Unification: a span beginning after the file's end).
bool splitPiece(SplitMode mode, std::int64_t j, const FileRow& file, const FileRow& first,
                int splitSeconds, int splitCount, Span& out);

// Join, Custom and Unification: the spans taken of `file` (of `first`'s list
// in Unification, up to the first span that begins after the file's end).
std::vector<Span> joinSpans(SplitMode mode, const FileRow& file, const FileRow& first);
// Join: the frames a span yields of its file, never past the file's end.
std::int64_t joinSpanFrames(const Span& span, const FileRow& file);
// Join: all the source frames the run will write, for the progress and the
// fade-out: whole files in Time and Count, the spans otherwise.
std::int64_t joinTotal(SplitMode mode, const std::vector<FileRow>& files);

// Nearest integer, halves to even.
std::int64_t roundHalfEven(double value);

} // namespace PieceMath
