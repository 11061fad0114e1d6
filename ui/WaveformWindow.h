// The waveform window: a resizable window of its own around the waveform
// view, with a scroll bar over the file, the choice of each channel or their
// mix, and the zero-crossing snap.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>

class JobList;
class Preview;
class QCheckBox;
class QComboBox;
class QScrollBar;
class SessionState;
class WaveformView;

class WaveformWindow : public QWidget {
    Q_OBJECT
  public:
    WaveformWindow(SessionState& state, JobList& jobs, Preview* preview, QWidget* parent = nullptr);

    // Shows the file of that path, titled after its caption.
    void showFile(const QString& path, const QString& caption);

    WaveformView* view() const { return m_view; }
    QScrollBar* scrollBar() const { return m_scroll; }
    QComboBox* channelBox() const { return m_channels; }
    QCheckBox* snapBox() const { return m_snap; }

  private:
    void followView();

    JobList& m_jobs;
    WaveformView* m_view = nullptr;
    QScrollBar* m_scroll = nullptr;
    QComboBox* m_channels = nullptr;
    QCheckBox* m_snap = nullptr;
    // Scroll bars count in int: a long file scrolls in steps of this many frames.
    std::int64_t m_scrollUnit = 1;
};
