#include "audio/DecoderFactory.h"

#include "audio/AudioError.h"
#include "audio/BuiltInDecoders.h"
#include "audio/FfmpegModule.h"
#include "audio/NativeName.h"
#include "audio/SourceFile.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace {

// Enough for an ID3v2 tag of ordinary size plus the first MPEG frame header;
// a larger tag is skipped by seeking.
constexpr qint64 kHeadBytes = 64 * 1024;
// Zero padding or junk tolerated between an ID3v2 tag and the first frame.
constexpr int kSyncWindow = 4096;

bool isOggVorbis(const QByteArray& h) {
    // The first page's first packet is the Vorbis identification header.
    if (h.size() < 28 || !h.startsWith("OggS"))
        return false;
    const int segments = static_cast<unsigned char>(h[26]);
    const int body = 27 + segments;
    return h.size() >= body + 7 && h.mid(body, 7) == QByteArray("\x01vorbis", 7);
}

// An MPEG audio frame header (layer I-III): the 11-bit sync, a valid version,
// a layer (00 would be ADTS AAC), and bitrate and rate indexes in range.
bool isMpegHeader(const unsigned char* p) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    const int version = (p[1] >> 3) & 0x03;
    const int layer = (p[1] >> 1) & 0x03;
    const int bitrate = (p[2] >> 4) & 0x0F;
    const int rate = (p[2] >> 2) & 0x03;
    return version != 1 && layer != 0 && bitrate != 0x0F && rate != 0x03;
}

