// The command surface (see CommandTable.h).
#include "commands/CommandTable.h"

#include "convert/Conversion.h"
#include "convert/OutputNaming.h"
#include "convert/RunOptions.h"
#include "core/AppInfo.h"
#include "core/HelpPage.h"
#include "core/Prompt.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "skin/SkinObject.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <array>

namespace {

// How a row meets a run under way.
enum class Guard {
    Refused,  // the table refuses it while converting
    OwnGuard, // the operation refuses itself (the job list's moves)
    Allowed,  // runs also during a run
};
// The table below reads better without the type's name on every row.
using enum Guard;

struct Row {
    const char* name;
    Guard guard;
    void (*run)(CommandTable& table, SessionState& s, JobList& jobs);
};

void openMenu(CommandTable& t, const char* menu) {
    if (t.hooks.openMenu)
        t.hooks.openMenu(QString::fromLatin1(menu));
}

void call(const std::function<void()>& hook) {
    if (hook)
        hook();
}

// The skin's Remove and Clear act on the span list while it has the focus,
// else on the file list; the total follows either.
void onFocusedList(JobList& j, void (JobList::*onSpans)(), void (JobList::*onFiles)()) {
    (j.*(j.spanListActive() ? onSpans : onFiles))();
    j.refreshTotal();
}

// Compared exactly and with case: "stop" and "Stop" are two objects.
const std::array<Row, 21> Table = {{
    {"file", Refused, [](CommandTable& t, SessionState&, JobList&) { openMenu(t, "p_file"); }},
    {"Action", Refused, [](CommandTable& t, SessionState&, JobList&) { openMenu(t, "p_action"); }},
    {"Settings", Allowed,
     [](CommandTable& t, SessionState&, JobList&) { call(t.hooks.showSettings); }},
    {"Help", Allowed, [](CommandTable& t, SessionState&, JobList&) { openMenu(t, "p_help"); }},
    {"addfile", Refused, [](CommandTable& t, SessionState&, JobList&) { t.addFilesFromDialog(); }},
    {"Up", OwnGuard, [](CommandTable&, SessionState&, JobList& j) { j.moveFile(-1); }},
    {"Down", OwnGuard, [](CommandTable&, SessionState&, JobList& j) { j.moveFile(1); }},
    {"Remove", Refused,
     [](CommandTable&, SessionState&, JobList& j) {
         onFocusedList(j, &JobList::removeSelectedSpan, &JobList::removeFile);
     }},
    {"Clear", Refused,
     [](CommandTable&, SessionState&, JobList& j) {
         onFocusedList(j, &JobList::resetSpans, &JobList::clearList);
     }},
    {"Set", Allowed, [](CommandTable& t, SessionState&, JobList&) { call(t.hooks.showSettings); }},
    {"play", Refused, [](CommandTable& t, SessionState&, JobList&) { t.play(); }},
    {"stop", Allowed,
     [](CommandTable& t, SessionState&, JobList& j) {
         if (j.previewing())
             t.stopPreview();
     }},
    {"hou", Refused, [](CommandTable& t, SessionState&, JobList&) { call(t.hooks.stepBack); }},
    {"qian", Refused, [](CommandTable& t, SessionState&, JobList&) { call(t.hooks.stepForward); }},
    {"Split", Refused,
     [](CommandTable& t, SessionState& s, JobList& j) {
         if (j.rowCount() == 0 || s.adding)
             return;
         // Also after a stopped run: what was written so far is there.
         if (t.split())
             t.openOutputFolder();
     }},
    {"Join", Refused, [](CommandTable& t, SessionState&, JobList&) { t.join(); }},
    {"Begin", Refused, [](CommandTable& t, SessionState&, JobList& j) { t.markBound(j, true); }},
    {"End", Refused, [](CommandTable& t, SessionState&, JobList& j) { t.markBound(j, false); }},
    {"Ok", Refused, [](CommandTable&, SessionState&, JobList& j) { j.confirmSpan(); }},
    {"Stop", Allowed, [](CommandTable& t, SessionState&, JobList&) { t.stop(); }},
    {"helpfile", Allowed, [](CommandTable& t, SessionState&, JobList&) { t.help(); }},
}};

void restoreSpans(JobList& jobs,
                  const std::vector<std::pair<std::vector<Span>, std::int32_t>>& kept) {
    for (int row = 0; row < jobs.rowCount() && row < int(kept.size()); ++row) {
        jobs.file(row).spans = kept[size_t(row)].first;
        jobs.file(row).spanCount = kept[size_t(row)].second;
    }
}

bool isSlider(const SkinObject* object) {
    return object && object->skinName() == QLatin1String("pb");
}

} // namespace

