// The command table: every skin object's command, the guards while a run is
// under way, the shared Play/Split/Join/Stop commands, the slider's press,
// release and drag, and the pop-up menu items.
#include "commands/CommandTable.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "skin/SkinEngine.h"
#include "skin/SkinSetup.h"
#include "support/JobFixture.h"
#include "support/Printing.h"
#include "support/ScriptedPrompt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace {

// Members are public: the case table below works on them.
class CommandTest : public ::testing::Test {
  public:
    QTemporaryDir dir;
    SessionState s;
    ScriptedPrompt prompt;
    QObject window;
    SkinEngine engine;
    JobList jobs{s};
    CommandTable table{s, jobs};
    SkinParts skin;
    bool instructionsVisible = true;
    QStringList calls;        // hooks run, in order
    QString joinedPath;       // what the join run was given
    bool worthShowing = true; // what the runs answer
    bool seeking = false;     // between the slider's press and release hooks

    void SetUp() override {
        s.prompt = &prompt;
        s.settings.outputDir = QDir::toNativeSeparators(dir.path()) + QDir::separator();
        skin = setUpSkin(engine, &window, defaultSkinPath());
        ASSERT_NE(skin.slider, nullptr);
        ASSERT_NE(skin.timecaption, nullptr);
        ASSERT_NE(skin.totalTime, nullptr);
        ASSERT_NE(skin.pathLabel, nullptr);
        // Wired as the window wires them.
        showJobListOn(jobs, *skin.slider, *skin.timecaption, *skin.totalTime, *skin.pathLabel);
        QObject::connect(&jobs, &JobList::instructionsVisibleChanged,
                         [this](bool visible) { instructionsVisible = visible; });
        table.slider = skin.slider;
        jobs.refreshTotal();

        CommandHooks& h = table.hooks;
        h.openMenu = [this](const QString& menu) { calls << QStringLiteral("menu %1").arg(menu); };
        const auto record = [this](const char* name) {
            return [this, name] { calls << QString::fromLatin1(name); };
        };
        h.showSettings = record("settings");
        h.showTagDialog = record("tags");
        h.showAbout = record("about");
        h.chooseAddFolder = [this] {
            calls << QStringLiteral("addFolder");
            return QString();
        };
        h.closeWindow = record("close");
        h.startFilePreview = record("filePreview");
        h.startSpanPreview = record("spanPreview");
        h.stopPreview = [this] {
            calls << QStringLiteral("stopPreview");
            jobs.setPlayedRow(-1);
        };
        h.stepBack = record("stepBack");
        h.stepForward = record("stepForward");
        h.sliderPress = [this] { seeking = true; };
        h.sliderRelease = [this] {
            calls << QStringLiteral("sliderRelease");
            seeking = false;
        };
        h.sliderTrack = [this](int position) {
            calls << QStringLiteral("sliderTrack %1").arg(position);
        };
        h.splitRun = [this] {
            calls << QStringLiteral("split");
            s.converting = false;
            return worthShowing;
        };
        h.chooseJoinOutput = [this] {
            calls << QStringLiteral("chooseJoin");
            return joinAnswer;
        };
        h.joinRun = [this](const QString& path) {
            calls << QStringLiteral("join");
            joinedPath = path;
            s.converting = true; // the command must clear it after the run
            return worthShowing;
        };
        h.stopConversion = [this] {
            calls << QStringLiteral("stopConversion");
            s.converting = false;
        };
    }

    QString joinAnswer = QDir(dir.path()).filePath(QStringLiteral("joined.ogg")); // empty: cancel

    // A row as adding a file makes it, without measuring a real file.
    void addRow(const QString& caption, std::int32_t seconds) {
        appendFileRow(jobs, QDir(dir.path()).filePath(caption), seconds);
    }
    void addThreeAndSelectFirst() {
        addRow(QStringLiteral("a.ogg"), 30);
        addRow(QStringLiteral("b.ogg"), 40);
        addRow(QStringLiteral("c.ogg"), 50);
        jobs.selectRow(0);
        jobs.selectFile();
        jobs.refreshTotal();
    }
    QStringList captions() const {
        QStringList out;
        for (int i = 0; i < jobs.fileModel().rowCount(); ++i)
            out << cellText(jobs.fileModel(), i, 0);
        return out;
    }
    QString openedFolder() const {
        return prompt.openedUrls.isEmpty() ? QString() : prompt.openedUrls.last().toLocalFile();
    }

