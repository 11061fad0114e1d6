// Plays sample blocks through the sound device (SDL2's audio queue) and reports
// on the UI thread from a short timer.
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
    void OpenDevice(int rate, int channels);
    void QueueSamples(const SampleBlock& block);
    void Play();    // starts or resumes
    void Stop();    // stops and drops what is queued
    void Restart(); // drops what is queued, counts played frames from 0 again
    bool isOpen() const;

  signals:
    void OnRequestOnLoadArray(); // the queue runs low: give the next block
    void OnEndArrayPlay();       // a queued block has been played
    void OnEndPlay();            // everything queued has been played
    void OnTimer(int unused1, int unused2, std::int64_t framesPlayed);

  private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
