#include "audio/FileStamp.h"

#include <QFileInfo>

FileStamp FileStamp::of(const QString& path) {
    const std::lock_guard<std::mutex> lock(timesLock());
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return FileStamp{info.size(), info.lastModified(), info.metadataChangeTime()};
}

std::mutex& FileStamp::timesLock() {
    static std::mutex m;
    return m;
}
