#include "audio/BuiltInDecoders.h"
#include "audio/VectorState.h"

#include "audio/AudioError.h"
#include "audio/FileSeek.h"
#include "audio/MulDiv.h"
#include "audio/Resampler.h"
#include "audio/SourceFile.h"
#include "audio/VorbisFileCallbacks.h"
#include "audio/VorbisHeaderCheck.h"

#include <QFile>
#include <algorithm>
#include <climits>
#include <numeric>
#include <vector>
#include <vorbis/vorbisfile.h>

namespace {

// Gaps in the page sequence in a row after which the stream is taken to end:
// each one costs a page, so this only guards against a decoder that stops
// consuming its input.
constexpr int kMaxHoles = 100000;
// A converted link may come out a few frames off its computed length; up to
// this many missing frames are made up with silence.
constexpr std::int64_t kMaxPadFrames = 256;
// Frames of a converted link the converter is given before a seek's target;
// more than libswresample's filter reaches back.
constexpr std::int64_t kConverterHistory = 256;

void interleave(float* const* pcm, long n, int channels, float* dst) {
    if (channels == 1) {
        std::copy(pcm[0], pcm[0] + n, dst);
        return;
    }
    for (int c = 0; c < channels; ++c) {
        const float* src = pcm[c];
        for (long i = 0; i < n; ++i)
            dst[i * channels + c] = src[i];
    }
}

// One link of a chained stream: where it lies in libvorbisfile's frame count
// (its own rate) and in ours (the decoder's rate).
struct Link {
    std::int64_t pcmStart = 0;
    std::int64_t pcmLength = 0;
    int rate = 0;
    int channels = 0;
    std::int64_t outStart = 0;
    std::int64_t outLength = 0;
};

struct VorbisState {
    SourceFile file;
    OggVorbis_File vf{};
    bool vfOpen = false;
    bool atEnd = false;

    std::vector<Link> links;
    int link = 0;                    // the link being decoded
    std::unique_ptr<Resampler> conv; // for a link in another format than ours
    std::int64_t produced = 0;       // frames of ours made of the link so far
    std::int64_t drop = 0;           // frames still to drop to reach a seek target
    std::vector<float> pending;      // frames of ours not handed out yet
    size_t pendingAt = 0;
    std::vector<float> scratch;

    ~VorbisState() {
        if (vfOpen)
            ov_clear(&vf);
    }

    bool sameFormat(int index, int rate, int channels) const {
        return links[size_t(index)].rate == rate && links[size_t(index)].channels == channels;
    }
    void startLink(int index, std::int64_t producedAlready, int rate, int channels);
    void append(const float* frames, std::int64_t n, int channels);
    void queue(float* const* pcm, long n, int channels);
    // The next block of libvorbisfile's frames, past holes; 0 at the end.
    long decode(float**& pcm, std::int64_t frames, int rate, int channels);
    void finishLink(int channels);
};

// From here on frames of link `index` come; `producedAlready` of ours stand
// before the first of them.
void VorbisState::startLink(int index, std::int64_t producedAlready, int rate, int channels) {
    link = std::clamp(index, 0, int(links.size()) - 1);
    produced = producedAlready;
    conv.reset();
    const Link& l = links[size_t(link)];
    if (!sameFormat(link, rate, channels))
        conv = std::make_unique<Resampler>(l.rate, l.channels, rate, channels);
}

// Queues frames of ours, cut to the link's length and past what a seek drops.
void VorbisState::append(const float* frames, std::int64_t n, int channels) {
    n = std::min(n, links[size_t(link)].outLength - produced);
    if (n <= 0)
        return;
    produced += n;
    const std::int64_t skipped = std::min(drop, n);
    drop -= skipped;
    pending.insert(pending.end(), frames + skipped * channels, frames + n * channels);
}

// Frames of the link as libvorbisfile made them, converted where the link
// needs it, queued behind what waits.
void VorbisState::queue(float* const* pcm, long n, int channels) {
    const Link& l = links[size_t(link)];
    scratch.resize(size_t(n) * size_t(l.channels));
    interleave(pcm, n, l.channels, scratch.data());
    if (conv) {
        std::vector<float> converted;
        conv->convert(scratch.data(), n, converted);
        append(converted.data(), std::int64_t(converted.size()) / channels, channels);
    } else {
        append(scratch.data(), n, channels);
    }
}

long VorbisState::decode(float**& pcm, std::int64_t frames, int rate, int channels) {
    for (int holes = 0;;) {
        int bitstream = 0;
        const int want = int(std::min<std::int64_t>(frames, INT_MAX / 4));
        const long n = ov_read_float(&vf, &pcm, want, &bitstream);
        if (n == OV_HOLE && ++holes < kMaxHoles)
            continue; // a gap in the page sequence: go on with what follows
        if (n <= 0) {
            // The end, or damage we cannot get past: what was read stands.
            finishLink(channels);
            atEnd = true;
            return 0;
        }
        if (bitstream != link && bitstream >= 0 && bitstream < int(links.size())) {
            finishLink(channels);
            startLink(bitstream, 0, rate, channels);
        }
        return n;
    }
}

// The link's converter hands over its tail; a converted link comes out at
// exactly its computed length.
void VorbisState::finishLink(int channels) {
    if (!conv)
        return;
    std::vector<float> tail;
    conv->flush(tail);
    append(tail.data(), std::int64_t(tail.size()) / channels, channels);
    const std::int64_t missing = links[size_t(link)].outLength - produced;
    if (missing > 0 && missing <= kMaxPadFrames) {
        tail.assign(size_t(missing * channels), 0.0f);
        append(tail.data(), missing, channels);
    }
    conv.reset();
}

// Ogg Vorbis back end of the reader, on libvorbisfile: exact length from the
// granule positions and sample-exact seeking.
class VorbisDecoder final : public Decoder {
  public:
    explicit VorbisDecoder(const QString& path);

