// The preview on the dummy sound driver, in real time on short files: where
// it starts, what the slider and label show, when it stops by itself, and
// what the slider and the step buttons do.
#include "audio/MulDiv.h"
#include "joblist/TimeText.h"
#include "preview/Preview.h"
#include "support/CaseTable.h"
#include "support/JobFixture.h"
#include "support/Printing.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

namespace {

using testsupport::PrintTo;

constexpr int Rate = 8000; // cheap to decode; the device plays it in real time

class PreviewFixture : public JobFixture {
  protected:
    void SetUp() override {
        JobFixture::SetUp();
        ASSERT_TRUE(dir.isValid());
        QObject::connect(&list, &JobList::positionTextChanged,
                         [this](const QString& text) { labels << text; });
        preview.blockQueued = [this](const SampleBlock& b) { blocks.push_back(b); };
    }

    // Adds a synthesised mono file and selects it.
    QString addFile(const QString& name, std::int64_t frames) {
        const QString path = dir.filePath(name);
        synth::writeOgg(path, frames, Rate, 1);
        EXPECT_TRUE(list.addFiles({path}).isEmpty());
        list.selectRow(list.rowCount() - 1);
        list.selectFile();
        labels.clear();
        return path;
    }

    void selectSpanRow(int row) {
        list.spanSelection().select(list.spanModel().index(row, 0),
                                    QItemSelectionModel::ClearAndSelect |
                                        QItemSelectionModel::Rows);
        list.setSpanListActive(true);
    }

