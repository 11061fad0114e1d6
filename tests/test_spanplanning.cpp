// Span planning and marking: the rows each planner builds, the total length,
// the slider-to-time rule and the hand commands Begin, End, Ok, Remove, Clear.
// Records are set up directly so that no audio file is needed.
#include "joblist/TimeText.h"
#include "support/JobFixture.h"

#include <gtest/gtest.h>
#include <ostream>

namespace {

struct Span {
    int begin;
    int end;
};

class SpanFixture : public JobFixture {
  protected:
    void addFile(int seconds, const QString& name = QStringLiteral("a.ogg")) {
        appendFileRow(state, QStringLiteral("/music/") + name, seconds);
    }

    void clickFile(int row) {
        list.selectRow(row);
        list.SelectFile();
        list.RefreshTotal();
    }

    void clickSpan(int row) {
        state.lvTimeSelection.setCurrentIndex(state.lv_time.index(row, 0),
                                              QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
        list.SelectSpan();
    }

    // Moves the thumb to the first position that names `seconds` of the file
    // whose spans are edited.
    void slideTo(int seconds) {
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
    void markAndConfirm(int begin, int end) {
        slideTo(begin);
        list.MarkBegin();
        slideTo(end);
        list.MarkEnd();
        list.ConfirmSpan();
    }

    QString cell(int row, int column) const {
        return state.lv_time.data(state.lv_time.index(row, column)).toString();
    }
    QString total() const { return tataltime.text(); }
};

QString spanText(int begin, int end) {
    return FormatTime(begin) + QStringLiteral(" - ") + FormatTime(end);
}

// --- computed planners --------------------------------------------------------

struct PlanCase {
    int mode;
    int seconds;
    int setting; // SplitSeconds or SplitCount
    int rows;
    Span second; // the second row (or the only one)
    Span last;
};

void PrintTo(const PlanCase& c, std::ostream* os) {
    *os << (c.mode == Time ? "Time " : "Count ") << c.seconds << " s by " << c.setting;
}

class PlanComputedTest : public SpanFixture, public ::testing::WithParamInterface<PlanCase> {};

TEST_P(PlanComputedTest, RowsAndWholeFileTotal) {
    const PlanCase& c = GetParam();
    state.settings.SplitMode = c.mode;
    state.settings.SplitSeconds = c.setting;
    state.settings.SplitCount = c.setting;
    addFile(c.seconds);
    clickFile(0);

    ASSERT_EQ(state.lv_time.rowCount(), c.rows);
    const int second = c.rows > 1 ? 1 : 0;
    EXPECT_EQ(cell(second, 0), spanText(c.second.begin, c.second.end));
    EXPECT_EQ(cell(c.rows - 1, 0), spanText(c.last.begin, c.last.end));
    EXPECT_EQ(cell(c.rows - 1, 1), FormatTime(c.last.end - c.last.begin));
    for (int k = 0; k < c.rows; ++k)
        EXPECT_EQ(cell(k, 2), QStringLiteral("Unconvert"));
    // Whole durations, also where Count leaves a remainder out.
    EXPECT_EQ(total(), FormatTime(c.seconds));
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, PlanComputedTest,
    ::testing::Values(
        PlanCase{Time, 600, 60, 11, {60, 120}, {600, 600}}, // ends with an empty piece
        PlanCase{Time, 601, 60, 11, {60, 120}, {600, 601}},
        PlanCase{Time, 45, 60, 1, {0, 45}, {0, 45}}, // N beyond the file
        PlanCase{Time, 0, 60, 1, {0, 0}, {0, 0}},
        PlanCase{Time, 130, 0, 3, {60, 120}, {120, 130}}, // hand-edited: 60
        PlanCase{Time, 130, -5, 3, {60, 120}, {120, 130}},
        PlanCase{Count, 100, 6, 6, {16, 32}, {80, 96}}, // remainder left out
        PlanCase{Count, 4, 6, 6, {0, 0}, {0, 0}}, PlanCase{Count, 0, 3, 3, {0, 0}, {0, 0}},
        PlanCase{Count, 100, 0, 1, {0, 100}, {0, 100}}, // hand-edited: 1
        PlanCase{Count, 100, -2, 1, {0, 100}, {0, 100}}));

TEST_F(SpanFixture, TotalOfComputedModesSumsWholeFiles) {
    state.settings.SplitMode = Count;
    addFile(100);
    addFile(3725);
    addFile(0);
    clickFile(1);
    EXPECT_EQ(total(), FormatTime(3825));
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

class SliderRangeTest : public SpanFixture, public ::testing::WithParamInterface<SliderCase> {};

TEST_P(SliderRangeTest, PageAndTimeAtTheEnds) {
    const SliderCase& c = GetParam();
    addFile(3725);
    state.FileList[0].SliderRange = c.sliderRange;
    clickFile(0);
    EXPECT_EQ(pb.GetSliderMax(), c.sliderRange);
    EXPECT_EQ(pb.GetSliderPage(), c.page);
    EXPECT_EQ(list.UsableRange(), c.usable);

    state.SliderPosition = c.usable;
    EXPECT_EQ(list.TimeAtSlider(), 3725);
    // The skin's thumb reaches the maximum; the time stays inside the file.
    state.SliderPosition = c.sliderRange;
    EXPECT_EQ(list.TimeAtSlider(), 3725);
    state.SliderPosition = 0;
    list.PlanCustom();
    EXPECT_EQ(timecaption.text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(state.PositionText, QStringLiteral("00:00:00"));
}

INSTANTIATE_TEST_SUITE_P(Floors, SliderRangeTest,
                         ::testing::Values(SliderCase{1084, 51, 1033}, SliderCase{1014, 48, 966},
                                           SliderCase{7450, 352, 7098}));

TEST_F(SpanFixture, ZeroSecondFileMarksWithoutDividing) {
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

TEST_F(SpanFixture, WithoutASliderTheTimeIsZero) {
    state.pb = nullptr;
    state.timecaption = nullptr;
    addFile(100);
    clickFile(0);
    EXPECT_EQ(list.UsableRange(), 0);
    EXPECT_EQ(list.TimeAtSlider(), 0);
    EXPECT_EQ(state.lv_time.rowCount(), 1);
}

// --- custom marking -----------------------------------------------------------

TEST_F(SpanFixture, ConfirmOpensANewSpanAndCountsOnlyConfirmed) {
    addFile(300);
    clickFile(0);
    ASSERT_EQ(state.lv_time.rowCount(), 1);
    EXPECT_EQ(cell(0, 0), spanText(0, 300));
    EXPECT_EQ(cell(0, 2), QStringLiteral("Uncertain"));
    EXPECT_EQ(total(), FormatTime(300)); // the open span alone counts
    EXPECT_EQ(nm.text(), QStringLiteral("/music/a.ogg"));
    EXPECT_FALSE(state.instructionsVisible);

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

    // Marking edits the open span whichever row is selected.
    clickSpan(0);
    slideTo(150);
    list.MarkBegin();
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

    // A span of length 0 is accepted.
    list.MarkBegin();
    list.ConfirmSpan();
    EXPECT_EQ(prompt.messages.size(), 1);
    EXPECT_EQ(state.FileList[0].SpanCount, 2);
}

class ComputedModeTest : public SpanFixture, public ::testing::WithParamInterface<int> {};

TEST_P(ComputedModeTest, HandCommandsAreRefusedWithTheModeMessage) {
    state.settings.SplitMode = GetParam();
    addFile(300);
    clickFile(0);
    const int rows = state.lv_time.rowCount();
    list.MarkBegin();
    list.MarkEnd();
    list.ConfirmSpan();
    const QString text =
        QStringLiteral("Only chose \"Custom\" or \"unification\" function, this button is usable.");
    EXPECT_EQ(prompt.messages, (QStringList{text, text, text}));
    // Remove has no message in these modes and changes nothing.
    clickSpan(0);
    list.RemoveSpan();
    EXPECT_EQ(prompt.messages.size(), 3);
    EXPECT_EQ(state.lv_time.rowCount(), rows);
    EXPECT_EQ(state.FileList[0].SpanCount, 1);
}

INSTANTIATE_TEST_SUITE_P(Modes, ComputedModeTest, ::testing::Values(int(Time), int(Count)));

TEST_F(SpanFixture, CommandsWithoutASelectedFileDoNothing) {
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

class OpenSpanTest : public SpanFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(OpenSpanTest, CannotBeRemoved) {
    addFile(300);
    clickFile(0);
    markAndConfirm(10, 20);
    // A preview writes its own status over the open span's.
    if (GetParam())
        list.setSpanStatus(1, QString::fromLatin1(GetParam()));
    clickSpan(1);
    list.RemoveSpan();
    EXPECT_EQ(prompt.messages,
              QStringList{QStringLiteral(
                  "This item, the procedure will automatically process. Need not delete.")});
    EXPECT_EQ(state.lv_time.rowCount(), 2);
    EXPECT_EQ(state.FileList[0].SpanCount, 2);
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

class RemoveSpanTest : public SpanFixture, public ::testing::WithParamInterface<RemoveCase> {};

TEST_P(RemoveSpanTest, ShiftsSpansAndKeepsTheSelection) {
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
    EXPECT_EQ(r.BeginTimes, (std::vector<std::int32_t>{c.kept0.begin, 0}));
    EXPECT_EQ(r.EndTimes, (std::vector<std::int32_t>{c.kept0.end, 300}));
    EXPECT_EQ(cell(0, 0), spanText(c.kept0.begin, c.kept0.end));
    EXPECT_EQ(cell(1, 2), QStringLiteral("Uncertain"));
    EXPECT_EQ(total(), FormatTime(c.kept0.end - c.kept0.begin));
}

INSTANTIATE_TEST_SUITE_P(Rows, RemoveSpanTest,
                         ::testing::Values(RemoveCase{1, 1, {10, 20}}, RemoveCase{0, 0, {30, 50}}));

TEST_F(SpanFixture, ResetGoesBackToOneWholeFileSpan) {
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

// --- selection ----------------------------------------------------------------

TEST_F(SpanFixture, SpanClickActivatesTheSpanListAndFileClickEndsIt) {
    list.SelectSpan(); // an empty span list: nothing happens
    EXPECT_FALSE(state.SpanListActive);
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

TEST_F(SpanFixture, SelectionStaysOnTheConvertedOrPreviewedFile) {
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

// --- unification and mode switches --------------------------------------------

TEST_F(SpanFixture, UnificationAppliesTheFirstFilesSpansToEveryFile) {
    state.settings.SplitMode = Unification;
    addFile(300, QStringLiteral("first.ogg"));
    addFile(220, QStringLiteral("second.ogg"));
    clickFile(0);
    slideTo(250);
    list.MarkBegin();
    // Only the open span: 50 s of the first file, the second ends before it.
    EXPECT_EQ(total(), FormatTime(50));
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

TEST_F(SpanFixture, SwitchingModesKeepsStoredSpans) {
    addFile(300);
    clickFile(0);
    markAndConfirm(10, 20);
    state.settings.SplitMode = Time;
    clickFile(0);
    EXPECT_EQ(state.lv_time.rowCount(), 6);
    state.settings.SplitMode = Custom; // the rows still show the Time pieces
    slideTo(100);
    list.MarkBegin();
    ASSERT_EQ(state.lv_time.rowCount(), 2);
    EXPECT_EQ(cell(0, 0), spanText(10, 20));
    EXPECT_EQ(cell(1, 0), spanText(100, 300));
    EXPECT_EQ(state.FileList[0].BeginTimes, (std::vector<std::int32_t>{10, 100}));
}

} // namespace
