// The help page (see HelpPage.h).
#include "core/HelpPage.h"

#include "core/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

QUrl helpPageUrl() {
    if (QCoreApplication::instance()) {
        const QString installed = QDir(QCoreApplication::applicationDirPath())
                                      .filePath(QStringLiteral("help/cadelo.html"));
        if (QFile::exists(installed))
            return QUrl::fromLocalFile(installed);
    }

    initCadeloResources();
    const QByteArray page = fileBytes(QStringLiteral(":/help/cadelo.html"));
    if (page.isEmpty())
        return {};
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        cache = QDir::tempPath();
    const QString folder = QDir(cache).filePath(QStringLiteral("cadelo/help"));
    const QString path = QDir(folder).filePath(QStringLiteral("cadelo.html"));
    // Written again only when the shipped page changed (a newer program).
    if (fileBytes(path) != page) {
        QDir().mkpath(folder);
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(page) != page.size() || !out.commit())
            return {};
    }
    return QUrl::fromLocalFile(path);
}
