// What the sound module (cadelo-sdl) offers the player: SDL2's audio queue,
// behind a small interface so that only a program that plays loads SDL.
#pragma once

#include <QString>
#include <cstdint>

class SoundOutput {
  public:
    // Takes a reference on the sound system; false when it has no working
    // driver (see error()). Each successful start() needs one finish().
    virtual bool start() = 0;
    virtual void finish() = 0;
    // A device playing interleaved float frames of this format, paused; 0 when
    // none can be opened (see error()).
    virtual std::uint32_t openDevice(int rate, int channels) = 0;
    virtual void closeDevice(std::uint32_t device) = 0;
    virtual bool queue(std::uint32_t device, const void* data, std::uint32_t bytes) = 0;
    virtual std::uint32_t queuedBytes(std::uint32_t device) = 0;
    virtual void clearQueue(std::uint32_t device) = 0;
    virtual void pause(std::uint32_t device, bool paused) = 0;
    // Why the last call failed, in the sound system's words.
    virtual QString error() = 0;

    // The module, opened at the first call; null with `why` set when it
    // cannot be opened.
    static SoundOutput* instance(QString& why);

    // The module's one exported function, returning its SoundOutput.
    static constexpr const char* kEntry = "cadelo_sound_output";

  protected:
    SoundOutput() = default;
    ~SoundOutput() = default;
};
