#include "audio/AudioFile.h"

#include "audio/AudioError.h"
#include "audio/Decoder.h"
#include "audio/DecoderFactory.h"
#include "audio/FlacEncoder.h"
#include "audio/MulDiv.h"
#include "audio/OggEncoder.h"
#include "audio/OpusEncoder.h"
#include "audio/Resampler.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <stdexcept>

namespace {

// A block is never larger than this, however many frames are asked for, so
// that a caller asking for "everything" does not allocate for a whole album.
constexpr std::int64_t kMaxBlockFrames = std::int64_t(1) << 22;
// Source frames decoded at a time to feed the reader's converter.
constexpr std::int64_t kMinFeedFrames = 4096;
constexpr std::int64_t kMaxFeedFrames = std::int64_t(1) << 16;

} // namespace

struct AudioFile::Impl {
    enum class Mode { Closed, Reading, Writing };

    Mode mode = Mode::Closed;
    int pcmRate = 0;
    int pcmChannels = 0;

    // --- reader ---
    std::unique_ptr<Decoder> decoder;
    std::int64_t position = 0;    // source frames consumed
    bool endReached = false;      // direct reading only
    std::int64_t decodedEnd = -1; // where reading last found the end
    // Conversion to the asked PCM format. The converter is fed ahead of
    // `position` so that every block holds exactly the conversion of the source
    // frames it consumed (counted from `origin`), filter delay included.
    std::unique_ptr<Resampler> readConv;
    std::vector<float> scratch;
    std::vector<float> planar;             // readPlanar's frames where the decoder has none
    std::vector<const float*> planarStart; // into `planar`, one a channel
    std::vector<float> pending;            // converted frames not delivered yet
    size_t pendingAt = 0;                  // first value of `pending` not delivered
    std::int64_t origin = 0;
    std::int64_t delivered = 0; // frames delivered since `origin`
    std::int64_t fed = 0;       // source frame the decoder stands at
    bool sourceEnded = false;
    std::int64_t sourceEnd = 0;
    bool flushed = false;

    // --- writer ---
    std::unique_ptr<Encoder> encoder;
    Codec codec = Codec::Vorbis;
    std::optional<OggFormat> ogg; // rate or channels 0: those of the blocks
    FlacFormat flac;
    OpusFormat opus;
    QList<QByteArray> comments;
    std::unique_ptr<Resampler> writeConv;
    std::vector<float> writeBuffer;

    void requireReader() const {
        if (mode != Mode::Reading || !decoder)
            throw AudioError(QStringLiteral("no file is open for reading"));
    }

    int deliveredRate() const { return pcmRate > 0 ? pcmRate : decoder->sampleRate(); }
    int deliveredChannels() const { return pcmChannels > 0 ? pcmChannels : decoder->channels(); }

    void restartConversion();
    void setUpConversion();
    SampleBlock readDirect(std::int64_t count);
    SampleBlock readConverted(std::int64_t count);
    std::int64_t pendingFrames() const {
        return std::int64_t(pending.size() - pendingAt) / readConv->outChannels();
    }
    void take(SampleBlock& block, std::int64_t frames);
    void dropDelivered();
    void flushConverter();

    void writeFrames(const float* samples, std::int64_t frames, int rate, int channels);
    void encodeBuffer(Encoder& enc);
    void finishConversion(Encoder& enc);
    std::unique_ptr<Encoder> makeEncoder(int rate, int channels) const;
    void closeWriter();
};

// Converter state starts afresh at `position`; the decoder must stand there.
void AudioFile::Impl::restartConversion() {
    if (readConv)
        readConv->reset();
    pending.clear();
    pendingAt = 0;
    origin = position;
    delivered = 0;
    fed = position;
    sourceEnded = false;
    sourceEnd = 0;
    flushed = false;
}

void AudioFile::Impl::setUpConversion() {
    const int inRate = decoder->sampleRate();
    const int inChannels = decoder->channels();
    const int outRate = deliveredRate();
    const int outChannels = deliveredChannels();
    const bool same = outRate == inRate && outChannels == inChannels;
    if (readConv && readConv->outRate() == outRate && readConv->outChannels() == outChannels)
        return;
    if (!readConv && same)
        return;
    // The converter read ahead of what it delivered: go back to the frame the
    // caller stands at.
    if (readConv && fed != position)
        decoder->seek(position);
    readConv.reset();
    if (!same)
        readConv = std::make_unique<Resampler>(inRate, inChannels, outRate, outChannels);
    endReached = false;
    restartConversion();
}

