#include "convert/OutputNaming.h"

#include "audio/NativeName.h"
#include "joblist/TimeText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringView>
#include <QTextBoundaryFinder>
#include <algorithm>

namespace OutputNaming {

QString baseOf(const QString& caption) {
    const qsizetype dot = caption.indexOf(QLatin1Char('.'));
    return dot <= 0 ? caption : caption.left(dot);
}

QString withOggExtension(const QString& name) {
    return withExtension(name, QStringLiteral("ogg"));
}

QString withExtension(const QString& name, const QString& extension) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? name : name.left(dot)) + QLatin1Char('.') + extension;
}

bool taken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString inFolder(const QString& dir, const QString& name) {
    if (dir.isEmpty())
        return name;
    const QChar last = dir.back();
    if (last == QLatin1Char('/') || last == QDir::separator())
        return dir + name;
    return dir + QLatin1Char('/') + name;
}

QString fittedName(const QString& name) {
    if (name.toUtf8().size() <= OutputNameMaxBytes)
        return name;
    // The tail kept whole: the output's extension and the number before it.
    qsizetype tailStart = name.size();
    for (const char* extension : {".ogg", ".flac", ".opus", ".mp3"})
        if (name.endsWith(QLatin1String(extension)))
            tailStart = name.size() - qsizetype(qstrlen(extension));
    qsizetype digits = tailStart;
    while (digits > 0 && name[digits - 1] >= QLatin1Char('0') &&
           name[digits - 1] <= QLatin1Char('9'))
        --digits;
    if (digits < tailStart && digits > 0 && name[digits - 1] == QLatin1Char('_'))
        tailStart = digits - 1;
    const QString tail = name.mid(tailStart);
    const qsizetype room = OutputNameMaxBytes - tail.toUtf8().size();
    // No more characters fit than bytes, and a grapheme's end is known a few
    // characters after it: the rest of a long name is never looked at.
    const QStringView stem = QStringView(name).left(std::min(tailStart, room + 64));
    // Cut between graphemes, so that no character loses its accent or half
    // of a surrogate pair.
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, stem.data(), stem.size());
    qsizetype cut = 0;
    qsizetype bytes = 0;
    for (qsizetype next = graphemes.toNextBoundary(); next > 0; next = graphemes.toNextBoundary()) {
        bytes += stem.mid(cut, next - cut).toUtf8().size();
        if (bytes > room)
            break;
        cut = next;
    }
    return stem.left(cut).toString() + tail;
}

bool canCreate(const QString& path, QString* reason) {
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (reason)
            *reason = probe.errorString();
        return false;
    }
    probe.close();
    probe.remove();
    return true;
}

QString elidedName(const QString& name) {
    constexpr qsizetype Keep = 100;
    if (name.size() <= 3 * Keep)
        return name;
    // Never half of a surrogate pair on either side of the gap.
    qsizetype head = Keep;
    if (name[head - 1].isHighSurrogate())
        --head;
    qsizetype tailFrom = name.size() - Keep;
    if (name[tailFrom].isLowSurrogate())
        ++tailFrom;
    return name.left(head) + QChar(0x2026) + name.mid(tailFrom);
}

namespace {

// The numbered names. Every candidate is cleaned: a caption may come from a
// title tag, and an uncleaned "/" would put the file into another folder.
// When the base itself holds a "." the extension change would swallow the
// number and every candidate would be the same name, so the number is kept
// and ".ogg" appended instead.
QString numbered(const QString& dir, const QString& base, qint64 n, const QString& extension) {
    const QString name = cleanFileName(base + QLatin1Char('_') + QString::number(n));
    if (base.contains(QLatin1Char('.')))
        return inFolder(dir, fittedName(name + QLatin1Char('.') + extension));
    return inFolder(dir, fittedName(withExtension(name, extension)));
}

} // namespace

RunNames::RunNames(const QString& extension) : m_extension(extension) {}

bool RunNames::takenInRun(const QString& path) const {
    return m_handedOut.contains(path) || taken(path);
}

QString RunNames::handOut(const QString& path) {
    m_handedOut.insert(path);
    return path;
}

void RunNames::giveBack(const QString& path) {
    if (m_handedOut.remove(path))
        m_next.clear();
}

QString RunNames::nextNumbered(const QString& dir, const QString& base) {
    // The key is the sequence's own first name, so that a caption and a
    // source file name of the same base share their numbers.
    const QString key = numbered(dir, base, 1, m_extension);
    qint64& n = m_next[key];
    if (n < 1)
        n = 1;
    QString candidate = numbered(dir, base, n, m_extension);
    while (takenInRun(candidate))
        candidate = numbered(dir, base, ++n, m_extension);
    ++n;
    return handOut(candidate);
}

QString RunNames::piecePath(const QString& dir, const QString& caption) {
    const QString base = baseOf(caption);
    const QString first = inFolder(
        dir, fittedName(withExtension(cleanFileName(base + QStringLiteral("_1")), m_extension)));
    if (!takenInRun(first))
        return handOut(first);
    return nextNumbered(dir, base);
}

QString RunNames::fallbackPath(const QString& dir, const QString& sourcePath) {
    // A new name is valid UTF-8 even where the source's is not.
    const QString name = fittedName(withExtension(
        cleanFileName(NativeName::shown(QFileInfo(sourcePath).fileName())), m_extension));
    const QString first = inFolder(dir, name);
    if (!takenInRun(first))
        return handOut(first);
    return nextNumbered(dir, name.left(name.size() - m_extension.size() - 1));
}

QString RunNames::templatePath(const QString& dir, const QString& name) {
    // Cleaned once more: a caller's name must not reach outside the folder.
    const QString base = cleanFileName(name);
    const QString first = inFolder(dir, fittedName(base + QLatin1Char('.') + m_extension));
    if (!takenInRun(first))
        return handOut(first);
    return nextNumbered(dir, base);
}

QString choosePiecePath(const QString& dir, const QString& caption) {
    return RunNames().piecePath(dir, caption);
}

QString fallbackPath(const QString& dir, const QString& sourcePath) {
    return RunNames().fallbackPath(dir, sourcePath);
}

QString joinOutputPath(const QString& dir, const QString& chosen) {
    return joinOutputPath(dir, chosen, QStringLiteral("ogg"));
}

QString joinOutputPath(const QString& dir, const QString& chosen, const QString& extension) {
    return QDir(dir).absoluteFilePath(chosen) + QLatin1Char('.') + extension;
}

QString replaceQuestion(const QString& path) {
    return QDir::toNativeSeparators(path) +
           QCoreApplication::translate("OutputNaming",
                                       " already exists. Do you want to replace it?");
}

} // namespace OutputNaming
