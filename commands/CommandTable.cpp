// The command surface (see CommandTable.h).
#include "commands/CommandTable.h"

#include "core/AppInfo.h"
#include "core/HelpPage.h"
#include "core/MainState.h"
#include "core/Prompt.h"
#include "skin/SkinObject.h"
#include "joblist/JobList.h"

#include <array>

namespace {

// How a row meets a run under way.
enum Guard {
    Refused,  // the table refuses it while Converting
    OwnGuard, // the operation refuses itself (the job list's moves)
    Allowed,  // runs also during a run
};

struct Row {
    const char* name;
    Guard guard;
    void (*run)(CommandTable& table, MainState& s, JobList& jobs);
};

void openMenu(CommandTable& t, const char* menu, int dx, int dy) {
    if (t.hooks.openMenu)
        t.hooks.openMenu(QString::fromLatin1(menu), QPoint(dx, dy));
}

void call(const std::function<void()>& hook) {
    if (hook)
        hook();
}

// Compared exactly and with case: "stop" and "Stop" are two objects.
const std::array<Row, 21> Table = {{
    {"file", Refused, [](CommandTable& t, MainState&, JobList&) { openMenu(t, "p_file", 19, 80); }},
    {"Action", Refused,
     [](CommandTable& t, MainState&, JobList&) { openMenu(t, "p_action", 69, 80); }},
    {"Settings", Allowed,
     [](CommandTable& t, MainState&, JobList&) { call(t.hooks.showSettings); }},
    {"Help", Allowed,
     [](CommandTable& t, MainState&, JobList&) { openMenu(t, "p_help", 276, 80); }},
    {"addfile", Refused, [](CommandTable&, MainState&, JobList& j) { j.AddFiles(); }},
    {"Up", OwnGuard, [](CommandTable&, MainState&, JobList& j) { j.MoveUp(); }},
    {"Down", OwnGuard, [](CommandTable&, MainState&, JobList& j) { j.MoveDown(); }},
    {"Remove", Refused,
     [](CommandTable&, MainState& s, JobList& j) {
         if (s.SpanListActive)
             j.RemoveSpan();
         else
             j.RemoveFile();
         j.RefreshTotal();
     }},
    {"Clear", Refused,
     [](CommandTable&, MainState& s, JobList& j) {
         if (s.SpanListActive)
             j.ResetSpans();
         else
             j.ClearList();
         j.RefreshTotal();
     }},
    {"Set", Allowed, [](CommandTable& t, MainState&, JobList&) { call(t.hooks.showSettings); }},
    {"play", Refused, [](CommandTable& t, MainState&, JobList&) { t.play(); }},
    {"stop", Allowed,
     [](CommandTable& t, MainState& s, JobList&) {
         if (s.Previewing)
             t.stopPreview();
     }},
    {"hou", Refused, [](CommandTable& t, MainState&, JobList&) { call(t.hooks.stepBack); }},
    {"qian", Refused, [](CommandTable& t, MainState&, JobList&) { call(t.hooks.stepForward); }},
    {"Split", Refused,
     [](CommandTable& t, MainState& s, JobList&) {
         if (s.lv.rowCount() == 0 || s.Adding)
             return;
         t.split();
         // Also after a stopped run: what was written so far is there.
         t.openOutputFolder();
     }},
    {"Join", Refused, [](CommandTable& t, MainState&, JobList&) { t.join(); }},
    {"Begin", Refused, [](CommandTable&, MainState&, JobList& j) { j.MarkBegin(); }},
    {"End", Refused, [](CommandTable&, MainState&, JobList& j) { j.MarkEnd(); }},
    {"Ok", Refused, [](CommandTable&, MainState&, JobList& j) { j.ConfirmSpan(); }},
    {"Stop", Allowed, [](CommandTable& t, MainState&, JobList&) { t.stop(); }},
    {"helpfile", Allowed, [](CommandTable& t, MainState&, JobList&) { t.help(); }},
}};

bool isSlider(const SkinObject* object) {
    return object && object->ObjectName() == QLatin1String("pb");
}

} // namespace

CommandTable::CommandTable(MainState& state, JobList& jobList) : s(state), jobs(jobList) {}

QStringList CommandTable::commandNames() {
    QStringList names;
    for (const Row& row : Table)
        names << QString::fromLatin1(row.name);
    return names;
}

