// Placeholder until the SDL2 back end lands.
#include "audio/AudioPlayer.h"

#include "audio/AudioError.h"

struct AudioPlayer::Impl {};

AudioPlayer::AudioPlayer(QObject* parent) : QObject(parent), d(std::make_unique<Impl>()) {}
AudioPlayer::~AudioPlayer() = default;
void AudioPlayer::OpenDevice(int, int)
{
    throw AudioError(QStringLiteral("No sound output device: not available"));
}
void AudioPlayer::QueueSamples(const SampleBlock&) {}
void AudioPlayer::Play() {}
void AudioPlayer::Stop() {}
void AudioPlayer::Restart() {}
bool AudioPlayer::isOpen() const { return false; }