SampleBlock AudioFile::Impl::readDirect(std::int64_t count) {
    SampleBlock block;
    block.rate = decoder->sampleRate();
    block.channels = decoder->channels();
    if (endReached || count <= 0)
        return block;
    // Lengths from a container may be short by a codec frame; leave room.
    const std::int64_t remaining = std::max<std::int64_t>(decoder->length() - position, 0) + 65536;
    const std::int64_t frames = std::min({count, remaining, kMaxBlockFrames});
    block.samples.resize(size_t(frames * block.channels));
    const std::int64_t got = decoder->read(block.samples.data(), frames);
    block.samples.resize(size_t(got * block.channels));
    position += got;
    if (got < frames) {
        endReached = true;
        decodedEnd = position;
    }
    return block;
}

void AudioFile::Impl::take(SampleBlock& block, std::int64_t frames) {
    const size_t values = size_t(frames) * size_t(readConv->outChannels());
    if (pendingAt == 0 && values == pending.size()) {
        block.samples.swap(pending);
        pending.clear();
    } else {
        block.samples.assign(pending.begin() + std::ptrdiff_t(pendingAt),
                             pending.begin() + std::ptrdiff_t(pendingAt + values));
        pendingAt += values;
        if (pendingAt == pending.size()) {
            pending.clear();
            pendingAt = 0;
        }
    }
    delivered += frames;
}

void AudioFile::Impl::dropDelivered() {
    if (pendingAt > 0) {
        pending.erase(pending.begin(), pending.begin() + std::ptrdiff_t(pendingAt));
        pendingAt = 0;
    }
}

void AudioFile::Impl::flushConverter() {
    if (flushed)
        return;
    dropDelivered();
    readConv->flush(pending);
    flushed = true;
}

SampleBlock AudioFile::Impl::readConverted(std::int64_t count) {
    SampleBlock block;
    block.rate = readConv->outRate();
    block.channels = readConv->outChannels();
    if (count <= 0)
        return block;
    const std::int64_t inRate = readConv->inRate();
    const std::int64_t outRate = readConv->outRate();
    const int inChannels = readConv->inChannels();
    const std::int64_t feed = std::clamp(count, kMinFeedFrames, kMaxFeedFrames);

    std::int64_t want = position + std::min(count, kMaxBlockFrames);
    for (;;) {
        if (sourceEnded && want >= sourceEnd) {
            // The last block: everything the converter still holds, tail included.
            want = sourceEnd;
            flushConverter();
            take(block, pendingFrames());
            break;
        }
        const std::int64_t need = (want - origin) * outRate / inRate - delivered;
        if (need <= 0) {
            // So few frames asked that they convert to none: consume up to the
            // next output frame rather than return an empty block mid-stream.
            want = origin + ((delivered + 1) * inRate + outRate - 1) / outRate;
            continue;
        }
        if (pendingFrames() >= need) {
            take(block, need);
            break;
        }
        if (sourceEnded) {
            // Nothing more to decode: the frames asked for are in the tail.
            flushConverter();
            take(block, std::min(need, pendingFrames()));
            break;
        }
        scratch.resize(size_t(feed * inChannels));
        const std::int64_t got = decoder->read(scratch.data(), feed);
        if (got > 0) {
            dropDelivered();
            readConv->convert(scratch.data(), got, pending);
            fed += got;
        }
        if (got < feed) {
            sourceEnded = true;
            sourceEnd = fed;
            decodedEnd = fed;
        }
    }
    position = want;
    return block;
}

// Hands the converted frames in `writeBuffer` to `enc`.
void AudioFile::Impl::encodeBuffer(Encoder& enc) {
    const std::int64_t frames = std::int64_t(writeBuffer.size()) / enc.channels();
    if (frames > 0)
        enc.write(writeBuffer.data(), frames);
    writeBuffer.clear();
}

// Ends a run of converted blocks: the converter's tail goes to the file.
void AudioFile::Impl::finishConversion(Encoder& enc) {
    if (!writeConv)
        return;
    writeBuffer.clear();
    writeConv->flush(writeBuffer);
    writeConv.reset();
    encodeBuffer(enc);
}

void AudioFile::Impl::writeFrames(const float* samples, std::int64_t frames, int rate,
                                  int channels) {
    if (rate == encoder->rate() && channels == encoder->channels()) {
        finishConversion(*encoder);
        encoder->write(samples, frames);
        return;
    }
    if (writeConv && (writeConv->inRate() != rate || writeConv->inChannels() != channels))
        finishConversion(*encoder);
    if (!writeConv)
        writeConv =
            std::make_unique<Resampler>(rate, channels, encoder->rate(), encoder->channels());
    writeBuffer.clear();
    writeConv->convert(samples, frames, writeBuffer);
    encodeBuffer(*encoder);
}

