// Span planning and marking: the rows each planner builds, the total length,
// the slider-to-time rule and the hand commands Begin, End, Ok, Remove, Clear.
// Records are set up directly so that no audio file is needed.
#include "app/MainState.h"
#include "app/SkinObject.h"
#include "joblist/JobList.h"
#include "joblist/TimeText.h"
#include "support/ScriptedPrompt.h"

#include <gtest/gtest.h>
#include <ostream>

namespace {

struct Span {
    int begin;
    int end;
};

class SpanFixture : public ::testing::Test {
protected:
    MainState state;
    ScriptedPrompt prompt;
    JobList list{state};
    SkinObject pb{QStringLiteral("pb"), SkinObject::Slider, QRect(0, 0, 300, 10)};
    SkinObject timecaption{QStringLiteral("timecaption"), SkinObject::Text, QRect()};
    SkinObject tataltime{QStringLiteral("tataltime"), SkinObject::Text, QRect()};
    SkinObject nm{QStringLiteral("nm"), SkinObject::Text, QRect()};

    void SetUp() override
    {
        state.prompt = &prompt;
        state.pb = &pb;
        state.timecaption = &timecaption;
        state.tataltime = &tataltime;
        state.nm = &nm;
    }

    // A row as the open dialog leaves it: one span over the whole file.
    void addFile(int seconds, const QString& name = QStringLiteral("a.ogg"))
    {
        state.lv.appendRow({new QStandardItem(name), new QStandardItem(FormatTime(seconds))});
        listrecord r;
        r.Path = QStringLiteral("/music/") + name;
        r.Seconds = seconds;
        r.SliderRange = std::max(seconds * 2, JobList::AddFilesFloor);
        r.Samples = std::int64_t(seconds) * 44100;
        r.BeginTimes = {0};
        r.EndTimes = {seconds};
        state.FileList.push_back(r);
        state.TagList.push_back({});
    }

    void clickFile(int row)
    {
        list.selectRow(row);
        list.SelectFile();
        list.RefreshTotal();
    }

