// The command surface of the main window: clicks on named skin objects, the
// slider's press, release and drag, and the pop-up menu items, each turned into
// its command with the guards that keep a run safe. Needs no window: what only
// a window or a later unit can do is reached through hooks.
#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class JobList;
class MainState;
class SkinObject;

// What the command table cannot do by itself. An empty hook does nothing.
struct CommandHooks {
    // Opens pop-up menu `menu` ("p_file", "p_action", "p_help") at the window's
    // outer top-left corner plus `offset`.
    std::function<void(const QString& menu, const QPoint& offset)> openMenu;
    std::function<void()> showSettings;  // the settings dialog, modal
    std::function<void()> showTagDialog; // the tag dialog, modal
    std::function<void()> showAbout;     // the about dialog, not modal
    std::function<void()> addFolder;
    std::function<void()> closeWindow;

    std::function<void()> startFilePreview;
    std::function<void()> startSpanPreview;
    std::function<void()> stopPreview; // without it Previewing is just cleared
    std::function<void()> stepBack;
    std::function<void()> stepForward;
    std::function<void()> sliderRelease; // without it Seeking is just cleared
    std::function<void(int position)> sliderTrack;

    std::function<void()> splitRun; // the split run of the current SplitMode
    std::function<bool()> chooseJoinOutput;
    std::function<void()> joinRun;        // the join run of the current SplitMode
    std::function<void()> stopConversion; // without it Converting is just cleared
};

class CommandTable {
  public:
    CommandTable(MainState& state, JobList& jobs);

    CommandHooks hooks;

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
    void split(); // stops a preview and runs the split; no folder opened here
    void join();  // stops a preview, asks for the output, joins, opens the folder
    void stop();
    void stopPreview();
    void stopConversion();
    void openOutputFolder();
    void help();
    void homePage();

    // --- pop-up menu items (p_lv, p_file, p_action, p_help) ----------------------
    void addFilesItem();
    void addFolderItem();
    void clearItem();
    void removeItem();
    void tagsItem();
    void moveUpItem();
    void moveDownItem();
    void playItem();
    void stopItem();
    void exitItem();
    void splitItem();
    void joinItem();
    void helpItem();
    void homePageItem();
    void aboutItem();

  private:
    // A run or an add loop is pumping events: nothing may start or change the list.
    bool busy() const;

    MainState& s;
    JobList& jobs;
};
