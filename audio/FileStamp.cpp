#include "audio/FileStamp.h"

#include "audio/OggPageReader.h"

#include <QFileInfo>

FileStamp FileStamp::of(const QString& path) {
    const std::lock_guard<std::mutex> lock(OggPageReader::fileTimesLock());
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return FileStamp{info.size(), info.lastModified(), info.metadataChangeTime()};
}
