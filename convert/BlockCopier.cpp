#include "convert/BlockCopier.h"

#include "audio/AudioFile.h"
#include "audio/AudioTransform.h"
#include "joblist/TimeText.h"

#include <QDir>
#include <algorithm>

namespace {

// A source whose decoding ends this far (a second) before its stated length
// is damaged rather than rounded.
bool endsEarly(std::int64_t endFrame, std::int64_t statedFrames, int rate) {
    return statedFrames - endFrame > std::max(1, rate);
}

QString damagedText(const FileRow& source, std::int64_t endFrame, int rate) {
    return QStringLiteral("%1 is damaged: it ends at %2 of %3")
        .arg(QDir::toNativeSeparators(source.path),
             formatTime(std::int32_t(endFrame / std::max(1, rate))), formatTime(source.seconds));
}

// The envelope's gain at source frame `p` of the output, in percent; fade-in
// and fade-out are separate ramps so that overlapping fades multiply.
double fadeInGain(std::int64_t p, std::int64_t frames) {
    return frames > 0 ? 100.0 * std::clamp(double(p) / double(frames), 0.0, 1.0) : 100.0;
}

double fadeOutGain(std::int64_t p, std::int64_t total, std::int64_t frames) {
    return frames > 0 ? 100.0 * std::clamp(double(total - p) / double(frames), 0.0, 1.0) : 100.0;
}

} // namespace

std::optional<QString> BlockCopier::copy(const FileRow& source, std::int64_t frames,
                                         const Envelope& envelope, std::int64_t& outputPos,
                                         std::int64_t stopShortBy) {
    const bool bounded = frames >= 0;
    // Blocks of as many frames as the source has samples a second: at most two
    // seconds of stereo.
    const std::int64_t blockFrames =
        std::max<std::int64_t>(1, std::int64_t(reader.sampleRate()) * reader.channels());
    const std::int64_t fadeOutStart = envelope.total - envelope.fadeOutFrames;
    std::int64_t copied = 0;
    while (!bounded || copied < frames) {
        if (!keepGoing())
            break;
        std::int64_t count = bounded ? std::min(blockFrames, frames - copied) : blockFrames;
        // A block never straddles the end of the fade-in or the start of the
        // fade-out, so that each ramp is linear within its blocks.
        if (outputPos < envelope.fadeInFrames)
            count = std::min(count, envelope.fadeInFrames - outputPos);
        if (envelope.fadeOutFrames > 0 && outputPos < fadeOutStart)
            count = std::min(count, fadeOutStart - outputPos);
        count = std::max<std::int64_t>(1, count);

        const std::int64_t before = reader.position();
        currentFile = source.path;
        SampleBlock block = reader.readSamples(count);
        if (block.empty()) {
            if (endsEarly(reader.position(), reader.lengthSamples(), reader.sampleRate()))
                return damagedText(source, reader.position(), reader.sampleRate());
            break;
        }
        // A converted block holds other frames than it consumed; the position
        // counts source frames, as the total does. Only where the reader cannot
        // tell what it consumed is the block taken as that many source frames.
        std::int64_t consumed = reader.position() - before;
        if (consumed <= 0 || consumed > count) {
            if (block.frames() > count)
                block.samples.resize(size_t(count * block.channels));
            consumed = std::min<std::int64_t>(count, block.frames());
        }

        const std::int64_t end = outputPos + consumed;
        if (outputPos < envelope.fadeInFrames)
            AudioTransform::fade(block, fadeInGain(outputPos, envelope.fadeInFrames),
                                 fadeInGain(end, envelope.fadeInFrames));
        if (envelope.fadeOutFrames > 0 && end > fadeOutStart)
            AudioTransform::fade(block,
                                 fadeOutGain(outputPos, envelope.total, envelope.fadeOutFrames),
                                 fadeOutGain(end, envelope.total, envelope.fadeOutFrames));

        copied += consumed;
        outputPos = end;
        progressed(outputPos);
        currentFile = outputPath;
        try {
            writer.writeSamples(block);
        } catch (...) {
            writerFailed = true;
            throw;
        }
        framesWritten += block.frames();

        if (bounded && frames - copied < stopShortBy)
            break;
    }
    return std::nullopt;
}
