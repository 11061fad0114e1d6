// The single-instance guard (see SingleInstance.h).
#include "core/SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

namespace {

// Keeps a lock name to characters every file system takes.
QString safeName(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                           (c >= u'0' && c <= u'9') || c == u'.' || c == u'-';
        out += plain ? c : u'_';
    }
    return out;
}

QString runtimeFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    QDir().mkpath(folder);
    return folder;
}

} // namespace

SingleInstance::SingleInstance(const QString& title)
    : m_path(QDir(runtimeFolder())
                 .filePath(safeName(title) + u'-' + safeName(displayName()) +
                           QStringLiteral(".lock"))) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::tryLock() {
    if (isLocked())
        return true;
    auto lock = std::make_unique<QLockFile>(m_path);
    // Never stale by age: a running copy keeps its lock for days. A lock whose
    // process is gone is still recognised and removed by QLockFile.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return false;
    m_lock = std::move(lock);
    return true;
}

bool SingleInstance::isLocked() const {
    return m_lock && m_lock->isLocked();
}

QString SingleInstance::displayName() {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = QStringLiteral("nodisplay");
    return display;
}
