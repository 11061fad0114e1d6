// The waveform of one source file with its spans: peak and RMS per pixel
// column, a time ruler, the play position and the spans as numbered regions.
// The mouse and the keys edit the spans through the job list, at the exact
// frame each pixel stands for.
#pragma once

#include "audio/AudioFile.h"
#include "audio/PeakLoader.h"

#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

class JobList;
class Preview;
class SessionState;

class WaveformView : public QWidget {
    Q_OBJECT
  public:
    // Height of the time ruler above the waveform.
    static constexpr int RulerHeight = 20;
    // The fewest frames the view spreads over its width.
    static constexpr std::int64_t MinVisibleFrames = 16;
    // How far a cut may move to meet a zero crossing.
    static constexpr int SnapMs = 5;

    // `preview` may be null: then nothing plays.
    WaveformView(SessionState& state, JobList& jobs, Preview* preview, QWidget* parent = nullptr);
    ~WaveformView() override;

    // Shows the file of that path (a row of the job list), whole.
    void setFile(const QString& path);
    QString path() const { return m_path; }
    // The file's row in the job list; -1 once it has left the list.
    int row() const;
    std::int64_t frames() const;
    int rate() const;
    const PeakLoader& loader() const { return m_loader; }

    // The frames shown: [firstFrame, firstFrame + visibleFrames).
    std::int64_t firstFrame() const { return m_first; }
    std::int64_t visibleFrames() const { return m_visible; }
    void setView(std::int64_t first, std::int64_t visible);
    // Zooms in (factor < 1) or out around pixel column x.
    void zoom(double factor, int x);
    // The frame pixel column x stands for, and the column of a frame.
    std::int64_t frameAt(int x) const;
    int xOf(std::int64_t frame) const;

    // One lane with the mix of all channels, or one lane each.
    void setMixed(bool mixed);
    void setSnapping(bool on) { m_snapping = on; }
    bool snapping() const { return m_snapping; }
    // Cuts the sound suggested (a silence split), drawn as markers.
    void setMarkers(std::vector<std::int64_t> frames);

    // The selected span of the row's list, -1 for none.
    int selectedSpan() const { return m_selected; }
    // Where Space plays from.
    std::int64_t playPosition() const { return m_playPosition; }
    // The nearest zero crossing within SnapMs of `frame`, or `frame`.
    std::int64_t zeroCrossingNear(std::int64_t frame);

  signals:
    // The frames shown changed: a scroll bar follows.
    void viewChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    enum class Drag { None, Pending, Edge, NewSpan };
    struct Edge {
        int span = -1;
        bool begin = true;
    };

    bool editable() const;
    bool bounds(int span, std::int64_t& begin, std::int64_t& end) const;
    int spanCount() const;
    Edge edgeAt(int x) const;
    int spanAt(std::int64_t frame) const;
    std::int64_t snapped(std::int64_t frame);
    // Moves the selected edge to `frame`, never past the span's other edge.
    void moveEdge(std::int64_t frame);
    void addSpanBetween(std::int64_t from, std::int64_t to);
    void removeSelectedSpan();
    void togglePlay();
    void refuse(const QString& message);

    void paintRuler(QPainter& p);
    void paintLane(QPainter& p, const QRect& lane, int channel);
    void paintSpans(QPainter& p, const QRect& area);

    SessionState& s;
    JobList& m_jobs;
    Preview* m_preview;
    PeakLoader m_loader;
    AudioFile m_snapReader;
    QString m_path;
    QString m_failure;
    std::int64_t m_first = 0;
    std::int64_t m_visible = 1;
    bool m_mixed = false;
    bool m_snapping = false;
    std::vector<std::int64_t> m_markers;
    int m_selected = -1;
    Edge m_edge;
    Drag m_drag = Drag::None;
    int m_pressX = 0;
    bool m_moved = false;
    std::int64_t m_newFrom = 0;
    std::int64_t m_newTo = 0;
    std::int64_t m_playPosition = 0;
    std::int64_t m_played = -1; // the preview's frame while it plays this file
};