    void seek(std::int64_t frame) override;
    std::int64_t read(float* out, std::int64_t frames) override;
    std::int64_t readPlanar(const float* const*& pcm, std::int64_t frames) override;

  private:
    VorbisState d; // libvorbisfile reads through its file: the decoder stays where it is made
};

VorbisDecoder::VorbisDecoder(const QString& path) {
    d.file.setSourceName(path);
    if (!d.file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw AudioError(failureText(
            path, QStringLiteral("cannot be opened for reading (%1)").arg(d.file.errorString())));
    // libvorbis divides by and loops on header values it does not check, and
    // libvorbisfile leaks when a later link's headers are damaged: neither may
    // see such a file.
    const QString problem = VorbisHeaderCheck::fileProblem(d.file);
    if (!problem.isEmpty())
        throw AudioError(failureText(
            path, QStringLiteral("not an audio file this program can read (damaged Ogg Vorbis: %1)")
                      .arg(problem)));
    if (!d.file.seek(0))
        throw AudioError(failureText(path, QStringLiteral("cannot be read")));
    // On failure libvorbisfile clears the structure itself.
    if (ov_open_callbacks(static_cast<QFile*>(&d.file), &d.vf, nullptr, 0, qFileCallbacks) != 0)
        throw AudioError(
            failureText(path, QStringLiteral("not an audio file this program can read")));
    d.vfOpen = true;

    // Every link in its own format; ours is the richest of them, so that no
    // link loses rate or channels.
    const int count = std::max(1, int(ov_streams(&d.vf)));
    std::int64_t pcmAt = 0;
    for (int i = 0; i < count; ++i) {
        const vorbis_info* info = ov_info(&d.vf, i);
        if (!info || info->channels <= 0 || info->rate <= 0)
            throw AudioError(failureText(path, QStringLiteral("damaged Ogg Vorbis header")));
        if (info->rate < kMinRate || info->rate > kMaxRate)
            throw AudioError(failureText(
                path, QStringLiteral("unsupported sample rate of %1 Hz").arg(info->rate)));
        if (info->channels > kMaxChannels)
            throw AudioError(failureText(
                path, QStringLiteral("unsupported number of channels (%1)").arg(info->channels)));
        const ogg_int64_t total = ov_pcm_total(&d.vf, i);
        Link l;
        l.pcmStart = pcmAt;
        l.pcmLength = std::max<ogg_int64_t>(total, 0);
        l.rate = int(info->rate);
        l.channels = info->channels;
        pcmAt += l.pcmLength;
        d.links.push_back(l);
        m_rate = std::max(m_rate, l.rate);
        m_channels = std::max(m_channels, l.channels);
    }
    std::int64_t outAt = 0;
    for (Link& l : d.links) {
        l.outStart = outAt;
        l.outLength = l.rate == m_rate ? l.pcmLength : MulDiv(l.pcmLength, m_rate, l.rate);
        outAt += l.outLength;
    }
    if (outAt <= 0)
        throw AudioError(failureText(path, QStringLiteral("contains no audio")));
    m_length = outAt;
    // Where the first link is a single page, libvorbisfile's opening leaves it
    // past that page's audio; from the start its first frames come too.
    ov_raw_seek(&d.vf, 0);
    d.startLink(0, 0, m_rate, m_channels);
}

void VorbisDecoder::seek(std::int64_t frame) {
    frame = std::clamp<std::int64_t>(frame, 0, m_length);
    d.pending.clear();
    d.pendingAt = 0;
    d.drop = 0;
    // libvorbisfile refuses a position at the very end; there is nothing to
    // decode there anyway.
    if (frame >= m_length) {
        d.atEnd = true;
        return;
    }
    d.atEnd = false;
    size_t index = 0;
    while (index + 1 < d.links.size() && d.links[index + 1].outStart <= frame)
        ++index;
    const Link& l = d.links[index];
    // In a converted link: the link's frame at or before the target, and the
    // rest dropped from what the converter makes of it.
    std::int64_t inLink = std::min((frame - l.outStart) * l.rate / m_rate,
                                   std::max<std::int64_t>(l.pcmLength - 1, 0));
    if (!d.sameFormat(int(index), m_rate, m_channels)) {
        // The converter must make the very frames a read from the link's start
        // makes: it starts a little earlier, so that its filter has the same
        // history by the target, and on a frame where its phase is that of the
        // link's first frame.
        const std::int64_t period = l.rate / std::gcd(l.rate, m_rate);
        inLink = std::max<std::int64_t>(inLink - kConverterHistory, 0) / period * period;
    }
    const std::int64_t outAt = (inLink * m_rate + l.rate - 1) / l.rate;
    d.startLink(int(index), outAt, m_rate, m_channels);
    d.drop = std::max<std::int64_t>(frame - l.outStart - outAt, 0);
    const std::int64_t raw = l.pcmStart + inLink;
    // In the first link libvorbisfile's seek is exact. In a later one it can
    // land a few hundred frames late, while its page seek is exact: from the
    // page the frames are decoded on below.
    if (index == 0 && ov_pcm_seek(&d.vf, raw) == 0)
        return;
    // Damage confuses the bisection search; decoding on from the start still
    // gets there (positions come from the granules, so a hole on the way does
    // not shift them). Where even that fails the stream ends.
    if ((index == 0 || ov_pcm_seek_page(&d.vf, raw) != 0) && ov_raw_seek(&d.vf, 0) != 0) {
        d.atEnd = true;
        return;
    }
    for (int holes = 0;;) {
        const ogg_int64_t at = ov_pcm_tell(&d.vf);
        if (at < 0 || at >= raw) {
            d.atEnd = at != raw;
            return;
        }
        float** pcm = nullptr;
        int bitstream = 0;
        const long n =
            ov_read_float(&d.vf, &pcm, int(std::min<std::int64_t>(raw - at, 4096)), &bitstream);
        if (n == OV_HOLE && ++holes < kMaxHoles)
            continue;
        if (n <= 0) {
            d.atEnd = true;
            return;
        }
        holes = 0;
    }
}

std::int64_t VorbisDecoder::read(float* out, std::int64_t frames) {
    clearUpperVectorState();
    const int ch = m_channels;
    std::int64_t got = 0;
    while (got < frames) {
        const std::int64_t waiting = std::int64_t(d.pending.size() - d.pendingAt) / ch;
        if (waiting > 0) {
            const std::int64_t n = std::min(waiting, frames - got);
            const auto from = d.pending.begin() + std::ptrdiff_t(d.pendingAt);
            std::copy(from, from + std::ptrdiff_t(n * ch), out + got * ch);
            d.pendingAt += size_t(n * ch);
            if (d.pendingAt == d.pending.size()) {
                d.pending.clear();
                d.pendingAt = 0;
            }
            got += n;
            continue;
        }
        if (d.atEnd)
            break;
        float** pcm = nullptr;
        const long n = d.decode(pcm, frames - got, m_rate, ch);
        if (n <= 0)
            continue;
        const Link& l = d.links[size_t(d.link)];
        if (!d.conv && d.drop == 0 && d.pending.empty() && d.produced + n <= l.outLength) {
            // Our own format, nothing queued before it: straight into the
            // caller's buffer.
            interleave(pcm, n, ch, out + got * ch);
            d.produced += n;
            got += n;
            continue;
        }
        d.queue(pcm, n, ch);
    }
    return got;
}

std::int64_t VorbisDecoder::readPlanar(const float* const*& pcm, std::int64_t frames) {
    clearUpperVectorState();
    const int ch = m_channels;
    // libvorbisfile's own arrays while nothing stands between them and the
    // caller; whatever has to be cut, dropped or converted goes through read().
    while (frames > 0 && !d.atEnd && !d.conv && d.drop == 0 && d.pending.empty()) {
        float** decoded = nullptr;
        const long n = d.decode(decoded, frames, m_rate, ch);
        if (n <= 0)
            break;
        if (d.conv || !d.pending.empty()) {
            d.queue(decoded, n, ch);
            return -1;
        }
        const std::int64_t kept =
            std::min<std::int64_t>(n, d.links[size_t(d.link)].outLength - d.produced);
        if (kept <= 0)
            continue;
        d.produced += kept;
        pcm = decoded;
        return kept;
    }
    return d.atEnd && d.pending.empty() ? 0 : -1;
}

} // namespace

std::unique_ptr<Decoder> openVorbisDecoder(const QString& path) {
    return std::make_unique<VorbisDecoder>(path);
}