// Bytes of the frame that starts with header `p`; 0 for free-format frames.
int mpegFrameBytes(const unsigned char* p) {
    static const int kbps[2][3][16] = {
        {// MPEG 1: layer I, II, III
         {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
        {// MPEG 2 and 2.5
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
    static const int rates[3][3] = {
        {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
    const int version = (p[1] >> 3) & 0x03;     // 3: MPEG 1, 2: MPEG 2, 0: MPEG 2.5
    const int layer = 3 - ((p[1] >> 1) & 0x03); // 0: layer I .. 2: layer III
    const int mpeg1 = version == 3;
    const int bitrate = kbps[mpeg1 ? 0 : 1][layer][(p[2] >> 4) & 0x0F] * 1000;
    const int rate = rates[mpeg1 ? 0 : (version == 2 ? 1 : 2)][(p[2] >> 2) & 0x03];
    const int padding = (p[2] >> 1) & 0x01;
    if (bitrate == 0)
        return 0;
    if (layer == 0)
        return (12 * bitrate / rate + padding) * 4;
    if (layer == 2 && !mpeg1)
        return 72 * bitrate / rate + padding;
    return 144 * bitrate / rate + padding;
}

// A frame header at `at` whose successor, where the data reaches it, is a
// frame header of the same stream: one stray 0xFFE is not MPEG audio.
bool mpegFrameAt(const QByteArray& h, qint64 at) {
    const auto* p = reinterpret_cast<const unsigned char*>(h.constData());
    if (at + 4 > h.size() || !isMpegHeader(p + at))
        return false;
    const int bytes = mpegFrameBytes(p + at);
    if (bytes == 0 || at + bytes + 4 > h.size())
        return true; // free format or a one-frame file: libmpg123 has the last word
    const unsigned char* next = p + at + bytes;
    return isMpegHeader(next) && (next[1] & 0xFE) == (p[at + 1] & 0xFE) &&
           (next[2] & 0x0C) == (p[at + 2] & 0x0C);
}

bool mpegSyncNear(const QByteArray& h, qint64 from) {
    const qint64 last = std::min<qint64>(h.size() - 4, from + kSyncWindow);
    for (qint64 i = from; i <= last; ++i)
        if (mpegFrameAt(h, i))
            return true;
    return false;
}

qint64 id3v2Size(const QByteArray& h) {
    if (h.size() < 10 || !h.startsWith("ID3"))
        return -1;
    const auto* p = reinterpret_cast<const unsigned char*>(h.constData());
    const qint64 size = (qint64(p[6] & 0x7F) << 21) | (qint64(p[7] & 0x7F) << 14) |
                        (qint64(p[8] & 0x7F) << 7) | qint64(p[9] & 0x7F);
    const bool footer = p[5] & 0x10;
    return 10 + size + (footer ? 10 : 0);
}

QString failure(const QString& path, const char* reason) {
    return Decoder::failureText(path, QLatin1String(reason));
}

// No audio file holds less than this per second, whatever its codec: a stated
// length that needs less is made up.
constexpr double kMinBytesPerSecond = 1.0;
// Up to this size a file whose stated length is made up is decoded to count
// its frames; a larger one is refused.
constexpr qint64 kMaxCountedBytes = 64 * 1024 * 1024;
constexpr std::int64_t kCountBlock = 16384;

bool plausibleLength(std::int64_t frames, int rate, qint64 bytes) {
    return double(frames) / rate <= double(bytes) / kMinBytesPerSecond + 1.0;
}

// The frames decoding delivers, at most `limit`; leaves the decoder at frame 0.
std::int64_t countFrames(Decoder& decoder, std::int64_t limit) {
    std::vector<float> buffer(size_t(kCountBlock * decoder.channels()));
    std::int64_t total = 0;
    while (total <= limit) {
        const std::int64_t got = decoder.read(buffer.data(), kCountBlock);
        if (got <= 0)
            break;
        total += got;
    }
    return total;
}

} // namespace

DecoderFactory::Kind DecoderFactory::sniff(const QByteArray& head) {
    if (isOggVorbis(head))
        return Kind::OggVorbis;
    if (mpegFrameAt(head, 0))
        return Kind::Mpeg;
    return Kind::Other;
}

std::unique_ptr<Decoder> DecoderFactory::open(const QString& path) {
    std::unique_ptr<Decoder> decoder = openDecoder(path);
    const int rate = decoder->sampleRate();
    const int channels = decoder->channels();
    if (rate < Decoder::kMinRate || rate > Decoder::kMaxRate)
        throw AudioError(Decoder::failureText(
            path, QStringLiteral("unsupported sample rate of %1 Hz").arg(rate)));
    if (channels < 1 || channels > Decoder::kMaxChannels)
        throw AudioError(Decoder::failureText(
            path, QStringLiteral("unsupported number of channels (%1)").arg(channels)));

    std::error_code sizeError;
    const auto size = std::filesystem::file_size(NativeName::toPath(path), sizeError);
    const qint64 bytes = sizeError ? 0 : qint64(size);
    if (!plausibleLength(decoder->length(), rate, bytes)) {
        // A length the file's size cannot hold: what decoding delivers stands.
        if (bytes > kMaxCountedBytes)
            throw AudioError(failure(path, "states a length its size cannot hold"));
        const std::int64_t limit = std::int64_t(double(bytes) / kMinBytesPerSecond + 1.0) * rate;
        const std::int64_t counted = countFrames(*decoder, limit);
        if (counted <= 0)
            throw AudioError(failure(path, "contains no audio"));
        if (counted > limit)
            throw AudioError(failure(path, "states a length its size cannot hold"));
        decoder->m_length = counted;
        decoder->seek(0);
    }
    return decoder;
}

std::unique_ptr<Decoder> DecoderFactory::openDecoder(const QString& path) {
    // Only a regular file: opening a pipe would wait for a writer for ever,
    // and a device or socket holds no file to read.
    std::error_code error;
    const std::filesystem::file_status status =
        std::filesystem::status(NativeName::toPath(path), error);
    if (error || !std::filesystem::exists(status))
        throw AudioError(failure(path, "file not found"));
    if (std::filesystem::is_directory(status))
        throw AudioError(failure(path, "is a folder, not an audio file"));
    if (!std::filesystem::is_regular_file(status))
        throw AudioError(failure(path, "is not a regular file (a pipe, device or socket)"));

    SourceFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AudioError(Decoder::failureText(
            path, QStringLiteral("cannot be opened for reading (%1)").arg(file.errorString())));
    QByteArray head = file.read(kHeadBytes);
    if (head.isEmpty())
        throw AudioError(failure(path, "the file is empty"));

    Kind kind = sniff(head);
    if (kind == Kind::Other) {
        const qint64 tag = id3v2Size(head);
        if (tag > 0) {
            // An ID3v2 tag in front: MPEG audio when a frame follows it.
            QByteArray after;
            if (tag + kSyncWindow + 8192 <= head.size())
                after = head.mid(tag);
            else if (file.seek(tag))
                after = file.read(kSyncWindow + 8192);
            if (after.size() >= 4 && mpegSyncNear(after, 0))
                kind = Kind::Mpeg;
        }
    }
    file.close();

    switch (kind) {
    case Kind::OggVorbis:
        return openVorbisDecoder(path);
    case Kind::Mpeg:
        try {
            return openMpg123Decoder(path);
        } catch (const AudioError&) {
            // Looked like MPEG audio at first glance; let FFmpeg have a go.
        }
        break;
    case Kind::Other:
        break;
    }
    // Everything else is FFmpeg's, whose module is opened by the first such file.
    FfmpegModule* ffmpeg = nullptr;
    try {
        ffmpeg = &FfmpegModule::instance();
    } catch (const AudioError& e) {
        throw ModuleMissing(Decoder::failureText(
            path, QStringLiteral("cannot be read without FFmpeg (%1)").arg(e.message())));
    }
    return ffmpeg->openDecoder(path);
}