void AudioFile::Impl::closeWriter() {
    // Whatever happens below, the object is closed afterwards; an encoder
    // destroyed without close() abandons its unfinished file.
    std::unique_ptr<Encoder> enc = std::move(encoder);
    mode = Mode::Closed;
    try {
        finishConversion(*enc);
    } catch (...) {
        writeConv.reset();
        throw;
    }
    writeBuffer.shrink_to_fit();
    enc->close();
}

AudioFile::AudioFile() : d(std::make_unique<Impl>()) {}

AudioFile::~AudioFile() {
    try {
        close();
    } catch (...) {
        // A destructor cannot report; the unfinished output is abandoned.
    }
}

void AudioFile::openRead(const QString& path) {
    if (isOpen())
        close();
    d->decoder = DecoderFactory::open(path);
    d->mode = Impl::Mode::Reading;
    d->position = 0;
    d->endReached = false;
    d->decodedEnd = -1;
    d->readConv.reset();
    try {
        d->setUpConversion();
    } catch (...) {
        close();
        throw;
    }
}

void AudioFile::close() {
    switch (d->mode) {
    case Impl::Mode::Closed:
        return;
    case Impl::Mode::Reading:
        d->mode = Impl::Mode::Closed;
        d->readConv.reset();
        d->decoder.reset();
        d->pending = {};
        d->scratch = {};
        d->pendingAt = 0;
        d->position = 0;
        d->decodedEnd = -1;
        return;
    case Impl::Mode::Writing:
        d->closeWriter();
        return;
    }
}

void AudioFile::abandonWrite() {
    if (d->mode != Impl::Mode::Writing) {
        close();
        return;
    }
    // An encoder destroyed without close() removes its temporary file.
    d->mode = Impl::Mode::Closed;
    d->writeConv.reset();
    d->encoder.reset();
}

bool AudioFile::isOpen() const {
    return d->mode != Impl::Mode::Closed;
}

std::int64_t AudioFile::lengthSamples() const {
    return d->mode == Impl::Mode::Reading ? d->decoder->length() : 0;
}

std::int64_t AudioFile::lengthMs() const {
    return wholeMs(lengthSamples(), sampleRate());
}

int AudioFile::sampleRate() const {
    return d->mode == Impl::Mode::Reading ? d->decoder->sampleRate() : 0;
}

int AudioFile::channels() const {
    return d->mode == Impl::Mode::Reading ? d->decoder->channels() : 0;
}

int AudioFile::bitsPerSample() const {
    return d->mode == Impl::Mode::Reading ? d->decoder->bitsPerSample() : 0;
}

void AudioFile::seek(std::int64_t frame) {
    d->requireReader();
    frame = std::clamp<std::int64_t>(frame, 0, d->decoder->length());
    if (frame == d->position)
        return; // already there; a converter keeps its state and lookahead
    d->decoder->seek(frame);
    d->position = frame;
    d->endReached = false;
    d->restartConversion();
}

SampleBlock AudioFile::readSamples(std::int64_t count) {
    d->requireReader();
    return d->readConv ? d->readConverted(count) : d->readDirect(count);
}

std::int64_t AudioFile::readPlanar(std::int64_t count, const float* const*& pcm) {
    d->requireReader();
    if (d->readConv)
        throw std::logic_error("readPlanar on a converting reader");
    if (d->endReached || count <= 0)
        return 0;
    const int ch = d->decoder->channels();
    const std::int64_t remaining =
        std::max<std::int64_t>(d->decoder->length() - d->position, 0) + 65536;
    const std::int64_t frames = std::min({count, remaining, kMaxFeedFrames});
    std::int64_t got = d->decoder->readPlanar(pcm, frames);
    if (got < 0) {
        d->scratch.resize(size_t(frames * ch));
        got = d->decoder->read(d->scratch.data(), frames);
        d->planar.resize(size_t(got * ch));
        d->planarStart.resize(size_t(ch));
        for (int c = 0; c < ch; ++c) {
            float* to = d->planar.data() + c * got;
            for (std::int64_t i = 0; i < got; ++i)
                to[i] = d->scratch[size_t(i * ch + c)];
            d->planarStart[size_t(c)] = to;
        }
        pcm = d->planarStart.data();
        if (got < frames)
            d->endReached = true;
    } else if (got == 0) {
        d->endReached = true;
    }
    d->position += got;
    if (d->endReached)
        d->decodedEnd = d->position;
    return got;
}

