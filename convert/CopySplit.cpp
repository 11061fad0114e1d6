// The lossless cut: a piece of an Ogg Vorbis source written from its own
// packets, without re-encoding.
#include "convert/Conversion.h"

#include "audio/AudioError.h"
#include "audio/OggCopyCut.h"
#include "convert/RunTexts.h"
#include "joblist/JobList.h"
#include "tags/TagSteps.h"

#include <QDir>
#include <QSaveFile>
#include <algorithm>

using namespace RunTexts;

void Conversion::copyPiece(int file, std::int64_t piece, const Span& span) {
    const FileRow row = jobs.file(file);
    const int status = int(std::min<std::int64_t>(piece, INT32_MAX));
    const PiecePlan plan = planPiece(row, span);
    QString path = choosePiecePath(row, piece, span);
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
                         oggOutputComments(plan.tags));
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
