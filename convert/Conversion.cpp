#include "convert/Conversion.h"

#include "audio/AudioTransform.h"
#include "audio/MulDiv.h"
#include "audio/AudioError.h"
#include "convert/OggCopyCut.h"
#include "convert/OutputNaming.h"
#include "convert/PieceMath.h"
#include "core/MainState.h"
#include "joblist/JobList.h"
#include "joblist/TimeText.h"
#include "tags/TagSteps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

const QString StatusOK = QStringLiteral("OK");
const QString StatusConverting = QStringLiteral("Converting");
const QString StatusFinish = QStringLiteral("Finish");

QString errorText(const std::exception& e) {
    return QString::fromStdString(e.what());
}

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

// Creates `dir` with its parents; empty when it is there afterwards, else the
// system's reason.
QString makeFolder(const QString& dir) {
    if (QFileInfo(dir).isDir())
        return QString();
#ifdef Q_OS_WIN
    const std::filesystem::path native(dir.toStdWString());
#else
    const std::filesystem::path native(QFile::encodeName(dir).toStdString());
#endif
    std::error_code error;
    std::filesystem::create_directories(native, error);
    if (QFileInfo(dir).isDir())
        return QString();
    return error ? QString::fromLocal8Bit(error.message()) : QStringLiteral("it is not a folder");
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

Conversion::Conversion(MainState& state, JobList& jobList) : s(state), jobs(jobList) {}

Conversion::~Conversion() = default;

// ---------------------------------------------------------------------------
// Shared pieces of both runs
// ---------------------------------------------------------------------------

void Conversion::stopConversion() {
    s.converting = false;
}

void Conversion::showProgress(std::int64_t progress, std::int64_t total) {
    const std::int64_t value = total > 0 ? MulDiv(progress, ProgressScale, total) : 0;
    if (onProgress)
        onProgress(int(std::clamp<std::int64_t>(value, 0, ProgressScale)));
}

void Conversion::beginRun() {
    s.converting = true;
    m_failed = false;
    m_error.clear();
    m_outputs.clear();
    m_openOutput.clear();
    m_openFrames = 0;
    m_writerFailed = false;
    m_currentFile.clear();
    m_dropped.clear();
    m_joinPosition = 0;
    m_names = OutputNaming::RunNames();
}

void Conversion::prepareWriter(AudioFile& writer, int rate, int channels) const {
    for (const OggFormat& c : m_options.encoding)
        writer.setOggFormat(c.rate, c.channels, c.kbps, c.minKbps, c.maxKbps, c.quality);
    writer.setPcmFormat(rate, channels);
}

void Conversion::openOutput(const QString& path, int rate, int channels) {
    AudioFile& writer = m_writer;
    if (writer.isOpen())
        writer.close();
    prepareWriter(writer, rate, channels);
    m_openTags.reset();
    m_currentFile = path;
    writer.createWrite(path);
    m_openOutput = path;
    m_openFrames = 0;
    m_writerFailed = false;
    if (onOutputStarted)
        onOutputStarted(path);
}

void Conversion::closeOutput() {
    AudioFile& writer = m_writer;
    const QString path = m_openOutput;
    m_currentFile = path;
    m_openOutput.clear();
    if (m_writerFailed) {
        // What the writer took before it failed cannot be completed.
        writer.abandonWrite();
        return;
    }
    if (writer.isOpen())
        writer.close();
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        m_outputs << path;
        if (onOutputClosed)
            onOutputClosed(path);
    }
}

// The end of every run, stopped, finished or failed: what is written stays
// and is complete, an output that got nothing before a failure is removed,
// the progress display is emptied and the open spans the run took away are
// given back.
void Conversion::endRun() {
    if (m_failed && m_openFrames == 0)
        m_writerFailed = true;
    try {
        if (m_writer.isOpen() || !m_openOutput.isEmpty()) {
            const QString path = m_openOutput;
            closeOutput();
            // A piece that stays gets its tags whichever way the run ended.
            if (m_openTags && !path.isEmpty() && !m_outputs.isEmpty() &&
                m_outputs.constLast() == path)
                copyTagsToOutput(path, *m_openTags);
        }
        m_openTags.reset();
    } catch (const std::exception& e) {
        if (!m_failed)
            fail(m_currentFile, errorText(e));
    }
    m_cutter.reset();
    try {
        if (m_reader.isOpen())
            m_reader.close();
    } catch (const std::exception&) {
        // Nothing of the output depends on closing the source.
    }

    s.converting = false;
    if (onRunEnded)
        onRunEnded();

    for (int file : m_dropped)
        if (jobs.fileModel().contains(file))
            ++jobs.file(file).spanCount;
    m_dropped.clear();

    if (m_failed)
        s.inform(m_error);
}

