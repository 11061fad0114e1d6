// The MPEG audio frames of an MP3 file, found without decoding: where each
// Layer III frame lies, how far back its bit reservoir reaches, and what the
// file's Xing/LAME header says about its encoder delay and padding.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

class QIODevice;

// What one four-byte frame header says.
struct Mp3Header {
    enum class Version { Mpeg1, Mpeg2, Mpeg25 };
    Version version = Version::Mpeg1;
    int layer = 3;
    int bitrateIndex = 0; // 0: free format
    int rateIndex = 0;
    bool padding = false;
    bool crc = false;
    bool mono = false;

    // The header at `p` (four bytes), or nothing where it is no frame header.
    static std::optional<Mp3Header> parse(const unsigned char* p);
    // The four bytes of this header; `like` supplies the bits kept as they are
    // (private, mode extension, copyright, original, emphasis).
    void store(unsigned char* p, const unsigned char* like) const;

    int sampleRate() const;
    int samplesPerFrame() const;
    int channels() const { return mono ? 1 : 2; }
    int sideInfoBytes() const;
    // The frame's length in bytes, 0 for free format (its length is the
    // stream's, plus the padding byte).
    int frameBytes() const;
    int bitrateKbps() const;
    // Frames of one stream share all of these.
    bool sameStream(const Mp3Header& other) const;
};

// A Layer III frame of the stream.
struct Mp3Frame {
    std::int64_t offset = 0;
    int bytes = 0;
    int mainDataBegin = 0; // bytes of main data taken from the frames before it
    int mainDataBytes = 0; // bytes after its side information
    int bitrateIndex = 0;
};

// Why a file's frames cannot be cut: the message says what is wrong with it.
class Mp3Refused : public std::runtime_error {
  public:
    explicit Mp3Refused(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

struct Mp3Stream {
    Mp3Header header; // the first audio frame's
    unsigned char headerBytes[4] = {};
    int freeFormatBytes = 0;      // a free-format stream's frame length without padding
    std::vector<Mp3Frame> frames; // the audio frames (not the Xing/LAME frame)

    // From the Xing/LAME frame at the start, where there is one.
    bool hasInfoFrame = false;
    std::int64_t declaredFrames = -1;
    int encoderDelay = -1;
    int encoderPadding = -1;
    std::int64_t lameExtensionOffset = 0; // where its LAME extension lies, 0 when none
    unsigned char lameExtension[36] = {}; // its bytes (those the file has)
    // Nothing lies between the tags at the start and the first frame, nor
    // between the last frame and the tags at the end.
    bool framesFillFile = false;

    // Frames of the decode of the source (libmpg123, gapless) before its frame
    // 0 in the decode of all its frames, and its length in frames.
    std::int64_t skippedFrames() const;
    std::int64_t lengthFrames() const;
};

// The CRC-16 a LAME header keeps of itself and of the audio (polynomial
// 0x8005, bits reflected, starting from 0), continued from `crc`.
std::uint16_t lameCrc16(const unsigned char* p, std::int64_t n, std::uint16_t crc = 0);

// The bytes of a file at any offset, a window of them read at a time (or
// all of them at hand): the frames are found, and a piece written, reading
// the file in order once. Reading costs less than mapping where the system
// maps a file it holds in small pages page by page.
class ByteWindow {
  public:
    explicit ByteWindow(QByteArrayView all);
    // Reads `device`, a file that seeks; `name` names it in an AudioError.
    ByteWindow(QIODevice& device, const QString& name);

    // What a caller asks for at most at once.
    static constexpr std::int64_t MostAtOnce = 4 * 1024 * 1024;

    std::int64_t size() const { return m_size; }
    // The `n` bytes from `pos`, which lie in the file; valid until the next
    // call. Throws AudioError where the file cannot be read.
    const unsigned char* at(std::int64_t pos, std::int64_t n) {
        if (pos >= m_start && pos + n <= m_end)
            return m_data + (pos - m_start);
        return fetch(pos, n);
    }

  private:
    const unsigned char* fetch(std::int64_t pos, std::int64_t n);

    QIODevice* m_device = nullptr;
    QString m_name;
    std::unique_ptr<unsigned char[]> m_buffer;
    std::int64_t m_capacity = 0;
    const unsigned char* m_data = nullptr;
    std::int64_t m_start = 0;
    std::int64_t m_end = 0;
    std::int64_t m_size = 0;
};

// True when `bytes` (the start of a file) open with an ID3v2 tag or an MPEG
// audio frame header: a file the MP3 cutter speaks for.
bool looksLikeMpegAudio(QByteArrayView bytes);

// Finds every frame of the file's bytes, skipping ID3v2 tags at the start and
// ID3v1, ID3v2 and APE tags at the end. Throws Mp3Refused when the stream is
// not one Layer III stream or a frame in it is damaged or missing; junk after
// the last frame is left out.
Mp3Stream scanMp3(QByteArrayView file);
Mp3Stream scanMp3(ByteWindow& file);
