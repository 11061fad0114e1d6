// The split and join runs: block-wise copying from the listed sources into Ogg
// Vorbis outputs, with the encoder set-up, fades, row statuses, progress and stop.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

class MainState;
class JobList;
struct listrecord;

class Conversion {
  public:
    Conversion(MainState& state, JobList& jobs);

    // --- commands (what the skin's "Split" and "Join" do) ---------------------
    // Refused while Converting or with an empty list. Stops a preview, runs the
    // split of the current SplitMode, then opens the output folder (also after
    // Stop; after a failed run only when some output was written).
    void SplitCommand();
    // Refused while Converting. Stops a preview, asks for the output file, runs
    // the join of the current SplitMode, then opens the output folder.
    void JoinCommand();

    // --- runs ------------------------------------------------------------------
    // The split run of the current SplitMode (Custom, Time, Count, Unification);
    // any other value starts nothing. Never throws: a failure ends the run as
    // Stop does and is shown through the prompt.
    void SplitRun();
    // The join run of the current SplitMode into the file chosen before
    // (ChooseJoinOutput or setJoinOutput). Never throws, like SplitRun.
    void JoinRun();
    // The save dialog for the join's output. False when the list is empty, the
    // dialog is cancelled or the user will not replace an existing file.
    bool ChooseJoinOutput();
    // Sets the join's output file as it will be written (no ".ogg" appended,
    // no question asked): for callers that chose it without the dialog.
    void setJoinOutput(const QString& path) { m_joinPath = path; }
    QString joinOutput() const { return m_joinPath; }

    // The writer's Ogg Vorbis encoding from the eight "ogg" keys of the
    // settings file, read at each call; only format index 0 ("OGG") does anything.
    void ApplyOggSettings(int formatIndex);
    // Draws the bar "convertpb" for a value of 0 to 10000 (10000 draws as 0).
    void DrawConversionProgress(std::int64_t value);
    // Ends a run at its next test of Converting and empties the bar.
    void StopConversion();

    // --- what the last run did -------------------------------------------------
    bool lastRunFailed() const { return m_failed; }
    QString lastError() const { return m_error; }         // the text shown to the user
    QStringList lastOutputs() const { return m_outputs; } // closed outputs, in order

    // --- hooks (all optional) ----------------------------------------------------
    std::function<void()> stopPreview;                        // used when Previewing
    std::function<void(std::int64_t value)> onProgress;       // 0 to 10000, per block
    std::function<void(const QString& path)> onOutputStarted; // an output was created
    std::function<void(const QString& path)> onOutputClosed;  // an output is complete

  private:
    struct JoinTarget;

    void beginRun();
    void endRun();
    void fail(const QString& file, const QString& reason);
    void closeOutput();
    void openOutputFolder();
    void showProgress(std::int64_t progress, std::int64_t total);
    void dropOpenSpan(int file, bool giveBack);
    void splitFile(int mode, int file);
    void splitPiece(int mode, int file, int piece, std::int32_t begin, std::int32_t end,
                    std::int64_t fadeOutFrames);
    void joinFile(int mode, int file, const JoinTarget& target);
    void joinBlocks(const listrecord& rec, const JoinTarget& target, bool bounded,
                    std::int64_t& position, std::int64_t end, std::int64_t fadeOutFrames);

    MainState& s;
    JobList& jobs;
    QString m_joinPath;

    // Run state.
    bool m_failed = false;
    QString m_error;
    QStringList m_outputs;
    QString m_openOutput;       // the output the writer is writing, empty when none
    QString m_currentFile;      // the file the component call under way works on
    std::vector<int> m_dropped; // files whose open span this run took away
    std::int64_t m_joinTotal = 0;
    std::int64_t m_joinProgress = 0;
};
