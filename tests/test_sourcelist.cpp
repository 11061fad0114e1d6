// The source list: adding (the refusals, and their messages through the open
// dialog), measuring, moving, removing and clearing rows, and the rule that a
// row's caption, path, length and tags always travel together.
#include "audio/NativeName.h"
#include "commands/CommandTable.h"
#include "joblist/TimeText.h"
#include "support/CaseTable.h"
#include "support/JobFixture.h"
#include "synth/Synth.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

namespace {

constexpr int Rate = 8000;

class SourceListTest : public JobFixture {
  protected:
    static inline std::unique_ptr<QTemporaryDir> dir;
    CommandTable table{state, list}; // the open dialog and its messages

    static QString path(const QString& name) { return dir->filePath(name); }

    static void SetUpTestSuite() {
        dir = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(dir->isValid());
        for (int i = 0; i < 13; ++i)
            synth::writeOgg(path(QStringLiteral("f%1.ogg").arg(i)), Rate * (1 + i % 3), Rate, 1);
        synth::writeOgg(path(QStringLiteral("Café – Live.ogg")), Rate * 3, Rate, 1);
        synth::writeOgg(path(QStringLiteral("Кино 東京.ogg")), Rate * 4 + Rate / 2, Rate, 1);
        synth::writeOgg(path(QStringLiteral("short.ogg")), Rate * 9 / 10, Rate, 1);
        synth::writeOgg(path(QStringLiteral("hundred.ogg")), Rate * 100, Rate, 1);
        synth::writeOgg(path(QStringLiteral("long.ogg")), std::int64_t(Rate) * 37254 / 10, Rate, 1);
        QFile broken(path(QStringLiteral("broken.ogg")));
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write("this is no audio at all, only some text that looks like nothing");
    }
    static void TearDownTestSuite() { dir.reset(); }

    void SetUp() override {
        JobFixture::SetUp();
        state.settings.outputDir = QDir::homePath() + QLatin1Char('/');
    }

    void add(const QStringList& names) {
        QStringList paths;
        for (const QString& n : names)
            paths << path(n);
        prompt.openFilesAnswers.push_back(paths);
        table.addFilesFromDialog();
    }

    static QStringList numbered(int from, int count) {
        QStringList names;
        for (int i = from; i < from + count; ++i)
            names << QStringLiteral("f%1.ogg").arg(i);
        return names;
    }

