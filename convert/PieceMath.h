// The arithmetic of the runs: which spans of a file become pieces in each
// split mode, which spans a join takes, and how seconds become sample frames.
#pragma once

#include <cstdint>
#include <vector>

struct listrecord;

namespace PieceMath {

struct Span {
    std::int32_t begin = 0; // whole seconds
    std::int32_t end = 0;
};

// Seconds of a source as frames of its open reader:
// MulDiv(seconds * 1000, LengthSamples, LengthMs); 0 for a reader without length.
std::int64_t readerFrames(std::int32_t seconds, std::int64_t lengthSamples, std::int64_t lengthMs);
// Seconds as frames by the file's list record: MulDiv(seconds, Samples, Seconds).
// A file shorter than a second (Seconds 0) has all its frames in any positive
// length, and none at 0.
std::int64_t recordFrames(std::int32_t seconds, const listrecord& r);

// The spans a record holds (SpanCount, never past its arrays).
int storedSpanCount(const listrecord& r);
// The spans a run converts of a stored span list whose open span has been
// dropped: all but the open one, or the single span when there is only one.
int keptSpanCount(const listrecord& r);

// Split: the number of pieces of `file`, fixed when the file is started. For
// Custom and Unification the records are those after the drop of the open span.
int splitPieceCount(int mode, const listrecord& file, const listrecord& first, int splitSeconds,
                    int splitCount);
// Split: the bounds of piece j. False when piece j and every later one are
// left out (Unification: a span beginning after the file's end).
bool splitPiece(int mode, int j, const listrecord& file, const listrecord& first, int splitSeconds,
                int splitCount, Span& out);

// Join, Custom and Unification: the spans taken of `file` (of `first`'s list
// in Unification, up to the first span that begins after the file's end).
std::vector<Span> joinSpans(int mode, const listrecord& file, const listrecord& first);
// Join: the frames a span yields of its file, never past the file's end.
std::int64_t joinSpanFrames(const Span& span, const listrecord& file);
// Join: all the source frames the run will write, for the progress and the
// fade-out: whole files in Time and Count, the spans otherwise.
std::int64_t joinTotal(int mode, const std::vector<listrecord>& files);

// Nearest integer, halves to even.
std::int64_t roundHalfEven(double value);

} // namespace PieceMath
