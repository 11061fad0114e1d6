// Integer scaling used for every conversion between slider positions, seconds
// and sample frames.
#pragma once

#include <cstdint>

// a * b / c with a 64-bit intermediate product, rounded to nearest with halves
// away from zero; -1 when c is 0.
std::int64_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c);

// The whole milliseconds in `frames` frames at `rate`, rounded down; 0 for a
// rate of 0, and the largest value where the product would not fit.
std::int64_t wholeMs(std::int64_t frames, int rate);
