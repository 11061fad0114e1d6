#include "audio/OpusEncoder.h"

#include "audio/AudioError.h"
#include "audio/FreeWith.h"
#include "audio/OggHandles.h"
#include "audio/Resampler.h"
#include "audio/SaveOutput.h"

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

} // namespace

struct OpusEncoder::Impl {
    OpusFormat format{44100, 2, 128};
    QList<QByteArray> comments;

    // One open file; the encoder goes first, then the converter, and an
    // uncommitted QSaveFile removes its temporary on destruction.
    struct Stream {
        QSaveFile file;
        QString path;
        int rate = 0;
        int channels = 0;
        QString writeError;
        std::unique_ptr<Resampler> converter; // to 48 kHz, when the frames are not
        std::vector<float> converted;
        std::int64_t framesIn = 0;  // at `rate`
        std::int64_t framesOut = 0; // at 48 kHz, handed to libopusenc
        CPtr<OggOpusComments, ope_comments_destroy> comments;
        CPtr<OggOpusEnc, ope_encoder_destroy> encoder;

        QString failure(int error) const {
            return QStringLiteral("Cannot write %1: %2")
                .arg(path,
                     writeError.isEmpty() ? QString::fromLatin1(ope_strerror(error)) : writeError);
        }

        // Hands 48 kHz frames to libopusenc.
        void encode(const float* pcm, std::int64_t frames) {
            while (frames > 0) {
                const std::int64_t n = std::min(frames, kChunkFrames);
                const int error = ope_encoder_write_float(encoder.get(), pcm, int(n));
                if (error != OPE_OK)
                    throw AudioError(failure(error));
                framesOut += n;
                pcm += n * channels;
                frames -= n;
            }
        }
    };
    std::unique_ptr<Stream> stream;
    // libopusenc cannot end a stream that got no audio; such a piece is the
    // two headers alone, as an empty Ogg Vorbis piece is.
    void writeHeadersOnly(Stream& s) const;

    static int writeOut(void* user, const unsigned char* data, opus_int32 size) {
        auto* s = static_cast<Stream*>(user);
        while (size > 0) {
            const qint64 done = s->file.write(reinterpret_cast<const char*>(data), size);
            if (done <= 0) {
                s->writeError = s->file.errorString();
                return 1;
            }
            data += done;
            size -= opus_int32(done);
        }
        return 0;
    }
    static int closeOut(void*) { return 0; } // committed by close()
};

void OpusEncoder::Impl::writeHeadersOnly(Stream& s) const {
    QByteArray head("OpusHead");
    head.append(char(1));
    head.append(char(s.channels));
    putLe(head, kPreSkip, 2);
    putLe(head, std::uint32_t(s.rate), 4);
    putLe(head, 0, 2);
    head.append(char(0)); // mono or stereo: mapping family 0
    QByteArray tags("OpusTags");
    const QByteArray vendor(ope_get_version_string());
    putLe(tags, std::uint32_t(vendor.size()), 4);
    tags += vendor;
    putLe(tags, std::uint32_t(comments.size()), 4);
    for (const QByteArray& c : comments) {
        putLe(tags, std::uint32_t(c.size()), 4);
        tags += c;
    }
    OggStream os(int(QRandomGenerator::global()->generate() & 0x7fffffff));
    ogg_packet packet{};
    ogg_page page;
    const auto flushPages = [&] {
        while (ogg_stream_flush(os.get(), &page) != 0)
            for (const auto& [data, size] :
                 {std::pair{page.header, page.header_len}, std::pair{page.body, page.body_len}})
                if (writeOut(&s, data, opus_int32(size)) != 0)
                    throw AudioError(s.failure(OPE_WRITE_FAIL));
    };
    packet.packet = reinterpret_cast<unsigned char*>(head.data());
    packet.bytes = head.size();
    packet.b_o_s = 1;
    ogg_stream_packetin(os.get(), &packet);
    flushPages();
    packet.packet = reinterpret_cast<unsigned char*>(tags.data());
    packet.bytes = tags.size();
    packet.b_o_s = 0;
    packet.e_o_s = 1;
    packet.packetno = 1;
    ogg_stream_packetin(os.get(), &packet);
    flushPages();
}

