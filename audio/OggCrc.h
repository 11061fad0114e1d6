// The Ogg page checksum: polynomial 0x04c11db7, most significant bit first,
// no reflection, starting from 0, no final inversion. Every byte a lossless
// cut reads or writes goes through it, so long runs are folded sixteen bytes
// at a time with carry-less multiplication where the processor has it, and
// go through tables sixteen bytes a step elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>

class OggCrc {
  public:
    // The checksum of `n` more bytes at `p` after a run whose checksum is `crc`.
    static std::uint32_t update(std::uint32_t crc, const unsigned char* p, size_t n);
    // The same through the tables alone, whatever the processor.
    static std::uint32_t updateByTable(std::uint32_t crc, const unsigned char* p, size_t n);

    // The checksum of a page whose own checksum field is taken as zero.
    static std::uint32_t page(const unsigned char* header, size_t headerLen,
                              const unsigned char* body, size_t bodyLen);

    // The checksum a page holds, and storing one there.
    static std::uint32_t stored(const unsigned char* header) {
        return std::uint32_t(header[22]) | std::uint32_t(header[23]) << 8 |
               std::uint32_t(header[24]) << 16 | std::uint32_t(header[25]) << 24;
    }
    static void store(unsigned char* header, std::uint32_t crc) {
        for (int i = 0; i < 4; ++i)
            header[22 + i] = static_cast<unsigned char>(crc >> (8 * i));
    }
};
