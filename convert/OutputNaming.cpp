#include "convert/OutputNaming.h"

#include "joblist/TimeText.h"

#include <QDir>
#include <QFileInfo>

namespace OutputNaming {

QString baseOf(const QString& caption) {
    const qsizetype dot = caption.indexOf(QLatin1Char('.'));
    return dot <= 0 ? caption : caption.left(dot);
}

QString withOggExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return (dot < 0 ? name : name.left(dot)) + QStringLiteral(".ogg");
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

namespace {

// The numbered names. Every candidate is cleaned: a caption may come from a
// title tag, and an uncleaned "/" would put the file into another folder.
// When the base itself holds a "." the extension change would swallow the
// number and every candidate would be the same name, so the number is kept
// and ".ogg" appended instead.
QString numbered(const QString& dir, const QString& base, qint64 n) {
    const QString name = cleanFileName(base + QLatin1Char('_') + QString::number(n));
    if (base.contains(QLatin1Char('.')))
        return inFolder(dir, name + QStringLiteral(".ogg"));
    return inFolder(dir, withOggExtension(name));
}

QString firstFreeNumbered(const QString& dir, const QString& base) {
    for (qint64 n = 1;; ++n) {
        const QString candidate = numbered(dir, base, n);
        if (!taken(candidate))
            return candidate;
    }
}

} // namespace

QString choosePiecePath(const QString& dir, const QString& caption) {
    const QString base = baseOf(caption);
    const QString first =
        inFolder(dir, withOggExtension(cleanFileName(base + QStringLiteral("_1"))));
    if (!taken(first))
        return first;
    return firstFreeNumbered(dir, base);
}

QString fallbackPath(const QString& dir, const QString& sourcePath) {
    const QString name = withOggExtension(cleanFileName(QFileInfo(sourcePath).fileName()));
    const QString first = inFolder(dir, name);
    if (!taken(first))
        return first;
    return firstFreeNumbered(dir, name.left(name.size() - 4));
}

QString joinOutputPath(const QString& dir, const QString& chosen) {
    return QDir(dir).absoluteFilePath(chosen) + QStringLiteral(".ogg");
}

QString replaceQuestion(const QString& path) {
    return QDir::toNativeSeparators(path) +
           QStringLiteral(" already exists. Do you want to replace it?");
}

} // namespace OutputNaming
