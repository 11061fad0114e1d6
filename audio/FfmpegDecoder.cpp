#include "audio/FfmpegDecoder.h"
#include "audio/VectorState.h"

#include "audio/AudioError.h"
#include "audio/FileSeek.h"
#include "audio/SourceFile.h"

#include <QFile>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace {

struct IoDeleter {
    void operator()(AVIOContext* io) const {
        // The context may have replaced its buffer; free the one it holds.
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct FormatDeleter {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using IoPtr = std::unique_ptr<AVIOContext, IoDeleter>;
using FormatPtr = std::unique_ptr<AVFormatContext, FormatDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

constexpr int kIoBufferSize = 64 * 1024;
// Damaged packets in a row after which the stream is taken to end there.
constexpr int kMaxBadPackets = 64;

// What the demuxer may read and decode to find the streams: enough for any
// audio file, and no more however its headers describe it.
constexpr std::int64_t kProbeBytes = 1 << 20;
constexpr std::int64_t kAnalyzeMicroseconds = 2 * std::int64_t(AV_TIME_BASE);
// A codec frame larger than this is damage, not audio.
constexpr int kMaxFrameSamples = 1 << 20;
// No single buffer FFmpeg allocates for us needs more than this; a chunk length
// far past the file's end asks for more and is refused instead of allocated.
constexpr size_t kMaxAllocation = 64 * 1024 * 1024;
// Packets in a row without the demuxer moving on in the file, after which the
// stream is taken to end there.
constexpr int kMaxStalledPackets = 1024;

void logLine(void* context, int level, const char* format, va_list args) {
    static const bool wanted = qEnvironmentVariableIsSet("CADELO_FFMPEG_LOG");
    if (wanted)
        av_log_default_callback(context, level, format, args);
}

// FFmpeg reads through the SourceFile: every name it opens works, and the file is
// only ever opened for reading. The content alone decides the format.
int readPacket(void* source, uint8_t* buffer, int size) {
    const qint64 got = static_cast<QFile*>(source)->read(reinterpret_cast<char*>(buffer), size);
    return got > 0 ? int(got) : AVERROR_EOF;
}

int64_t seekPacket(void* source, int64_t offset, int whence) {
    auto* file = static_cast<QFile*>(source);
    if (whence & AVSEEK_SIZE)
        return file->size();
    const qint64 at = seekFile(*file, offset, whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(EINVAL) : at;
}

template <typename T, typename Scale>
void copySamples(const AVFrame* frame, bool planar, int offset, int count, float* out, int outCh,
                 Scale scale) {
    const int inCh = std::max(1, frame->ch_layout.nb_channels);
    for (int c = 0; c < outCh; ++c) {
        const int src = std::min(c, inCh - 1);
        if (planar) {
            const T* p = reinterpret_cast<const T*>(frame->extended_data[src]) + offset;
            for (int i = 0; i < count; ++i)
                out[i * outCh + c] = scale(p[i]);
        } else {
            const T* p =
                reinterpret_cast<const T*>(frame->data[0]) + std::int64_t(offset) * inCh + src;
            for (int i = 0; i < count; ++i)
                out[i * outCh + c] = scale(p[std::int64_t(i) * inCh]);
        }
    }
}

// Any sample format a decoder hands out, as interleaved float.
void convertSamples(const AVFrame* frame, int offset, int count, float* out, int outCh) {
    const auto format = AVSampleFormat(frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_FLT:
        copySamples<float>(frame, planar, offset, count, out, outCh, [](float v) { return v; });
        break;
    case AV_SAMPLE_FMT_DBL:
        copySamples<double>(frame, planar, offset, count, out, outCh,
                            [](double v) { return float(v); });
        break;
    case AV_SAMPLE_FMT_S16:
        copySamples<int16_t>(frame, planar, offset, count, out, outCh,
                             [](int16_t v) { return float(v) * (1.0f / 32768.0f); });
        break;
    case AV_SAMPLE_FMT_S32:
        copySamples<int32_t>(frame, planar, offset, count, out, outCh,
                             [](int32_t v) { return float(double(v) * (1.0 / 2147483648.0)); });
        break;
    case AV_SAMPLE_FMT_S64:
        copySamples<int64_t>(frame, planar, offset, count, out, outCh, [](int64_t v) {
            return float(double(v) * (1.0 / 9223372036854775808.0));
        });
        break;
    case AV_SAMPLE_FMT_U8:
        copySamples<uint8_t>(frame, planar, offset, count, out, outCh,
                             [](uint8_t v) { return (float(v) - 128.0f) * (1.0f / 128.0f); });
        break;
    default:
        std::fill(out, out + std::int64_t(count) * outCh, 0.0f);
        break;
    }
}

} // namespace

struct FfmpegDecoder::State {
    QString path;
    SourceFile file;
    // Destroyed in reverse order: the codec and the demuxer before the I/O
    // context they read through, and that before the file.
    IoPtr io;
    FormatPtr format;
    CodecPtr codec;
    PacketPtr packet;
    FramePtr frame;

    int stream = -1;
    AVRational timeBase{1, 1};
    AVRational sampleBase{1, 1}; // one frame of the stream, once its rate is known
    // Timestamp of the first decoded frame: frame 0 of the stream.
    std::int64_t firstPts = AV_NOPTS_VALUE;
    // When every codec frame has this many samples, positions taken from
    // (rounded) timestamps are snapped to it.
    int grid = 0;

    bool haveFrame = false; // `frame` holds samples not yet delivered
    int frameOffset = 0;    // of those, the first not delivered
    std::int64_t framePos = 0;
    std::int64_t nextPos = 0; // stream frame that follows the current frame
    bool needSync = false;    // the next frame's position comes from its timestamp
    bool syncFailed = false;
    bool inputDone = false;
    bool finished = false;
    std::int64_t dropUntil = 0; // frames before this one are decoded and dropped
    int packetsSeen = 0;

    QString text(const QString& reason) const { return Decoder::failureText(path, reason); }
    QString notAudio() const {
        return text(QStringLiteral("not an audio file this program can read"));
    }

    void openStream();
    bool receive();
    std::int64_t toFrames(std::int64_t pts) const;
    std::int64_t scanEnd();
    void rewindTo(std::int64_t target);
    std::int64_t position() const;
};

void FfmpegDecoder::State::openStream() {
    frame.reset();
    packet.reset();
    codec.reset();
    format.reset();
    io.reset();
    if (!file.seek(0))
        throw AudioError(notAudio());

    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (!buffer)
        throw AudioError(text(QStringLiteral("out of memory")));
    AVIOContext* ctx = avio_alloc_context(buffer, kIoBufferSize, 0, static_cast<QFile*>(&file),
                                          readPacket, nullptr, seekPacket);
    if (!ctx) {
        av_free(buffer);
        throw AudioError(text(QStringLiteral("out of memory")));
    }
    io.reset(ctx);

    AVFormatContext* fc = avformat_alloc_context();
    if (!fc)
        throw AudioError(text(QStringLiteral("out of memory")));
    fc->pb = io.get();
    fc->flags |= AVFMT_FLAG_CUSTOM_IO;
    fc->probesize = kProbeBytes;
    fc->format_probesize = int(kProbeBytes);
    fc->max_analyze_duration = kAnalyzeMicroseconds;
    fc->max_streams = 64;
    // On failure FFmpeg frees the context itself.
    if (avformat_open_input(&fc, "", nullptr, nullptr) < 0)
        throw AudioError(notAudio());
    format.reset(fc);
    if (avformat_find_stream_info(fc, nullptr) < 0)
        throw AudioError(notAudio());

    const AVCodec* decoder = nullptr;
    stream = av_find_best_stream(fc, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream < 0 || !decoder)
        throw AudioError(notAudio());
    for (unsigned i = 0; i < fc->nb_streams; ++i)
        if (int(i) != stream)
            fc->streams[i]->discard = AVDISCARD_ALL;
    AVStream* st = fc->streams[stream];
    timeBase = st->time_base;

    codec.reset(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), st->codecpar) < 0)
        throw AudioError(notAudio());
    codec->pkt_timebase = st->time_base;
    codec->max_samples = kMaxFrameSamples;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0)
        throw AudioError(notAudio());
    packet.reset(av_packet_alloc());
    frame.reset(av_frame_alloc());
    if (!packet || !frame)
        throw AudioError(text(QStringLiteral("out of memory")));