std::int64_t AudioFile::position() const {
    return d->mode == Impl::Mode::Reading ? d->position : 0;
}

std::int64_t AudioFile::decodedEnd() const {
    return d->mode == Impl::Mode::Reading ? d->decodedEnd : -1;
}

void AudioFile::setPcmFormat(int rate, int channels) {
    d->pcmRate = std::max(rate, 0);
    d->pcmChannels = std::max(channels, 0);
    if (d->mode == Impl::Mode::Reading)
        d->setUpConversion();
}

void AudioFile::setOggFormat(const OggFormat& format) {
    d->ogg = format;
    d->codec = Codec::Vorbis;
}

void AudioFile::setFlacFormat(const FlacFormat& format) {
    d->flac = format;
    d->codec = Codec::Flac;
}

void AudioFile::setOpusFormat(const OpusFormat& format) {
    d->opus = format;
    d->codec = Codec::Opus;
}

void AudioFile::setComments(const QList<QByteArray>& comments) {
    d->comments = comments;
}

bool AudioFile::checkEncoding(const OggFormat& format) {
    return OggEncoder::check(format.rate, format.channels, format.kbps, format.minKbps,
                             format.maxKbps);
}

namespace {

// A FLAC or Opus encoder of `format`, for blocks of `rate` and `channels`
// where the format leaves them open.
template <class Coder, class Format>
std::unique_ptr<Encoder> encoderFor(Format format, int rate, int channels,
                                    const QList<QByteArray>& comments) {
    format.rate = format.rate > 0 ? format.rate : rate;
    format.channels = format.channels > 0 ? format.channels : channels;
    auto encoder = std::make_unique<Coder>();
    encoder->setFormat(format);
    encoder->setComments(comments);
    return encoder;
}

} // namespace

// The encoder of the codec last set, for blocks of `rate` and `channels`
// where its format leaves them open.
std::unique_ptr<Encoder> AudioFile::Impl::makeEncoder(int rate, int channels) const {
    switch (codec) {
    case Codec::Flac:
        return encoderFor<FlacEncoder>(flac, rate, channels, comments);
    case Codec::Opus:
        return encoderFor<OpusEncoder>(opus, rate, channels, comments);
    case Codec::Vorbis:
        break;
    }
    auto encoder = std::make_unique<OggEncoder>();
    if (ogg) {
        OggFormat f = *ogg;
        if (f.rate <= 0)
            f.rate = rate;
        if (f.channels <= 0)
            f.channels = channels;
        encoder->setFormat(f);
    } else if (OggEncoder::check(rate, channels, 128, 0, 0)) {
        encoder->setFormat({rate, channels, 128, 0, 0, -1});
    } else { // low rates and mono stay below 128 kbps whatever one asks
        encoder->setFormat({rate, channels, 0, 0, 0, 500});
    }
    return encoder;
}

void AudioFile::createWrite(const QString& path) {
    if (isOpen())
        close();
    // The encoding: as set, else the format of the blocks to come.
    const int pcmRate = d->pcmRate > 0 ? d->pcmRate : 44100;
    const int pcmChannels = d->pcmChannels > 0 ? d->pcmChannels : 2;
    std::unique_ptr<Encoder> encoder = d->makeEncoder(pcmRate, pcmChannels);
    encoder->open(path);
    d->encoder = std::move(encoder);
    d->writeConv.reset();
    d->mode = Impl::Mode::Writing;
}

void AudioFile::writeSamples(const SampleBlock& block) {
    if (d->mode != Impl::Mode::Writing || !d->encoder)
        throw AudioError(QStringLiteral("no file is open for writing"));
    if (block.empty())
        return;
    // A block that says what it holds is taken at its word; otherwise it is in
    // the declared PCM format, or else in the encoding's.
    const int rate =
        block.rate > 0 ? block.rate : (d->pcmRate > 0 ? d->pcmRate : d->encoder->rate());
    const int channels = block.channels > 0
                             ? block.channels
                             : (d->pcmChannels > 0 ? d->pcmChannels : d->encoder->channels());
    const std::int64_t frames = std::int64_t(block.samples.size()) / channels;
    if (frames > 0)
        d->writeFrames(block.samples.data(), frames, rate, channels);
}

void AudioFile::reset() {
    // An encoder destroyed without close() removes its temporary file, and
    // the file it was to replace stays as it was.
    d = std::make_unique<Impl>();
}
