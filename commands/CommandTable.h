// The command surface of the main window: clicks on named skin objects, the
// slider's press, release and drag, and the pop-up menu items, each turned into
// its domain call with the guards that keep a run safe. Needs no window: what
// only a window or a later unit can do is reached through hooks.
#pragma once

#include "joblist/JobList.h"

#include <QString>
#include <QStringList>
#include <functional>

class Conversion;
class SessionState;
class SkinObject;

// What the command table cannot do by itself. An empty hook does nothing.
struct CommandHooks {
    // Opens pop-up menu `menu` ("p_file", "p_action", "p_help"); where it
    // opens is the window's business.
    std::function<void(const QString& menu)> openMenu;
    std::function<void()> showSettings;  // the settings dialog, modal
    std::function<void()> showTagDialog; // the tag dialog, modal
    std::function<void()> showAbout;     // the about dialog, not modal
    // The folder picker for Add Folder; empty: the prompt's folder dialog.
    // An empty answer adds nothing.
    std::function<QString()> chooseAddFolder;
    std::function<void()> closeWindow;

    std::function<void()> startFilePreview;
    std::function<void()> startSpanPreview;
    std::function<void()> stopPreview; // without it the played row is just cleared
    std::function<void()> stepBack;
    std::function<void()> stepForward;
    std::function<void()> sliderPress;
    std::function<void()> sliderRelease;
    std::function<void(int position)> sliderTrack;

    // The runs (connectConversion sets them to the real ones). Each answers
    // whether the output folder is worth showing afterwards: the run ended
    // well or was stopped, or it wrote something before it failed.
    std::function<bool()> splitRun;
    std::function<QString()> chooseJoinOutput; // empty: the save dialog through the prompt
    std::function<bool(const QString& path)> joinRun;
    std::function<void()> stopConversion; // without it converting is just cleared
    // The split's scan by sound of the rows `rows` accepts, with its progress
    // shown (empty: the job list's scan, events pumped but nothing shown).
    std::function<QList<JobList::Refusal>(const std::function<bool(int row)>& rows)> planBySound;
};

class CommandTable {
  public:
    CommandTable(SessionState& state, JobList& jobs);

    CommandHooks hooks;
    // The slider whose position Begin and End take (null: the job list's own).
    const SkinObject* slider = nullptr;
    // The split's pieces encoded side by side, one worker per core as
    // cadelo-cli's default; 1 is the one-at-a-time run.
    int splitJobs = defaultSplitJobs();
    static int defaultSplitJobs();

    // Sets the run hooks to `conversion`, which takes the settings in force
    // when a run starts.
    void connectConversion(Conversion& conversion);

    // The names of the skin objects that run a command, in table order.
    static QStringList commandNames();
    // The commands that still run while a conversion is under way.
    static QStringList namesAllowedWhileConverting();

    // --- skin notifications ----------------------------------------------------
    void onClick(SkinObject* object);
    // The command of the object named exactly `name` (case counts); an unknown
    // name does nothing. False when no row of the table has that name.
    bool click(const QString& name);
    void onPress(SkinObject* object);
    void onRelease(SkinObject* object);
    void onSliderTrack(SkinObject* object, int position);

    // --- shared commands ---------------------------------------------------------
    void play();
    // Stops a preview and runs the split; true when the folder is worth showing.
    // Cuts by sound are scanned first: in the silence split the files that
    // have no spans yet, with snapped Time or Count cuts every file, whose
    // snapped pieces that run alone uses. A scan stopped or failed writes nothing.
    bool split();
    void join(); // stops a preview, asks for the output, joins, opens the folder
    void stop();
    void stopPreview();
    void stopConversion();
    void openOutputFolder();
    void help();
    void homePage();
    // The open dialog, then the chosen files added; a message for each refused one.
    void addFilesFromDialog();
    // Files and folders from outside the window; false (nothing added) while a
    // run or an add is under way.
    bool addPaths(const QStringList& paths);
    // The save dialog for the join's output, with the question before an
    // existing file is replaced; empty when there is nothing to join, the
    // dialog is cancelled or the file is not to be replaced.
    QString chooseJoinOutput();

    // --- pop-up menu items (fileListMenu, fileMenu, actionMenu, helpMenu) ----------------------
    void addFilesItem();
    void addFolderItem();
    // The open dialog for a CUE sheet, then its files added with a span for
    // each track; the split mode becomes Custom, whose spans those are.
    void importCueItem();
    void clearItem();
    void removeItem();
    void tagsItem();
    void moveUp();
    void moveDown();
    void playItem();
    void exitItem();
    void splitItem(); // the menu's Split leaves the output folder closed
    void joinItem();
    void aboutItem();

    // The settings dialog's "Ok": the selected file planned anew and the total
    // counted again; during a run once the run has ended, so that the rows
    // under the run keep their statuses.
    void settingsApplied();
    // The window has closed (or is shown again): nothing is opened on the
    // desktop for a window that is gone, also by a run that ends after it.
    void setWindowClosed(bool closed) { m_windowClosed = closed; }

    // A run or an add loop is pumping events: nothing may start or change the list.
    bool busy() const;
    // Begin and End: the open span's bound at the slider's time.
    void markBound(JobList& list, bool begin);

  private:
    void takeSliderPosition();
    void replan();
    // The plan the settings asked for during the run that has just ended.
    void replanAfterRun();
    // The scan before a split (see split()); false when nothing is to be
    // written. `snapped` tells the run to take the rows' spans as its pieces.
    bool planSplitBySound(bool& snapped);

    SessionState& s;
    JobList& jobs;
    QString m_lastFolder; // where the open dialog was last left
    bool m_replanAfterRun = false;
    bool m_windowClosed = false;
    bool m_runPlannedSpans = false; // the run under way cuts the rows' spans
};