void Conversion::fail(const QString& file, const QString& reason) {
    m_failed = true;
    m_error = reason;
    if (file.isEmpty())
        return;
    // Component messages often name the file already; a name made from a
    // long caption is shown shortened wherever it appears.
    const QString native = QDir::toNativeSeparators(file);
    const QString shown = OutputNaming::elidedName(native);
    m_error.replace(native, shown);
    m_error.replace(file, OutputNaming::elidedName(file));
    if (!m_error.contains(shown) && !m_error.contains(OutputNaming::elidedName(file)))
        m_error = shown + QLatin1Char('\n') + m_error;
}

bool Conversion::makeOutputFolder(const QString& dir) {
    if (dir.isEmpty())
        return true;
    const QString reason = makeFolder(dir);
    if (reason.isEmpty())
        return true;
    const QString shown = QDir::toNativeSeparators(QDir::cleanPath(dir));
    fail(shown, QStringLiteral("Cannot create the output folder %1: %2")
                    .arg(OutputNaming::elidedName(shown), reason));
    return false;
}

QString Conversion::choosePiecePath(const FileRow& row) {
    const QString planned = m_names.piecePath(m_options.outputDir, row.caption);
    QString reason;
    if (OutputNaming::canCreate(planned, &reason))
        return planned;
    // A caption can make a name the file system refuses; the source's own
    // name is the second try.
    m_names.giveBack(planned);
    const QString fallback = m_names.fallbackPath(m_options.outputDir, row.path);
    QString fallbackReason;
    if (OutputNaming::canCreate(fallback, &fallbackReason))
        return fallback;
    m_names.giveBack(fallback);
    m_currentFile = planned;
    throw AudioError(QStringLiteral("Cannot create %1: %2\nCannot create %3 either: %4")
                         .arg(OutputNaming::elidedName(QDir::toNativeSeparators(planned)), reason,
                              OutputNaming::elidedName(QDir::toNativeSeparators(fallback)),
                              fallbackReason));
}

bool Conversion::refuseTooManyPieces(const FileRow& r, std::int64_t pieces) {
    if (pieces <= PieceMath::MaxPieces)
        return false;
    fail(r.path, QStringLiteral("%1 would be cut into %2 pieces; at most %3 are made of one file.")
                     .arg(QDir::toNativeSeparators(r.path))
                     .arg(pieces)
                     .arg(PieceMath::MaxPieces));
    return true;
}

// Leaves only the spans a run converts in the span rows: a lone span is
// converted (and marked "OK"), otherwise the open span's row goes. A split
// also lowers the row's span count for as long as it runs; a join leaves it.
void Conversion::dropOpenSpan(int file, bool giveBack) {
    const int rows = jobs.spanRowCount();
    if (rows == 1) {
        jobs.setSpanStatus(0, StatusOK);
        return;
    }
    if (rows < 1)
        return;
    jobs.removeSpanRow(rows - 1);
    if (giveBack && jobs.fileModel().contains(file)) {
        jobs.file(file).spanCount = rows - 1;
        m_dropped.push_back(file);
    }
}