QStringList CommandTable::namesAllowedWhileConverting() {
    QStringList names;
    for (const Row& row : Table) {
        if (row.guard == Allowed)
            names << QString::fromLatin1(row.name);
    }
    return names;
}

bool CommandTable::busy() const {
    return s.Converting || s.Adding;
}

// --- skin notifications ---------------------------------------------------------

void CommandTable::onClick(SkinObject* object) {
    if (object)
        click(object->ObjectName());
}

bool CommandTable::click(const QString& name) {
    for (const Row& row : Table) {
        if (name != QLatin1String(row.name))
            continue;
        if (!(row.guard == Refused && s.Converting))
            row.run(*this, s, jobs);
        return true;
    }
    return false;
}

void CommandTable::onPress(SkinObject* object) {
    if (isSlider(object))
        s.Seeking = true;
}

void CommandTable::onRelease(SkinObject* object) {
    if (!isSlider(object))
        return;
    if (hooks.sliderRelease)
        hooks.sliderRelease();
    else
        s.Seeking = false;
}

void CommandTable::onSliderTrack(SkinObject* object, int position) {
    if (isSlider(object) && hooks.sliderTrack)
        hooks.sliderTrack(position);
}

// --- shared commands ----------------------------------------------------------------

void CommandTable::play() {
    const int mode = s.settings.SplitMode;
    if (s.SpanListActive && (mode == Custom || mode == Unification))
        call(hooks.startSpanPreview);
    else
        call(hooks.startFilePreview);
}

void CommandTable::split() {
    if (s.Previewing)
        stopPreview();
    call(hooks.splitRun);
}

void CommandTable::join() {
    if (busy())
        return;
    if (s.Previewing)
        stopPreview();
    if (!hooks.chooseJoinOutput || !hooks.chooseJoinOutput())
        return;
    call(hooks.joinRun);
    s.Converting = false;
    openOutputFolder();
}

void CommandTable::stop() {
    if (s.Previewing)
        stopPreview();
    if (s.Converting)
        stopConversion();
}

void CommandTable::stopPreview() {
    if (hooks.stopPreview)
        hooks.stopPreview();
    else
        s.Previewing = false;
}

void CommandTable::stopConversion() {
    if (hooks.stopConversion)
        hooks.stopConversion();
    else
        s.Converting = false;
}

void CommandTable::openOutputFolder() {
    if (s.prompt && !s.settings.OutputDir.isEmpty())
        s.prompt->openUrl(QUrl::fromLocalFile(s.settings.OutputDir));
}

void CommandTable::help() {
    const QUrl url = helpPageUrl();
    if (s.prompt && url.isValid())
        s.prompt->openUrl(url);
}

void CommandTable::homePage() {
    if (s.prompt)
        s.prompt->openUrl(QUrl(AppInfo::homePage()));
}

// --- pop-up menu items -------------------------------------------------------------

void CommandTable::addFilesItem() {
    if (!s.Converting)
        jobs.AddFiles();
}

void CommandTable::addFolderItem() {
    if (!busy())
        call(hooks.addFolder);
}

void CommandTable::clearItem() {
    if (s.Converting)
        return;
    if (s.SpanListActive)
        jobs.ResetSpans();
    else
        jobs.ClearList();
}

void CommandTable::removeItem() {
    if (!s.Converting && !s.SpanListActive)
        jobs.RemoveFile();
}

void CommandTable::tagsItem() {
    call(hooks.showTagDialog);
}

void CommandTable::moveUpItem() {
    jobs.MoveUp();
}

void CommandTable::moveDownItem() {
    jobs.MoveDown();
}

void CommandTable::playItem() {
    if (!s.Converting)
        play();
}

void CommandTable::stopItem() {
    stop();
}

void CommandTable::exitItem() {
    call(hooks.closeWindow);
}

void CommandTable::splitItem() {
    // The menu's Split leaves the output folder closed; only the skin's opens it.
    if (busy() || s.lv.rowCount() == 0)
        return;
    split();
}

void CommandTable::joinItem() {
    if (!s.Converting)
        join();
}

void CommandTable::helpItem() {
    help();
}

void CommandTable::homePageItem() {
    homePage();
}

void CommandTable::aboutItem() {
    call(hooks.showAbout);
}