    // Everything a refused command must leave as it was.
    struct Snapshot {
        QStringList calls, messages, captions;
        int urls = 0, spanRows = 0, spanCount = 0;
        QString total;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot snapshot() const {
        return {calls,
                prompt.messages,
                captions(),
                int(prompt.openedUrls.size()),
                jobs.spanModel().rowCount(),
                jobs.rowCount() == 0 ? 0 : jobs.file(0).spanCount,
                skin.totalTime->text()};
    }
};

// --- every name runs its command --------------------------------------------------

struct NameCase {
    const char* name;
    std::function<void(CommandTest&)> prepare;
    std::function<void(CommandTest&)> check;
};

void noPreparation(CommandTest&) {}

const NameCase NameCases[] = {
    {"file", noPreparation,
     [](CommandTest& t) { EXPECT_EQ(t.calls, QStringList{QStringLiteral("menu p_file")}); }},
    {"Action", noPreparation,
     [](CommandTest& t) { EXPECT_EQ(t.calls, QStringList{QStringLiteral("menu p_action")}); }},
    {"Settings", noPreparation,
     [](CommandTest& t) { EXPECT_EQ(t.calls, QStringList{QStringLiteral("settings")}); }},
    {"Help", noPreparation,
     [](CommandTest& t) { EXPECT_EQ(t.calls, QStringList{QStringLiteral("menu p_help")}); }},
    {"addfile",
     [](CommandTest& t) {
         t.prompt.openFilesAnswers.push_back({QStringLiteral("/nonexistent/missing.ogg")});
     },
     [](CommandTest& t) {
         EXPECT_TRUE(t.prompt.openFilesAnswers.empty()) << "the open dialog was not shown";
         EXPECT_EQ(t.prompt.messages,
                   QStringList{QStringLiteral("missing.ogg this File is not supported.")});
     }},
    {"Up",
     [](CommandTest& t) {
         t.addThreeAndSelectFirst();
         t.jobs.selectRow(1);
     },
     [](CommandTest& t) {
         EXPECT_EQ(t.captions(), (QStringList{QStringLiteral("b.ogg"), QStringLiteral("a.ogg"),
                                              QStringLiteral("c.ogg")}));
     }},
    {"Down", [](CommandTest& t) { t.addThreeAndSelectFirst(); },
     [](CommandTest& t) {
         EXPECT_EQ(t.captions(), (QStringList{QStringLiteral("b.ogg"), QStringLiteral("a.ogg"),
                                              QStringLiteral("c.ogg")}));
     }},
    {"Remove", [](CommandTest& t) { t.addThreeAndSelectFirst(); },
     [](CommandTest& t) {
         EXPECT_EQ(t.captions(), (QStringList{QStringLiteral("b.ogg"), QStringLiteral("c.ogg")}));
         EXPECT_EQ(t.skin.totalTime->text(), QStringLiteral("00:01:30"));
     }},
    {"Clear", [](CommandTest& t) { t.addThreeAndSelectFirst(); },
     [](CommandTest& t) {
         EXPECT_EQ(t.jobs.rowCount(), 0);
         EXPECT_EQ(t.skin.totalTime->text(), QStringLiteral("00:00:00"));
         EXPECT_TRUE(t.instructionsVisible);
     }},
    {"Set", noPreparation,
     [](CommandTest& t) { EXPECT_EQ(t.calls, QStringList{QStringLiteral("settings")}); }},
    {"play", noPreparation,
     [](CommandTest& t) { EXPECT_EQ(t.calls, QStringList{QStringLiteral("filePreview")}); }},
    {"stop", [](CommandTest& t) { t.jobs.setPlayedRow(0); },
     [](CommandTest& t) {
         EXPECT_EQ(t.calls, QStringList{QStringLiteral("stopPreview")});
         EXPECT_FALSE(t.jobs.previewing());
     }},
    {"hou", noPreparation,
     [](CommandTest& t) { EXPECT_EQ(t.calls, QStringList{QStringLiteral("stepBack")}); }},
    {"qian", noPreparation,
     [](CommandTest& t) { EXPECT_EQ(t.calls, QStringList{QStringLiteral("stepForward")}); }},
    {"Split", [](CommandTest& t) { t.addThreeAndSelectFirst(); },
     [](CommandTest& t) {
         EXPECT_EQ(t.calls, QStringList{QStringLiteral("split")});
         EXPECT_EQ(QDir(t.openedFolder()), QDir(t.s.settings.outputDir));
     }},
    {"Join", [](CommandTest& t) { t.addThreeAndSelectFirst(); },
     [](CommandTest& t) {
         EXPECT_EQ(t.calls, (QStringList{QStringLiteral("chooseJoin"), QStringLiteral("join")}));
         EXPECT_EQ(t.joinedPath, t.joinAnswer);
         EXPECT_FALSE(t.s.converting);
         EXPECT_EQ(QDir(t.openedFolder()), QDir(t.s.settings.outputDir));
     }},
    {"Begin",
     [](CommandTest& t) {
         t.addThreeAndSelectFirst();
         t.skin.slider->setSliderPosition(t.jobs.usableRange() / 3); // a third of 30 s
     },
     [](CommandTest& t) { EXPECT_EQ(t.jobs.file(0).spans.back().begin, 10); }},
    {"End",
     [](CommandTest& t) {
         t.addThreeAndSelectFirst();
         t.skin.slider->setSliderPosition(t.jobs.usableRange() / 2);
     },
     [](CommandTest& t) { EXPECT_EQ(t.jobs.file(0).spans.back().end, 15); }},
    {"Ok", [](CommandTest& t) { t.addThreeAndSelectFirst(); },
     [](CommandTest& t) {
         EXPECT_EQ(t.jobs.file(0).spanCount, 2);
         EXPECT_EQ(t.jobs.spanModel().rowCount(), 2);
     }},
    {"Stop",
     [](CommandTest& t) {
         t.jobs.setPlayedRow(0);
         t.s.converting = true;
     },
     [](CommandTest& t) {
         EXPECT_EQ(t.calls,
                   (QStringList{QStringLiteral("stopPreview"), QStringLiteral("stopConversion")}));
         EXPECT_FALSE(t.s.converting);
     }},
    {"helpfile", noPreparation,
     [](CommandTest& t) {
         ASSERT_EQ(t.prompt.openedUrls.size(), 1);
         const QUrl url = t.prompt.openedUrls.first();
         ASSERT_TRUE(url.isLocalFile());
         EXPECT_TRUE(url.toLocalFile().endsWith(QStringLiteral("cadelo.html")));
         QFile page(url.toLocalFile());
         ASSERT_TRUE(page.open(QIODevice::ReadOnly));
         EXPECT_TRUE(page.readAll().contains("Cadelo"));
     }},
};

class EveryCommandTest : public CommandTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(EveryCommandTest, ClickRunsItsCommand) {
    GetParam().prepare(*this);
    calls.clear();
    EXPECT_TRUE(table.click(QString::fromLatin1(GetParam().name)));
    GetParam().check(*this);
}

std::string caseName(const ::testing::TestParamInfo<NameCase>& info) {
    // "stop" and "Stop" must give distinct test names.
    return std::string(info.param.name) + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Table, EveryCommandTest, ::testing::ValuesIn(NameCases), caseName);

TEST(CommandTableNames, TableCoversEveryNamedObject) {
    QStringList caseNames;
    for (const NameCase& c : NameCases)
        caseNames << QString::fromLatin1(c.name);
    EXPECT_EQ(CommandTable::commandNames(), caseNames);
}

// --- while a run is under way -------------------------------------------------------

class ConvertingGuardTest : public CommandTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(ConvertingGuardTest, OnlyTheSafeCommandsRunDuringARun) {
    GetParam().prepare(*this);
    s.converting = true;
    jobs.setPlayedRow(0); // so that "stop" and "Stop" have something to do
    calls.clear();
    const Snapshot before = snapshot();
    table.click(QString::fromLatin1(GetParam().name));
    const QString name = QString::fromLatin1(GetParam().name);
    if (CommandTable::namesAllowedWhileConverting().contains(name))
        EXPECT_FALSE(snapshot() == before) << "refused: " << GetParam().name;
    else
        EXPECT_TRUE(snapshot() == before) << "ran: " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Table, ConvertingGuardTest, ::testing::ValuesIn(NameCases), caseName);

TEST(CommandTableNames, SafeDuringARunAreExactlyTheSix) {
    EXPECT_EQ(
        CommandTable::namesAllowedWhileConverting(),
        (QStringList{QStringLiteral("Settings"), QStringLiteral("Help"), QStringLiteral("Set"),
                     QStringLiteral("stop"), QStringLiteral("Stop"), QStringLiteral("helpfile")}));
}

// --- names that are no command --------------------------------------------------------

class UnknownNameTest : public CommandTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(UnknownNameTest, DoesNothing) {
    addThreeAndSelectFirst();
    jobs.setPlayedRow(0);
    calls.clear();
    const Snapshot before = snapshot();
    EXPECT_FALSE(table.click(QString::fromUtf8(GetParam())));
    EXPECT_TRUE(snapshot() == before);
    EXPECT_TRUE(jobs.previewing());
}

INSTANTIATE_TEST_SUITE_P(Names, UnknownNameTest,
                         ::testing::Values("", "split", "SPLIT", "Split ", "PLAY", "ok", "pb", "nm",
                                           "convertpb", "tataltime", "Helpfile"));

// --- the shared commands ---------------------------------------------------------------

TEST_F(CommandTest, SplitWithEmptyListOpensNoFolder) {
    EXPECT_TRUE(table.click(QStringLiteral("Split")));
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_TRUE(prompt.openedUrls.isEmpty());
}

TEST_F(CommandTest, SplitStopsThePreviewFirstAndOpensTheFolderAfterAStoppedRun) {
    addThreeAndSelectFirst();
    jobs.setPlayedRow(0);
    calls.clear();
    table.hooks.splitRun = [this] {
        calls << QStringLiteral("split");
        s.converting = true;
        table.click(QStringLiteral("Stop")); // the user stops the run midway
        return true;                         // what was written so far is worth showing
    };
    table.click(QStringLiteral("Split"));
    EXPECT_EQ(calls, (QStringList{QStringLiteral("stopPreview"), QStringLiteral("split"),
                                  QStringLiteral("stopConversion")}));
    EXPECT_EQ(prompt.openedUrls.size(), 1);
}

// The run's answer decides whether the output folder is shown.
struct FolderCase {
    const char* name;
    bool worthShowing;
};

void PrintTo(const FolderCase& c, std::ostream* os) {
    *os << c.name << (c.worthShowing ? " worth showing" : " nothing to show");
}

class OutputFolderTest : public CommandTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(OutputFolderTest, OpensOnlyWhenTheRunSaysItIsWorthIt) {
    addThreeAndSelectFirst();
    worthShowing = GetParam().worthShowing;
    table.click(QString::fromLatin1(GetParam().name));
    ASSERT_FALSE(calls.isEmpty()) << "the run did not start";
    EXPECT_EQ(prompt.openedUrls.size(), GetParam().worthShowing ? 1 : 0);
    EXPECT_FALSE(s.converting);
}

INSTANTIATE_TEST_SUITE_P(Runs, OutputFolderTest,
                         ::testing::Values(FolderCase{"Split", true}, FolderCase{"Split", false},
                                           FolderCase{"Join", true}, FolderCase{"Join", false}));

// The settings dialog's "Ok" in the middle of a run: the span rows stay the
// run's (a finished row keeps its status); the new plan comes once it ends.
class SettingsDuringARun : public CommandTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SettingsDuringARun, ReplanOnlyAfterTheRun) {
    s.settings.splitMode = SplitMode::Time;
    s.settings.splitSeconds = 10;
    addThreeAndSelectFirst();
    const int before = jobs.spanRowCount();
    int during = 0;
    QString status;
    const auto run = [&] {
        s.converting = true;
        jobs.setSpanStatus(0, QStringLiteral("Finish"));
        s.settings.splitSeconds = 5;
        table.settingsApplied();
        during = jobs.spanRowCount();
        status = jobs.spanStatus(0);
        s.converting = false;
        return false;
    };
    table.hooks.splitRun = run;
    table.hooks.joinRun = [&](const QString&) { return run(); };
    table.click(QString::fromLatin1(GetParam()));
    EXPECT_EQ(during, before);
    EXPECT_EQ(status, QStringLiteral("Finish"));
    EXPECT_GT(jobs.spanRowCount(), before); // the shorter pieces, planned after the run
    EXPECT_EQ(jobs.spanStatus(0), QStringLiteral("Unconvert"));
}

