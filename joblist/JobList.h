// The job list: the source rows and the span rows of the current file as Qt
// models, adding files, moving and removing them, planning spans by split mode,
// editing spans by time, and the slider's time axis. Needs no window: what it
// shows (the position, the total, the current file) it announces by signals.
// One facade over its units: FileAdding, SpanPlanning, SpanEditing and
// SliderAxis define the operations of those names.
#pragma once

#include "joblist/FileModel.h"
#include "joblist/SpanModel.h"
#include "tags/SourceTags.h"

#include <QItemSelectionModel>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

class SessionState;

class JobList : public QObject {
    Q_OBJECT
  public:
    // Floors of the slider's range for files added one by one and by a folder.
    static constexpr int AddFilesFloor = 1084;
    static constexpr int AddFolderFloor = 1014;

    explicit JobList(SessionState& state, QObject* parent = nullptr);

    FileModel& fileModel() { return m_files; }
    const FileModel& fileModel() const { return m_files; }
    SpanModel& spanModel() { return m_spans; }
    const SpanModel& spanModel() const { return m_spans; }
    QItemSelectionModel& fileSelection() { return m_fileSelection; }
    QItemSelectionModel& spanSelection() { return m_spanSelection; }

    // --- source rows -----------------------------------------------------------
    struct Refusal {
        QString path;
        QString message; // the text the person is shown
    };
    // Admits each file as a new row, in order; a file that cannot be read or is
    // shorter than a second is refused. Refused while adding or converting
    // (then every file comes back refused with an empty message).
    QList<Refusal> addFiles(const QStringList& paths, int floor = AddFilesFloor);
    // Admits the Ogg files of one folder (by lower-cased extension, in name
    // order, not its subfolders), as addFiles does, except that a file under
    // one second is kept. Stop (stopAdding) ends it between two files.
    QList<Refusal> addFolder(const QString& folder);
    void stopAdding();
    // Files and folders from outside (the command line, a drop), in their
    // order: files as addFiles admits them, folders as addFolder does.
    QList<Refusal> addPaths(const QStringList& paths);
    // Admits the files a CUE sheet names, each with one Custom span for each
    // of its tracks (exact to the frame, with the track's tags) before its
    // open span. A sheet refused (CueSheet) or a file refused adds nothing;
    // the refusals say why, naming the sheet's line.
    QList<Refusal> addCueSheet(const QString& sheetPath);
    // Appends a row for `path`, reads its tags (the title may become its
    // caption) and measures the file. Throws (AudioError or
    // std::runtime_error) when the file cannot be opened; the row is then
    // gone. A tag that cannot be read leaves the row untagged.
    void admitFile(const QString& path, int floor, AddWay way = AddWay::Files);

    // Moves the selected row one place up (-1) or down (+1).
    void moveFile(int step);
    // Removes the selected row.
    void removeFile();
    // Removes row `row` (a file a run is done with or left out); the
    // selection then moves on as after removeFile.
    void removeFileAt(int row);
    void clearList();

    int rowCount() const { return m_files.rowCount(); }
    const FileRow& file(int row) const { return m_files.row(row); }
    FileRow& file(int row) { return m_files.row(row); }
    int selectedRow() const; // -1 when no source row is selected
    void selectRow(int row); // selects row `row` (only); selectedFile() := row
    // The source row chosen last; the selection returns to it while a run or a
    // preview holds the list.
    int selectedFile() const { return m_selectedFile; }
    QString caption(int row) const;

    // --- the current file, its span rows and the slider --------------------------
    void selectFile();
    // The slider's range of the selected file and its page.
    int sliderMax() const { return m_sliderMax; }
    int sliderPage() const { return m_sliderPage; }
    int usableRange() const { return m_sliderMax - m_sliderPage; }
    int sliderPosition() const { return m_sliderPosition; }
    void setSliderPosition(int position) { m_sliderPosition = position; }
    // The row whose length the slider spans: in Unification the first row,
    // whose spans every file shares, so that the time shown is the time
    // marked; otherwise the selected row. -1 when there is none.
    int axisRow() const;
    // That row's length in whole seconds; 0 without one.
    std::int32_t axisSeconds() const;
    // The time at the slider in whole seconds, on the axis of axisRow().
    std::int32_t timeAtSlider() const;
    QString positionText() const { return m_positionText; }
    void setPositionText(const QString& text);

    void planCustom();
    void planTime();
    void planCount();
    void planUnification();
    // The planner of the current split mode.
    void plan();
    void refreshTotal();
    // The total length a run would produce, in whole seconds.
    std::int64_t totalSeconds() const;

    // --- spans by time (Custom and Unification: the row's own or row 0's list) --
    // A confirmed span before the open one; false (and `message`) when refused.
    bool addSpan(int row, Span span, QString* message = nullptr);
    // Sets stored span `index` of the row's list.
    bool setSpan(int row, int index, Span span);
    // Removes confirmed span `index`; the open span cannot be removed.
    bool removeSpan(int row, int index, QString* message = nullptr);