std::optional<QString> Conversion::copyFrames(CopyTarget& t, const FileRow& source,
                                              std::int64_t frames, const Envelope& envelope,
                                              std::int64_t& outputPos,
                                              std::int64_t stopShortBy) {
    AudioFile& reader = t.reader;
    const bool bounded = frames >= 0;
    // Blocks of as many frames as the source has samples a second: at most two
    // seconds of stereo.
    const std::int64_t blockFrames =
        std::max<std::int64_t>(1, std::int64_t(reader.sampleRate()) * reader.channels());
    const std::int64_t fadeOutStart = envelope.total - envelope.fadeOutFrames;
    std::int64_t copied = 0;
    while (!bounded || copied < frames) {
        if (!t.keepGoing())
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
        t.currentFile = source.path;
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
            AudioTransform::fade(
                block, fadeOutGain(outputPos, envelope.total, envelope.fadeOutFrames),
                fadeOutGain(end, envelope.total, envelope.fadeOutFrames));

        copied += consumed;
        outputPos = end;
        t.progressed(outputPos);
        t.currentFile = t.outputPath;
        try {
            t.writer.writeSamples(block);
        } catch (...) {
            t.writerFailed = true;
            throw;
        }
        t.framesWritten += block.frames();

        if (bounded && frames - copied < stopShortBy)
            break;
    }
    return std::nullopt;
}

