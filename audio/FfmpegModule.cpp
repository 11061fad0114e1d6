#include "audio/FfmpegModule.h"

#include "audio/AudioError.h"
#include "audio/LoadableModule.h"

FfmpegModule& FfmpegModule::instance() {
    QString error;
    using Entry = FfmpegModule* (*)();
    const auto entry = reinterpret_cast<Entry>(
        LoadableModule::resolve(QStringLiteral("cadelo-ffmpeg"), kEntry, error));
    FfmpegModule* module = entry ? entry() : nullptr;
    if (!module)
        throw AudioError(error);
    return *module;
}
