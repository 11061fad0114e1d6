// The help page (see HelpPage.h).
#include "core/HelpPage.h"

#include "core/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

// The installed page's folder seen from the installed program's folder; the
// build sets it from its install directories.
#ifndef CADELO_INSTALLED_HELP_DIR
#define CADELO_INSTALLED_HELP_DIR "../share/cadelo/help"
#endif

namespace {

const QString PageName = QStringLiteral("cadelo.html");

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QUrl shippedCopy() {
    initCadeloResources();
    const QByteArray page = fileBytes(QStringLiteral(":/help/cadelo.html"));
    if (page.isEmpty())
        return {};
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        cache = QDir::tempPath();
    const QString folder = QDir(cache).filePath(QStringLiteral("cadelo/help"));
    const QString path = QDir(folder).filePath(PageName);
    // Written again only when the shipped page changed (a newer program).
    if (fileBytes(path) != page) {
        QDir().mkpath(folder);
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(page) != page.size() || !out.commit())
            return {};
    }
    return QUrl::fromLocalFile(path);
}

} // namespace

QStringList helpPageCandidates(const QString& programDir) {
    if (programDir.isEmpty())
        return {};
    const QDir dir(programDir);
    return {
        QDir::cleanPath(dir.filePath(QStringLiteral("help/") + PageName)),
        QDir::cleanPath(dir.filePath(QStringLiteral(CADELO_INSTALLED_HELP_DIR "/") + PageName))};
}

QUrl helpPageUrl(const QString& programDir) {
    for (const QString& path : helpPageCandidates(programDir)) {
        // A folder of that name is no page.
        if (QFileInfo(path).isFile())
            return QUrl::fromLocalFile(path);
    }
    return shippedCopy();
}

QUrl helpPageUrl() {
    return helpPageUrl(QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                    : QString());
}
