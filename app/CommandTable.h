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
    void Skin1Click(SkinObject* object);
    // The command of the object named exactly `name` (case counts); an unknown
    // name does nothing. False when no row of the table has that name.
    bool click(const QString& name);
    void Skin1MouseDown(SkinObject* object);
    void Skin1MouseUp(SkinObject* object);
    void Skin1ScrollTrack(SkinObject* object, int position);

    // --- shared commands ---------------------------------------------------------
    void Play();
    void Split(); // stops a preview and runs the split; no folder opened here
    void Join();  // stops a preview, asks for the output, joins, opens the folder
    void Stop();
    void StopPreview();
    void StopConversion();
    void OpenOutputFolder();
    void Help();
    void HomePage();

    // --- pop-up menu items (p_lv, p_file, p_action, p_help) ----------------------
    void AddFile1Click();
    void AddFolder1Click();
    void Clear1Click();
    void Remove1Click();
    void ID3info1Click();
    void UP1Click();
    void Down1Click();
    void Play1Click();
    void Stop1Click();
    void Exit1Click();
    void Start1Click();
    void Join1Click();
    void Content1Click();
    void HomePage1Click();
    void About1Click();

  private:
    // A run or an add loop is pumping events: nothing may start or change the list.
    bool busy() const;

    MainState& s;
    JobList& jobs;
};