bool Conversion::copyBlocks(const FileRow& source, std::int64_t frames, const Envelope& envelope,
                            std::int64_t& outputPos, std::int64_t total,
                            std::int64_t stopShortBy) {
    CopyTarget t{m_reader,
                 m_writer,
                 m_openOutput,
                 [this] {
                     s.pumpEvents();
                     return s.converting;
                 },
                 [this, total](std::int64_t pos) { showProgress(std::min(pos, total), total); },
                 m_currentFile};
    t.framesWritten = m_openFrames;
    std::optional<QString> damage;
    try {
        damage = copyFrames(t, source, frames, envelope, outputPos, stopShortBy);
    } catch (...) {
        m_writerFailed = m_writerFailed || t.writerFailed;
        m_openFrames = t.framesWritten;
        throw;
    }
    m_openFrames = t.framesWritten;
    if (damage) {
        fail(source.path, *damage);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Split
// ---------------------------------------------------------------------------

// What makes a split impossible before anything is written: an open span
// marked the wrong way round that would be converted, or more pieces than
// any person asks for.
bool Conversion::refuseBeforeSplit() {
    const SplitMode mode = m_options.mode;
    const FileModel& files = jobs.fileModel();
    if (m_options.copy && (m_options.fadeIn || m_options.fadeOut)) {
        fail(QString(), QStringLiteral("Pieces cut without re-encoding cannot fade in or out."));
        return true;
    }
    for (int i = 0; m_options.copy && i < files.rowCount(); ++i) {
        const QString problem = OggCopyCut::problem(files.row(i).path);
        if (!problem.isEmpty()) {
            fail(files.row(i).path, QStringLiteral("%1 cannot be cut without re-encoding: %2")
                                        .arg(QDir::toNativeSeparators(files.row(i).path), problem));
            return true;
        }
    }
    for (int i = 0; i < files.rowCount(); ++i) {
        const FileRow& r = files.row(i);
        const FileRow& spansOf = mode == SplitMode::Unification ? files.row(0) : r;
        if ((mode == SplitMode::Custom || (mode == SplitMode::Unification && i == 0)) &&
            spansOf.usableSpanCount() == 1 && spansOf.spans[0].end < spansOf.spans[0].begin) {
            fail(QString(), QStringLiteral("Start-time must not be larger than end-time."));
            return true;
        }
        if (refuseTooManyPieces(r, PieceMath::splitPieceCount(mode, r, files.row(0),
                                                              m_options.effectiveSplitSeconds(),
                                                              m_options.effectiveSplitCount())))
            return true;
    }
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
                splitFile(i);
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
    reader.openRead(source);
    // A join or a preview may have asked for another format; pieces keep the source's.
    reader.setPcmFormat(0, 0);

    // Count's piece length is fixed with the file; Time takes a piece length
    // changed mid-run for the bounds of the following pieces.
    const int splitCount = m_options.effectiveSplitCount();
    const std::int64_t pieces =
        PieceMath::splitPieceCount(mode, jobs.file(file), jobs.file(0),
                                   m_options.effectiveSplitSeconds(), splitCount);
    // The piece length may have changed since the run was allowed to start.
    if (refuseTooManyPieces(jobs.file(file), pieces))
        return;
    if (m_options.copy)
        m_cutter = std::make_unique<OggCopyCut>(source);
    else if (m_options.jobs > 1)
        splitPiecesInParallel(file, pieces, splitCount);
    for (std::int64_t j = 0; (m_options.copy || m_options.jobs <= 1) && j < pieces && !m_failed; ++j) {
        s.pumpEvents();
        if (!s.converting)
            break;
        Span span;
        if (!PieceMath::splitPiece(mode, j, jobs.file(file), jobs.file(0),
                                   m_options.effectiveSplitSeconds(), splitCount, span))
            break;
        if (m_options.copy)
            copyPiece(file, j, span);
        else
            splitPiece(file, j, span);
    }
    m_cutter.reset();
    m_currentFile = source;
    reader.close();
}

Conversion::PiecePlan Conversion::planPiece(const FileRow& row, const Span& span) const {
    const AudioFile& reader = m_reader;
    PiecePlan plan;
    plan.beginFrame =
        PieceMath::readerFrames(span.begin, reader.lengthSamples(), reader.lengthMs());
    const std::int64_t endFrame =
        span.toEnd ? reader.lengthSamples()
                   : PieceMath::readerFrames(span.end, reader.lengthSamples(), reader.lengthMs());
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
    // Custom leaves out a tail under 100 frames.
    plan.stopShortBy = m_options.mode == SplitMode::Custom ? 100 : 0;
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
    QString path = choosePiecePath(row);
    try {
        openOutput(path, rate, channels);
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
            openOutput(path, rate, channels);
        } catch (const std::exception&) {
            m_writer.abandonWrite();
            m_currentFile = planned;
            std::rethrow_exception(refused);
        }
    }
    m_openTags = row.tags;
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
    copyTagsToOutput(path, row.tags);
    if (m_options.mode != SplitMode::Count)
        jobs.setSpanStatus(status, StatusFinish);
}

void Conversion::copyPiece(int file, std::int64_t piece, const Span& span) {
    const FileRow row = jobs.file(file);
    const int status = int(std::min<std::int64_t>(piece, INT32_MAX));
    const PiecePlan plan = planPiece(row, span);
    QString path = choosePiecePath(row);
    // Written beside its name and put in place once complete, as the encoder
    // does; unbuffered, so that a write the disk refuses fails at once with
    // the system's reason.
    QSaveFile out(path);
    constexpr QIODevice::OpenMode Mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (!out.open(Mode)) {
        const QString refused = QStringLiteral("Cannot create %1: %2")
                                    .arg(QDir::toNativeSeparators(path), out.errorString());
        m_currentFile = path;
        m_names.giveBack(path);
        path = m_names.fallbackPath(m_options.outputDir, row.path);
        out.setFileName(path);
        if (!out.open(Mode))
            throw AudioError(refused);
    }
    m_currentFile = path;
    if (onOutputStarted)
        onOutputStarted(path);
    jobs.setSpanStatus(status, StatusConverting);
    m_cutter->writePiece(out, plan.beginFrame, plan.beginFrame + plan.frames,
                         oggOutputComments(row.tags));
    m_currentFile = path;
    if (!out.commit())
        throw AudioError(QStringLiteral("Cannot write %1: %2")
                             .arg(QDir::toNativeSeparators(path), out.errorString()));
    showProgress(1, 1);
    m_outputs << path;
    if (onOutputClosed)
        onOutputClosed(path);
    jobs.setSpanStatus(status, StatusFinish);
}

// ---------------------------------------------------------------------------
// Split, pieces side by side
// ---------------------------------------------------------------------------

// One piece handed to a worker. The run's thread fills it and opens its
// writer; the worker owns it from the queue on until it sets `finished`.
struct Conversion::ParallelPiece {
    std::int64_t index = 0;
    PiecePlan plan;
    QString path;
    std::unique_ptr<AudioFile> writer;
    std::atomic<std::int64_t> position{0}; // frames into the piece, for the progress
    // Written by the worker before `finished`, read by the run after it.
    bool finished = false;
    bool complete = false; // closed, a valid output with its tags
    bool failed = false;
};

// What the run's thread and its workers share; everything but the flag and
// the positions under `mutex`.
struct Conversion::ParallelShared {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<ParallelPiece*> queue;
    bool noMore = false;
    int running = 0; // handed out and not finished
    std::atomic<bool> stop{false};
    QString firstError; // the first failure of any worker ends the run
    QString firstErrorFile;

    void failed(const QString& file, const QString& reason) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (firstError.isEmpty()) {
                firstError = reason;
                firstErrorFile = file;
            }
        }
        stop = true;
    }
};