INSTANTIATE_TEST_SUITE_P(Runs, SettingsDuringARun, ::testing::Values("Split", "Join"));

TEST_F(CommandTest, JoinWithoutAChooserAsksTheSaveDialog) {
    table.hooks.chooseJoinOutput = nullptr;
    addThreeAndSelectFirst();
    table.click(QStringLiteral("Join")); // cancelled dialog: no run
    EXPECT_TRUE(calls.isEmpty());
    prompt.saveFileAnswers.push_back(QStringLiteral("all"));
    table.click(QStringLiteral("Join"));
    EXPECT_EQ(calls, QStringList{QStringLiteral("join")});
    EXPECT_EQ(QFileInfo(joinedPath),
              QFileInfo(QDir(dir.path()).filePath(QStringLiteral("all.ogg"))));
}

TEST_F(CommandTest, CancelledJoinOpensNoFolder) {
    addThreeAndSelectFirst();
    jobs.setPlayedRow(0);
    joinAnswer.clear();
    calls.clear();
    table.click(QStringLiteral("Join"));
    EXPECT_EQ(calls, (QStringList{QStringLiteral("stopPreview"), QStringLiteral("chooseJoin")}));
    EXPECT_TRUE(prompt.openedUrls.isEmpty());
}

struct PlayCase {
    bool spanListActive;
    SplitMode mode;
    const char* expected;
};

