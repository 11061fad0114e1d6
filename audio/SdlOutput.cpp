// The sound module's entry: SDL2's audio queue behind SoundOutput.
#include "audio/SoundOutput.h"

#include <QtGlobal>
#include <SDL.h>
#include <algorithm>

namespace {

class SdlOutput final : public SoundOutput {
  public:
    bool start() override {
        // SDL must not take over the program's Ctrl+C and termination handling.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    }
    void finish() override { SDL_QuitSubSystem(SDL_INIT_AUDIO); }

    std::uint32_t openDevice(int rate, int channels) override {
        SDL_AudioSpec want;
        SDL_zero(want);
        want.freq = rate;
        want.format = AUDIO_F32SYS;
        want.channels = Uint8(std::min(channels, 255));
        want.samples = 2048;
        want.callback = nullptr; // queued audio
        SDL_AudioSpec have;
        // No changes allowed: SDL converts to whatever the device really takes,
        // so the queue always counts frames of the format asked here.
        return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    }
    void closeDevice(std::uint32_t device) override { SDL_CloseAudioDevice(device); }
    bool queue(std::uint32_t device, const void* data, std::uint32_t bytes) override {
        return SDL_QueueAudio(device, data, bytes) == 0;
    }
    std::uint32_t queuedBytes(std::uint32_t device) override {
        return SDL_GetQueuedAudioSize(device);
    }
    void clearQueue(std::uint32_t device) override { SDL_ClearQueuedAudio(device); }
    void pause(std::uint32_t device, bool paused) override {
        SDL_PauseAudioDevice(device, paused ? 1 : 0);
    }
    QString error() override { return QString::fromUtf8(SDL_GetError()); }
};

} // namespace

extern "C" Q_DECL_EXPORT SoundOutput* cadelo_sound_output() {
    static SdlOutput output;
    return &output;
}