    bool waitUntilIdle(int limitMs = 10000) {
        QElapsedTimer t;
        t.start();
        while (preview.previewing() && t.elapsed() < limitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return !preview.previewing();
    }
    void pumpFor(int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    // The source's frames from `from`, as many as the block holds.
    void expectBlockIsSourceFrom(const QString& path, std::int64_t from) {
        ASSERT_FALSE(blocks.empty());
        const synth::Decoded source = synth::decodeOgg(path);
        const SampleBlock& first = blocks.front();
        ASSERT_GT(first.frames(), 0);
        for (std::int64_t i = 0; i < std::min<std::int64_t>(first.frames(), 1000); ++i)
            ASSERT_FLOAT_EQ(first.samples[size_t(i)], source.samples[size_t(from + i)]) << i;
    }

    void expectIdle() {
        EXPECT_FALSE(preview.previewing());
        EXPECT_FALSE(preview.seeking());
        EXPECT_EQ(list.sliderPosition(), 0);
        EXPECT_EQ(timecaption.text(), QStringLiteral("00:00:00"));
        EXPECT_FALSE(preview.reader().isOpen());
    }

    QTemporaryDir dir;
    Preview preview{state, list};
    std::vector<SampleBlock> blocks;
    QStringList labels;
};

TEST_F(PreviewFixture, SpanPreviewPlaysTheSpanCountsFromZeroAndStopsAtItsEnd) {
    state.settings.splitMode = SplitMode::Custom;
    const QString path = addFile(QStringLiteral("span.ogg"), 6 * Rate);
    ASSERT_TRUE(list.addSpan(0, Span{3, 5}));
    selectSpanRow(0);
    const QString before = list.spanStatus(0);

    preview.startSpanPreview();
    ASSERT_TRUE(preview.previewing());
    EXPECT_EQ(list.spanStatus(0), QStringLiteral("Playing"));
    expectBlockIsSourceFrom(path, 3 * Rate);

    ASSERT_TRUE(waitUntilIdle());
    ASSERT_FALSE(labels.isEmpty());
    EXPECT_EQ(labels.front(), QStringLiteral("00:00:00"));
    // Two seconds played: the label never got past the span's length.
    EXPECT_LE(labels.filter(QStringLiteral("00:00:03")).size(), 0)
        << labels.join(u' ').toStdString();
    EXPECT_TRUE(labels.contains(QStringLiteral("00:00:01")));
    expectIdle();
    EXPECT_EQ(list.spanStatus(0), before);
}

TEST_F(PreviewFixture, FilePreviewStartsAtTheSlidersFrameAndStopsAtTheFilesEnd) {
    const QString path = addFile(QStringLiteral("file.ogg"), 4 * Rate);
    const int usable = list.usableRange();
    list.setSliderPosition(usable / 2);
    preview.startFilePreview();
    ASSERT_TRUE(preview.previewing());
    expectBlockIsSourceFrom(path, MulDiv(usable / 2, 4 * Rate, usable));
    ASSERT_TRUE(waitUntilIdle());
    expectIdle();
}

// A span row clicked last in Time or Count mode: the file's preview still
// runs on the file's own axis, to the file's end.
using WholeFileAfterASpanClick = testsupport::CaseTable<PreviewFixture, SplitMode>;

TEST_P(WholeFileAfterASpanClick, PlaysToTheFilesEnd) {
    state.settings.splitMode = GetParam();
    state.settings.splitSeconds = 1;
    state.settings.splitCount = 3;
    addFile(QStringLiteral("spans.ogg"), 3 * Rate);
    selectSpanRow(0);
    // Count from the middle, Time from the start.
    list.setSliderPosition(GetParam() == SplitMode::Count ? list.usableRange() / 2 : 0);
    preview.startFilePreview();
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_TRUE(labels.contains(QStringLiteral("00:00:02"))) << labels.join(u' ').toStdString();
    expectIdle();
}

INSTANTIATE_TEST_SUITE_P(Modes, WholeFileAfterASpanClick,
                         ::testing::Values(SplitMode::Time, SplitMode::Count));

// The time the label shows under the thumb is the time Begin marks: in
// Unification on the first file's axis, whichever file is selected.
struct AxisCase {
    const char* name;
    SplitMode mode;
    int selected;
};

using OneTimeAxis = testsupport::CaseTable<PreviewFixture, AxisCase>;

TEST_P(OneTimeAxis, TheLabelShowsTheTimeBeginMarks) {
    state.settings.splitMode = GetParam().mode;
    appendFileRow(list, dir.filePath(QStringLiteral("first.ogg")), 30);
    appendFileRow(list, dir.filePath(QStringLiteral("second.ogg")), 75);
    list.selectRow(GetParam().selected);
    list.selectFile();
    const int edited = GetParam().mode == SplitMode::Unification ? 0 : GetParam().selected;
    const int usable = list.usableRange();
    // Dragged to four places, then a step back from the end.
    for (int position : {usable / 6, usable * 2 / 5, usable - 1, usable, -1}) {
        if (position >= 0)
            preview.sliderPress();
        position >= 0 ? preview.sliderTrack(position) : preview.stepBack();
        const QString shown = timecaption.text();
        list.markBegin();
        EXPECT_EQ(shown, formatTime(list.file(edited).spans.back().begin)) << position;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, OneTimeAxis,
                         ::testing::Values(AxisCase{"custom_second", SplitMode::Custom, 1},
                                           AxisCase{"unification_first", SplitMode::Unification, 0},
                                           AxisCase{"unification_second", SplitMode::Unification,
                                                    1}),
                         testsupport::CaseName());

// On the first file's axis a shorter file ends before the slider does: from
// there it has nothing to play, and that is no failure.
TEST_F(PreviewFixture, UnificationPastAShorterFilesEndPlaysNothing) {
    state.settings.splitMode = SplitMode::Unification;
    addFile(QStringLiteral("long.ogg"), 4 * Rate);
    addFile(QStringLiteral("short.ogg"), 2 * Rate);
    list.setSliderPosition(list.usableRange() * 3 / 4);
    preview.startFilePreview();
    expectIdle();
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join(u'|').toStdString();
}

TEST_F(PreviewFixture, PlayWithoutAFileOrDuringAPreviewDoesNothing) {
    preview.startFilePreview();
    EXPECT_FALSE(preview.previewing());
    EXPECT_TRUE(blocks.empty());

    addFile(QStringLiteral("a.ogg"), 3 * Rate);
    addFile(QStringLiteral("b.ogg"), 3 * Rate);
    list.selectRow(0);
    list.selectFile();
    preview.startFilePreview();
    ASSERT_TRUE(preview.previewing());
    const size_t queued = blocks.size();
    list.selectRow(1);
    preview.startFilePreview();
    EXPECT_EQ(list.playedRow(), 0);
    EXPECT_EQ(blocks.size(), queued);
    preview.stopPreview();
    expectIdle();
}

TEST_F(PreviewFixture, WhileTheSliderIsHeldTheTimerLeavesItAloneAndAReleaseMovesThePlayback) {
    addFile(QStringLiteral("drag.ogg"), 5 * Rate);
    preview.startFilePreview();
    ASSERT_TRUE(preview.previewing());
    preview.sliderPress();
    const int usable = list.usableRange();
    preview.sliderTrack(usable / 2);
    const QString dragged = timecaption.text();
    EXPECT_EQ(dragged, QStringLiteral("00:00:02"));
    pumpFor(300);
    EXPECT_EQ(timecaption.text(), dragged);
    EXPECT_EQ(list.sliderPosition(), usable / 2);

    // Released mid-way: the playback goes on from there.
    preview.sliderRelease();
    EXPECT_FALSE(preview.seeking());
    EXPECT_EQ(preview.startSample(), MulDiv(usable / 2, 5 * Rate, usable));
    pumpFor(300);
    EXPECT_TRUE(preview.previewing());
    EXPECT_GE(list.sliderPosition(), usable / 2);

    // Released at the very end: the preview stops.
    preview.sliderPress();
    preview.sliderTrack(usable + 50);
    EXPECT_EQ(list.sliderPosition(), usable);
    pb.setSliderPosition(usable);
    preview.setSlider(&pb);
    preview.sliderRelease();
    expectIdle();
}

TEST_F(PreviewFixture, DraggingWhileIdleShowsTheTimeUnderTheThumb) {
    addFile(QStringLiteral("idle.ogg"), 4 * Rate);
    preview.sliderTrack(list.usableRange());
    EXPECT_TRUE(labels.isEmpty()) << "a drag without a press";
    preview.sliderPress();
    preview.sliderTrack(list.usableRange());
    EXPECT_EQ(timecaption.text(), QStringLiteral("00:00:04"));
}

struct StepCase {
    const char* name;
    std::int64_t frames;
    bool forward;
    int from; // slider position, negative: counted back from the usable range
    bool moves;
};
using PreviewSteps = testsupport::CaseTable<PreviewFixture, StepCase>;

TEST_P(PreviewSteps, MoveTheSliderByAboutASecondInsideTheUsableRange) {
    const StepCase& p = GetParam();
    addFile(QStringLiteral("step.ogg"), p.frames);
    const int usable = list.usableRange();
    const int from = p.from < 0 ? usable + p.from : p.from;
    list.setSliderPosition(from);
    p.forward ? preview.stepForward() : preview.stepBack();
    if (!p.moves) {
        EXPECT_EQ(list.sliderPosition(), from);
        EXPECT_TRUE(labels.isEmpty());
        return;
    }
    const int to = list.sliderPosition();
    EXPECT_NE(to, from);
    EXPECT_GE(to, 0);
    EXPECT_LT(to, usable);
    EXPECT_FALSE(labels.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, PreviewSteps,
    ::testing::Values(StepCase{"forward", 10 * Rate, true, 0, true},
                      StepCase{"forward_near_the_end", 10 * Rate, true, -1, false},
                      StepCase{"back_from_the_middle", 10 * Rate, false, 500, true}),
    testsupport::CaseName());

TEST_F(PreviewFixture, AFileWithoutWholeSecondsStillSteps) {
    appendFileRow(list, dir.filePath(QStringLiteral("short.ogg")), 0);
    list.selectRow(0);
    list.selectFile();
    preview.stepForward();
    EXPECT_EQ(list.sliderPosition(), 2);
}

TEST_F(PreviewFixture, StepBackBelowZeroGivesZero) {
    addFile(QStringLiteral("zero.ogg"), 10 * Rate);
    list.setSliderPosition(1);
    preview.stepBack();
    EXPECT_EQ(list.sliderPosition(), 0);
    EXPECT_EQ(timecaption.text(), QStringLiteral("00:00:00"));
}

TEST_F(PreviewFixture, AFileThatCannotBeOpenedLeavesThePreviewIdleWithTheReason) {
    const QString path = addFile(QStringLiteral("gone.ogg"), 3 * Rate);
    ASSERT_TRUE(QFile::remove(path));
    preview.startFilePreview();
    expectIdle();
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages.front().contains(QStringLiteral("gone.ogg")))
        << prompt.messages.front().toStdString();
}

TEST_F(PreviewFixture, ASpanWithNothingToPlayStopsAtOnce) {
    state.settings.splitMode = SplitMode::Custom;
    addFile(QStringLiteral("past.ogg"), 3 * Rate);
    // Stored by hand as a hand-edited list could hold it: past the file's end.
    list.file(0).spans = {Span{10, 12}, Span{}};
    list.file(0).spanCount = 1;
    list.planCustom();
    selectSpanRow(0);
    preview.startSpanPreview();
    expectIdle();
    EXPECT_NE(list.spanStatus(0), QStringLiteral("Playing"));
}

TEST_F(PreviewFixture, WithoutASoundDeviceTheUserIsToldAndNothingStarts) {
    addFile(QStringLiteral("mute.ogg"), 3 * Rate);
    const QByteArray saved = qgetenv("SDL_AUDIODRIVER");
    qputenv("SDL_AUDIODRIVER", "nosuchdriver");
    preview.startFilePreview();
    qputenv("SDL_AUDIODRIVER", saved);
    expectIdle();
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(
        prompt.messages.front().startsWith(QStringLiteral("No sound output device is available.")));
}

} // namespace
