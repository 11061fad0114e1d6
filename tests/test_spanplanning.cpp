// Span planning and marking: the rows each planner builds, the total length,
// the slider-to-time rule and the hand commands Begin, End, Ok, Remove, Clear.
// Records are set up directly so that no audio file is needed.
#include "commands/CommandTable.h"
#include "joblist/TimeText.h"
#include "support/CaseTable.h"
#include "support/JobFixture.h"

#include <gtest/gtest.h>
#include <ostream>

namespace {

class SpanFixture : public JobFixture {
  protected:
    void addFile(int seconds, const QString& name = QStringLiteral("a.ogg")) {
        appendFileRow(list, QStringLiteral("/music/") + name, seconds);
    }

    void clickFile(int row) {
        list.selectRow(row);
        list.selectFile();
        list.refreshTotal();
    }

    void clickSpan(int row) {
        list.spanSelection().setCurrentIndex(list.spanModel().index(row, 0),
                                             QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
        list.selectSpan();
    }

    // Moves the thumb to the first position that names `seconds` of the file
    // whose spans are edited.
    void slideTo(int seconds) {
        const int usable = list.usableRange();
        for (int p = 0; p <= usable; ++p) {
            list.setSliderPosition(p);
            if (list.timeAtSlider() >= seconds)
                return;
        }
        FAIL() << "no slider position for " << seconds << " s";
    }

    // Begin, End and Ok with the slider, as the user does it.
    void markAndConfirm(int begin, int end) {
        slideTo(begin);
        list.markBegin();
        slideTo(end);
        list.markEnd();
        list.confirmSpan();
    }

    QString cell(int row, int column) const { return cellText(list.spanModel(), row, column); }
    QString total() const { return tataltime.text(); }
};

QString spanText(int begin, int end) {
    return formatTime(begin) + QStringLiteral(" - ") + formatTime(end);
}

// --- computed planners --------------------------------------------------------

struct PlanCase {
    SplitMode mode;
    int seconds;
    int setting; // SplitSeconds or SplitCount
    int rows;
    Span second; // the second row (or the only one)
    Span last;
};

void PrintTo(const PlanCase& c, std::ostream* os) {
    *os << (c.mode == SplitMode::Time ? "Time " : "Count ") << c.seconds << " s by " << c.setting;
}

using PlanComputedTest = testsupport::CaseTable<SpanFixture, PlanCase>;

TEST_P(PlanComputedTest, RowsAndWholeFileTotal) {
    const PlanCase& c = GetParam();
    state.settings.splitMode = c.mode;
    state.settings.splitSeconds = c.setting;
    state.settings.splitCount = c.setting;
    addFile(c.seconds);
    clickFile(0);

    ASSERT_EQ(list.spanModel().rowCount(), c.rows);
    const int second = c.rows > 1 ? 1 : 0;
    EXPECT_EQ(cell(second, 0), spanText(c.second.begin, c.second.end));
    EXPECT_EQ(cell(c.rows - 1, 0), spanText(c.last.begin, c.last.end));
    EXPECT_EQ(cell(c.rows - 1, 1), formatTime(c.last.end - c.last.begin));
    for (int k = 0; k < c.rows; ++k)
        EXPECT_EQ(cell(k, 2), QStringLiteral("Unconvert"));
    // Whole durations: the last piece of a count takes what the division leaves.
    EXPECT_EQ(total(), formatTime(c.seconds));
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, PlanComputedTest,
    ::testing::Values(
        PlanCase{SplitMode::Time, 600, 60, 11, {60, 120}, {600, 600}}, // ends with an empty piece
        PlanCase{SplitMode::Time, 601, 60, 11, {60, 120}, {600, 601}},
        PlanCase{SplitMode::Time, 45, 60, 1, {0, 45}, {0, 45}}, // N beyond the file
        PlanCase{SplitMode::Time, 0, 60, 1, {0, 0}, {0, 0}},
        PlanCase{SplitMode::Time, 130, 0, 3, {60, 120}, {120, 130}}, // hand-edited: 60
        PlanCase{SplitMode::Time, 130, -5, 3, {60, 120}, {120, 130}},
        PlanCase{SplitMode::Count, 100, 6, 6, {16, 32}, {80, 100}}, // the last takes the rest
        PlanCase{SplitMode::Count, 7, 3, 3, {2, 4}, {4, 7}},
        PlanCase{SplitMode::Count, 4, 6, 6, {0, 0}, {0, 4}}, // only the last is not empty
        PlanCase{SplitMode::Count, 0, 3, 3, {0, 0}, {0, 0}},
        PlanCase{SplitMode::Count, 100, 0, 1, {0, 100}, {0, 100}}, // hand-edited: 1
        PlanCase{SplitMode::Count, 100, -2, 1, {0, 100}, {0, 100}}));

// A plan over the piece limit is left unbuilt, however many rows it asks for.
using PlanLimitTest = testsupport::CaseTable<SpanFixture, PlanCase>;

TEST_P(PlanLimitTest, BuildsNoRowsPastTheLimit) {
    const PlanCase& c = GetParam();
    state.settings.splitMode = c.mode;
    state.settings.splitSeconds = state.settings.splitCount = c.setting;
    addFile(c.seconds);
    clickFile(0);
    EXPECT_EQ(list.spanModel().rowCount(), c.rows);
    EXPECT_EQ(total(), formatTime(c.seconds));
}

INSTANTIATE_TEST_SUITE_P(Limit, PlanLimitTest,
                         ::testing::Values(PlanCase{SplitMode::Count, 100, 100000, 100000, {}, {}},
                                           PlanCase{SplitMode::Count, 100, 10000000, 0, {}, {}},
                                           PlanCase{SplitMode::Time, 2000000, 1, 0, {}, {}}));

TEST_F(SpanFixture, TotalOfComputedModesSumsWholeFiles) {
    state.settings.splitMode = SplitMode::Count;
    addFile(100);
    addFile(3725);
    addFile(0);
    clickFile(1);
    EXPECT_EQ(total(), formatTime(3825));
}

// --- slider -------------------------------------------------------------------

struct SliderCase {
    int sliderRange;
    int page;
    int usable;
};

void PrintTo(const SliderCase& c, std::ostream* os) {
    *os << "range " << c.sliderRange;
}

using SliderRangeTest = testsupport::CaseTable<SpanFixture, SliderCase>;

TEST_P(SliderRangeTest, PageAndTimeAtTheEnds) {
    const SliderCase& c = GetParam();
    addFile(3725);
    list.file(0).sliderRange = c.sliderRange;
    clickFile(0);
    EXPECT_EQ(list.sliderMax(), c.sliderRange);
    EXPECT_EQ(list.sliderPage(), c.page);
    EXPECT_EQ(pb.sliderMax(), c.sliderRange);
    EXPECT_EQ(pb.sliderPage(), c.page);
    EXPECT_EQ(list.usableRange(), c.usable);

    list.setSliderPosition(c.usable);
    EXPECT_EQ(list.timeAtSlider(), 3725);
    // The skin's thumb reaches the maximum; the time stays inside the file.
    list.setSliderPosition(c.sliderRange);
    EXPECT_EQ(list.timeAtSlider(), 3725);
    list.setSliderPosition(0);
    list.planCustom();
    EXPECT_EQ(timecaption.text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(list.positionText(), QStringLiteral("00:00:00"));
}

INSTANTIATE_TEST_SUITE_P(Floors, SliderRangeTest,
                         ::testing::Values(SliderCase{1084, 51, 1033}, SliderCase{1014, 48, 966},
                                           SliderCase{7450, 352, 7098}));

TEST_F(SpanFixture, ZeroSecondFileMarksWithoutDividing) {
    addFile(0);
    clickFile(0);
    list.setSliderPosition(500);
    list.markEnd();
    list.markBegin();
    list.confirmSpan();
    EXPECT_EQ(list.spanModel().rowCount(), 2);
    EXPECT_EQ(cell(0, 0), spanText(0, 0));
    EXPECT_EQ(total(), QStringLiteral("00:00:00"));
}

TEST_F(SpanFixture, WithoutASelectedFileTheTimeIsZero) {
    addFile(100);
    list.setSliderPosition(500);
    EXPECT_EQ(list.timeAtSlider(), 0);
    clickFile(0);
    EXPECT_EQ(list.spanModel().rowCount(), 1);
    EXPECT_GT(list.timeAtSlider(), 0);
}

// A skin without a slider leaves Begin and End on the list's own position; with
// one they take the thumb's.
TEST_F(SpanFixture, BeginTakesTheSkinSlidersPositionWhenThereIsOne) {
    CommandTable table{state, list};
    JobList bare{state}; // reaches no skin object at all
    appendFileRow(bare, QStringLiteral("/music/a.ogg"), 100);
    bare.selectRow(0);
    bare.selectFile();
    bare.setSliderPosition(bare.usableRange() / 2);
    CommandTable bareTable{state, bare};
    bareTable.click(QStringLiteral("Begin"));
    EXPECT_EQ(bare.file(0).spans.back().begin, 50);

    addFile(100);
    clickFile(0);
    table.slider = &pb;
    pb.setSliderPosition(list.usableRange() / 4);
    list.setSliderPosition(list.usableRange() / 2);
    table.click(QStringLiteral("Begin"));
    EXPECT_EQ(list.file(0).spans.back().begin, 25);
    EXPECT_EQ(list.sliderPosition(), pb.sliderPosition());
}

// --- custom marking -----------------------------------------------------------

TEST_F(SpanFixture, ConfirmOpensANewSpanAndCountsOnlyConfirmed) {
    addFile(300);
    clickFile(0);
    ASSERT_EQ(list.spanModel().rowCount(), 1);
    EXPECT_EQ(cell(0, 0), spanText(0, 300));
    EXPECT_EQ(cell(0, 2), QStringLiteral("Uncertain"));
    EXPECT_EQ(total(), formatTime(300)); // the open span alone counts
    EXPECT_EQ(nm.text(), QStringLiteral("/music/a.ogg"));
    EXPECT_FALSE(instructionsVisible);

    markAndConfirm(20, 80);
    ASSERT_EQ(list.spanModel().rowCount(), 2);
    EXPECT_EQ(cell(0, 0), spanText(20, 80));
    EXPECT_EQ(cell(0, 1), formatTime(60));
    EXPECT_EQ(cell(0, 2), QStringLiteral("Ok"));
    EXPECT_EQ(cell(1, 0), spanText(0, 300));
    EXPECT_EQ(cell(1, 2), QStringLiteral("Uncertain"));
    EXPECT_EQ(total(), formatTime(60));
    const FileRow& r = list.file(0);
    EXPECT_EQ(r.spanCount, 2);
    EXPECT_EQ(begins(r), (std::vector<std::int32_t>{20, 0}));
    EXPECT_EQ(ends(r), (std::vector<std::int32_t>{80, 300}));

    // Marking edits the open span whichever row is selected.
    clickSpan(0);
    slideTo(150);
    list.markBegin();
    EXPECT_EQ(cell(0, 0), spanText(20, 80));
    EXPECT_EQ(cell(1, 0), spanText(150, 300));

    // Rebuilt rows call every confirmed span "OK".
    clickFile(0);
    EXPECT_EQ(cell(0, 2), QStringLiteral("OK"));
    EXPECT_EQ(cell(1, 2), QStringLiteral("Uncertain"));
}

TEST_F(SpanFixture, EndBeforeBeginIsShownEmptyAndRefusedByOk) {
    addFile(300);
    clickFile(0);
    slideTo(200);
    list.markBegin();
    slideTo(100);
    list.markEnd();
    EXPECT_EQ(cell(0, 0), spanText(200, 100));
    EXPECT_EQ(cell(0, 1), QStringLiteral("00:00:00"));
    EXPECT_EQ(total(), QStringLiteral("00:00:00"));

    list.confirmSpan();
    EXPECT_EQ(prompt.messages,
              QStringList{QStringLiteral("Start-time must not be larger than end-time.")});
    EXPECT_EQ(list.spanModel().rowCount(), 1);
    EXPECT_EQ(list.file(0).spanCount, 1);

    // A span of length 0 is accepted.
    list.markBegin();
    list.confirmSpan();
    EXPECT_EQ(prompt.messages.size(), 1);
    EXPECT_EQ(list.file(0).spanCount, 2);
}

using ComputedModeTest = testsupport::CaseTable<SpanFixture, SplitMode>;

TEST_P(ComputedModeTest, HandCommandsAreRefusedWithTheModeMessage) {
    state.settings.splitMode = GetParam();
    addFile(300);
    clickFile(0);
    const int rows = list.spanModel().rowCount();
    list.markBegin();
    list.markEnd();
    list.confirmSpan();
    const QString text =
        QStringLiteral("Only chose \"Custom\" or \"unification\" function, this button is usable.");
    EXPECT_EQ(prompt.messages, (QStringList{text, text, text}));
    // Remove has no message in these modes and changes nothing.
    clickSpan(0);
    list.removeSelectedSpan();
    EXPECT_EQ(prompt.messages.size(), 3);
    EXPECT_EQ(list.spanModel().rowCount(), rows);
    EXPECT_EQ(list.file(0).spanCount, 1);
}

INSTANTIATE_TEST_SUITE_P(Modes, ComputedModeTest,
                         ::testing::Values(SplitMode::Time, SplitMode::Count));

TEST_F(SpanFixture, CommandsWithoutASelectedFileDoNothing) {
    addFile(300);
    list.markBegin();
    list.markEnd();
    list.confirmSpan();
    list.removeSelectedSpan();
    list.resetSpans();
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_EQ(list.spanModel().rowCount(), 0);
    EXPECT_EQ(list.file(0).spanCount, 1);
}

// --- removing spans -----------------------------------------------------------

using OpenSpanTest = testsupport::CaseTable<SpanFixture, const char*>;

TEST_P(OpenSpanTest, CannotBeRemoved) {
    addFile(300);
    clickFile(0);
    markAndConfirm(10, 20);
    // A preview writes its own status over the open span's.
    if (GetParam())
        list.setSpanStatus(1, QString::fromLatin1(GetParam()));
    clickSpan(1);
    list.removeSelectedSpan();
    EXPECT_EQ(prompt.messages,
              QStringList{QStringLiteral(
                  "This item, the procedure will automatically process. Need not delete.")});
    EXPECT_EQ(list.spanModel().rowCount(), 2);
    EXPECT_EQ(list.file(0).spanCount, 2);
}

INSTANTIATE_TEST_SUITE_P(Statuses, OpenSpanTest, ::testing::Values(nullptr, "Playing"));

struct RemoveCase {
    int removed;
    int selectedAfter;
    Span kept0;
};

void PrintTo(const RemoveCase& c, std::ostream* os) {
    *os << "span row " << c.removed;
}

using RemoveSpanTest = testsupport::CaseTable<SpanFixture, RemoveCase>;

TEST_P(RemoveSpanTest, ShiftsSpansAndKeepsTheSelection) {
    const RemoveCase& c = GetParam();
    addFile(300);
    clickFile(0);
    markAndConfirm(10, 20);
    markAndConfirm(30, 50);
    ASSERT_EQ(list.spanModel().rowCount(), 3);
    clickSpan(c.removed);
    list.removeSelectedSpan();

    ASSERT_EQ(list.spanModel().rowCount(), 2);
    EXPECT_EQ(list.selectedSpanRow(), c.selectedAfter);
    EXPECT_EQ(list.selectedSpan(), c.selectedAfter);
    const FileRow& r = list.file(0);
    EXPECT_EQ(r.spanCount, 2);
    EXPECT_EQ(begins(r), (std::vector<std::int32_t>{c.kept0.begin, 0}));
    EXPECT_EQ(ends(r), (std::vector<std::int32_t>{c.kept0.end, 300}));
    EXPECT_EQ(cell(0, 0), spanText(c.kept0.begin, c.kept0.end));
    EXPECT_EQ(cell(1, 2), QStringLiteral("Uncertain"));
    EXPECT_EQ(total(), formatTime(c.kept0.end - c.kept0.begin));
}

INSTANTIATE_TEST_SUITE_P(Rows, RemoveSpanTest,
                         ::testing::Values(RemoveCase{1, 1, {10, 20}}, RemoveCase{0, 0, {30, 50}}));

TEST_F(SpanFixture, ResetGoesBackToOneWholeFileSpan) {
    addFile(300);
    clickFile(0);
    markAndConfirm(10, 20);
    markAndConfirm(30, 50);
    clickSpan(0);
    list.resetSpans();
    EXPECT_FALSE(list.spanListActive());
    ASSERT_EQ(list.spanModel().rowCount(), 1);
    EXPECT_EQ(cell(0, 0), spanText(0, 300));
    EXPECT_EQ(cell(0, 2), QStringLiteral("Uncertain"));
    EXPECT_EQ(list.file(0).spanCount, 1);
    EXPECT_EQ(total(), formatTime(300));
}

// --- selection ----------------------------------------------------------------

TEST_F(SpanFixture, SpanClickActivatesTheSpanListAndFileClickEndsIt) {
    list.selectSpan(); // an empty span list: nothing happens
    EXPECT_FALSE(list.spanListActive());
    addFile(300);
    clickFile(0);
    markAndConfirm(10, 20);
    list.setSelectedSpan(7);
    list.spanSelection().clearSelection();
    list.selectSpan(); // a click on empty space takes the last row
    EXPECT_TRUE(list.spanListActive());
    EXPECT_EQ(list.selectedSpan(), 1);
    clickFile(0);
    EXPECT_FALSE(list.spanListActive());
}

TEST_F(SpanFixture, SelectionStaysOnTheConvertedOrPreviewedFile) {
    addFile(100);
    addFile(200);
    addFile(300);
    clickFile(2);
    state.converting = true;
    // A click moves the view's selection only; the job list takes it back.
    list.fileSelection().select(list.fileModel().index(0, 0),
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list.selectFile();
    EXPECT_EQ(list.selectedRow(), 2);
    state.converting = false;

    list.setPlayedRow(1);
    list.selectRow(0);
    list.selectFile();
    EXPECT_EQ(list.selectedRow(), 1);
}

// --- unification and mode switches --------------------------------------------

TEST_F(SpanFixture, UnificationAppliesTheFirstFilesSpansToEveryFile) {
    state.settings.splitMode = SplitMode::Unification;
    addFile(300, QStringLiteral("first.ogg"));
    addFile(220, QStringLiteral("second.ogg"));
    clickFile(0);
    slideTo(250);
    list.markBegin();
    // Only the open span: 50 s of the first file, the second ends before it.
    EXPECT_EQ(total(), formatTime(50));
    markAndConfirm(0, 200);
    markAndConfirm(250, 300);
    EXPECT_EQ(total(), QStringLiteral("00:07:30"));

    // The second file shows and edits the first file's spans.
    clickFile(1);
    ASSERT_EQ(list.spanModel().rowCount(), 3);
    EXPECT_EQ(cell(1, 0), spanText(250, 300));
    slideTo(100);
    list.markBegin();
    EXPECT_EQ(list.file(0).spans[2].begin, 100);
    EXPECT_EQ(list.file(1).spanCount, 1);
    EXPECT_EQ(list.file(1).spans[0].begin, 0);
}

TEST_F(SpanFixture, SwitchingModesKeepsStoredSpans) {
    addFile(300);
    clickFile(0);
    markAndConfirm(10, 20);
    state.settings.splitMode = SplitMode::Time;
    clickFile(0);
    EXPECT_EQ(list.spanModel().rowCount(), 6);
    state.settings.splitMode = SplitMode::Custom; // the rows still show the SplitMode::Time pieces
    slideTo(100);
    list.markBegin();
    ASSERT_EQ(list.spanModel().rowCount(), 2);
    EXPECT_EQ(cell(0, 0), spanText(10, 20));
    EXPECT_EQ(cell(1, 0), spanText(100, 300));
    EXPECT_EQ(begins(list.file(0)), (std::vector<std::int32_t>{10, 100}));
}

// Unification shows and counts the first file's spans, so a move into or out of
// row 0 plans the span rows and the total again.
struct UnifiedMoveCase {
    int from;
    int step;
    int rows;
    Span first;
    int total;
};

void PrintTo(const UnifiedMoveCase& c, std::ostream* os) {
    *os << "row " << c.from << (c.step < 0 ? " up" : " down");
}

using UnifiedMoveTest = testsupport::CaseTable<SpanFixture, UnifiedMoveCase>;

TEST_P(UnifiedMoveTest, FollowsTheFileInRowZero) {
    const UnifiedMoveCase& c = GetParam();
    state.settings.splitMode = SplitMode::Unification;
    addFile(300, QStringLiteral("first.ogg"));
    addFile(220, QStringLiteral("second.ogg"));
    addFile(100, QStringLiteral("third.ogg"));
    clickFile(0);
    markAndConfirm(0, 200);
    markAndConfirm(250, 300);
    // 200 + 50 of the first, 200 of the second, 100 of the third.
    ASSERT_EQ(total(), formatTime(550));
    clickFile(c.from);
    ASSERT_EQ(list.spanModel().rowCount(), 3);

    list.moveFile(c.step);
    ASSERT_EQ(list.spanModel().rowCount(), c.rows);
    EXPECT_EQ(cell(0, 0), spanText(c.first.begin, c.first.end));
    EXPECT_EQ(cell(c.rows - 1, 2), QStringLiteral("Uncertain"));
    EXPECT_EQ(total(), formatTime(c.total));
}

INSTANTIATE_TEST_SUITE_P(
    Moves, UnifiedMoveTest,
    ::testing::Values(
        // The second file's one whole span, cut to each file's length: 220 + 220 + 100.
        UnifiedMoveCase{1, -1, 1, {0, 220}, 540}, UnifiedMoveCase{0, 1, 1, {0, 220}, 540},
        // Row 0 keeps its file: nothing to plan again.
        UnifiedMoveCase{1, 1, 3, {0, 200}, 550}, UnifiedMoveCase{2, -1, 3, {0, 200}, 550}));

} // namespace