void Conversion::writePiece(ParallelPiece& p, AudioFile& reader, const FileRow& row,
                            ParallelShared& shared) const {
    AudioFile& writer = *p.writer;
    if (shared.stop) {
        // Stopped before it began: nothing is left under its name.
        writer.abandonWrite();
        return;
    }
    QString current = row.path;
    CopyTarget t{reader,
                 writer,
                 p.path,
                 [&shared] { return !shared.stop; },
                 [&p](std::int64_t pos) { p.position = pos; },
                 current};
    try {
        if (!reader.isOpen()) {
            reader.openRead(row.path);
            reader.setPcmFormat(0, 0);
        }
        reader.seek(std::max<std::int64_t>(0, p.plan.beginFrame));
        std::int64_t position = 0;
        if (const std::optional<QString> damage = copyFrames(
                t, row, p.plan.frames, p.plan.envelope, position, p.plan.stopShortBy)) {
            p.failed = true;
            shared.failed(row.path, *damage);
        }
    } catch (const std::exception& e) {
        p.failed = true;
        shared.failed(current, errorText(e));
    }
    // As the one-at-a-time run ends: what the writer refused, or a piece that
    // got nothing before its failure, is dropped; everything else is closed
    // complete and gets its tags.
    // A piece stopped before its first block was never begun either.
    const bool begun = t.framesWritten > 0 || p.plan.frames == 0 || !shared.stop;
    if (t.writerFailed || (p.failed && t.framesWritten == 0) || !begun) {
        writer.abandonWrite();
        return;
    }
    try {
        writer.close();
        if (QFileInfo(p.path).isFile()) {
            // Listed even when its tags fail: the piece itself is sound.
            p.complete = true;
            copyTagsToOutput(p.path, row.tags);
        }
    } catch (const std::exception& e) {
        p.failed = true;
        shared.failed(p.path, errorText(e));
    }
}

