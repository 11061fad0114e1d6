#include "audio/OggCrc.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define CADELO_CRC_FOLDING 1
#endif

namespace {

constexpr std::uint64_t kPolynomial = 0x104c11db7ull; // with its x^32 term

struct Tables {
    std::uint32_t t[16][256];
    Tables() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i << 24;
            for (int b = 0; b < 8; ++b)
                r = (r << 1) ^ ((r & 0x80000000u) ? 0x04c11db7u : 0u);
            t[0][i] = r;
        }
        for (int k = 1; k < 16; ++k)
            for (int i = 0; i < 256; ++i)
                t[k][i] = (t[k - 1][i] << 8) ^ t[0][t[k - 1][i] >> 24];
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

#ifdef CADELO_CRC_FOLDING

// x^n modulo the polynomial, as 32 coefficients (bit i: x^i).
std::uint64_t xPowerMod(unsigned n) {
    std::uint64_t r = 1;
    for (unsigned i = 0; i < n; ++i) {
        r <<= 1;
        if (r & (1ull << 32))
            r ^= kPolynomial;
    }
    return r;
}

// A run of bytes read as one polynomial, sixteen bytes at a time, the first
// byte's top bit the highest term. The running value V, 128 coefficients, is
// carried over the next sixteen bytes as V * x^128 = H * x^192 + L * x^128
// (H and L its halves), each product by the remainders of those powers; what
// is left is congruent to the run, and its checksum as sixteen bytes is the
// run's. `n` is at least 16.
__attribute__((target("pclmul,ssse3"))) std::uint32_t foldRun(std::uint32_t crc,
                                                              const unsigned char* p, size_t n) {
    static const std::uint64_t k192 = xPowerMod(192);
    static const std::uint64_t k128 = xPowerMod(128);
    const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i k = _mm_set_epi64x(static_cast<long long>(k128), static_cast<long long>(k192));
    __m128i v = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), reverse);
    // The checksum so far stands in for the run before: it adds to the first bytes.
    v = _mm_xor_si128(v, _mm_set_epi32(static_cast<int>(crc), 0, 0, 0));
    p += 16;
    n -= 16;
    for (; n >= 16; n -= 16, p += 16) {
        const __m128i next =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), reverse);
        const __m128i high = _mm_clmulepi64_si128(v, k, 0x01);
        const __m128i low = _mm_clmulepi64_si128(v, k, 0x10);
        v = _mm_xor_si128(_mm_xor_si128(high, low), next);
    }
    alignas(16) unsigned char rest[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(rest), _mm_shuffle_epi8(v, reverse));
    crc = OggCrc::updateByTable(0, rest, 16);
    return OggCrc::updateByTable(crc, p, n);
}

bool canFold() {
    static const bool can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("ssse3");
    return can;
}

#endif

} // namespace

std::uint32_t OggCrc::updateByTable(std::uint32_t crc, const unsigned char* p, size_t n) {
    const auto& t = tables().t;
    for (; n >= 16; n -= 16, p += 16) {
        crc ^= std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
               std::uint32_t(p[3]);
        crc = t[15][crc >> 24] ^ t[14][(crc >> 16) & 0xff] ^ t[13][(crc >> 8) & 0xff] ^
              t[12][crc & 0xff] ^ t[11][p[4]] ^ t[10][p[5]] ^ t[9][p[6]] ^ t[8][p[7]] ^ t[7][p[8]] ^
              t[6][p[9]] ^ t[5][p[10]] ^ t[4][p[11]] ^ t[3][p[12]] ^ t[2][p[13]] ^ t[1][p[14]] ^
              t[0][p[15]];
    }
    for (; n > 0; --n, ++p)
        crc = (crc << 8) ^ t[0][(crc >> 24) ^ *p];
    return crc;
}

std::uint32_t OggCrc::update(std::uint32_t crc, const unsigned char* p, size_t n) {
#ifdef CADELO_CRC_FOLDING
    // Below a few blocks the tables are as quick.
    if (n >= 64 && canFold())
        return foldRun(crc, p, n);
#endif
    return updateByTable(crc, p, n);
}

std::uint32_t OggCrc::page(const unsigned char* header, size_t headerLen, const unsigned char* body,
                           size_t bodyLen) {
    static constexpr unsigned char zero[4] = {0, 0, 0, 0};
    std::uint32_t crc = updateByTable(0, header, 22);
    crc = updateByTable(crc, zero, 4);
    crc = updateByTable(crc, header + 26, headerLen - 26);
    return update(crc, body, bodyLen);
}
