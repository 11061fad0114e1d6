// The FFmpeg module's entry: the one function the program looks up in it.
#include "audio/FfmpegDecoder.h"
#include "audio/FfmpegModule.h"
#include "audio/SwrConversion.h"

#include <QtGlobal>

namespace {

class Module final : public FfmpegModule {
  public:
    std::unique_ptr<Decoder> openDecoder(const QString& path) override {
        return std::make_unique<FfmpegDecoder>(path);
    }
    std::unique_ptr<SampleConversion> openConversion(int inRate, int inChannels, int outRate,
                                                     int outChannels) override {
        return std::make_unique<SwrConversion>(inRate, inChannels, outRate, outChannels);
    }
};

} // namespace

extern "C" Q_DECL_EXPORT FfmpegModule* cadelo_ffmpeg_module() {
    static Module module;
    return &module;
}
