#include "audio/BuiltInDecoders.h"
#include "audio/VectorState.h"

#include "audio/AudioError.h"
#include "audio/FileSeek.h"
#include "audio/Mp3CopyCut.h"
#include "audio/Mp3Frames.h"
#include "audio/SourceFile.h"

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <mpg123.h>

namespace {

struct HandleDeleter {
    void operator()(mpg123_handle* h) const {
        mpg123_close(h);
        mpg123_delete(h);
    }
};
using HandlePtr = std::unique_ptr<mpg123_handle, HandleDeleter>;

bool libraryReady() {
    static const bool ready = mpg123_init() == MPG123_OK;
    return ready;
}

// libmpg123 reads through the SourceFile: any name it opens works, read-only.
mpg123_ssize_t readCallback(void* source, void* buffer, size_t bytes) {
    const qint64 got = static_cast<QFile*>(source)->read(static_cast<char*>(buffer), qint64(bytes));
    return got < 0 ? -1 : mpg123_ssize_t(got);
}

off_t seekCallback(void* source, off_t offset, int whence) {
    return off_t(seekFile(*static_cast<QFile*>(source), offset, whence));
}

long decoderState(mpg123_handle* mh, mpg123_state key) {
    long value = -1;
    double unused = 0.0;
    mpg123_getstate(mh, key, &value, &unused);
    return value;
}

// The length libmpg123's scan of the whole file would give, from the frames
// the copy cut finds (once for this, the check and the cut): where the file
// is tags and one unbroken run of frames whose LAME header, if there is one,
// counts all of them and gives the delay and padding libmpg123 read from it.
// -1 where only libmpg123's scan can tell.
std::int64_t lengthFromFrames(mpg123_handle* mh, const QString& path, long rate, int channels) {
    const std::shared_ptr<const Mp3Stream> s = Mp3CopyCut::frames(path);
    if (!s || !s->framesFillFile || s->header.sampleRate() != rate ||
        s->header.channels() != channels || s->header.samplesPerFrame() != mpg123_spf(mh))
        return -1;
    const long delay = decoderState(mh, MPG123_ENC_DELAY);
    const long padding = decoderState(mh, MPG123_ENC_PADDING);
    const bool agreed = s->hasInfoFrame
                            ? s->declaredFrames == std::int64_t(s->frames.size()) && delay >= 0 &&
                                  delay == s->encoderDelay && padding == s->encoderPadding
                            : delay < 0 && padding < 0;
    return agreed ? s->lengthFrames() : -1;
}

// The length by libmpg123's scan of the whole file, and in `skip` the
// frames to skip where it no longer decodes gapless.
std::int64_t lengthFromScan(mpg123_handle* mh, const QString& notMpeg, std::int64_t& skip) {
    if (mpg123_scan(mh) != MPG123_OK)
        throw AudioError(notMpeg);
    std::int64_t total = mpg123_length(mh);
    // A file cut short no longer matches the frame count in its LAME header,
    // and libmpg123 then drops gapless decoding altogether. The encoder's delay
    // at the start is still known: skip it here so that what is there lines
    // up with the source like the whole file would.
    const long encoderDelay = decoderState(mh, MPG123_ENC_DELAY);
    const long encoderPadding = decoderState(mh, MPG123_ENC_PADDING);
    const long decoderDelay = decoderState(mh, MPG123_DEC_DELAY);
    const std::int64_t raw = std::int64_t(mpg123_framelength(mh)) * mpg123_spf(mh);
    if (encoderDelay >= 0 && decoderDelay >= 0 && encoderDelay + std::max(encoderPadding, 0L) > 0 &&
        total == raw) {
        skip = encoderDelay + decoderDelay;
        total -= skip;
    }
    return total;
}

struct Mpg123State {
    SourceFile file; // declared first: the handle reads from it until it is gone
    HandlePtr handle;
    std::int64_t skip = 0; // decoder frames before frame 0 when gapless is off
    bool atEnd = false;
};

// MP3 back end of the reader, on libmpg123: float output, gapless decoding,
// an exact length (from the frames found without decoding where they tell
// it for certain, else from libmpg123's scan of the whole file) and
// sample-exact seeking.
class Mpg123Decoder final : public Decoder {
  public:
    explicit Mpg123Decoder(const QString& path);