CommandTable::CommandTable(SessionState& state, JobList& jobList) : s(state), jobs(jobList) {}

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
    return s.converting || s.adding;
}

// --- skin notifications ---------------------------------------------------------

void CommandTable::onClick(SkinObject* object) {
    if (object)
        click(object->skinName());
}

bool CommandTable::click(const QString& name) {
    for (const Row& row : Table) {
        if (name != QLatin1String(row.name))
            continue;
        if (!(row.guard == Refused && s.converting))
            row.run(*this, s, jobs);
        return true;
    }
    return false;
}

void CommandTable::onPress(SkinObject* object) {
    if (isSlider(object))
        call(hooks.sliderPress);
}

void CommandTable::onRelease(SkinObject* object) {
    if (isSlider(object))
        call(hooks.sliderRelease);
}

void CommandTable::onSliderTrack(SkinObject* object, int position) {
    if (isSlider(object) && hooks.sliderTrack)
        hooks.sliderTrack(position);
}

// --- shared commands ----------------------------------------------------------------

void CommandTable::connectConversion(Conversion& conversion) {
    const auto worthShowing = [&conversion] {
        return !conversion.lastRunFailed() || !conversion.lastOutputs().isEmpty();
    };
    hooks.splitRun = [this, &conversion, worthShowing] {
        RunOptions options = RunOptions::fromSettings(s.settings, s.ini.get(), s.formatIndex);
        options.jobs = std::max(1, splitJobs);
        // Several pieces under way have no one piece's progress to show.
        options.wholeRunProgress = true;
        if (m_runPlannedSpans)
            options.mode = SplitMode::Custom;
        conversion.setOptions(options);
        conversion.splitRun();
        return worthShowing();
    };
    hooks.joinRun = [this, &conversion, worthShowing](const QString& path) {
        conversion.setOptions(RunOptions::fromSettings(s.settings, s.ini.get(), s.formatIndex));
        conversion.joinRun(path);
        return worthShowing();
    };
    hooks.stopConversion = [&conversion] { conversion.stopConversion(); };
}

int CommandTable::defaultSplitJobs() {
    return std::max(1, QThread::idealThreadCount());
}

void CommandTable::takeSliderPosition() {
    if (slider)
        jobs.setSliderPosition(slider->sliderPosition());
}

void CommandTable::markBound(JobList& list, bool begin) {
    takeSliderPosition();
    if (begin)
        list.markBegin();
    else
        list.markEnd();
}

void CommandTable::play() {
    const SplitMode mode = s.settings.splitMode;
    if (jobs.spanListActive() && (mode == SplitMode::Custom || mode == SplitMode::Unification))
        call(hooks.startSpanPreview);
    else
        call(hooks.startFilePreview);
}

bool CommandTable::split() {
    if (jobs.previewing())
        stopPreview();
    // Snapped pieces are this run's only: the rows' own spans come back after it.
    std::vector<std::pair<std::vector<Span>, std::int32_t>> kept;
    for (int row = 0; row < jobs.rowCount(); ++row)
        kept.emplace_back(jobs.file(row).spans, jobs.file(row).spanCount);
    bool snapped = false;
    if (!planSplitBySound(snapped)) {
        if (snapped)
            restoreSpans(jobs, kept);
        return false;
    }
    m_runPlannedSpans = snapped;
    const bool show = hooks.splitRun && hooks.splitRun();
    m_runPlannedSpans = false;
    if (snapped) {
        restoreSpans(jobs, kept);
        // The span rows showed the run's pieces; the formula's come back.
        if (!s.converting)
            replan();
    }
    replanAfterRun();
    return show;
}

