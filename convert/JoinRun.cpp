// The join: every listed file, or its spans, copied into one output whose
// fades belong to the whole.
#include "convert/Conversion.h"

#include "convert/PieceMath.h"
#include "convert/RunTexts.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"

#include <algorithm>
#include <exception>

using namespace RunTexts;

void Conversion::joinRun(const QString& path) {
    const SplitMode mode = m_options.mode;
    if (!isKnownSplitMode(mode) || jobs.rowCount() == 0 || path.isEmpty())
        return;
    beginRun();
    try {
        AudioFile& reader = m_reader;
        if (reader.isOpen())
            reader.close();
        // Every block is converted to the first file's format.
        m_currentFile = jobs.file(0).path;
        reader.openRead(m_currentFile);
        const int rate = reader.sampleRate();
        const int channels = reader.channels();
        int bits = reader.bitsPerSample();
        reader.close();
        // FLAC takes the deepest of the sources, so that each comes out bit
        // for bit; a lossy source counts as 16 bits.
        if (m_options.codec == Codec::Flac) {
            bits = std::max(bits, 16);
            for (int i = 1; i < jobs.rowCount(); ++i) {
                m_currentFile = jobs.file(i).path;
                reader.openRead(m_currentFile);
                bits = std::max(bits, reader.bitsPerSample());
                reader.close();
            }
        }

        openOutput(path, rate, channels, bits, nullptr);
        for (int i = 0; i < jobs.rowCount() && !m_failed; ++i) {
            s.pumpEvents();
            if (!s.converting)
                break;
            joinFile(i, rate, channels);
        }
    } catch (const std::exception& e) {
        fail(m_currentFile, errorText(e));
    }
    endRun();
}

void Conversion::joinFile(int file, int rate, int channels) {
    const SplitMode mode = m_options.mode;
    const FileRow row = jobs.file(file);
    const std::int64_t total = PieceMath::joinTotal(mode, jobs.fileModel().rows());

    // The fades belong to the whole output and follow the position over every
    // file and span: the fade-in measured in the first file's frames, the
    // fade-out in the last's.
    const FileRow& first = jobs.file(0);
    const FileRow& last = jobs.file(jobs.rowCount() - 1);
    Envelope envelope{total, 0, 0};
    if (m_options.fadeIn)
        envelope.fadeInFrames = std::clamp<std::int64_t>(
            PieceMath::recordFrames(m_options.fadeInSeconds, first), 0, total);
    if (m_options.fadeOut)
        envelope.fadeOutFrames = std::clamp<std::int64_t>(
            PieceMath::recordFrames(m_options.fadeOutSeconds, last), 0, total);

    jobs.selectRow(file);
    const bool whole = mode == SplitMode::Time || mode == SplitMode::Count;
    if (mode == SplitMode::Custom) {
        jobs.planCustom();
        dropOpenSpan(file, false);
    } else if (mode == SplitMode::Unification) {
        jobs.planUnification();
        dropOpenSpan(file, false);
    } else {
        jobs.showWholeFileSpan(file, StatusConverting);
    }
    if (onSourceStarted)
        onSourceStarted(file);

    AudioFile& reader = m_reader;
    if (reader.isOpen())
        reader.close();
    m_currentFile = row.path;
    reader.openRead(row.path);
    reader.setPcmFormat(rate, channels);

    std::int64_t& position = m_joinPosition;
    if (whole) {
        if (!copyBlocks(row, -1, envelope, position, total, 0))
            return;
        jobs.setSpanStatus(0, StatusFinish);
    } else {
        const std::vector<Span> spans = PieceMath::joinSpans(mode, row, jobs.file(0));
        for (size_t j = 0; j < spans.size(); ++j) {
            s.pumpEvents();
            if (!s.converting)
                break;
            jobs.setSpanStatus(int(j), StatusConverting);
            const std::int64_t begin =
                std::max<std::int64_t>(0, PieceMath::spanBeginFrames(spans[j], row));
            const std::int64_t end = PieceMath::spanEndFrames(spans[j], row);
            // A span that begins past the file's end (spans are marked on
            // another file in Unification) has nothing to give.
            if (begin < reader.lengthSamples() && end > begin) {
                m_currentFile = row.path;
                reader.seek(begin);
                if (!copyBlocks(row, end - begin, envelope, position, total, 0))
                    return;
            }
            jobs.setSpanStatus(int(j), StatusFinish);
        }
    }
    m_currentFile = row.path;
    reader.close();
}
