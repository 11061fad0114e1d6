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
const QString StyleName = QStringLiteral("cadelo.css");

// The page in the window's language: its translation names the page's file
// (cadelo_de.html beside cadelo.html); without one it is the English page.
QString localPageName() {
    //: The file name of the help page in this language, as shipped beside cadelo.html.
    const QString name = QCoreApplication::translate("HelpPage", "cadelo.html");
    // Only a plain file name of the same folder is taken.
    return name.contains(u'/') || name.contains(u'\\') || !name.endsWith(QStringLiteral(".html"))
               ? PageName
               : name;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes the shipped file `name` into `folder`, again only when the shipped
// one changed (a newer program). False when it cannot be written.
bool writeShipped(const QString& folder, const QString& name, const QByteArray& bytes) {
    const QString path = QDir(folder).filePath(name);
    if (fileBytes(path) == bytes)
        return true;
    QDir().mkpath(folder);
    QSaveFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit();
}

QUrl shippedCopy() {
    initCadeloResources();
    QString name = localPageName();
    QByteArray page = fileBytes(QStringLiteral(":/help/") + name);
    if (page.isEmpty()) {
        name = PageName;
        page = fileBytes(QStringLiteral(":/help/") + PageName);
    }
    if (page.isEmpty())
        return {};
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        cache = QDir::tempPath();
    const QString folder = QDir(cache).filePath(QStringLiteral("cadelo/help"));
    // The pages share one style sheet; a page without it is still readable.
    writeShipped(folder, StyleName, fileBytes(QStringLiteral(":/help/") + StyleName));
    if (!writeShipped(folder, name, page))
        return {};
    return QUrl::fromLocalFile(QDir(folder).filePath(name));
}

} // namespace

QStringList helpPageCandidates(const QString& programDir) {
    if (programDir.isEmpty())
        return {};
    const QDir dir(programDir);
    QStringList pages;
    const QString local = localPageName();
    for (const QString& name :
         local == PageName ? QStringList{PageName} : QStringList{local, PageName})
        pages << QDir::cleanPath(dir.filePath(QStringLiteral("help/") + name))
              << QDir::cleanPath(
                     dir.filePath(QStringLiteral(CADELO_INSTALLED_HELP_DIR "/") + name));
    return pages;
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