    // Every row shows the caption and the length of the file it names.
    void expectRows(const QStringList& names) {
        ASSERT_EQ(list.fileModel().rowCount(), names.size());
        ASSERT_EQ(list.rowCount(), names.size());
        for (int i = 0; i < names.size(); ++i) {
            EXPECT_EQ(list.caption(i), names[i]) << "row " << i;
            EXPECT_EQ(cellText(list.fileModel(), i, 0), names[i]) << "row " << i;
            EXPECT_EQ(list.file(i).path, path(names[i])) << "row " << i;
            EXPECT_EQ(cellText(list.fileModel(), i, 1), formatTime(list.file(i).seconds));
        }
    }
};

TEST_F(SourceListTest, UnreadableFileBetweenTwoGoodOnesIsLeftOut) {
    add({QStringLiteral("f0.ogg"), QStringLiteral("broken.ogg"),
         QStringLiteral("Café – Live.ogg")});
    expectRows({QStringLiteral("f0.ogg"), QStringLiteral("Café – Live.ogg")});
    EXPECT_EQ(prompt.messages,
              QStringList{QStringLiteral("broken.ogg this File is not supported.")});
    EXPECT_EQ(list.file(1).seconds, 3);
    EXPECT_EQ(list.file(1).samples, Rate * 3);
    EXPECT_EQ(list.selectedRow(), 0);
    EXPECT_EQ(list.selectedFile(), 0);
    EXPECT_EQ(tataltime.text(), formatTime(4));
    EXPECT_FALSE(state.adding);
}

TEST_F(SourceListTest, FileUnderASecondIsRefused) {
    add({QStringLiteral("short.ogg")});
    expectRows({});
    EXPECT_EQ(prompt.messages,
              QStringList{QStringLiteral("short.ogg this File is Error or not supported.")});
    EXPECT_EQ(tataltime.text(), QStringLiteral("00:00:00"));

    add({QStringLiteral("f0.ogg"), QStringLiteral("short.ogg"), QStringLiteral("Кино 東京.ogg")});
    expectRows({QStringLiteral("f0.ogg"), QStringLiteral("Кино 東京.ogg")});
    EXPECT_EQ(list.file(1).seconds, 4);
}

struct LengthCase {
    const char* name;
    int seconds;
    const char* shown;
    int sliderRange;
};

void PrintTo(const LengthCase& c, std::ostream* os) {
    *os << c.name << " -> " << c.seconds << " s";
}

using MeasureTest = testsupport::CaseTable<SourceListTest, LengthCase>;

TEST_P(MeasureTest, SecondsTimeTextAndSliderRange) {
    const LengthCase& c = GetParam();
    add({QString::fromUtf8(c.name)});
    ASSERT_EQ(list.rowCount(), 1);
    const FileRow& r = list.file(0);
    EXPECT_EQ(r.seconds, c.seconds);
    EXPECT_EQ(cellText(list.fileModel(), 0, 1), QString::fromLatin1(c.shown));
    EXPECT_EQ(r.sliderRange, c.sliderRange);
    EXPECT_EQ(r.spanCount, 1);
    EXPECT_EQ(begins(r), std::vector<std::int32_t>{0});
    EXPECT_EQ(ends(r), std::vector<std::int32_t>{c.seconds});
    EXPECT_EQ(list.sliderMax(), c.sliderRange);
    EXPECT_EQ(pb.sliderMax(), c.sliderRange);
}

INSTANTIATE_TEST_SUITE_P(Files, MeasureTest,
                         ::testing::Values(LengthCase{"long.ogg", 3725, "01:02:05", 7450},
                                           LengthCase{"hundred.ogg", 100, "00:01:40", 1084},
                                           LengthCase{"Кино 東京.ogg", 4, "00:00:04", 1084}));

TEST_F(SourceListTest, OpenDialogOffersOggFirstAndStartsInTheOutputFolder) {
    add({});
    EXPECT_EQ(prompt.lastOpenFilters,
              (QStringList{QStringLiteral("OGG Files(*.ogg)"), QStringLiteral("MP3 Files(*.mp3)"),
                           QStringLiteral("WMA Files(*.wma)"), QStringLiteral("All Files(*)")}));
    EXPECT_EQ(prompt.lastOpenDir, state.settings.outputDir);
    // Cancelled: nothing changed.
    expectRows({});
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_EQ(tataltime.text(), QString());

    add({QStringLiteral("f0.ogg")});
    add({});
    EXPECT_EQ(QDir(prompt.lastOpenDir), QDir(dir->path()));
}

struct RemoveCase {
    int rows;
    int removed;
    int selectedAfter;
};

void PrintTo(const RemoveCase& c, std::ostream* os) {
    *os << "row " << c.removed << " of " << c.rows;
}

using RemoveFileTest = testsupport::CaseTable<SourceListTest, RemoveCase>;

TEST_P(RemoveFileTest, SelectsTheRowTheRulesName) {
    const RemoveCase& c = GetParam();
    QStringList names = numbered(0, c.rows);
    add(names);
    list.selectRow(c.removed);
    list.selectFile();
    list.removeFile();

    names.removeAt(c.removed);
    expectRows(names);
    EXPECT_EQ(list.selectedRow(), c.selectedAfter);
    EXPECT_EQ(list.selectedFile(), c.selectedAfter);
    // The span rows and the path label follow the newly selected file.
    EXPECT_EQ(nm.text(), path(names[c.selectedAfter]));
    EXPECT_EQ(list.spanModel().rowCount(), 1);
    std::int64_t total = 0;
    for (const FileRow& r : list.fileModel().rows())
        total += r.seconds;
    EXPECT_EQ(tataltime.text(), formatTime(std::int32_t(total)));
}

INSTANTIATE_TEST_SUITE_P(Rows, RemoveFileTest,
                         ::testing::Values(RemoveCase{3, 2, 0}, RemoveCase{3, 1, 0},
                                           RemoveCase{3, 0, 0}, RemoveCase{5, 1, 1},
                                           RemoveCase{5, 4, 0}, RemoveCase{2, 0, 0}));

TEST_F(SourceListTest, RemovingTheLastFileEmptiesEverything) {
    add({QStringLiteral("f0.ogg")});
    list.removeFile();
    expectRows({});
    EXPECT_EQ(list.spanModel().rowCount(), 0);
    EXPECT_EQ(tataltime.text(), QStringLiteral("00:00:00"));
    list.removeFile(); // nothing selected, nothing happens
    expectRows({});
}

struct MoveCase {
    bool up;
    int from;
    int previewBefore;
    int previewAfter;
    int selectedAfter;
};

void PrintTo(const MoveCase& c, std::ostream* os) {
    *os << (c.up ? "up from " : "down from ") << c.from << ", previewing " << c.previewBefore;
}

using MoveTest = testsupport::CaseTable<SourceListTest, MoveCase>;

TEST_P(MoveTest, RowsArraysAndPreviewMoveTogether) {
    const MoveCase& c = GetParam();
    QStringList names = numbered(0, 3);
    add(names);
    list.file(c.from).tags.title = QStringLiteral("moved");
    list.selectRow(c.from);
    list.setPlayedRow(c.previewBefore);
    c.up ? list.moveFile(-1) : list.moveFile(1);

    if (c.selectedAfter != c.from)
        names.swapItemsAt(c.from, c.selectedAfter);
    expectRows(names);
    EXPECT_EQ(list.selectedRow(), c.selectedAfter);
    EXPECT_EQ(list.selectedFile(), c.selectedAfter);
    EXPECT_EQ(list.file(c.selectedAfter).tags.title, QStringLiteral("moved"));
    EXPECT_EQ(list.playedRow(), c.previewAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, MoveTest,
    ::testing::Values(MoveCase{false, 1, 1, 2, 2}, // the previewed row moves down
                      MoveCase{true, 1, 1, 0, 0},  // and up
                      MoveCase{false, 1, 2, 1, 2}, // the previewed row is pushed aside
                      MoveCase{true, 2, 1, 2, 1},
                      MoveCase{false, 1, 0, 0, 2}, // an unrelated previewed row stays
                      MoveCase{true, 0, 0, 0, 0},  // the edges do nothing
                      MoveCase{false, 2, 2, 2, 2}));

TEST_F(SourceListTest, MovesAndRemovalNeedASelectedRow) {
    add(numbered(0, 3));
    list.fileSelection().clearSelection();
    list.moveFile(-1);
    list.moveFile(1);
    list.removeFile();
    expectRows(numbered(0, 3));
}

TEST_F(SourceListTest, ClearShowsTheInstructionsAndZeroTotal) {
    add(numbered(0, 3));
    EXPECT_FALSE(instructionsVisible);
    list.clearList();
    expectRows({});
    EXPECT_EQ(list.spanModel().rowCount(), 0);
    EXPECT_TRUE(instructionsVisible);
    EXPECT_EQ(tataltime.text(), QStringLiteral("00:00:00"));
    add(numbered(3, 2));
    expectRows(numbered(3, 2));
}

TEST_F(SourceListTest, LaterAddKeepsEarlierRowsAndTheSelection) {
    add(numbered(0, 3));
    list.selectRow(2);
    list.selectFile();
    add({QStringLiteral("broken.ogg"), QStringLiteral("f3.ogg")});
    expectRows(numbered(0, 4));
    EXPECT_EQ(list.selectedRow(), 2);
    EXPECT_EQ(list.selectedFile(), 2);
}

TEST_F(SourceListTest, ListCommandsAreRefusedWhileAddingPumps) {
    add(numbered(0, 2));
    list.selectRow(1);
    int pumps = 0;
    state.pump = [&] {
        ++pumps;
        EXPECT_TRUE(state.adding);
        // A refusal is told once the loop is over, not while it still runs.
        EXPECT_TRUE(prompt.messages.isEmpty()) << "pump " << pumps;
        list.clearList();
        list.removeFile();
        list.moveFile(-1);
        list.moveFile(1);
        list.resetSpans();
        list.markBegin();
        list.confirmSpan();
        prompt.openFilesAnswers.push_front({path(QStringLiteral("f5.ogg"))});
        table.addFilesFromDialog(); // a nested add is refused before its dialog
        EXPECT_EQ(prompt.openFilesAnswers.size(), 1u) << "the nested open dialog was shown";
        prompt.openFilesAnswers.clear();
        const QList<JobList::Refusal> nested = list.addFiles({path(QStringLiteral("f6.ogg"))});
        ASSERT_EQ(nested.size(), 1);
        EXPECT_EQ(nested[0].path, path(QStringLiteral("f6.ogg")));
        EXPECT_TRUE(nested[0].message.isEmpty());
    };
    add({QStringLiteral("f2.ogg"), QStringLiteral("broken.ogg"), QStringLiteral("f3.ogg")});
    EXPECT_EQ(pumps, 3);
    expectRows(numbered(0, 4));
    EXPECT_FALSE(state.adding);
    EXPECT_EQ(list.file(1).spanCount, 1);
    EXPECT_EQ(prompt.messages,
              QStringList{QStringLiteral("broken.ogg this File is not supported.")});
}

TEST_F(SourceListTest, AddFilesReturnsTheRefusalsInOrderAndTellsNobody) {
    const QList<JobList::Refusal> refused =
        list.addFiles({path(QStringLiteral("broken.ogg")), path(QStringLiteral("f0.ogg")),
                       path(QStringLiteral("short.ogg"))});
    expectRows({QStringLiteral("f0.ogg")});
    EXPECT_TRUE(prompt.messages.isEmpty());
    ASSERT_EQ(refused.size(), 2);
    EXPECT_EQ(refused[0].path, path(QStringLiteral("broken.ogg")));
    EXPECT_EQ(refused[0].message, QStringLiteral("broken.ogg this File is not supported."));
    EXPECT_EQ(refused[1].path, path(QStringLiteral("short.ogg")));
    EXPECT_EQ(refused[1].message, QStringLiteral("short.ogg this File is Error or not supported."));
    EXPECT_EQ(list.selectedRow(), 0);
}

TEST_F(SourceListTest, AddFilesTakesTheFloorItIsGiven) {
    EXPECT_TRUE(
        list.addFiles({path(QStringLiteral("hundred.ogg")), path(QStringLiteral("long.ogg"))},
                      JobList::AddFolderFloor)
            .isEmpty());
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.file(0).sliderRange, 1014);
    EXPECT_EQ(list.file(1).sliderRange, 7450); // a long file is above either floor
}

TEST_F(SourceListTest, AddFilesDuringARunRefusesEveryFileSilently) {
    state.converting = true;
    const QList<JobList::Refusal> refused =
        list.addFiles({path(QStringLiteral("f0.ogg")), path(QStringLiteral("f1.ogg"))});
    ASSERT_EQ(refused.size(), 2);
    for (const JobList::Refusal& r : refused)
        EXPECT_TRUE(r.message.isEmpty()) << r.path.toStdString();
    expectRows({});
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(SourceListTest, AddStopsAPlayingPreview) {
    int stops = 0;
    QObject::connect(&list, &JobList::previewStopRequested, [&] {
        ++stops;
        list.setPlayedRow(-1);
    });
    list.setPlayedRow(0);
    add({});
    EXPECT_EQ(stops, 0); // cancelled: nothing changes
    add({QStringLiteral("f0.ogg")});
    EXPECT_EQ(stops, 1);
    expectRows({QStringLiteral("f0.ogg")});
    EXPECT_EQ(list.spanModel().rowCount(), 1);
}

TEST_F(SourceListTest, EveryFileFailingLeavesAnEmptyListWithoutSelection) {
    add({QStringLiteral("broken.ogg"), QStringLiteral("short.ogg"),
         QStringLiteral("does-not-exist.ogg")});
    expectRows({});
    EXPECT_EQ(prompt.messages.size(), 3);
    EXPECT_EQ(prompt.messages[2], QStringLiteral("does-not-exist.ogg this File is not supported."));
    EXPECT_EQ(list.selectedRow(), -1);
    EXPECT_TRUE(instructionsVisible);
}

} // namespace

// --- adding a folder ------------------------------------------------------------------

namespace {

class AddFolderTest : public SourceListTest {
  protected:
    // A folder of Ogg files under other names and kinds, with a subfolder.
    QString makeFolder() {
        const QString folder = path(QStringLiteral("folder"));
        QDir(folder).mkpath(QStringLiteral("sub"));
        for (const char* name : {"short.ogg", "hundred.ogg", "broken.ogg"})
            QFile::copy(path(QLatin1String(name)), folder + QLatin1Char('/') + QLatin1String(name));
        QFile::copy(path(QStringLiteral("f0.ogg")), folder + QStringLiteral("/Song.OGG"));
        QFile::copy(path(QStringLiteral("f1.ogg")), folder + QStringLiteral("/sub/deeper.ogg"));
        QFile notes(folder + QStringLiteral("/notes.txt"));
        EXPECT_TRUE(notes.open(QIODevice::WriteOnly));
        return folder;
    }
};

TEST_F(AddFolderTest, AddsTheFoldersOwnOggFilesAndRefusesOnlyTheUnreadableOne) {
    list.addFiles({path(QStringLiteral("f2.ogg"))});
    const QString folder = makeFolder();
    const QList<JobList::Refusal> refused = list.addFolder(folder);

    ASSERT_EQ(refused.size(), 1);
    EXPECT_EQ(refused.front().message, QStringLiteral("broken.ogg this File is not supported."));
    // The earlier row first, then the folder's in name order: no text file,
    // nothing from the subfolder, the capitalised extension taken.
    ASSERT_EQ(list.rowCount(), 4);
    EXPECT_EQ(list.caption(0), QStringLiteral("f2.ogg"));
    EXPECT_EQ(list.caption(1), QStringLiteral("hundred.ogg"));
    EXPECT_EQ(list.caption(2), QStringLiteral("short.ogg"));
    EXPECT_EQ(list.caption(3), QStringLiteral("Song.OGG"));
    // Under a second is kept when found in a folder; the folder's floor applies.
    EXPECT_EQ(cellText(list.fileModel(), 2, 1), QStringLiteral("00:00:00"));
    EXPECT_EQ(list.file(1).sliderRange, JobList::AddFolderFloor);
    EXPECT_EQ(list.file(0).sliderRange, JobList::AddFilesFloor);
}

TEST_F(AddFolderTest, StopEndsItBetweenTwoFiles) {
    const QString folder = makeFolder();
    int pumps = 0;
    state.pump = [&] {
        if (++pumps == 3)
            list.stopAdding();
    };
    list.addFolder(folder);
    EXPECT_LT(list.rowCount(), 3);
    EXPECT_FALSE(state.adding);
}

// Qt's listing leaves out a name that is not UTF-8 (here a Latin-1 byte):
// the folder's file is added by its bytes and shown with U+FFFD.
TEST_F(AddFolderTest, AddsANameThatIsNotUtf8ByItsBytes) {
    const QString folder = path(QStringLiteral("latin1"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString name = folder + NativeName::fromNative("/caf\xe9.ogg");
    std::filesystem::copy_file(NativeName::toPath(path(QStringLiteral("hundred.ogg"))),
                               NativeName::toPath(name));
    // Qt's removal of the temporary folder would not find the file either.
    const auto remove = qScopeGuard([&] { std::filesystem::remove(NativeName::toPath(name)); });
    EXPECT_TRUE(list.addFolder(folder).isEmpty());
    ASSERT_EQ(list.rowCount(), 1);
    EXPECT_EQ(list.caption(0), QStringLiteral(u"caf\uFFFD.ogg"));
    EXPECT_EQ(NativeName::toNative(list.file(0).path), NativeName::toNative(name));
    EXPECT_EQ(list.file(0).seconds, 100);
}

} // namespace