class PlayTest : public CommandTest, public ::testing::WithParamInterface<PlayCase> {};

TEST_P(PlayTest, PlaysSpanOnlyWhenSpanListActiveInHandMarkedModes) {
    jobs.setSpanListActive(GetParam().spanListActive);
    s.settings.splitMode = GetParam().mode;
    table.click(QStringLiteral("play"));
    EXPECT_EQ(calls, QStringList{QString::fromLatin1(GetParam().expected)});
}

INSTANTIATE_TEST_SUITE_P(Modes, PlayTest,
                         ::testing::Values(PlayCase{true, SplitMode::Custom, "spanPreview"},
                                           PlayCase{true, SplitMode::Unification, "spanPreview"},
                                           PlayCase{true, SplitMode::Time, "filePreview"},
                                           PlayCase{true, SplitMode::Count, "filePreview"},
                                           PlayCase{false, SplitMode::Custom, "filePreview"},
                                           PlayCase{false, SplitMode::Unification, "filePreview"}));

TEST_F(CommandTest, RemoveActsOnTheListClickedLast) {
    addThreeAndSelectFirst();
    table.click(QStringLiteral("Ok")); // a confirmed span and a new open one
    ASSERT_EQ(jobs.spanModel().rowCount(), 2);
    jobs.setSelectedSpan(0);
    jobs.selectSpan();
    ASSERT_TRUE(jobs.spanListActive());
    table.click(QStringLiteral("Remove"));
    EXPECT_EQ(jobs.rowCount(), 3) << "a file was removed instead of the span";
    EXPECT_EQ(jobs.file(0).spanCount, 1);

    jobs.selectFile(); // the file list clicked last
    table.click(QStringLiteral("Remove"));
    EXPECT_EQ(jobs.rowCount(), 2);
}