    haveFrame = false;
    frameOffset = 0;
    framePos = 0;
    nextPos = 0;
    needSync = false;
    syncFailed = false;
    inputDone = false;
    finished = false;
    dropUntil = 0;
}

std::int64_t FfmpegDecoder::State::toFrames(std::int64_t pts) const {
    std::int64_t pos = av_rescale_q(pts - firstPts, timeBase, sampleBase);
    if (grid > 0)
        pos = std::llround(double(pos) / grid) * grid;
    return pos;
}

// Takes the decoder's next frame, feeding it packets as needed. False at the
// end of the stream (or where damage ends it).
bool FfmpegDecoder::State::receive() {
    int badPackets = 0;
    int stalled = 0;
    std::int64_t lastAt = -1;
    for (;;) {
        const int r = avcodec_receive_frame(codec.get(), frame.get());
        if (r == 0) {
            const std::int64_t pts = frame->best_effort_timestamp != AV_NOPTS_VALUE
                                         ? frame->best_effort_timestamp
                                         : frame->pts;
            if (needSync) {
                needSync = false;
                if (pts == AV_NOPTS_VALUE || firstPts == AV_NOPTS_VALUE)
                    syncFailed = true;
                else
                    framePos = toFrames(pts);
            } else {
                framePos = nextPos;
            }
            nextPos = framePos + frame->nb_samples;
            if (frame->nb_samples <= 0)
                continue;
            return true;
        }
        if (r != AVERROR(EAGAIN))
            return false; // the end, or an error the decoder cannot get past
        if (inputDone)
            return false;
        const int got = av_read_frame(format.get(), packet.get());
        if (got < 0) {
            // End of input: drain what the decoder still holds.
            inputDone = true;
            avcodec_send_packet(codec.get(), nullptr);
            continue;
        }
        const std::int64_t at = avio_tell(format->pb);
        stalled = at == lastAt ? stalled + 1 : 0;
        lastAt = at;
        if (stalled > kMaxStalledPackets) {
            av_packet_unref(packet.get());
            inputDone = true;
            avcodec_send_packet(codec.get(), nullptr);
            continue;
        }
        if (packet->stream_index != stream) {
            av_packet_unref(packet.get());
            continue;
        }
        ++packetsSeen;
        const int sent = avcodec_send_packet(codec.get(), packet.get());
        av_packet_unref(packet.get());
        if (sent < 0 && sent != AVERROR(EAGAIN)) {
            // A damaged packet: skip it, unless nothing decodable follows.
            if (++badPackets > kMaxBadPackets) {
                inputDone = true;
                avcodec_send_packet(codec.get(), nullptr);
            }
        } else {
            badPackets = 0;
        }
    }
}

