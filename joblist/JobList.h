// The job list's operations: adding, moving, removing and clearing source rows,
// selecting a file, planning its span rows by split mode, marking spans by hand
// and the total length display. Works on the shared MainState; needs no window.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class MainState;

class JobList {
  public:
    // Floors of SliderRange for entries made by the open dialog and by a folder.
    static constexpr int AddFilesFloor = 1084;
    static constexpr int AddFolderFloor = 1014;

    explicit JobList(MainState& state);

    // Stops a playing preview before an add; set by whoever owns the preview.
    // Without it an add clears Previewing after stopping the player itself.
    std::function<void()> stopPreview;

    // --- source list ---------------------------------------------------------
    void FitNameColumn();
    // Shows the open dialog and admits each chosen file (messages for refused ones).
    void AddFiles();
    // Appends a row for `path` at entry `index` and measures the file. Throws
    // (AudioError or std::runtime_error) when the file cannot be opened; the
    // caller then deletes the row. Leaves Seconds 0 for a file under a second.
    void AdmitFile(const QString& path, int index, int floor);
    void MoveUp();
    void MoveDown();
    void RemoveFile();
    void ClearList();
    // The tag step of adding: reads the file's tags into TagList[row] and may
    // set the row's caption from the title. Empty until the tag units exist.
    void ReadTagsOnAdmit(const QString& path, int row);

    int rowCount() const;
    int selectedRow() const; // -1 when no row of lv is selected
    void selectRow(int row); // selects row `row` of lv (only), SelectedFile := row
    QString caption(int row) const;

    // --- spans ---------------------------------------------------------------
    void SelectFile();
    void SetSliderRange();
    int UsableRange() const;
    // MulDiv(SliderPosition, F.Seconds, UsableRange) of the file the mode uses.
    std::int32_t TimeAtSlider() const;
    void PlanCustom();
    void PlanTime();
    void PlanCount();
    void PlanUnification();
    // The planner of the current SplitMode.
    void PlanBySplitMode();
    void RefreshTotal();
    // The total length a run would produce, in seconds (what RefreshTotal shows).
    std::int64_t TotalSeconds() const;
    void SelectSpan();
    void MarkBegin();
    void MarkEnd();
    void ConfirmSpan();
    void RemoveSpan();
    void ResetSpans();

    // Span rows of lv_time.
    int spanRowCount() const;
    int selectedSpanRow() const; // -1 when none
    QString spanStatus(int row) const;
    void setSpanStatus(int row, const QString& status);
    void removeSpanRow(int row);

    // SplitSeconds and SplitCount as the planners use them (below 1 -> 60 and 1).
    int effectiveSplitSeconds() const;
    int effectiveSplitCount() const;

  private:
    // FileList and TagList get exactly one element per row of lv.
    void matchArraysToRows();

    MainState& s;
    QString m_lastFolder; // where the open dialog was last left
};
