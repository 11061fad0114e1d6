// Placeholder until the codec back ends land.
#include "audio/AudioFile.h"

#include "audio/AudioError.h"

struct AudioFile::Impl {
    bool enabled = true;
};

AudioFile::AudioFile() : d(std::make_unique<Impl>()) {}
AudioFile::~AudioFile() = default;
void AudioFile::OpenRead(const QString& path)
{
    throw AudioError(QStringLiteral("%1: no decoder available").arg(path));
}
void AudioFile::Close() {}
bool AudioFile::IsOpen() const { return false; }
std::int64_t AudioFile::LengthSamples() const { return 0; }
std::int64_t AudioFile::LengthMs() const { return 0; }
int AudioFile::SampleRate() const { return 0; }
int AudioFile::Channels() const { return 0; }
void AudioFile::Seek(std::int64_t) {}
SampleBlock AudioFile::ReadSamples(std::int64_t) { return {}; }
std::int64_t AudioFile::Position() const { return 0; }
void AudioFile::SetPcmFormat(int, int) {}
void AudioFile::SetOggFormat(int, int, int, int, int, int) {}
bool AudioFile::CheckOggFormat(int, int, int, int, int) { return false; }
void AudioFile::CreateWrite(const QString& path)
{
    throw AudioError(QStringLiteral("%1: no encoder available").arg(path));
}
void AudioFile::WriteSamples(const SampleBlock&) {}
void AudioFile::SetEnabled(bool e) { d->enabled = e; }
bool AudioFile::Enabled() const { return d->enabled; }
