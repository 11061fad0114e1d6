// Plays sample blocks through the sound device (SDL2's audio queue, in the
// sound module that the first openDevice() opens) and reports on the UI
// thread from a short timer.
#pragma once

#include "audio/SampleBlock.h"

#include <QObject>
#include <cstdint>
#include <memory>

class AudioPlayer : public QObject {
    Q_OBJECT
  public:
    explicit AudioPlayer(QObject* parent = nullptr);
    ~AudioPlayer() override;

    // Opens (or reopens) the sound device for this format. Throws AudioError
    // "No sound output device: ..." when there is none.
    void openDevice(int rate, int channels);
    void queueSamples(const SampleBlock& block);
    void play();    // starts or resumes
    void stop();    // stops and drops what is queued
    void restart(); // drops what is queued, counts played frames from 0 again
    bool isOpen() const;

  signals:
    void blockRequested(); // the queue runs low: give the next block
    void blockPlayed();    // a queued block has been played
    void playEnded();      // everything queued has been played
    // Every tick of the timer while playing: the frames played since the
    // last play() or restart().
    void ticked(std::int64_t framesPlayed);

  private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
