#include "audio/VorbisDecoder.h"

#include "audio/AudioError.h"
#include "audio/FileSeek.h"

#include <QFile>
#include <algorithm>
#include <climits>
#include <vorbis/vorbisfile.h>

namespace {

// libvorbisfile reads through these so that every path QFile can open works
// (non-ASCII names included) and the file is never opened for writing.
size_t readCallback(void* ptr, size_t size, size_t count, void* source) {
    auto* file = static_cast<QFile*>(source);
    if (size == 0 || count == 0)
        return 0;
    const qint64 got = file->read(static_cast<char*>(ptr), qint64(size * count));
    return got > 0 ? size_t(got) / size : 0;
}

int seekCallback(void* source, ogg_int64_t offset, int whence) {
    return seekFile(*static_cast<QFile*>(source), offset, whence) < 0 ? -1 : 0;
}

long tellCallback(void* source) {
    return long(static_cast<QFile*>(source)->pos());
}

// The file belongs to the decoder's state; libvorbisfile must not close it.
const ov_callbacks kCallbacks = {readCallback, seekCallback, nullptr, tellCallback};

} // namespace

struct VorbisDecoder::State {
    QFile file;
    OggVorbis_File vf{};
    bool vfOpen = false;
    bool atEnd = false;

    ~State() {
        if (vfOpen)
            ov_clear(&vf);
    }
};

VorbisDecoder::VorbisDecoder(const QString& path) : d(std::make_unique<State>()) {
    d->file.setFileName(path);
    if (!d->file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw AudioError(failureText(
            path, QStringLiteral("cannot be opened for reading (%1)").arg(d->file.errorString())));
    // On failure libvorbisfile clears the structure itself.
    if (ov_open_callbacks(&d->file, &d->vf, nullptr, 0, kCallbacks) != 0)
        throw AudioError(
            failureText(path, QStringLiteral("not an audio file this program can read")));
    d->vfOpen = true;

    const vorbis_info* info = ov_info(&d->vf, -1);
    if (!info || info->channels <= 0 || info->rate <= 0)
        throw AudioError(failureText(path, QStringLiteral("damaged Ogg Vorbis header")));
    m_rate = int(info->rate);
    m_channels = info->channels;
    const ogg_int64_t total = ov_pcm_total(&d->vf, -1);
    if (total <= 0)
        throw AudioError(failureText(path, QStringLiteral("contains no audio")));
    m_length = total;
}

VorbisDecoder::~VorbisDecoder() = default;

void VorbisDecoder::seek(std::int64_t frame) {
    frame = std::clamp<std::int64_t>(frame, 0, m_length);
    // libvorbisfile refuses a position at the very end; there is nothing to
    // decode there anyway.
    if (frame >= m_length) {
        d->atEnd = true;
        return;
    }
    d->atEnd = false;
    if (ov_pcm_seek(&d->vf, frame) == 0)
        return;
    // Damage confuses the bisection search; decoding on from the start still
    // gets there (positions come from the granules, so a hole on the way does
    // not shift them). Where even that fails the stream ends.
    if (ov_raw_seek(&d->vf, 0) != 0) {
        d->atEnd = true;
        return;
    }
    for (;;) {
        const ogg_int64_t at = ov_pcm_tell(&d->vf);
        if (at < 0 || at >= frame) {
            d->atEnd = at != frame;
            return;
        }
        float** pcm = nullptr;
        int link = 0;
        const long n =
            ov_read_float(&d->vf, &pcm, int(std::min<std::int64_t>(frame - at, 4096)), &link);
        if (n == OV_HOLE)
            continue;
        if (n <= 0) {
            d->atEnd = true;
            return;
        }
    }
}

std::int64_t VorbisDecoder::read(float* out, std::int64_t frames) {
    const int ch = m_channels;
    std::int64_t got = 0;
    while (!d->atEnd && got < frames) {
        float** pcm = nullptr;
        int link = 0;
        const int want = int(std::min<std::int64_t>(frames - got, INT_MAX));
        const long n = ov_read_float(&d->vf, &pcm, want, &link);
        if (n == OV_HOLE)
            continue; // a gap in the page sequence: go on with what follows
        if (n <= 0) {
            // The end, or damage we cannot get past: what was read stands.
            d->atEnd = true;
            break;
        }
        float* dst = out + got * ch;
        // A chained stream may change its channel count between links; keep
        // the first link's layout and repeat the last channel when fewer come.
        const vorbis_info* info = ov_info(&d->vf, link);
        const int linkCh = info ? info->channels : ch;
        if (linkCh == ch && ch == 2) {
            const float* l = pcm[0];
            const float* r = pcm[1];
            for (long i = 0; i < n; ++i) {
                dst[2 * i] = l[i];
                dst[2 * i + 1] = r[i];
            }
        } else if (linkCh == ch && ch == 1) {
            std::copy(pcm[0], pcm[0] + n, dst);
        } else {
            for (int c = 0; c < ch; ++c) {
                const float* src = pcm[std::min(c, linkCh - 1)];
                for (long i = 0; i < n; ++i)
                    dst[i * ch + c] = src[i];
            }
        }
        got += n;
    }
    return got;
}
