#include "audio/MulDiv.h"

std::int64_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c == 0)
        return -1;
    // 128-bit product: frames times milliseconds of long files overflows 64 bits.
    const __int128 product = static_cast<__int128>(a) * b;
    const bool negative = (product < 0) != (c < 0);
    const __int128 num = product < 0 ? -product : product;
    const __int128 den = c < 0 ? -static_cast<__int128>(c) : c;
    __int128 q = num / den;
    if ((num % den) * 2 >= den)
        ++q;
    return static_cast<std::int64_t>(negative ? -q : q);
}

std::int64_t wholeMs(std::int64_t frames, int rate) {
    if (rate <= 0)
        return 0;
    const __int128 ms = static_cast<__int128>(frames) * 1000 / rate;
    return ms > INT64_MAX ? INT64_MAX : static_cast<std::int64_t>(ms);
}