    // --- spans by frame (the waveform window): cuts exact to the sample -----------
    // Frames are those of `row`; in Unification the first row's spans are
    // edited, at the same times of its own frames.
    // The confirmed spans of the row's list (the open one not counted).
    int confirmedSpanCount(int row) const;
    // The bounds of stored span `index`, as the runs cut them; false when
    // there is no such span.
    bool spanFrames(int row, int index, std::int64_t& begin, std::int64_t& end) const;
    // Sets stored span `index` to frames [begin, end) (kept within the file);
    // its seconds follow. False for a span of the wrong order.
    bool setSpanFrames(int row, int index, std::int64_t begin, std::int64_t end);
    // A confirmed span of frames [begin, end), as addSpan adds one.
    bool addSpanFrames(int row, std::int64_t begin, std::int64_t end, QString* message = nullptr);

    // --- the hand commands over the span list ------------------------------------
    void selectSpan();
    void markBegin(); // the open span begins at the slider's time
    void markEnd();
    void confirmSpan();
    void removeSelectedSpan();
    void resetSpans();

    // The span row chosen last, and whether the span list rather than the file
    // list was used last (Remove, Clear and Play act on that list).
    int selectedSpan() const { return m_selectedSpan; }
    void setSelectedSpan(int row) { m_selectedSpan = row; }
    bool spanListActive() const { return m_spanListActive; }
    void setSpanListActive(bool active) { m_spanListActive = active; }

    // The source row a preview plays (-1: none). It moves with its row, and
    // while it is set the selection stays on it; the preview sets and clears it.
    int playedRow() const { return m_playedRow; }
    void setPlayedRow(int row) { m_playedRow = row; }
    bool previewing() const { return m_playedRow >= 0; }

    int spanRowCount() const { return m_spans.rowCount(); }
    int selectedSpanRow() const; // -1 when none
    QString spanStatus(int row) const { return m_spans.status(row); }
    void setSpanStatus(int row, const QString& status) { m_spans.setStatus(row, status); }
    void removeSpanRow(int row) { m_spans.remove(row); }
    // The whole-file row a join in Time or Count mode shows.
    void showWholeFileSpan(int row, const QString& status);

    // --- cuts where the sound says (SilencePlanning) ------------------------------
    // The stored spans of `row` become `pieces`, confirmed, and an open span
    // of the whole file after them, as if marked by hand: what a Custom split
    // converts and the span list shows.
    void setPlannedSpans(int row, const std::vector<Span>& pieces);
    // Scans the listed files (decoding only) and plans each by its sound: the
    // silence split when it is chosen, otherwise Time and Count cuts moved to
    // the quietest moment within the snap distance. The cuts become each
    // file's Custom spans. `progress` hears the row and its share done (0 to
    // 10000) before events are pumped; stopScanning() ends it between blocks,
    // leaving the rows not yet planned as they were. Only the rows `rows`
    // accepts are scanned (empty: all). Refused while adding or converting.
    // Returns the files that could not be read.
    QList<Refusal> planBySound(const std::function<void(int row, int permyriad)>& progress = {},
                               const std::function<bool(int row)>& rows = {});
    void stopScanning() { m_stopScanning = true; }
    bool scanStopped() const { return m_scanStopped; }
    // What planBySound does: the silence split is chosen, or Time or Count
    // cuts are to be snapped.
    bool plansBySound() const;

    // SplitSeconds and SplitCount as the planners use them (below 1 -> 60 and 1).
    int effectiveSplitSeconds() const;
    int effectiveSplitCount() const;

  signals:
    void positionTextChanged(const QString& text);
    void totalTextChanged(const QString& text);
    void currentFileChanged(const QString& path);
    void sliderRangeChanged(int max, int page);
    void instructionsVisibleChanged(bool visible);
    void fileListFocusRequested();
    // An add is about to change the rows a playing preview reads: it must stop
    // (the played row is cleared after it in any case).
    void previewStopRequested();

  private:
    void beginAdding();
    // Admits `path` or adds to `refused` why not.
    void admitOne(const QString& path, int floor, bool keepUnderASecond, QList<Refusal>& refused);
    void finishAdding();
    void showNoFile();
    bool beginPlanning();
    void planStored(const FileRow& r);
    // The row whose span list the hand commands and span edits use for `row`.
    int editedRow(int row) const;
    // A span of frames [begin, end) of `row` as stored in its edited row.
    Span spanOfFrames(int row, std::int64_t begin, std::int64_t end) const;
    // The row whose spans the hand commands edit, planned into the span rows;
    // null when there is none.
    FileRow* handEditedRow();
    void markBound(bool begin);
    bool refuseOutsideHandModes();
    void setSliderRange();

    SessionState& s;
    FileModel m_files;
    SpanModel m_spans;
    QItemSelectionModel m_fileSelection{&m_files};
    QItemSelectionModel m_spanSelection{&m_spans};
    int m_sliderMax = 100;
    int m_sliderPage = 0;
    int m_sliderPosition = 0;
    bool m_stopAdding = false;
    bool m_stopScanning = false;
    bool m_scanStopped = false;
    int m_selectedFile = 0;
    int m_selectedSpan = 0;
    bool m_spanListActive = false;
    int m_playedRow = -1;
    QString m_positionText;
};
