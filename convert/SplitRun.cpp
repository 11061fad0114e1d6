// The split, one piece at a time: the checks before anything is written, the
// planning of each file and the re-encoding of its pieces.
#include "convert/Conversion.h"

#include "audio/AudioError.h"
#include "audio/FlacCopyCut.h"
#include "audio/Mp3CopyCut.h"
#include "audio/OggCopyCut.h"
#include "convert/NameTemplate.h"
#include "convert/PieceMath.h"
#include "convert/RunTexts.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "tags/TagSteps.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <exception>

using namespace RunTexts;

// What makes a split impossible before anything is written: an open span
// marked the wrong way round that would be converted, or more pieces than
// any person asks for.
bool Conversion::refuseBeforeSplit() {
    const SplitMode mode = m_options.mode;
    const FileModel& files = jobs.fileModel();
    if (const QString wrong = NameTemplate::problem(m_options.nameTemplate); !wrong.isEmpty()) {
        fail(QString(), wrong);
        return true;
    }
    // Fades do not apply to pieces cut from the source's own packets.
    if (m_options.copy) {
        const std::vector<CopyRefusal> refused = copyRefusals(files);
        if (!refused.empty()) {
            const CopyRefusal& first = refused.front();
            m_file = first.row;
            fail(first.path, QCoreApplication::translate("Conversion",
                                                         "%1 cannot be cut without re-encoding: %2")
                                 .arg(QDir::toNativeSeparators(first.path), first.problem));
            return true;
        }
    }
    // A FLAC source is read through before its FLAC pieces are cut from its
    // frames; a decoder would pass over a damaged one and leave every piece
    // after it short.
    if (!m_options.copy && m_options.codec == Codec::Flac) {
        for (int i = 0; i < files.rowCount(); ++i) {
            const QString& path = files.row(i).path;
            QString why;
            if (FlacCopyCut::fit(path, &why) == FlacCopyCut::Fit::Damaged) {
                m_file = i;
                fail(path,
                     QStringLiteral("%1 is damaged: %2").arg(QDir::toNativeSeparators(path), why));
                return true;
            }
        }
    }
    for (int i = 0; i < files.rowCount(); ++i) {
        m_file = i;
        const FileRow& r = files.row(i);
        const FileRow& spansOf = mode == SplitMode::Unification ? files.row(0) : r;
        if ((mode == SplitMode::Custom || (mode == SplitMode::Unification && i == 0)) &&
            spansOf.usableSpanCount() == 1 && spansOf.spans[0].end < spansOf.spans[0].begin) {
            fail(QString(), QCoreApplication::translate(
                                "JobList", "Start-time must not be larger than end-time."));
            return true;
        }
        if (refuseTooManyPieces(r, PieceMath::splitPieceCount(mode, r, files.row(0),
                                                              m_options.effectiveSplitSeconds(),
                                                              m_options.effectiveSplitCount())))
            return true;
    }
    m_file = -1;
    // The output folder is made last: a refused run leaves nothing behind.
    return !makeOutputFolder(m_options.outputDir);
}

void Conversion::splitRun() {
    const SplitMode mode = m_options.mode;
    if (!isKnownSplitMode(mode) || jobs.rowCount() == 0)
        return;
    beginRun();
    try {
        if (!refuseBeforeSplit()) {
            if (m_options.wholeRunProgress) {
                // Counted before the open spans are dropped, as a join counts them.
                std::vector<FileRow> rows;
                for (int i = 0; i < jobs.rowCount(); ++i)
                    rows.push_back(jobs.file(i));
                m_runTotal = PieceMath::joinTotal(mode, rows);
            }
            if (mode == SplitMode::Unification) {
                // The shared spans are dropped once, on the list every file uses.
                jobs.selectRow(0);
                jobs.planUnification();
                dropOpenSpan(0, true);
            }
            for (int i = 0; i < jobs.rowCount() && !m_failed; ++i) {
                s.pumpEvents();
                if (!s.converting)
                    break;
                m_file = i;
                splitFile(i);
                if (!m_failed)
                    m_filesSplit = i + 1;
            }
        }
    } catch (const std::exception& e) {
        fail(m_currentFile, errorText(e));
    }
    endRun();
}