// The end of the last packet of the stream, for containers that state no
// duration. Leaves the demuxer at the end.
std::int64_t FfmpegDecoder::State::scanEnd() {
    std::int64_t end = AV_NOPTS_VALUE;
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == stream && packet->pts != AV_NOPTS_VALUE)
            end = std::max<std::int64_t>(end == AV_NOPTS_VALUE ? packet->pts : end,
                                         packet->pts + std::max<std::int64_t>(packet->duration, 0));
        av_packet_unref(packet.get());
    }
    return end;
}

// Starts decoding again from the first frame and drops up to `target`: slow
// for far targets, but exact and independent of the container's index.
void FfmpegDecoder::State::rewindTo(std::int64_t target) {
    openStream();
    dropUntil = target;
}

std::int64_t FfmpegDecoder::State::position() const {
    if (needSync)
        return dropUntil;
    const std::int64_t p = haveFrame ? framePos + frameOffset : nextPos;
    return std::max(p, dropUntil);
}

void FfmpegDecoder::setUpLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        av_log_set_callback(logLine);
        av_max_alloc(kMaxAllocation);
    });
}

FfmpegDecoder::FfmpegDecoder(const QString& path) : d(std::make_unique<State>()) {
    setUpLibraries();
    d->path = path;
    d->file.setSourceName(path);
    if (!d->file.open(QIODevice::ReadOnly))
        throw AudioError(d->text(
            QStringLiteral("cannot be opened for reading (%1)").arg(d->file.errorString())));
    d->openStream();
    if (!d->receive())
        throw AudioError(d->packetsSeen > 0 ? d->notAudio()
                                            : d->text(QStringLiteral("contains no audio")));

    const AVFrame* f = d->frame.get();
    m_rate = f->sample_rate > 0 ? f->sample_rate : d->codec->sample_rate;
    m_channels =
        f->ch_layout.nb_channels > 0 ? f->ch_layout.nb_channels : d->codec->ch_layout.nb_channels;
    if (m_rate <= 0 || m_channels <= 0)
        throw AudioError(d->notAudio());
    if (m_rate < kMinRate || m_rate > kMaxRate)
        throw AudioError(d->text(QStringLiteral("unsupported sample rate of %1 Hz").arg(m_rate)));
    if (m_channels > kMaxChannels)
        throw AudioError(
            d->text(QStringLiteral("unsupported number of channels (%1)").arg(m_channels)));
    d->sampleBase = AVRational{1, m_rate};
    // Integers of up to 24 bits pass through float unchanged; deeper ones do not.
    const AVCodecDescriptor* codec = avcodec_descriptor_get(d->codec->codec_id);
    const auto sampleFormat = av_get_packed_sample_fmt(AVSampleFormat(f->format));
    if (codec && (codec->props & AV_CODEC_PROP_LOSSLESS) &&
        (sampleFormat == AV_SAMPLE_FMT_S16 || sampleFormat == AV_SAMPLE_FMT_S32 ||
         sampleFormat == AV_SAMPLE_FMT_U8)) {
        const int raw = d->codec->bits_per_raw_sample;
        const int bits = raw > 0 ? raw : av_get_bytes_per_sample(sampleFormat) * 8;
        m_bits = bits <= 24 ? bits : 0;
    }
    d->firstPts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
    if (d->codec->frame_size > 0 && f->nb_samples % d->codec->frame_size == 0)
        d->grid = d->codec->frame_size;

    const AVStream* st = d->format->streams[d->stream];
    const bool guessed = d->format->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
    if (!guessed && st->duration != AV_NOPTS_VALUE && st->duration > 0) {
        m_length = av_rescale_q(st->duration, st->time_base, d->sampleBase);
    } else if (!guessed && d->format->duration != AV_NOPTS_VALUE && d->format->duration > 0) {
        m_length = av_rescale(d->format->duration, m_rate, AV_TIME_BASE);
    } else {
        const std::int64_t end = d->scanEnd();
        if (end != AV_NOPTS_VALUE && d->firstPts != AV_NOPTS_VALUE)
            m_length = av_rescale_q(end - d->firstPts, d->timeBase, d->sampleBase);
        d->openStream();
        if (!d->receive())
            throw AudioError(d->notAudio());
    }
    if (m_length <= 0)
        throw AudioError(d->text(QStringLiteral("contains no audio")));

    d->haveFrame = true;
    d->frameOffset = 0;
    d->framePos = 0;
    d->nextPos = d->frame->nb_samples;
}