bool CommandTable::planSplitBySound(bool& snapped) {
    // As the settings dialog shows them: the silence split keeps the mode
    // Custom, and snapping applies to Time and Count only.
    const SilenceSettings& o = s.settings.silence;
    const SplitMode mode = s.settings.splitMode;
    const bool silence = o.chosen && mode == SplitMode::Custom;
    snapped =
        !o.chosen && o.snapSeconds > 0 && (mode == SplitMode::Time || mode == SplitMode::Count);
    if (!(silence || snapped) || busy()) {
        snapped = false;
        return true;
    }
    // A silence split plans a file once, and the person may have moved its
    // cuts since; a file added after that has no spans and would be written whole.
    const std::function<bool(int)> rows = [this, silence](int row) {
        return !silence || jobs.file(row).spans.size() <= 1;
    };
    if (silence) {
        bool unplanned = false;
        for (int row = 0; row < jobs.rowCount() && !unplanned; ++row)
            unplanned = rows(row);
        if (!unplanned)
            return true;
    }
    const QList<JobList::Refusal> refused =
        hooks.planBySound ? hooks.planBySound(rows) : jobs.planBySound({}, rows);
    for (const JobList::Refusal& refusal : refused)
        s.inform(refusal.message);
    if (!snapped)
        jobs.selectFile();
    jobs.refreshTotal();
    // A file that could not be scanned has no cuts, and would be written whole.
    return !jobs.scanStopped() && refused.isEmpty();
}

void CommandTable::join() {
    if (busy())
        return;
    if (jobs.previewing())
        stopPreview();
    const QString path = hooks.chooseJoinOutput ? hooks.chooseJoinOutput() : chooseJoinOutput();
    if (path.isEmpty())
        return;
    const bool show = hooks.joinRun && hooks.joinRun(path);
    s.converting = false;
    replanAfterRun();
    if (show)
        openOutputFolder();
}

QString CommandTable::chooseJoinOutput() {
    if (jobs.rowCount() == 0 || !s.prompt)
        return {};
    // A join encodes also when the cut without re-encoding is chosen; the
    // choice stays for the next split unless another filter is picked. The
    // filters stand for the format box's entries 0, 2 and 3.
    const bool copyChosen = s.formatIndex == int(OutputFormat::OggCopy);
    int filterIndex = s.formatIndex == int(OutputFormat::Flac)   ? 2
                      : s.formatIndex == int(OutputFormat::Opus) ? 3
                                                                 : 1;
    const QString chosen =
        s.prompt->saveFile(s.settings.outputDir,
                           {QCoreApplication::translate("CommandTable", "OGG Files(*.ogg)"),
                            QCoreApplication::translate("CommandTable", "FLAC Files(*.flac)"),
                            QCoreApplication::translate("CommandTable", "OPUS Files(*.opus)")},
                           filterIndex);
    if (chosen.isEmpty())
        return {};
    if (filterIndex == 2 || filterIndex == 3)
        s.formatIndex = filterIndex;
    else if (!copyChosen)
        s.formatIndex = int(OutputFormat::Ogg);
    const QString extension = s.formatIndex == int(OutputFormat::Flac)   ? QStringLiteral("flac")
                              : s.formatIndex == int(OutputFormat::Opus) ? QStringLiteral("opus")
                                                                         : QStringLiteral("ogg");
    const QString path = OutputNaming::joinOutputPath(s.settings.outputDir, chosen, extension);
    if (OutputNaming::taken(path) && !s.prompt->question(OutputNaming::replaceQuestion(path)))
        return {};
    return path;
}

void CommandTable::stop() {
    // A scan by sound holds the list as an add does.
    if (s.adding) {
        jobs.stopAdding();
        jobs.stopScanning();
    }
    if (jobs.previewing())
        stopPreview();
    if (s.converting)
        stopConversion();
}

void CommandTable::stopPreview() {
    if (hooks.stopPreview)
        hooks.stopPreview();
    else
        jobs.setPlayedRow(-1);
}

void CommandTable::stopConversion() {
    if (hooks.stopConversion)
        hooks.stopConversion();
    else
        s.converting = false;
}

