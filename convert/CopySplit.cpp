// The lossless cut: a piece of an Ogg Vorbis source written from its own
// packets, or of an MP3 or FLAC source from its own frames, without
// re-encoding.
#include "convert/Conversion.h"

#include "audio/AudioError.h"
#include "audio/CopyCut.h"
#include "audio/FlacCopyCut.h"
#include "convert/RunTexts.h"
#include "joblist/JobList.h"
#include "tags/TagSteps.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstdio>

using namespace RunTexts;

namespace {

// A piece written beside its name and put in place once complete, as the
// encoder does, but left to the system to store: forcing each piece to the
// disk before the next one costs more than the cut itself, and a copy of
// the source's own packets is made again at any time. Unbuffered, so that a
// write the disk refuses fails at once with the system's reason; one that
// is never put in place is removed.
class PieceFile : public QFile {
  public:
    ~PieceFile() override {
        if (m_created && !m_done) {
            close();
            remove();
        }
    }

    bool open(const QString& path) {
        m_path = path;
        for (int attempt = 0; attempt < 16; ++attempt) {
            static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
            QString name = path + QLatin1Char('.');
            for (int i = 0; i < 6; ++i)
                name += QLatin1Char(Letters[QRandomGenerator::global()->bounded(36)]);
            setFileName(name);
            m_created =
                QFile::open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered);
            if (m_created)
                return true;
            if (!exists())
                return false; // not a name taken: the folder refuses
        }
        return false;
    }

    // Closes the piece and gives it its name; false with errorString() set.
    bool commit() {
        close();
        if (error() != QFileDevice::NoError)
            return false;
        if (std::rename(QFile::encodeName(fileName()).constData(),
                        QFile::encodeName(m_path).constData()) != 0) {
            m_renameError = qt_error_string(errno);
            return false;
        }
        m_done = true;
        return true;
    }

    QString failure() const { return m_renameError.isEmpty() ? errorString() : m_renameError; }

  private:
    QString m_path;
    QString m_renameError;
    bool m_created = false; // the temporary is ours
    bool m_done = false;
};

// The frames a re-encoding split writes of a piece: it copies blocks of a
// second's samples, and one that leaves a tail shorter than the plan's
// stopShortBy ends the piece.
std::int64_t reEncodedLength(std::int64_t frames, std::int64_t stopShortBy, const CopyCut& cutter) {
    const std::int64_t block = std::max(1, cutter.sampleRate() * cutter.channels());
    const std::int64_t tail = frames % block;
    if (stopShortBy > 0 && frames > block && tail > 0 && tail < stopShortBy)
        return frames - tail;
    return frames;
}

} // namespace

bool Conversion::copiesFlacFrames(const QString& source) const {
    // Fades change the samples: those pieces are encoded whole.
    return m_options.codec == Codec::Flac && !m_options.fadeIn && !m_options.fadeOut &&
           FlacCopyCut::fit(source) == FlacCopyCut::Fit::Copied;
}

void Conversion::copyPiece(int file, std::int64_t piece, const Span& span) {
    const FileRow row = jobs.file(file);
    const int status = int(std::min<std::int64_t>(piece, INT32_MAX));
    const PiecePlan plan = planPiece(row, span);
    // The piece's own temporary file shows that its name can be made there:
    // the usual trial file is made only once that fails, for its reasons.
    QString path;
    PieceFile out;
    if (m_options.nameTemplate.isEmpty()) {
        path = m_names.piecePath(m_options.outputDir, row.caption);
        if (!out.open(path))
            m_names.giveBack(path);
    }
    if (!out.isOpen())
        path = choosePiecePath(row, piece, span);
    if (!out.isOpen() && !out.open(path)) {
        const QString refused = QStringLiteral("Cannot create %1: %2")
                                    .arg(QDir::toNativeSeparators(path), out.errorString());
        m_currentFile = path;
        m_names.giveBack(path);
        path = m_names.fallbackPath(m_options.outputDir, row.path);
        if (!out.open(path))
            throw AudioError(refused);
    }
    m_currentFile = path;
    if (onOutputStarted)
        onOutputStarted(path);
    jobs.setSpanStatus(status, StatusConverting);
    // A cut the run chose in place of re-encoding ends where re-encoding would.
    const std::int64_t frames =
        m_options.copy ? plan.frames : reEncodedLength(plan.frames, plan.stopShortBy, *m_cutter);
    CopyCut::Tags tags;
    if (m_cutter->tagForm() == CopyCut::TagForm::Id3v2)
        tags.id3v2 = id3v2OutputTag(plan.tags);
    else
        tags.comments = oggOutputComments(plan.tags);
    m_cutter->writePiece(out, plan.beginFrame, plan.beginFrame + frames, tags);
    m_currentFile = path;
    if (!out.commit())
        throw AudioError(QStringLiteral("Cannot write %1: %2")
                             .arg(QDir::toNativeSeparators(path), out.failure()));
    showProgress(1, 1);
    m_outputs << path;
    if (onOutputClosed)
        onOutputClosed(path);
    jobs.setSpanStatus(status, StatusFinish);
}
