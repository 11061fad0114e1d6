// Fuzz driver: any bytes as the settings file, loaded, saved and loaded again.
#include "core/IniFile.h"
#include "core/Settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VAZOzojoin.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    IniFile ini(path);
    CachedSettings settings;
    LoadSettings(ini, settings);
    try {
        SaveSettings(ini, settings);
    } catch (const IniWriteError&) {
    }
    CachedSettings again;
    LoadSettings(ini, again);
    return 0;
}
