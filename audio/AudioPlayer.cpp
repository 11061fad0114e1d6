#include "audio/AudioPlayer.h"

#include "audio/AudioError.h"
#include "audio/LoadableModule.h"
#include "audio/SoundOutput.h"

#include <QTimer>
#include <algorithm>
#include <deque>

namespace {

// Short enough for a smooth slider, long enough to cost nothing.
constexpr int kTimerMs = 25;

} // namespace

SoundOutput* SoundOutput::instance(QString& why) {
    using Entry = SoundOutput* (*)();
    const auto entry =
        reinterpret_cast<Entry>(LoadableModule::resolve(QStringLiteral("cadelo-sdl"), kEntry, why));
    return entry ? entry() : nullptr;
}

struct AudioPlayer::Impl {
    // The sound module, opened at the first openDevice(); `started` while this
    // player holds a reference on its sound system.
    SoundOutput* output = nullptr;
    bool started = false;
    std::uint32_t device = 0;
    int rate = 0;
    int channels = 0;
    QTimer timer;

    bool playing = false;
    // Frames handed to SDL since the device was opened or last emptied, and
    // the part of them that was already consumed at the last Play/Restart.
    std::int64_t queued = 0;
    std::int64_t playBase = 0;
    // Where each queued block ends, counted like `queued`.
    std::deque<std::int64_t> blockEnds;
    std::int64_t lastBlockFrames = 0;
    // A request for the next block is out and not answered by a block yet.
    bool requestOut = false;
    // Set on the first timer tick after a request went out unanswered; only
    // then does an empty queue mean the end rather than a late answer.
    bool requestSeen = false;

    std::int64_t frameBytes() const { return std::int64_t(channels) * std::int64_t(sizeof(float)); }

    std::int64_t remaining() const {
        return device ? std::int64_t(output->queuedBytes(device)) / frameBytes() : 0;
    }

    void clearQueue() {
        if (device)
            output->clearQueue(device);
        queued = 0;
        playBase = 0;
        blockEnds.clear();
        requestOut = false;
        requestSeen = false;
    }

    void closeDevice() {
        if (device) {
            output->closeDevice(device);
            device = 0;
        }
        clearQueue();
        playing = false;
        timer.stop();
    }
};

AudioPlayer::AudioPlayer(QObject* parent) : QObject(parent), d(std::make_unique<Impl>()) {
    // No sound system is touched here: the program's state holds a player
    // from the start, also where there is no sound output at all.
    d->timer.setInterval(kTimerMs);
    d->timer.setTimerType(Qt::PreciseTimer);
    connect(&d->timer, &QTimer::timeout, this, [this] {
        if (!d->playing || !d->device)
            return;
        const std::int64_t consumed = d->queued - d->remaining();
        Q_EMIT ticked(consumed - d->playBase);
        // Any handler may stop, restart or reopen the player.
        if (!d->playing)
            return;

        bool blockEnded = false;
        while (!d->blockEnds.empty() && d->blockEnds.front() <= consumed) {
            d->blockEnds.pop_front();
            blockEnded = true;
        }
        if (blockEnded) {
            Q_EMIT blockPlayed();
            if (!d->playing)
                return;
        }

        const std::int64_t left = d->remaining();
        if (left == 0 && d->requestOut && d->requestSeen) {
            // Everything queued has played and the last request brought nothing.
            d->playing = false;
            d->timer.stop();
            d->output->pause(d->device, true);
            Q_EMIT playEnded();
            return;
        }
        if (d->requestOut) {
            d->requestSeen = true;
        } else if (left < std::max<std::int64_t>(d->lastBlockFrames, 1)) {
            d->requestOut = true;
            d->requestSeen = false;
            Q_EMIT blockRequested();
        }
    });
}

AudioPlayer::~AudioPlayer() {
    d->closeDevice();
    if (d->started)
        d->output->finish();
}

void AudioPlayer::openDevice(int rate, int channels) {
    if (rate <= 0 || channels <= 0)
        throw AudioError(
            QStringLiteral("No sound output device: cannot play %1 Hz with %2 channel(s)")
                .arg(rate)
                .arg(channels));
    if (!d->output) {
        QString why;
        d->output = SoundOutput::instance(why);
        if (!d->output)
            throw AudioError(QStringLiteral("No sound output device: ") + why);
    }
    if (!d->started) {
        if (!d->output->start())
            throw AudioError(QStringLiteral("No sound output device: ") + d->output->error());
        d->started = true;
    }
    d->closeDevice();

    const std::uint32_t device = d->output->openDevice(rate, channels);
    if (device == 0)
        throw AudioError(QStringLiteral("No sound output device: ") + d->output->error());
    d->device = device;
    d->rate = rate;
    d->channels = channels;
}

void AudioPlayer::queueSamples(const SampleBlock& block) {
    if (!d->device)
        throw AudioError(QStringLiteral("No sound output device: the device is not open"));
    const std::int64_t frames = block.frames();
    if (frames <= 0)
        return; // nothing to play; an open request stays unanswered
    if (block.channels != d->channels)
        throw AudioError(
            QStringLiteral("Cannot play a block of %1 channel(s) on a device opened for %2")
                .arg(block.channels)
                .arg(d->channels));
    const std::int64_t bytes = frames * d->frameBytes();
    if (!d->output->queue(d->device, block.samples.data(), std::uint32_t(bytes)))
        throw AudioError(QStringLiteral("Cannot play: ") + d->output->error());
    d->queued += frames;
    d->blockEnds.push_back(d->queued);
    d->lastBlockFrames = frames;
    d->requestOut = false;
    d->requestSeen = false;
}

void AudioPlayer::play() {
    if (!d->device)
        throw AudioError(QStringLiteral("No sound output device: the device is not open"));
    d->playBase = d->queued - d->remaining();
    d->playing = true;
    d->output->pause(d->device, false);
    d->timer.start();
}

void AudioPlayer::stop() {
    d->playing = false;
    d->timer.stop();
    if (d->device)
        d->output->pause(d->device, true);
    d->clearQueue();
}

void AudioPlayer::restart() {
    // The caller moved its reader; what is queued belongs to the old place.
    d->clearQueue();
}

bool AudioPlayer::isOpen() const {
    return d->device != 0;
}