void Conversion::splitFile(int file) {
    const SplitMode mode = m_options.mode;
    jobs.selectRow(file);
    switch (mode) {
    case SplitMode::Custom:
        jobs.planCustom();
        dropOpenSpan(file, true);
        break;
    case SplitMode::Time:
        jobs.planTime();
        break;
    case SplitMode::Count:
        jobs.planCount();
        break;
    default:
        break;
    }
    if (onSourceStarted)
        onSourceStarted(file);

    AudioFile& reader = m_reader;
    if (reader.isOpen())
        reader.close();
    const QString source = jobs.file(file).path;
    m_currentFile = source;
    // Pieces of an MP3 source cut without re-encoding are MP3 files.
    m_names.setExtension(outputExtension(m_options.codec));
    if (m_options.copy && Mp3CopyCut::isMpegAudio(source)) {
        m_cutter = Mp3CopyCut::open(source);
        m_names.setExtension(QStringLiteral("mp3"));
    } else if (m_options.copy) {
        m_cutter = OggCopyCut::open(source);
    } else if (copiesFlacFrames(source)) {
        m_cutter = std::make_unique<FlacCopyCut>(source, m_options.flacCompression);
    }
    // A cut without re-encoding needs of a reader only the length, which
    // the cutter tells without reading the file through once more.
    std::int64_t cutFrames = 0;
    std::int64_t cutMs = 0;
    if (!cutterLength(cutFrames, cutMs) || cutFrames <= 0) {
        reader.openRead(source);
        // A join or a preview may have asked for another format; pieces keep the source's.
        reader.setPcmFormat(0, 0);
    }

    // Count's piece length is fixed with the file; Time takes a piece length
    // changed mid-run for the bounds of the following pieces.
    const int splitCount = m_options.effectiveSplitCount();
    const std::int64_t pieces = PieceMath::splitPieceCount(
        mode, jobs.file(file), jobs.file(0), m_options.effectiveSplitSeconds(), splitCount);
    // The piece length may have changed since the run was allowed to start.
    if (refuseTooManyPieces(jobs.file(file), pieces)) {
        m_cutter.reset();
        m_names.setExtension(outputExtension(m_options.codec));
        return;
    }
    // Pieces copied from the source's frames are written one after the other:
    // the system's reads and writes are most of their work.
    const bool copying = m_cutter != nullptr;
    if (!copying && m_options.jobs > 1)
        splitPiecesInParallel(file, pieces, splitCount);
    for (std::int64_t j = 0; (copying || m_options.jobs <= 1) && j < pieces && !m_failed; ++j) {
        s.pumpEvents();
        if (!s.converting)
            break;
        Span span;
        if (!PieceMath::splitPiece(mode, j, jobs.file(file), jobs.file(0),
                                   m_options.effectiveSplitSeconds(), splitCount, span))
            break;
        if (copying)
            copyPiece(file, j, span);
        else
            splitPiece(file, j, span);
    }
    m_cutter.reset();
    m_names.setExtension(outputExtension(m_options.codec));
    m_currentFile = source;
    reader.close();
}

bool Conversion::cutterLength(std::int64_t& frames, std::int64_t& ms) const {
    if (!m_cutter)
        return false;
    frames = m_cutter->lengthFrames();
    ms = m_cutter->lengthMs();
    return true;
}

Conversion::PiecePlan Conversion::planPiece(const FileRow& row, const Span& span) const {
    const AudioFile& reader = m_reader;
    std::int64_t length = 0;
    std::int64_t lengthMs = 0;
    if (!cutterLength(length, lengthMs) || reader.isOpen()) {
        length = reader.lengthSamples();
        lengthMs = reader.lengthMs();
    }
    PiecePlan plan;
    // A cut a planner placed between whole seconds is taken at its frame.
    plan.beginFrame = span.beginFrame >= 0 ? span.beginFrame
                                           : PieceMath::readerFrames(span.begin, length, lengthMs);
    const std::int64_t endFrame = span.endFrame >= 0 ? std::min(span.endFrame, length)
                                  : span.toEnd
                                      ? length
                                      : PieceMath::readerFrames(span.end, length, lengthMs);
    // Fades are cut to the piece.
    plan.frames = std::max<std::int64_t>(0, endFrame - plan.beginFrame);
    plan.envelope = Envelope{plan.frames, 0, 0};
    if (m_options.fadeIn)
        plan.envelope.fadeInFrames =
            std::clamp<std::int64_t>(PieceMath::recordFrames(m_options.fadeInSeconds, row), 1,
                                     std::max<std::int64_t>(1, plan.frames));
    if (m_options.fadeOut)
        plan.envelope.fadeOutFrames = std::clamp<std::int64_t>(
            PieceMath::recordFrames(m_options.fadeOutSeconds, row), 0, plan.frames);
    // Custom leaves out a tail under 100 frames, but not of a span whose end
    // is an exact frame: that frame is where the next piece begins.
    plan.stopShortBy = m_options.mode == SplitMode::Custom && span.endFrame < 0 ? 100 : 0;
    plan.tags = span.tags ? *span.tags : row.tags;
    return plan;
}

void Conversion::splitPiece(int file, std::int64_t piece, const Span& span) {
    AudioFile& reader = m_reader;
    const FileRow row = jobs.file(file);
    const int status = int(std::min<std::int64_t>(piece, INT32_MAX));
    const PiecePlan plan = planPiece(row, span);
    m_currentFile = row.path;
    reader.seek(std::max<std::int64_t>(0, plan.beginFrame));

    const int rate = reader.sampleRate();
    const int channels = reader.channels();
    const int bits = reader.bitsPerSample();
    QString path = choosePiecePath(row, piece, span);
    try {
        openOutput(path, rate, channels, bits, &plan.tags);
    } catch (const std::exception&) {
        // A name the writer refuses all the same: the source's own name is
        // the second try. A second failure ends the run, with the reason the
        // planned piece was refused.
        const std::exception_ptr refused = std::current_exception();
        const QString planned = path;
        m_writer.abandonWrite();
        m_names.giveBack(path);
        path = m_names.fallbackPath(m_options.outputDir, row.path);
        try {
            openOutput(path, rate, channels, bits, &plan.tags);
        } catch (const std::exception&) {
            m_writer.abandonWrite();
            m_currentFile = planned;
            std::rethrow_exception(refused);
        }
    }
    m_openTags = plan.tags;
    jobs.setSpanStatus(status, StatusConverting);

    std::int64_t position = 0;
    if (!copyBlocks(row, plan.frames, plan.envelope, position, plan.frames, plan.stopShortBy))
        return;

    if (m_options.mode == SplitMode::Count)
        jobs.setSpanStatus(status, StatusFinish);
    m_openTags.reset();
    closeOutput();
    if (m_outputs.isEmpty() || m_outputs.constLast() != path)
        return;
    copyTagsToOutput(path, plan.tags);
    if (m_options.mode != SplitMode::Count)
        jobs.setSpanStatus(status, StatusFinish);
}