TEST_F(CommandTest, NoHooksStillEndPreviewRunAndSeeking) {
    table.hooks = CommandHooks();
    jobs.setPlayedRow(0);
    s.converting = true;
    table.click(QStringLiteral("Stop"));
    EXPECT_FALSE(jobs.previewing());
    EXPECT_FALSE(s.converting);

    table.onPress(skin.slider);
    table.onRelease(skin.slider);
    // Nothing else may happen without hooks.
    for (const QString& name : CommandTable::commandNames())
        table.click(name);
    EXPECT_TRUE(prompt.messages.isEmpty());
}

// --- the slider -----------------------------------------------------------------------

TEST_F(CommandTest, PressReleaseAndDragCountOnlyOnTheSlider) {
    SkinObject* other = engine.skinForm(&window)->FindObject(QStringLiteral("Split"));
    ASSERT_NE(other, nullptr);
    table.onPress(other);
    table.onSliderTrack(other, 5);
    table.onRelease(other);
    table.onPress(nullptr);
    EXPECT_FALSE(seeking);
    EXPECT_TRUE(calls.isEmpty());

    table.onPress(skin.slider);
    EXPECT_TRUE(seeking);
    table.onSliderTrack(skin.slider, 321);
    table.onRelease(skin.slider);
    EXPECT_EQ(calls,
              (QStringList{QStringLiteral("sliderTrack 321"), QStringLiteral("sliderRelease")}));
    EXPECT_FALSE(seeking);
}

