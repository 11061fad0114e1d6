#include "convert/Conversion.h"

#include "audio/AudioError.h"
#include "audio/Mp3CopyCut.h"
#include "audio/MulDiv.h"
#include "audio/OggCopyCut.h"
#include "convert/NameTemplate.h"
#include "convert/OutputNaming.h"
#include "convert/PieceMath.h"
#include "convert/RunTexts.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "tags/TagSteps.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

using namespace RunTexts;

namespace {

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

} // namespace

Conversion::Conversion(SessionState& state, JobList& jobList) : s(state), jobs(jobList) {}

Conversion::~Conversion() = default;

void Conversion::stopConversion() {
    s.converting = false;
}

void Conversion::showProgress(std::int64_t progress, std::int64_t total) {
    const std::int64_t value = total > 0 ? MulDiv(progress, ProgressScale, total) : 0;
    if (onProgress)
        onProgress(int(std::clamp<std::int64_t>(value, 0, ProgressScale)));
}

std::vector<Conversion::CopyRefusal> Conversion::copyRefusals(const FileModel& files) {
    std::vector<CopyRefusal> refused;
    for (int row = 0; row < files.rowCount(); ++row) {
        const QString& path = files.row(row).path;
        // An MP3 file is asked of its own cutter, which needs not read it
        // through looking for Ogg pages.
        QString problem =
            Mp3CopyCut::isMpegAudio(path) ? Mp3CopyCut::problem(path) : OggCopyCut::problem(path);
        if (problem == QLatin1String("it is not an Ogg Vorbis file"))
            problem = QStringLiteral("it is neither an Ogg Vorbis nor an MP3 file");
        if (!problem.isEmpty())
            refused.push_back({row, path, std::move(problem)});
    }
    return refused;
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
    m_file = -1;
    m_filesSplit = 0;
    m_dropped.clear();
    m_joinPosition = 0;
    m_names = OutputNaming::RunNames(outputExtension(m_options.codec));
    m_runTotal = 0;
    m_runDone = 0;
    m_runShown = -1;
}

void Conversion::prepareWriter(AudioFile& writer, int rate, int channels, int bits,
                               const FileTags* tags) const {
    switch (m_options.codec) {
    case Codec::Flac:
        // A lossy source has no depth of its own: CD audio's.
        writer.setFlacFormat({0, 0, bits > 0 ? bits : 16, m_options.flacCompression});
        break;
    case Codec::Opus:
        writer.setOpusFormat({0, 0, m_options.opusKbps});
        break;
    case Codec::Vorbis:
        for (const OggFormat& c : m_options.encoding)
            writer.setOggFormat(c);
        break;
    }
    // An Ogg Vorbis piece gets its tags once closed, as it always has.
    writer.setComments(tags && m_options.codec != Codec::Vorbis ? oggOutputComments(*tags)
                                                                : QList<QByteArray>());
    writer.setPcmFormat(rate, channels);
}

void Conversion::openOutput(const QString& path, int rate, int channels, int bits,
                            const FileTags* tags) {
    AudioFile& writer = m_writer;
    if (writer.isOpen())
        writer.close();
    prepareWriter(writer, rate, channels, bits, tags);
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
    fail(shown, QCoreApplication::translate("Conversion", "Cannot create the output folder %1: %2")
                    .arg(OutputNaming::elidedName(shown), reason));
    return false;
}

QString Conversion::choosePiecePath(const FileRow& row, std::int64_t piece, const Span& span) {
    QString named;
    if (!m_options.nameTemplate.isEmpty()) {
        NameTemplate::PieceFields fields;
        // A caption that is the file's name stands without its extension,
        // which the piece's ".ogg" would otherwise follow.
        const QString suffix = QLatin1Char('.') + QFileInfo(row.path).suffix();
        fields.source = suffix.size() > 1 && row.caption.endsWith(suffix, Qt::CaseInsensitive)
                            ? row.caption.chopped(suffix.size())
                            : row.caption;
        fields.number = piece + 1;
        fields.count = std::max<std::int64_t>(
            piece + 1, PieceMath::splitPieceCount(m_options.mode, row, jobs.file(0),
                                                  m_options.effectiveSplitSeconds(),
                                                  m_options.effectiveSplitCount()));
        fields.tags = span.tags ? *span.tags : row.tags;
        fields.startSeconds = span.begin;
        named = NameTemplate::expand(m_options.nameTemplate, fields);
    }
    // A template that leaves nothing of a name names the piece as usual.
    const QString planned = named.isEmpty() ? m_names.piecePath(m_options.outputDir, row.caption)
                                            : m_names.templatePath(m_options.outputDir, named);
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
    fail(r.path,
         QCoreApplication::translate(
             "Conversion", "%1 would be cut into %2 pieces; at most %3 are made of one file.")
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

bool Conversion::copyBlocks(const FileRow& source, std::int64_t frames, const Envelope& envelope,
                            std::int64_t& outputPos, std::int64_t total, std::int64_t stopShortBy) {
    BlockCopier t{m_reader,
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
        damage = t.copy(source, frames, envelope, outputPos, stopShortBy);
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
