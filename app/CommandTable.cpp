// The command surface (see CommandTable.h).
#include "app/CommandTable.h"

#include "app/AppInfo.h"
#include "app/HelpPage.h"
#include "app/MainState.h"
#include "app/Prompt.h"
#include "app/SkinObject.h"
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
    {"play", Refused, [](CommandTable& t, MainState&, JobList&) { t.Play(); }},
    {"stop", Allowed,
     [](CommandTable& t, MainState& s, JobList&) {
         if (s.Previewing)
             t.StopPreview();
     }},
    {"hou", Refused, [](CommandTable& t, MainState&, JobList&) { call(t.hooks.stepBack); }},
    {"qian", Refused, [](CommandTable& t, MainState&, JobList&) { call(t.hooks.stepForward); }},
    {"Split", Refused,
     [](CommandTable& t, MainState& s, JobList&) {
         if (s.lv.rowCount() == 0 || s.Adding)
             return;
         t.Split();
         // Also after a stopped run: what was written so far is there.
         t.OpenOutputFolder();
     }},
    {"Join", Refused, [](CommandTable& t, MainState&, JobList&) { t.Join(); }},
    {"Begin", Refused, [](CommandTable&, MainState&, JobList& j) { j.MarkBegin(); }},
    {"End", Refused, [](CommandTable&, MainState&, JobList& j) { j.MarkEnd(); }},
    {"Ok", Refused, [](CommandTable&, MainState&, JobList& j) { j.ConfirmSpan(); }},
    {"Stop", Allowed, [](CommandTable& t, MainState&, JobList&) { t.Stop(); }},
    {"helpfile", Allowed, [](CommandTable& t, MainState&, JobList&) { t.Help(); }},
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

void CommandTable::Skin1Click(SkinObject* object) {
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

void CommandTable::Skin1MouseDown(SkinObject* object) {
    if (isSlider(object))
        s.Seeking = true;
}

void CommandTable::Skin1MouseUp(SkinObject* object) {
    if (!isSlider(object))
        return;
    if (hooks.sliderRelease)
        hooks.sliderRelease();
    else
        s.Seeking = false;
}

void CommandTable::Skin1ScrollTrack(SkinObject* object, int position) {
    if (isSlider(object) && hooks.sliderTrack)
        hooks.sliderTrack(position);
}

// --- shared commands ----------------------------------------------------------------

void CommandTable::Play() {
    const int mode = s.settings.SplitMode;
    if (s.SpanListActive && (mode == Custom || mode == Unification))
        call(hooks.startSpanPreview);
    else
        call(hooks.startFilePreview);
}

void CommandTable::Split() {
    if (s.Previewing)
        StopPreview();
    call(hooks.splitRun);
}

void CommandTable::Join() {
    if (busy())
        return;
    if (s.Previewing)
        StopPreview();
    if (!hooks.chooseJoinOutput || !hooks.chooseJoinOutput())
        return;
    call(hooks.joinRun);
    s.Converting = false;
    OpenOutputFolder();
}

void CommandTable::Stop() {
    if (s.Previewing)
        StopPreview();
    if (s.Converting)
        StopConversion();
}

void CommandTable::StopPreview() {
    if (hooks.stopPreview)
        hooks.stopPreview();
    else
        s.Previewing = false;
}

void CommandTable::StopConversion() {
    if (hooks.stopConversion)
        hooks.stopConversion();
    else
        s.Converting = false;
}

void CommandTable::OpenOutputFolder() {
    if (s.prompt && !s.settings.OutputDir.isEmpty())
        s.prompt->openUrl(QUrl::fromLocalFile(s.settings.OutputDir));
}

void CommandTable::Help() {
    const QUrl url = helpPageUrl();
    if (s.prompt && url.isValid())
        s.prompt->openUrl(url);
}

void CommandTable::HomePage() {
    if (s.prompt)
        s.prompt->openUrl(QUrl(AppInfo::homePage()));
}

// --- pop-up menu items -------------------------------------------------------------

void CommandTable::AddFile1Click() {
    if (!s.Converting)
        jobs.AddFiles();
}

void CommandTable::AddFolder1Click() {
    if (!busy())
        call(hooks.addFolder);
}

void CommandTable::Clear1Click() {
    if (s.Converting)
        return;
    if (s.SpanListActive)
        jobs.ResetSpans();
    else
        jobs.ClearList();
}

void CommandTable::Remove1Click() {
    if (!s.Converting && !s.SpanListActive)
        jobs.RemoveFile();
}

void CommandTable::ID3info1Click() {
    call(hooks.showTagDialog);
}

void CommandTable::UP1Click() {
    jobs.MoveUp();
}

void CommandTable::Down1Click() {
    jobs.MoveDown();
}

void CommandTable::Play1Click() {
    if (!s.Converting)
        Play();
}

void CommandTable::Stop1Click() {
    Stop();
}

void CommandTable::Exit1Click() {
    call(hooks.closeWindow);
}

void CommandTable::Start1Click() {
    // The menu's Split leaves the output folder closed; only the skin's opens it.
    if (busy() || s.lv.rowCount() == 0)
        return;
    Split();
}

void CommandTable::Join1Click() {
    if (!s.Converting)
        Join();
}

void CommandTable::Content1Click() {
    Help();
}

void CommandTable::HomePage1Click() {
    HomePage();
}

void CommandTable::About1Click() {
    call(hooks.showAbout);
}