OpusEncoder::OpusEncoder() : d(std::make_unique<Impl>()) {}

OpusEncoder::~OpusEncoder() = default;

void OpusEncoder::setFormat(const OpusFormat& format) {
    d->format = format;
}

void OpusEncoder::setComments(const QList<QByteArray>& comments) {
    d->comments = comments;
}

std::int64_t OpusEncoder::opusFrames(std::int64_t frames, int rate) {
    if (rate == kOpusRate || rate <= 0)
        return frames;
    return std::int64_t((static_cast<__int128>(frames) * kOpusRate + rate / 2) / rate);
}

void OpusEncoder::open(const QString& path) {
    refuseSecondOutput(d->stream != nullptr, path);
    const OpusFormat& f = d->format;
    if (f.rate <= 0 || f.channels <= 0 || f.channels > 8 || f.kbps <= 0)
        throw formatRefusal(path, QStringLiteral("Opus"), f.rate, f.channels,
                            QStringLiteral("%1 kbps").arg(f.kbps));

    auto s = std::make_unique<Impl::Stream>();
    s->path = path;
    s->rate = f.rate;
    s->channels = f.channels;
    openOutput(s->file, path);
    if (f.rate != kOpusRate)
        s->converter = std::make_unique<Resampler>(f.rate, f.channels, kOpusRate, f.channels);

    s->comments.reset(ope_comments_create());
    if (!s->comments)
        throw AudioError(QStringLiteral("Cannot create %1: out of memory").arg(path));
    for (const QByteArray& c : d->comments)
        if (c.contains('='))
            ope_comments_add_string(s->comments.get(), c.constData());

    const OpusEncCallbacks callbacks{&Impl::writeOut, &Impl::closeOut};
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
    d->stream = std::move(s);
}

void OpusEncoder::write(const float* interleaved, std::int64_t frames) {
    Impl::Stream* s = d->stream.get();
    if (!s)
        throw AudioError(QStringLiteral("Cannot write: no Opus file is open"));
    if (frames <= 0)
        return;
    try {
        s->framesIn += frames;
        if (!s->converter) {
            s->encode(interleaved, frames);
            return;
        }
        s->converted.clear();
        s->converter->convert(interleaved, frames, s->converted);
        s->encode(s->converted.data(), std::int64_t(s->converted.size()) / s->channels);
    } catch (...) {
        d->stream.reset(); // the file cannot be completed: drop it
        throw;
    }
}

void OpusEncoder::close() {
    if (!d->stream)
        return;
    std::unique_ptr<Impl::Stream> s = std::move(d->stream);
    // The converter's tail, cut or padded so that the file holds exactly the
    // 48 kHz length of what it was given: libopusenc sets the end granule
    // from the frames it got.
    const std::int64_t wanted = opusFrames(s->framesIn, s->rate);
    if (s->converter) {
        s->converted.clear();
        s->converter->flush(s->converted);
        const std::int64_t room = std::max<std::int64_t>(0, wanted - s->framesOut);
        s->converted.resize(size_t(room * s->channels), 0.0f);
        s->encode(s->converted.data(), room);
    }
    if (s->framesOut == 0 && s->channels <= 2) {
        s->encoder.reset();
        d->writeHeadersOnly(*s);
        putInPlace(s->file, s->path);
        return;
    }
    if (s->framesOut == 0) {
        // More channels need a mapping table; one silent frame stands in.
        const std::vector<float> silence(size_t(s->channels), 0.0f);
        s->encode(silence.data(), 1);
    }
    const int error = ope_encoder_drain(s->encoder.get());
    if (error != OPE_OK)
        throw AudioError(s->failure(error));
    s->encoder.reset();
    putInPlace(s->file, s->path);
}

EncoderShape OpusEncoder::shape() const {
    if (d->stream)
        return {true, d->stream->rate, d->stream->channels};
    return {false, d->format.rate, d->format.channels};
}
