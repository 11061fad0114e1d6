// The preview player: plays the selected file from the slider's position or
// the selected span from its begin, moves the slider and the time label with
// the playback, and lets the slider and the step buttons choose a place.
#pragma once

#include "audio/AudioFile.h"
#include "audio/AudioPlayer.h"
#include "audio/SampleBlock.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

class JobList;
class SessionState;
class SkinObject;

class Preview : public QObject {
    Q_OBJECT
  public:
    // The player is fed in blocks of this many frames, one read ahead.
    static constexpr std::int64_t BlockFrames = 441000;

    Preview(SessionState& state, JobList& jobs, QObject* parent = nullptr);

    // The slider the preview follows and moves ("pb"); null: the job list's
    // own slider position. The slider's range is the job list's.
    void setSlider(SkinObject* slider) { m_slider = slider; }

    void startFilePreview();
    // Plays the selected file from `frame` on (a place chosen on its waveform).
    void startFilePreviewAt(std::int64_t frame);
    void startSpanPreview();
    void stopPreview();
    void stepForward();
    void stepBack();
    // The slider held down: the playback no longer moves it until it is released.
    void sliderPress();
    void sliderTrack(int position);
    void sliderRelease();

    // A preview is playing (its file is the job list's played row).
    bool previewing() const;
    bool seeking() const { return m_seeking; }
    // The frame of the played file the playback started from.
    std::int64_t startSample() const { return m_startSample; }
    // The preview's own reader and player (the reader is open while it plays).
    const AudioFile& reader() const { return m_reader; }
    AudioPlayer& player() { return m_player; }

    // Called for every block queued to the player (observers such as tests).
    std::function<void(const SampleBlock& block)> blockQueued;

  signals:
    // The frame of the played file the playback has reached; -1 once it ends.
    void playedFrameChanged(std::int64_t frame);

  private:
    // The span being previewed, in frames of the open file; false when the
    // span list names no stored span.
    struct SpanFrames {
        std::int64_t begin = 0;
        std::int64_t length = 0;
        std::int32_t seconds = 0;
    };
    bool previewedSpan(SpanFrames& span) const;

    void startPreview(bool wholeFile, std::int64_t from = -1);
    void feedPlayer();
    void onPlayerTimer(std::int64_t played);
    void onPlayEnded();
    // Ends a preview that went wrong and tells the user why.
    void fail(const QString& message);

    int sliderPosition() const;
    void setSliderPosition(int position);
    void showTime(std::int64_t seconds);
    bool fileSelected() const;
    int stepSize() const;
    void showStep(int position);
    // The span display's scale applies only to a span's own preview.
    bool spanShown(SpanFrames& span) const;

    SessionState& s;
    JobList& jobs;
    SkinObject* m_slider = nullptr;
    AudioFile m_reader;
    AudioPlayer m_player;
    bool m_seeking = false; // the slider is held: playback does not move it
    int m_previewSpan = 0;  // the span row a span preview plays
    std::int64_t m_startSample = 0;
    std::int64_t m_spanBegin = 0; // where a span preview's frames count from
    QString m_savedStatus;
    bool m_wholeFile = true;
    // The frames of the previewed file that the slider spans: all of them on
    // the file's own axis, the first file's length of them in Unification.
    std::int64_t m_axisFrames = 0;
};