// --- the pop-up menus ---------------------------------------------------------------------

TEST_F(CommandTest, MenuSplitRunsWithoutOpeningTheFolder) {
    table.splitItem(); // empty list: nothing
    EXPECT_TRUE(calls.isEmpty());
    addThreeAndSelectFirst();
    calls.clear();
    table.splitItem();
    EXPECT_EQ(calls, QStringList{QStringLiteral("split")});
    EXPECT_TRUE(prompt.openedUrls.isEmpty());
}

TEST_F(CommandTest, MenuItemsKeepTheirGuardsDuringARun) {
    addThreeAndSelectFirst();
    s.converting = true;
    calls.clear();
    table.addFolderItem();
    table.playItem();
    table.splitItem();
    table.joinItem();
    table.clearItem();
    table.removeItem();
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_EQ(jobs.rowCount(), 3);

    table.tagsItem();
    table.stop();
    EXPECT_EQ(calls, (QStringList{QStringLiteral("tags"), QStringLiteral("stopConversion")}));
}

TEST_F(CommandTest, MenuClearAndRemoveFollowTheActiveList) {
    addThreeAndSelectFirst();
    table.click(QStringLiteral("Ok"));
    jobs.selectSpan();
    table.removeItem(); // refused while the span list is active
    EXPECT_EQ(jobs.rowCount(), 3);
    table.clearItem(); // resets the spans instead of emptying the list
    EXPECT_EQ(jobs.rowCount(), 3);
    EXPECT_EQ(jobs.file(0).spanCount, 1);

    jobs.selectFile();
    table.removeItem();
    EXPECT_EQ(jobs.rowCount(), 2);
    table.clearItem();
    EXPECT_EQ(jobs.rowCount(), 0);
}

TEST_F(CommandTest, HelpMenuOpensPagesAndAbout) {
    table.help();
    table.homePage();
    table.aboutItem();
    table.exitItem();
    ASSERT_EQ(prompt.openedUrls.size(), 2);
    EXPECT_TRUE(prompt.openedUrls.at(0).isLocalFile());
    EXPECT_EQ(prompt.openedUrls.at(1).scheme(), QStringLiteral("https"));
    EXPECT_EQ(calls, (QStringList{QStringLiteral("about"), QStringLiteral("close")}));
}

} // namespace
