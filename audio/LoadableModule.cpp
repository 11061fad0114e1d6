#include "audio/LoadableModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QLibrary>
#include <memory>
#include <mutex>

namespace {

struct Loaded {
    QLibrary* library = nullptr; // never unloaded: its code runs until the end
    QString error;
};

QStringList moduleFolders() {
    if (!QCoreApplication::instance())
        return {};
    const QDir programDir(QCoreApplication::applicationDirPath());
    QStringList folders{programDir.path()};
#ifdef CADELO_INSTALLED_MODULE_DIR
    folders << QDir::cleanPath(programDir.filePath(QStringLiteral(CADELO_INSTALLED_MODULE_DIR)));
#endif
    folders << QDir::cleanPath(programDir.filePath(QStringLiteral("..")));
    return folders;
}

Loaded load(const QString& name) {
    Loaded loaded;
    QStringList candidates;
    for (const QString& folder : moduleFolders())
        candidates << QDir(folder).filePath(name);
    if (candidates.isEmpty())
        candidates << name; // no program folder known: the system's search path
    for (const QString& candidate : candidates) {
        auto library = std::make_unique<QLibrary>(candidate);
        // Its symbols stay its own: the program reaches it only through `entry`.
        library->setLoadHints(QLibrary::PreventUnloadHint);
        if (library->load()) {
            loaded.library = library.release();
            loaded.error.clear();
            return loaded;
        }
        // The program's own folder comes first, and its failure is the one told.
        if (loaded.error.isEmpty())
            loaded.error = library->errorString();
    }
    loaded.error = QStringLiteral("the module %1 cannot be loaded: %2").arg(name, loaded.error);
    return loaded;
}

} // namespace

QFunctionPointer LoadableModule::resolve(const QString& name, const char* entry, QString& error) {
    static std::mutex mutex;
    // Kept to the very end, never destroyed: a module's code may run in
    // objects that outlive every static, and the leak checker sees the
    // libraries as still held.
    static auto* modules = new QHash<QString, Loaded>;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = modules->find(name);
    if (it == modules->end())
        it = modules->insert(name, load(name));
    if (!it->library) {
        error = it->error;
        return nullptr;
    }
    const QFunctionPointer function = it->library->resolve(entry);
    if (!function)
        error = QStringLiteral("the module %1 lacks %2: %3")
                    .arg(name, QLatin1String(entry), it->library->errorString());
    return function;
}