    void seek(std::int64_t frame) override;
    std::int64_t read(float* out, std::int64_t frames) override;

  private:
    Mpg123State d; // libmpg123 reads through its file: the decoder stays where it is made
};

Mpg123Decoder::Mpg123Decoder(const QString& path) {
    const QString notMpeg =
        failureText(path, QStringLiteral("not an audio file this program can read"));
    if (!libraryReady())
        throw AudioError(failureText(path, QStringLiteral("the MP3 decoder cannot start")));
    d.file.setSourceName(path);
    if (!d.file.open(QIODevice::ReadOnly))
        throw AudioError(failureText(
            path, QStringLiteral("cannot be opened for reading (%1)").arg(d.file.errorString())));
    int err = MPG123_OK;
    d.handle.reset(mpg123_new(nullptr, &err));
    mpg123_handle* mh = d.handle.get();
    if (!mh)
        throw AudioError(failureText(path, QStringLiteral("the MP3 decoder cannot start")));

    // Gapless: the encoder's delay and padding (LAME/Xing header) are cut, so
    // the length and every position count exactly the frames that were encoded.
    // A stream that changes its format midway ends there.
    mpg123_param(mh, MPG123_ADD_FLAGS,
                 MPG123_GAPLESS | MPG123_FORCE_FLOAT | MPG123_QUIET | MPG123_NO_FRANKENSTEIN, 0.0);
    mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0.0);
    mpg123_format_none(mh);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);

    if (mpg123_replace_reader_handle(mh, readCallback, seekCallback, nullptr) != MPG123_OK ||
        mpg123_open_handle(mh, static_cast<QFile*>(&d.file)) != MPG123_OK)
        throw AudioError(notMpeg);
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
        channels <= 0 || encoding != MPG123_ENC_FLOAT_32)
        throw AudioError(notMpeg);
    m_rate = int(rate);
    m_channels = channels;

    std::int64_t total = lengthFromFrames(mh, path, rate, channels);
    if (total < 0)
        total = lengthFromScan(mh, notMpeg, d.skip);
    if (total <= 0)
        throw AudioError(failureText(path, QStringLiteral("contains no audio")));
    m_length = total;
    if (mpg123_seek(mh, off_t(d.skip), SEEK_SET) < 0)
        throw AudioError(notMpeg);
}

void Mpg123Decoder::seek(std::int64_t frame) {
    frame = std::clamp<std::int64_t>(frame, 0, m_length);
    if (frame >= m_length) {
        d.atEnd = true;
        return;
    }
    // Where libmpg123 cannot get to, the stream is damaged: it ends there.
    d.atEnd = mpg123_seek(d.handle.get(), off_t(frame + d.skip), SEEK_SET) < 0;
}

std::int64_t Mpg123Decoder::read(float* out, std::int64_t frames) {
    clearUpperVectorState();
    const size_t frameBytes = size_t(m_channels) * sizeof(float);
    std::int64_t got = 0;
    int idle = 0;
    while (!d.atEnd && got < frames) {
        size_t done = 0;
        const size_t want = size_t(frames - got) * frameBytes;
        const int r = mpg123_read(
            d.handle.get(), reinterpret_cast<unsigned char*>(out + got * m_channels), want, &done);
        got += std::int64_t(done / frameBytes);
        if (r == MPG123_OK || r == MPG123_NEW_FORMAT) {
            // Guard against a stream that keeps answering without audio.
            idle = done ? 0 : idle + 1;
            if (idle > 64)
                d.atEnd = true;
            continue;
        }
        // MPG123_DONE, or damage past which nothing sensible follows.
        d.atEnd = true;
    }
    return got;
}

} // namespace

std::unique_ptr<Decoder> openMpg123Decoder(const QString& path) {
    return std::make_unique<Mpg123Decoder>(path);
}