    void clickSpan(int row)
    {
        state.lvTimeSelection.setCurrentIndex(state.lv_time.index(row, 0),
                                              QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
        list.SelectSpan();
    }

    // Moves the thumb to the first position that names `seconds` of the file
    // whose spans are edited.
    void slideTo(int seconds)
    {
        const int usable = list.UsableRange();
        for (int p = 0; p <= usable; ++p) {
            state.SliderPosition = p;
            if (list.TimeAtSlider() >= seconds) {
                pb.SetSliderPosition(p);
                return;
            }
        }
        FAIL() << "no slider position for " << seconds << " s";
    }

    // Begin, End and Ok with the slider, as the user does it.
    void markAndConfirm(int begin, int end)
    {
        slideTo(begin);
        list.MarkBegin();
        slideTo(end);
        list.MarkEnd();
        list.ConfirmSpan();
    }

    QString cell(int row, int column) const
    {
        return state.lv_time.data(state.lv_time.index(row, column)).toString();
    }
    QString total() const { return tataltime.text(); }
};

QString spanText(int begin, int end)
{
    return FormatTime(begin) + QStringLiteral(" - ") + FormatTime(end);
}

// --- computed planners --------------------------------------------------------

struct TimeCase {
    int seconds;
    int n;
    int rows;
    Span last;
};

void PrintTo(const TimeCase& c, std::ostream* os)
{
    *os << c.seconds << " s by " << c.n;
}

class PlanTimeTest : public SpanFixture, public ::testing::WithParamInterface<TimeCase> {};

TEST_P(PlanTimeTest, CutsPiecesOfNSeconds)
{
    const TimeCase& c = GetParam();
    state.settings.SplitMode = Time;
    state.settings.SplitSeconds = c.n;
    addFile(c.seconds);
    clickFile(0);

    ASSERT_EQ(state.lv_time.rowCount(), c.rows);
    const int effectiveN = c.n < 1 ? 60 : c.n;
    for (int k = 0; k < c.rows - 1; ++k) {
        EXPECT_EQ(cell(k, 0), spanText(k * effectiveN, (k + 1) * effectiveN)) << "row " << k;
        EXPECT_EQ(cell(k, 2), QStringLiteral("Unconvert"));
    }
    EXPECT_EQ(cell(c.rows - 1, 0), spanText(c.last.begin, c.last.end));
    EXPECT_EQ(cell(c.rows - 1, 1), FormatTime(c.last.end - c.last.begin));
    EXPECT_EQ(total(), FormatTime(c.seconds));
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, PlanTimeTest,
    ::testing::Values(TimeCase{600, 60, 11, {600, 600}}, // a multiple ends with an empty piece
                      TimeCase{601, 60, 11, {600, 601}},
                      TimeCase{45, 60, 1, {0, 45}},      // N beyond the file: the whole file
                      TimeCase{0, 60, 1, {0, 0}},        // no whole second: no division by it
                      TimeCase{130, 0, 3, {120, 130}},   // a hand-edited 0 plans with 60
                      TimeCase{130, -5, 3, {120, 130}},
                      TimeCase{3, 1, 4, {3, 3}}));

struct CountCase {
    int seconds;
    int c;
    int rows;
    int piece;
    QString total;
};

void PrintTo(const CountCase& c, std::ostream* os)
{
    *os << c.seconds << " s in " << c.c;
}

class PlanCountTest : public SpanFixture, public ::testing::WithParamInterface<CountCase> {};

TEST_P(PlanCountTest, CutsEqualPiecesAndLeavesTheRemainder)
{
    const CountCase& c = GetParam();
    state.settings.SplitMode = Count;
    state.settings.SplitCount = c.c;
    addFile(c.seconds);
    clickFile(0);

    ASSERT_EQ(state.lv_time.rowCount(), c.rows);
    for (int k = 0; k < c.rows; ++k) {
        EXPECT_EQ(cell(k, 0), spanText(k * c.piece, (k + 1) * c.piece)) << "row " << k;
        EXPECT_EQ(cell(k, 1), FormatTime(c.piece));
        EXPECT_EQ(cell(k, 2), QStringLiteral("Unconvert"));
    }
    // The total counts whole files, the remainder included.
    EXPECT_EQ(total(), c.total);
}

INSTANTIATE_TEST_SUITE_P(Pieces, PlanCountTest,
                         ::testing::Values(CountCase{100, 6, 6, 16, QStringLiteral("00:01:40")},
                                           CountCase{4, 6, 6, 0, QStringLiteral("00:00:04")},
                                           CountCase{0, 3, 3, 0, QStringLiteral("00:00:00")},
                                           CountCase{100, 0, 1, 100, QStringLiteral("00:01:40")},
                                           CountCase{100, -2, 1, 100, QStringLiteral("00:01:40")}));

TEST_F(SpanFixture, CountLastPieceEndsBeforeTheRemainder)
{
    state.settings.SplitMode = Count;
    state.settings.SplitCount = 6;
    addFile(100);
    clickFile(0);
    EXPECT_EQ(cell(5, 0), QStringLiteral("00:01:20 - 00:01:36"));
}

TEST_F(SpanFixture, TotalOfComputedModesSumsWholeFiles)
{
    state.settings.SplitMode = Time;
    addFile(100);
    addFile(3725);
    addFile(0);
    clickFile(1);
    EXPECT_EQ(total(), FormatTime(3825));
    state.settings.SplitMode = Count;
    list.RefreshTotal();
    EXPECT_EQ(total(), FormatTime(3825));
}

// --- slider -------------------------------------------------------------------

struct SliderCase {
    int sliderRange;
    int page;
    int usable;
};

void PrintTo(const SliderCase& c, std::ostream* os)
{
    *os << "range " << c.sliderRange;
}

class SliderRangeTest : public SpanFixture, public ::testing::WithParamInterface<SliderCase> {};

TEST_P(SliderRangeTest, PageIsAFraction52Of1100)
{
    const SliderCase& c = GetParam();
    addFile(100);
    state.FileList[0].SliderRange = c.sliderRange;
    clickFile(0);
    EXPECT_EQ(pb.GetSliderMax(), c.sliderRange);
    EXPECT_EQ(pb.GetSliderPage(), c.page);
    EXPECT_EQ(list.UsableRange(), c.usable);
}

INSTANTIATE_TEST_SUITE_P(Floors, SliderRangeTest,
                         ::testing::Values(SliderCase{1084, 51, 1033}, SliderCase{1014, 48, 966},
                                           SliderCase{7450, 352, 7098}));

TEST_F(SpanFixture, SliderEndsAtTheFilesSecondsAndStartsAtZero)
{
    addFile(3725);
    clickFile(0);
    state.SliderPosition = list.UsableRange();
    EXPECT_EQ(list.TimeAtSlider(), 3725);
    state.SliderPosition = 0;
    EXPECT_EQ(list.TimeAtSlider(), 0);
    list.PlanCustom();
    EXPECT_EQ(timecaption.text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(state.PositionText, QStringLiteral("00:00:00"));
}

TEST_F(SpanFixture, SliderPastItsUsableRangeStaysInsideTheFile)
{
    addFile(100);
    clickFile(0);
    state.SliderPosition = pb.GetSliderMax();
    EXPECT_EQ(list.TimeAtSlider(), 100);
}

TEST_F(SpanFixture, ZeroSecondFileMarksWithoutDividing)
{
    addFile(0);
    clickFile(0);
    pb.SetSliderPosition(500);
    list.MarkEnd();
    list.MarkBegin();
    list.ConfirmSpan();
    EXPECT_EQ(state.lv_time.rowCount(), 2);
    EXPECT_EQ(cell(0, 0), spanText(0, 0));
    EXPECT_EQ(total(), QStringLiteral("00:00:00"));
}

TEST_F(SpanFixture, WithoutASliderTheTimeIsZero)
{
    state.pb = nullptr;
    state.timecaption = nullptr;
    addFile(100);
    clickFile(0);
    EXPECT_EQ(list.UsableRange(), 0);
    EXPECT_EQ(list.TimeAtSlider(), 0);
    EXPECT_EQ(state.lv_time.rowCount(), 1);
}

// --- custom marking -----------------------------------------------------------

TEST_F(SpanFixture, FreshFileHasOneOpenSpanThatCounts)
{
    addFile(125);
    clickFile(0);
    ASSERT_EQ(state.lv_time.rowCount(), 1);
    EXPECT_EQ(cell(0, 0), spanText(0, 125));
    EXPECT_EQ(cell(0, 1), FormatTime(125));
    EXPECT_EQ(cell(0, 2), QStringLiteral("Uncertain"));
    EXPECT_EQ(total(), FormatTime(125));
    EXPECT_EQ(nm.text(), QStringLiteral("/music/a.ogg"));
    EXPECT_FALSE(state.instructionsVisible);
}

TEST_F(SpanFixture, ConfirmOpensANewSpanAndCountsOnlyConfirmed)
{
    addFile(300);
    clickFile(0);
    markAndConfirm(20, 80);

    ASSERT_EQ(state.lv_time.rowCount(), 2);
    EXPECT_EQ(cell(0, 0), spanText(20, 80));
    EXPECT_EQ(cell(0, 1), FormatTime(60));
    EXPECT_EQ(cell(0, 2), QStringLiteral("Ok"));
    EXPECT_EQ(cell(1, 0), spanText(0, 300));
    EXPECT_EQ(cell(1, 2), QStringLiteral("Uncertain"));
    EXPECT_EQ(total(), FormatTime(60));

    const listrecord& r = state.FileList[0];
    EXPECT_EQ(r.SpanCount, 2);
    EXPECT_EQ(r.BeginTimes, (std::vector<std::int32_t>{20, 0}));
    EXPECT_EQ(r.EndTimes, (std::vector<std::int32_t>{80, 300}));

    // Rebuilt rows call every confirmed span "OK".
    clickFile(0);
    EXPECT_EQ(cell(0, 2), QStringLiteral("OK"));
    EXPECT_EQ(cell(1, 2), QStringLiteral("Uncertain"));
}

TEST_F(SpanFixture, MarkingAlwaysEditsTheOpenSpan)
{
    addFile(300);
    clickFile(0);
    markAndConfirm(10, 20);
    clickSpan(0);
    slideTo(150);
    list.MarkBegin();
    EXPECT_EQ(cell(0, 0), spanText(10, 20));
    EXPECT_EQ(cell(1, 0), spanText(150, 300));
    EXPECT_EQ(state.FileList[0].BeginTimes[1], 150);
}

TEST_F(SpanFixture, EndBeforeBeginIsShownEmptyAndRefusedByOk)
{
    addFile(300);
    clickFile(0);
    slideTo(200);
    list.MarkBegin();
    slideTo(100);
    list.MarkEnd();
    EXPECT_EQ(cell(0, 0), spanText(200, 100));
    EXPECT_EQ(cell(0, 1), QStringLiteral("00:00:00"));
    EXPECT_EQ(total(), QStringLiteral("00:00:00"));

    list.ConfirmSpan();
    EXPECT_EQ(prompt.messages,
              QStringList{QStringLiteral("Start-time must not be larger than end-time.")});
    EXPECT_EQ(state.lv_time.rowCount(), 1);
    EXPECT_EQ(state.FileList[0].SpanCount, 1);
    EXPECT_EQ(cell(0, 2), QStringLiteral("Uncertain"));
}

TEST_F(SpanFixture, ZeroLengthSpanIsAccepted)
{
    addFile(300);
    clickFile(0);
    markAndConfirm(40, 40);
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_EQ(state.FileList[0].SpanCount, 2);
}

class ComputedModeTest : public SpanFixture, public ::testing::WithParamInterface<int> {};

TEST_P(ComputedModeTest, HandCommandsAreRefusedWithTheModeMessage)
{
    state.settings.SplitMode = GetParam();
    addFile(300);
    clickFile(0);
    const int rows = state.lv_time.rowCount();
    list.MarkBegin();
    list.MarkEnd();
    list.ConfirmSpan();
    const QString text = QStringLiteral(
        "Only chose \"Custom\" or \"unification\" function, this button is usable.");
    EXPECT_EQ(prompt.messages, (QStringList{text, text, text}));
    // Remove has no message in these modes and changes nothing.
    clickSpan(0);
    list.RemoveSpan();
    EXPECT_EQ(prompt.messages.size(), 3);
    EXPECT_EQ(state.lv_time.rowCount(), rows);
    EXPECT_EQ(state.FileList[0].SpanCount, 1);
}

INSTANTIATE_TEST_SUITE_P(Modes, ComputedModeTest, ::testing::Values(int(Time), int(Count)));

TEST_F(SpanFixture, CommandsWithoutASelectedFileDoNothing)
{
    addFile(300);
    list.MarkBegin();
    list.MarkEnd();
    list.ConfirmSpan();
    list.RemoveSpan();
    list.ResetSpans();
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_EQ(state.lv_time.rowCount(), 0);
    EXPECT_EQ(state.FileList[0].SpanCount, 1);
}

// --- removing spans -----------------------------------------------------------

TEST_F(SpanFixture, OpenSpanCannotBeRemoved)
{
    addFile(300);
    clickFile(0);
    markAndConfirm(10, 20);
    clickSpan(1);
    list.RemoveSpan();
    EXPECT_EQ(prompt.messages,
              QStringList{QStringLiteral(
                  "This item, the procedure will automatically process. Need not delete.")});
    EXPECT_EQ(state.lv_time.rowCount(), 2);
    EXPECT_EQ(state.FileList[0].SpanCount, 2);
}

TEST_F(SpanFixture, OpenSpanCannotBeRemovedWhileItPlays)
{
    addFile(300);
    clickFile(0);
    markAndConfirm(10, 20);
    list.setSpanStatus(1, QStringLiteral("Playing"));
    clickSpan(1);
    list.RemoveSpan();
    EXPECT_EQ(prompt.messages.size(), 1);
    EXPECT_EQ(state.FileList[0].SpanCount, 2);
}

struct RemoveCase {
    int removed;
    int selectedAfter;
    Span kept0;
    Span kept1;
};

void PrintTo(const RemoveCase& c, std::ostream* os)
{
    *os << "span row " << c.removed;
}

class RemoveSpanTest : public SpanFixture, public ::testing::WithParamInterface<RemoveCase> {};

TEST_P(RemoveSpanTest, ShiftsSpansAndKeepsTheSelection)
{
    const RemoveCase& c = GetParam();
    addFile(300);
    clickFile(0);
    markAndConfirm(10, 20);
    markAndConfirm(30, 50);
    ASSERT_EQ(state.lv_time.rowCount(), 3);
    clickSpan(c.removed);
    list.RemoveSpan();

    ASSERT_EQ(state.lv_time.rowCount(), 2);
    EXPECT_EQ(list.selectedSpanRow(), c.selectedAfter);
    EXPECT_EQ(state.SelectedSpan, c.selectedAfter);
    const listrecord& r = state.FileList[0];
    EXPECT_EQ(r.SpanCount, 2);
    EXPECT_EQ(r.BeginTimes, (std::vector<std::int32_t>{c.kept0.begin, c.kept1.begin}));
    EXPECT_EQ(r.EndTimes, (std::vector<std::int32_t>{c.kept0.end, c.kept1.end}));
    EXPECT_EQ(cell(0, 0), spanText(c.kept0.begin, c.kept0.end));
    EXPECT_EQ(cell(1, 2), QStringLiteral("Uncertain"));
    EXPECT_EQ(total(), FormatTime(c.kept0.end - c.kept0.begin));
}

INSTANTIATE_TEST_SUITE_P(Rows, RemoveSpanTest,
                         ::testing::Values(RemoveCase{1, 1, {10, 20}, {0, 300}},
                                           RemoveCase{0, 0, {30, 50}, {0, 300}}));

TEST_F(SpanFixture, ResetGoesBackToOneWholeFileSpan)
{
    addFile(300);
    clickFile(0);
    markAndConfirm(10, 20);
    markAndConfirm(30, 50);
    clickSpan(0);
    list.ResetSpans();
    EXPECT_FALSE(state.SpanListActive);
    ASSERT_EQ(state.lv_time.rowCount(), 1);
    EXPECT_EQ(cell(0, 0), spanText(0, 300));
    EXPECT_EQ(cell(0, 2), QStringLiteral("Uncertain"));
    EXPECT_EQ(state.FileList[0].SpanCount, 1);
    EXPECT_EQ(total(), FormatTime(300));
}

// --- span selection -----------------------------------------------------------

TEST_F(SpanFixture, SpanClickActivatesTheSpanListAndFileClickEndsIt)
{
    addFile(300);
    clickFile(0);
    markAndConfirm(10, 20);
    state.SelectedSpan = 7;
    state.lvTimeSelection.clearSelection();
    list.SelectSpan(); // a click on empty space takes the last row
    EXPECT_TRUE(state.SpanListActive);
    EXPECT_EQ(state.SelectedSpan, 1);
    clickFile(0);
    EXPECT_FALSE(state.SpanListActive);
}

TEST_F(SpanFixture, SpanClickOnAnEmptyListChangesNothing)
{
    state.SpanListActive = false;
    list.SelectSpan();
    EXPECT_FALSE(state.SpanListActive);
}

// --- unification --------------------------------------------------------------

TEST_F(SpanFixture, UnificationAppliesTheFirstFilesSpansToEveryFile)
{
    state.settings.SplitMode = Unification;
    addFile(300, QStringLiteral("first.ogg"));
    addFile(220, QStringLiteral("second.ogg"));
    clickFile(0);
    markAndConfirm(0, 200);
    markAndConfirm(250, 300);
    EXPECT_EQ(total(), QStringLiteral("00:07:30"));

    // The second file shows and edits the first file's spans.
    clickFile(1);
    ASSERT_EQ(state.lv_time.rowCount(), 3);
    EXPECT_EQ(cell(1, 0), spanText(250, 300));
    slideTo(100);
    list.MarkBegin();
    EXPECT_EQ(state.FileList[0].BeginTimes[2], 100);
    EXPECT_EQ(state.FileList[1].SpanCount, 1);
    EXPECT_EQ(state.FileList[1].BeginTimes[0], 0);
}

TEST_F(SpanFixture, UnificationWithOnlyTheOpenSpanCountsIt)
{
    state.settings.SplitMode = Unification;
    addFile(300);
    addFile(100);
    clickFile(0);
    slideTo(150);
    list.MarkBegin();
    // 150 s of the first file; the second is shorter than the begin.
    EXPECT_EQ(total(), FormatTime(150));
}

TEST_F(SpanFixture, SwitchingModesKeepsStoredSpans)
{
    addFile(300);
    clickFile(0);
    markAndConfirm(10, 20);
    state.settings.SplitMode = Time;
    clickFile(0);
    EXPECT_EQ(state.lv_time.rowCount(), 6);
    state.settings.SplitMode = Custom;
    clickFile(0);
    ASSERT_EQ(state.lv_time.rowCount(), 2);
    EXPECT_EQ(cell(0, 0), spanText(10, 20));
}

TEST_F(SpanFixture, MarkingAfterAModeSwitchWithoutReplanningUsesTheStoredSpans)
{
    addFile(300);
    state.settings.SplitMode = Time;
    clickFile(0);
    state.settings.SplitMode = Custom; // the rows still show the Time pieces
    slideTo(100);
    list.MarkBegin();
    ASSERT_EQ(state.lv_time.rowCount(), 1);
    EXPECT_EQ(state.FileList[0].BeginTimes, (std::vector<std::int32_t>{100}));
    EXPECT_EQ(cell(0, 0), spanText(100, 300));
}

TEST_F(SpanFixture, SelectionStaysOnTheConvertedOrPreviewedFile)
{
    addFile(100);
    addFile(200);
    addFile(300);
    clickFile(2);
    state.Converting = true;
    list.selectRow(0);
    state.SelectedFile = 2;
    list.SelectFile();
    EXPECT_EQ(list.selectedRow(), 2);
    state.Converting = false;

    state.Previewing = true;
    state.PreviewFile = 1;
    list.selectRow(0);
    list.SelectFile();
    EXPECT_EQ(list.selectedRow(), 1);
}

} // namespace