FfmpegDecoder::~FfmpegDecoder() = default;

void FfmpegDecoder::seek(std::int64_t target) {
    target = std::max<std::int64_t>(target, 0);
    const std::int64_t current = d->position();
    // Close ahead (the next piece of a split, say): decoding on is exact and
    // cheaper than a seek.
    const std::int64_t nearAhead = std::int64_t(m_rate) * 3;
    if (!d->finished && target >= current && target - current <= nearAhead) {
        d->dropUntil = target;
        return;
    }
    // Land a little before the target so that the decoder has settled (overlap,
    // bit reservoir) when the wanted frame comes out.
    const std::int64_t preroll = std::max<std::int64_t>(m_rate / 5, 2 * std::max(d->grid, 1));
    const std::int64_t start = target - preroll;
    if (start <= 0 || d->firstPts == AV_NOPTS_VALUE) {
        d->rewindTo(target);
        return;
    }
    const std::int64_t ts = d->firstPts + av_rescale_q(start, d->sampleBase, d->timeBase);
    if (av_seek_frame(d->format.get(), d->stream, ts, AVSEEK_FLAG_BACKWARD) < 0) {
        d->rewindTo(target);
        return;
    }
    avcodec_flush_buffers(d->codec.get());
    d->haveFrame = false;
    d->frameOffset = 0;
    d->needSync = true;
    d->syncFailed = false;
    d->inputDone = false;
    d->finished = false;
    d->dropUntil = target;
}

std::int64_t FfmpegDecoder::read(float* out, std::int64_t frames) {
    clearUpperVectorState();
    std::int64_t got = 0;
    while (got < frames && !d->finished) {
        if (!d->haveFrame) {
            const bool syncing = d->needSync;
            if (!d->receive()) {
                d->finished = true;
                break;
            }
            // The index put us past the target, or the position is unknown:
            // only decoding from the start is exact then.
            if (syncing && (d->syncFailed || d->framePos > d->dropUntil)) {
                d->rewindTo(d->dropUntil);
                continue;
            }
            d->haveFrame = true;
            d->frameOffset = 0;
        }
        const int available = d->frame->nb_samples - d->frameOffset;
        const std::int64_t at = d->framePos + d->frameOffset;
        if (at < d->dropUntil) {
            const int skip = int(std::min<std::int64_t>(available, d->dropUntil - at));
            d->frameOffset += skip;
            if (d->frameOffset >= d->frame->nb_samples)
                d->haveFrame = false;
            continue;
        }
        const int n = int(std::min<std::int64_t>(available, frames - got));
        convertSamples(d->frame.get(), d->frameOffset, n, out + got * m_channels, m_channels);
        got += n;
        d->frameOffset += n;
        if (d->frameOffset >= d->frame->nb_samples)
            d->haveFrame = false;
    }
    return got;
}
