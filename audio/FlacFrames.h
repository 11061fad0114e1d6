// The frames of a native FLAC file found without decoding them: STREAMINFO,
// where each frame lies and which samples it holds, every frame's CRC-16
// checked; and frame headers renumbered for a stream of their own.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

class QIODevice;

struct FlacStreamInfo {
    int minBlock = 0;
    int maxBlock = 0;
    int minFrameBytes = 0; // 0: not known
    int maxFrameBytes = 0;
    int rate = 0;
    int channels = 0;
    int bits = 0;
    std::int64_t totalSamples = 0; // 0: not known
    std::array<unsigned char, 16> md5{};

    // The 34 bytes of the block.
    std::array<unsigned char, 34> encoded() const;
};

// One frame header as found.
struct FlacFrameHeader {
    int bytes = 0;         // up to and with the CRC-8
    bool variable = false; // the blocking strategy: a sample number, not a frame number
    std::uint64_t number = 0;
    int blockSize = 0;
    int numberEnd = 0; // where the coded number ends (from the sync)
};

struct FlacFrame {
    std::int64_t offset = 0; // in the file
    std::int32_t bytes = 0;  // with the header and the CRC-16
    std::int16_t headerBytes = 0;
    std::int32_t samples = 0;
    std::int64_t firstSample = 0; // into the stream
};

struct FlacFrames {
    FlacStreamInfo info;
    std::vector<FlacFrame> frames;
    std::int64_t samples() const {
        return frames.empty() ? 0 : frames.back().firstSample + frames.back().samples;
    }
};

namespace FlacFrameScan {

enum class Verdict {
    Sound,      // every frame found and its CRC-16 right
    NotHandled, // not native FLAC, or a stream whose frames are not taken as they are
    Damaged,    // a frame whose bytes are wrong, or missing
};

// Reads `bytes`, a whole file, into `found`; `why` says what is not handled
// or damaged (for the person: where, in bytes and in the stream's time).
Verdict scan(QByteArrayView bytes, FlacFrames& found, QString& why);

// True when `file` (at its start) opens like native FLAC, after an ID3v2
// tag if there is one. Reads a few bytes and goes back to the start.
bool looksLikeFlac(QIODevice& file);

// Reads the frame header at `p` (of `size` bytes on), for a stream of `info`.
bool readHeader(const unsigned char* p, std::size_t size, const FlacStreamInfo& info,
                FlacFrameHeader& header);

// Writes to `out` (room for 16 bytes) the header `old` (read as `header`)
// as one of a variable-blocksize stream whose frame begins at sample
// `sample`; its length.
int renumberedHeader(const unsigned char* old, const FlacFrameHeader& header, std::uint64_t sample,
                     unsigned char* out);

// The frame CRC-16 (polynomial 0x8005, from 0) of `size` bytes after
// `crc`, the value of what came before.
std::uint16_t crc16(std::uint16_t crc, const unsigned char* p, std::size_t size);
// The CRC-16 of a frame whose header `oldHeader` became `newHeader`, both
// followed by `bodyBytes` bytes, from the old frame's right CRC-16: what the
// CRC-16 takes from a header's bytes passes through the body unchanged by
// what the body holds, so the body needs not be read again.
std::uint16_t crc16Renumbered(std::uint16_t oldCrc, const unsigned char* oldHeader, int oldBytes,
                              const unsigned char* newHeader, int newBytes, std::int64_t bodyBytes);

} // namespace FlacFrameScan
