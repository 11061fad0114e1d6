// What the FFmpeg module (cadelo-ffmpeg) offers the reader and the writer: the
// decoder of every file that is neither Ogg Vorbis nor MP3, and libswresample's
// rate and channel conversion. Shared by the module and the program; the
// program opens the module the first time a job needs one of them.
#pragma once

#include "audio/Decoder.h"

#include <cstdint>
#include <memory>
#include <vector>

// One rate and channel conversion of interleaved float frames (see Resampler).
class SampleConversion {
  public:
    virtual ~SampleConversion() = default;
    virtual void convert(const float* in, std::int64_t frames, std::vector<float>& out) = 0;
    virtual void flush(std::vector<float>& out) = 0;
    virtual void reset() = 0;
};

class FfmpegModule {
  public:
    // The module's decoder for `path`; throws AudioError naming the file.
    virtual std::unique_ptr<Decoder> openDecoder(const QString& path) = 0;
    // Throws AudioError when libswresample refuses the conversion.
    virtual std::unique_ptr<SampleConversion> openConversion(int inRate, int inChannels,
                                                             int outRate, int outChannels) = 0;

    // The module, opened at the first call. Throws AudioError saying why it
    // cannot be opened (not installed, or FFmpeg's libraries missing).
    static FfmpegModule& instance();

    // The module's one exported function, returning its FfmpegModule.
    static constexpr const char* kEntry = "cadelo_ffmpeg_module";

  protected:
    FfmpegModule() = default;
    ~FfmpegModule() = default;
};
