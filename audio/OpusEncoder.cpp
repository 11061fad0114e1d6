#include "audio/OpusEncoder.h"

#include "audio/AudioError.h"
#include "audio/FreeWith.h"
#include "audio/OggHandles.h"
#include "audio/Resampler.h"

#include <QRandomGenerator>
#include <algorithm>
#include <climits>
#include <opusenc.h>
#include <vector>

namespace {

constexpr int kOpusRate = 48000;
// Frames handed to libopusenc at a time (its count is an int).
constexpr std::int64_t kChunkFrames = 1 << 16;

// libopus's own look-ahead at 48 kHz, the pre-skip of a stream it begins.
constexpr int kPreSkip = 312;

void putLe(QByteArray& to, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        to.append(char((v >> (8 * i)) & 0xff));
}

// One open file; the encoder goes first, then the converter.
struct OpusOutput : Encoder::Output {
    OpusOutput(const QString& path, int rate, int channels, const QList<QByteArray>& tags)
        : Output(path, rate, channels), tags(tags) {}

    QList<QByteArray> tags;               // for a file of the headers alone
    std::unique_ptr<Resampler> converter; // to 48 kHz, when the frames are not
    std::vector<float> converted;
    std::int64_t framesIn = 0;  // at `rate`
    std::int64_t framesOut = 0; // at 48 kHz, handed to libopusenc
    CPtr<OggOpusComments, ope_comments_destroy> comments;
    CPtr<OggOpusEnc, ope_encoder_destroy> encoder;

    void encode(const float* interleaved, std::int64_t frames) override;
    void finish() override;

    QString libraryFailure(int error) const {
        return failure(QString::fromLatin1(ope_strerror(error)));
    }

    // Hands 48 kHz frames to libopusenc.
    void hand(const float* pcm, std::int64_t frames) {
        while (frames > 0) {
            const std::int64_t n = std::min(frames, kChunkFrames);
            const int error = ope_encoder_write_float(encoder.get(), pcm, int(n));
            if (error != OPE_OK)
                throw AudioError(libraryFailure(error));
            framesOut += n;
            pcm += n * channels;
            frames -= n;
        }
    }
    // libopusenc cannot end a stream that got no audio; such a piece is the
    // two headers alone, as an empty Ogg Vorbis piece is.
    void writeHeadersOnly();

