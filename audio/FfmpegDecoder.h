// Back end of the reader for everything else FFmpeg can open (WMA first of
// all): seeks by the container's index, then decodes forward to the exact frame.
#pragma once

#include "audio/Decoder.h"

#include <memory>

class FfmpegDecoder : public Decoder {
  public:
    // Throws AudioError naming the file when FFmpeg finds no decodable audio
    // stream in it. The length comes from the container's duration (or, lacking
    // one, from the last packet's end): within one codec frame of what decoding
    // delivers.
    explicit FfmpegDecoder(const QString& path);
    ~FfmpegDecoder() override;

    // FFmpeg's process-wide settings, made once whoever calls first: its log
    // lines go nowhere unless CADELO_FFMPEG_LOG is set, and no single buffer of
    // its libraries may grow past a bound.
    static void setUpLibraries();

    void seek(std::int64_t frame) override;
    std::int64_t read(float* out, std::int64_t frames) override;

  private:
    struct State;
    std::unique_ptr<State> d;
};