void CommandTable::settingsApplied() {
    // Selecting a file waits for the run in the same way: the span rows are
    // the run's until it ends.
    if (s.converting) {
        m_replanAfterRun = true;
        return;
    }
    replan();
}

void CommandTable::replan() {
    if (jobs.selectedRow() >= 0)
        jobs.plan();
    jobs.refreshTotal();
}

void CommandTable::replanAfterRun() {
    if (!m_replanAfterRun || s.converting)
        return;
    m_replanAfterRun = false;
    replan();
}

void CommandTable::openOutputFolder() {
    if (m_windowClosed)
        return;
    if (s.prompt && !s.settings.outputDir.isEmpty())
        s.prompt->openUrl(QUrl::fromLocalFile(s.settings.outputDir));
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

void CommandTable::addFilesFromDialog() {
    if (busy() || !s.prompt)
        return;
    const QStringList filters = {QCoreApplication::translate("CommandTable", "OGG Files(*.ogg)"),
                                 QCoreApplication::translate("CommandTable", "MP3 Files(*.mp3)"),
                                 QCoreApplication::translate("CommandTable", "WMA Files(*.wma)"),
                                 QCoreApplication::translate("CommandTable", "All Files(*)")};
    const QString dir = m_lastFolder.isEmpty() ? s.settings.outputDir : m_lastFolder;
    const QStringList files = s.prompt->openFiles(dir, filters);
    if (files.isEmpty())
        return;
    m_lastFolder = QFileInfo(files.first()).absolutePath();
    for (const JobList::Refusal& refusal : jobs.addFiles(files))
        if (!refusal.message.isEmpty())
            s.inform(refusal.message);
}

bool CommandTable::addPaths(const QStringList& paths) {
    if (busy())
        return false;
    for (const JobList::Refusal& refusal : jobs.addPaths(paths))
        if (!refusal.message.isEmpty())
            s.inform(refusal.message);
    return true;
}

// --- pop-up menu items -------------------------------------------------------------

void CommandTable::addFilesItem() {
    if (!s.converting)
        addFilesFromDialog();
}

void CommandTable::importCueItem() {
    if (busy() || !s.prompt)
        return;
    const QString dir = m_lastFolder.isEmpty() ? s.settings.outputDir : m_lastFolder;
    const QStringList sheets =
        s.prompt->openFiles(dir, {QCoreApplication::translate("CommandTable", "CUE Sheets(*.cue)"),
                                  QCoreApplication::translate("CommandTable", "All Files(*)")});
    if (sheets.isEmpty())
        return;
    m_lastFolder = QFileInfo(sheets.first()).absolutePath();
    s.settings.splitMode = SplitMode::Custom;
    for (const QString& sheet : sheets)
        for (const JobList::Refusal& refusal : jobs.addCueSheet(sheet))
            if (!refusal.message.isEmpty())
                s.inform(refusal.message);
}

void CommandTable::addFolderItem() {
    if (busy())
        return;
    QString folder;
    if (hooks.chooseAddFolder)
        folder = hooks.chooseAddFolder();
    else if (s.prompt)
        folder = s.prompt->pickFolder(s.settings.outputDir);
    if (folder.isEmpty())
        return;
    for (const JobList::Refusal& refusal : jobs.addFolder(folder))
        if (!refusal.message.isEmpty())
            s.inform(refusal.message);
}

void CommandTable::clearItem() {
    if (s.converting)
        return;
    if (jobs.spanListActive())
        jobs.resetSpans();
    else
        jobs.clearList();
}

void CommandTable::removeItem() {
    if (!s.converting && !jobs.spanListActive())
        jobs.removeFile();
}

void CommandTable::tagsItem() {
    call(hooks.showTagDialog);
}

void CommandTable::moveUp() {
    jobs.moveFile(-1);
}

void CommandTable::moveDown() {
    jobs.moveFile(1);
}

void CommandTable::playItem() {
    if (!s.converting)
        play();
}

void CommandTable::exitItem() {
    call(hooks.closeWindow);
}

void CommandTable::splitItem() {
    if (busy() || jobs.rowCount() == 0)
        return;
    split();
}

void CommandTable::joinItem() {
    if (!s.converting)
        join();
}

void CommandTable::aboutItem() {
    call(hooks.showAbout);
}