    static int writeOut(void* user, const unsigned char* data, opus_int32 size) {
        return static_cast<OpusOutput*>(user)->put(reinterpret_cast<const char*>(data), size) ? 0
                                                                                              : 1;
    }
    static int closeOut(void*) { return 0; } // committed by close()
};

void OpusOutput::writeHeadersOnly() {
    QByteArray head("OpusHead");
    head.append(char(1));
    head.append(char(channels));
    putLe(head, kPreSkip, 2);
    putLe(head, std::uint32_t(rate), 4);
    putLe(head, 0, 2);
    head.append(char(0)); // mono or stereo: mapping family 0
    QByteArray packed("OpusTags");
    const QByteArray vendor(ope_get_version_string());
    putLe(packed, std::uint32_t(vendor.size()), 4);
    packed += vendor;
    putLe(packed, std::uint32_t(tags.size()), 4);
    for (const QByteArray& c : tags) {
        putLe(packed, std::uint32_t(c.size()), 4);
        packed += c;
    }
    OggStream os(int(QRandomGenerator::global()->generate() & 0x7fffffff));
    ogg_packet packet{};
    ogg_page page;
    const auto flushPages = [&] {
        while (ogg_stream_flush(os.get(), &page) != 0)
            for (const auto& [data, size] :
                 {std::pair{page.header, page.header_len}, std::pair{page.body, page.body_len}})
                if (!put(reinterpret_cast<const char*>(data), size))
                    throw AudioError(libraryFailure(OPE_WRITE_FAIL));
    };
    packet.packet = reinterpret_cast<unsigned char*>(head.data());
    packet.bytes = head.size();
    packet.b_o_s = 1;
    ogg_stream_packetin(os.get(), &packet);
    flushPages();
    packet.packet = reinterpret_cast<unsigned char*>(packed.data());
    packet.bytes = packed.size();
    packet.b_o_s = 0;
    packet.e_o_s = 1;
    packet.packetno = 1;
    ogg_stream_packetin(os.get(), &packet);
    flushPages();
}

void OpusOutput::encode(const float* interleaved, std::int64_t frames) {
    framesIn += frames;
    if (!converter) {
        hand(interleaved, frames);
        return;
    }
    converted.clear();
    converter->convert(interleaved, frames, converted);
    hand(converted.data(), std::int64_t(converted.size()) / channels);
}

void OpusOutput::finish() {
    // The converter's tail, cut or padded so that the file holds exactly the
    // 48 kHz length of what it was given: libopusenc sets the end granule
    // from the frames it got.
    const std::int64_t wanted = OpusEncoder::opusFrames(framesIn, rate);
    if (converter) {
        converted.clear();
        converter->flush(converted);
        const std::int64_t room = std::max<std::int64_t>(0, wanted - framesOut);
        converted.resize(size_t(room * channels), 0.0f);
        hand(converted.data(), room);
    }
    if (framesOut == 0 && channels <= 2) {
        encoder.reset();
        writeHeadersOnly();
        return;
    }
    if (framesOut == 0) {
        // More channels need a mapping table; one silent frame stands in.
        const std::vector<float> silence(size_t(channels), 0.0f);
        hand(silence.data(), 1);
    }
    const int error = ope_encoder_drain(encoder.get());
    if (error != OPE_OK)
        throw AudioError(libraryFailure(error));
    encoder.reset();
}

} // namespace

OpusEncoder::OpusEncoder() : CommentedEncoder("Opus", {44100, 2, 128}) {}

std::int64_t OpusEncoder::opusFrames(std::int64_t frames, int rate) {
    if (rate == kOpusRate || rate <= 0)
        return frames;
    return std::int64_t((static_cast<__int128>(frames) * kOpusRate + rate / 2) / rate);
}

std::unique_ptr<Encoder::Output> OpusEncoder::start(const QString& path) {
    const OpusFormat& f = format();
    if (f.rate <= 0 || f.channels <= 0 || f.channels > 8 || f.kbps <= 0)
        refuseFormat(path, QStringLiteral("%1 kbps").arg(f.kbps));

    auto s = std::make_unique<OpusOutput>(path, f.rate, f.channels, comments());
    s->create();
    if (f.rate != kOpusRate)
        s->converter = std::make_unique<Resampler>(f.rate, f.channels, kOpusRate, f.channels);

    s->comments.reset(ope_comments_create());
    if (!s->comments)
        throw AudioError(QStringLiteral("Cannot create %1: out of memory").arg(path));
    for (const QByteArray& c : comments())
        if (c.contains('='))
            ope_comments_add_string(s->comments.get(), c.constData());

    const OpusEncCallbacks callbacks{&OpusOutput::writeOut, &OpusOutput::closeOut};
    int error = OPE_OK;
    // Mapping family 0 holds mono and stereo; more channels take Vorbis's order.
    s->encoder.reset(ope_encoder_create_callbacks(&callbacks, s.get(), s->comments.get(), kOpusRate,
                                                  f.channels, f.channels > 2 ? 1 : 0, &error));
    if (!s->encoder || error != OPE_OK)
        throw AudioError(QStringLiteral("Cannot create %1: %2")
                             .arg(path, QString::fromLatin1(ope_strerror(error))));
    // The bitrate is the whole stream's; libopus takes 6 to 510 kbps a stream.
    const int kbps = std::clamp(f.kbps, 6, 510 * ((f.channels + 1) / 2));
    ope_encoder_ctl(s->encoder.get(), OPUS_SET_BITRATE(opus_int32(kbps) * 1000));
    return s;
}