void Conversion::splitPiecesInParallel(int file, std::int64_t pieces, int splitCount) {
    const SplitMode mode = m_options.mode;
    const FileRow row = jobs.file(file);
    const int rate = m_reader.sampleRate();
    const int channels = m_reader.channels();
    const int workerCount =
        int(std::clamp<std::int64_t>(pieces, 1, std::max(1, m_options.jobs)));

    ParallelShared shared;
    // Dispatched and not yet reported, in piece order.
    std::deque<std::unique_ptr<ParallelPiece>> open;
    std::vector<std::jthread> workers;
    // Whatever ends the loops below, the workers are told and joined before
    // the state they share goes.
    struct Joiner {
        ParallelShared& shared;
        std::vector<std::jthread>& workers;
        ~Joiner() {
            {
                std::lock_guard<std::mutex> lock(shared.mutex);
                shared.noMore = true;
            }
            shared.changed.notify_all();
            for (std::jthread& w : workers)
                if (w.joinable())
                    w.join();
        }
    } joiner{shared, workers};
    for (int w = 0; w < workerCount; ++w)
        workers.emplace_back([this, &shared, &row] {
            AudioFile reader; // each worker its own: no codec state is shared
            for (;;) {
                ParallelPiece* piece = nullptr;
                {
                    std::unique_lock<std::mutex> lock(shared.mutex);
                    shared.changed.wait(lock,
                                        [&] { return !shared.queue.empty() || shared.noMore; });
                    if (shared.queue.empty())
                        return;
                    piece = shared.queue.front();
                    shared.queue.pop_front();
                }
                writePiece(*piece, reader, row, shared);
                {
                    std::lock_guard<std::mutex> lock(shared.mutex);
                    piece->finished = true;
                    --shared.running;
                }
                shared.changed.notify_all();
            }
        });

    // The oldest piece is the one shown: its start, its progress, its end.
    bool frontShown = false;
    int lastProgress = -1;
    const auto report = [&] {
        while (!open.empty()) {
            ParallelPiece& front = *open.front();
            const int status = int(std::min<std::int64_t>(front.index, INT32_MAX));
            bool finished = false;
            {
                std::lock_guard<std::mutex> lock(shared.mutex);
                finished = front.finished;
            }
            const std::int64_t pos = std::min(front.position.load(), front.plan.frames);
            // A piece stopped before it began was never an output.
            if (!frontShown && (pos > 0 || (finished && front.complete))) {
                frontShown = true;
                lastProgress = -1;
                if (onOutputStarted)
                    onOutputStarted(front.path);
            }
            const int value = int(front.plan.frames > 0
                                      ? MulDiv(pos, ProgressScale, front.plan.frames)
                                      : 0);
            if (pos > 0 && value != lastProgress) {
                lastProgress = value;
                showProgress(pos, front.plan.frames);
            }
            if (!finished)
                return;
            if (front.complete) {
                m_outputs << front.path;
                if (onOutputClosed)
                    onOutputClosed(front.path);
                if (!front.failed)
                    jobs.setSpanStatus(status, StatusFinish);
            }
            open.pop_front();
            frontShown = false;
        }
    };
    // Lets the run's events through while the workers write.
    const auto waitAWhile = [&] {
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            shared.changed.wait_for(lock, std::chrono::milliseconds(20));
        }
        s.pumpEvents();
        if (!s.converting)
            shared.stop = true;
        report();
    };

    const std::int64_t maxOpen = 2 * std::int64_t(workerCount);
    try {
        for (std::int64_t j = 0; j < pieces; ++j) {
            s.pumpEvents();
            if (!s.converting)
                shared.stop = true;
            for (;;) {
                bool room = false;
                {
                    std::lock_guard<std::mutex> lock(shared.mutex);
                    room = shared.running < workerCount && std::int64_t(open.size()) < maxOpen;
                }
                if (room || shared.stop)
                    break;
                waitAWhile();
            }
            if (shared.stop)
                break;
            Span span;
            if (!PieceMath::splitPiece(mode, j, jobs.file(file), jobs.file(0),
                                       m_options.effectiveSplitSeconds(), splitCount, span))
                break;
            auto piece = std::make_unique<ParallelPiece>();
            piece->index = j;
            piece->plan = planPiece(row, span);
            piece->writer = std::make_unique<AudioFile>();
            prepareWriter(*piece->writer, rate, channels);
            piece->path = choosePiecePath(row);
            try {
                m_currentFile = piece->path;
                piece->writer->createWrite(piece->path);
            } catch (const std::exception&) {
                // As in the one-at-a-time run: the source's own name next, and
                // a second failure ends the run with the first one's reason.
                const std::exception_ptr refused = std::current_exception();
                const QString planned = piece->path;
                piece->writer->abandonWrite();
                m_names.giveBack(piece->path);
                piece->path = m_names.fallbackPath(m_options.outputDir, row.path);
                try {
                    piece->writer->createWrite(piece->path);
                } catch (const std::exception&) {
                    piece->writer->abandonWrite();
                    m_currentFile = planned;
                    std::rethrow_exception(refused);
                }
            }
            jobs.setSpanStatus(int(std::min<std::int64_t>(j, INT32_MAX)), StatusConverting);
            {
                std::lock_guard<std::mutex> lock(shared.mutex);
                shared.queue.push_back(piece.get());
                ++shared.running;
            }
            open.push_back(std::move(piece));
            shared.changed.notify_all();
            report();
        }
    } catch (const std::exception& e) {
        shared.failed(m_currentFile, errorText(e));
    }
    // The pieces under way end at their next block; each is closed complete.
    while (!open.empty())
        waitAWhile();
    std::lock_guard<std::mutex> lock(shared.mutex);
    if (!shared.firstError.isEmpty())
        fail(shared.firstErrorFile, shared.firstError);
}

// ---------------------------------------------------------------------------
// Join
// ---------------------------------------------------------------------------

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
        reader.close();

        openOutput(path, rate, channels);
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
                std::max<std::int64_t>(0, PieceMath::recordFrames(spans[j].begin, row));
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
