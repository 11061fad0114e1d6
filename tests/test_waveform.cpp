// The waveform window used with the mouse and the keys (offscreen): edges
// dragged to the frame their pixel stands for, spans added and removed, the
// play position, zoom and snapping; then runs that cut at exactly those
// frames, and the span list's milliseconds.
#include "joblist/TimeText.h"
#include "preview/Preview.h"
#include "support/CaseTable.h"
#include "support/JobFixture.h"
#include "support/Printing.h"
#include "support/RunFixture.h"
#include "support/WidgetSupport.h"
#include "synth/Synth.h"
#include "ui/WaveformView.h"
#include "ui/WaveformWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QWheelEvent>
#include <cmath>
#include <memory>

namespace {

using testsupport::PrintTo;

constexpr int Rate = 44100; // as the encoder set-up writes pieces

class WaveformFixture : public RunFixture {
  protected:
    void SetUp() override {
        RunFixture::SetUp();
        source = makeSource(QStringLiteral("tone.ogg"), 3 * Rate, Rate);
        add(source);
        window = std::make_unique<WaveformWindow>(state, jobs, &preview);
        window->resize(700, 300);
        window->show();
        window->showFile(source, jobs.caption(0));
        QApplication::processEvents();
        view = window->view();
    }
    void TearDown() override { preview.stopPreview(); }

    int mid() const { return view->height() / 2; }
    void drag(int from, int to) {
        sendMouse(view, QEvent::MouseButtonPress, {from, mid()});
        sendMouse(view, QEvent::MouseMove, {(from + to) / 2, mid()});
        sendMouse(view, QEvent::MouseMove, {to, mid()});
        sendMouse(view, QEvent::MouseButtonRelease, {to, mid()}, Qt::NoButton);
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(view, &press);
    }
    std::pair<std::int64_t, std::int64_t> span(int index) const {
        std::int64_t b = -1, e = -1;
        EXPECT_TRUE(jobs.spanFrames(0, index, b, e));
        return {b, e};
    }

    Preview preview{state, jobs};
    QString source;
    std::unique_ptr<WaveformWindow> window;
    WaveformView* view = nullptr;
};

// --- edges and spans by the mouse ---------------------------------------------------------

struct EdgeCase {
    const char* name;
    bool begin;     // the edge dragged
    double visible; // seconds shown; 0: the whole file
    int by;         // pixels
};

using EdgeDragTest = testsupport::CaseTable<WaveformFixture, EdgeCase>;

TEST_P(EdgeDragTest, MovesTheSpanToTheFrameOfThePixel) {
    const EdgeCase& c = GetParam();
    setSpans(0, {{1, 2}});
    jobs.selectFile();
    QStringList totals;
    QObject::connect(&jobs, &JobList::totalTextChanged, [&](const QString& t) { totals << t; });
    const auto [b0, e0] = span(0);
    if (c.visible > 0)
        view->setView((c.begin ? b0 : e0) - std::int64_t(c.visible * Rate / 2),
                      std::int64_t(c.visible * Rate));
    const int x = view->xOf(c.begin ? b0 : e0);
    drag(x, x + c.by);

    const std::int64_t expected = view->frameAt(x + c.by);
    const auto [b, e] = span(0);
    EXPECT_EQ(c.begin ? b : e, expected);
    EXPECT_EQ(c.begin ? e : b, c.begin ? e0 : b0); // the other edge stays
    EXPECT_EQ(view->selectedSpan(), 0);
    // The span list and the total follow at once, with milliseconds.
    const auto ms = [](std::int64_t frame) { return (frame * 1000 + Rate / 2) / Rate; };
    const QString text = cellText(jobs.spanModel(), 0, 0);
    EXPECT_TRUE(text.contains(formatTimeMs(ms(expected)))) << text.toStdString();
    ASSERT_FALSE(totals.isEmpty());
    EXPECT_EQ(totals.back(), formatTime(std::int32_t((ms(e) - ms(b)) / 1000)));
}

INSTANTIATE_TEST_SUITE_P(
    Edges, EdgeDragTest,
    ::testing::Values(EdgeCase{"BeginWholeFile", true, 0, 37},
                      EdgeCase{"EndWholeFile", false, 0, -41},
                      // Zoomed in to a few frames a pixel, and to several pixels a frame.
                      EdgeCase{"BeginZoomed", true, 0.05, 13},
                      EdgeCase{"EndSamples", false, 0.0005, 75}),
    testsupport::CaseName());

TEST_F(WaveformFixture, ADragInAFreeAreaAddsASpanAndDeleteRemovesIt) {
    setSpans(0, {{0, 1}});
    jobs.selectFile();
    const int from = view->xOf(2 * Rate) + 2, to = view->width() - 10;
    drag(from, to);
    ASSERT_EQ(jobs.confirmedSpanCount(0), 2);
    EXPECT_EQ(span(1), std::make_pair(view->frameAt(from), view->frameAt(to)));
    EXPECT_EQ(view->selectedSpan(), 1);
    EXPECT_EQ(jobs.spanModel().rowCount(), 3); // and the open span after them

    key(Qt::Key_Delete);
    EXPECT_EQ(jobs.confirmedSpanCount(0), 1);
    EXPECT_EQ(span(0), std::make_pair(std::int64_t(0), std::int64_t(Rate)));
    EXPECT_EQ(jobs.spanModel().rowCount(), 2);

    // Time cuts by its own rule: a drag there is refused as the buttons are.
    state.settings.splitMode = SplitMode::Time;
    drag(from, to);
    EXPECT_EQ(jobs.file(0).usableSpanCount(), 2);
    EXPECT_EQ(prompt.messages.size(), 1);
}

TEST_F(WaveformFixture, ArrowsNudgeTheSelectedEdge) {
    setSpans(0, {{1, 2}});
    jobs.selectFile();
    view->setView(0, view->width() * 10); // ten frames a pixel
    const auto [b0, e0] = span(0);
    view->setView(b0 - 5 * view->width(), view->width() * 10);
    sendMouse(view, QEvent::MouseButtonPress, {view->xOf(b0), mid()});
    sendMouse(view, QEvent::MouseButtonRelease, {view->xOf(b0), mid()}, Qt::NoButton);
    EXPECT_EQ(span(0).first, b0); // a click on an edge leaves it
    key(Qt::Key_Right);
    EXPECT_EQ(span(0).first, b0 + 10);
    key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(span(0).first, b0 + 10 - Rate);
    EXPECT_EQ(span(0).second, e0);
}

TEST_F(WaveformFixture, SnappingMovesAnEdgeOntoAZeroCrossingNearby) {
    setSpans(0, {{1, 2}});
    jobs.selectFile();
    window->snapBox()->setChecked(true);
    const auto [b0, e0] = span(0);
    view->setView(b0 - 500, 1000);
    const int x = view->xOf(b0);
    drag(x, x + 11);
    const std::int64_t aimed = view->frameAt(x + 11);
    const std::int64_t at = span(0).first;
    EXPECT_LE(std::abs(at - aimed), Rate * WaveformView::SnapMs / 1000);
    // The source changes sign there (left and right summed, as the snap reads it).
    const synth::Decoded decoded = synth::decodeOgg(source);
    const auto mix = [&](std::int64_t f) {
        return decoded.samples[size_t(2 * f)] + decoded.samples[size_t(2 * f + 1)];
    };
    EXPECT_TRUE(mix(at) == 0 || (mix(at - 1) < 0) != (mix(at) < 0)) << at;
}

TEST_F(WaveformFixture, TheWheelZoomsAroundThePointerFromTheFileToSingleFrames) {
    const QPointF at(200, mid());
    const std::int64_t under = view->frameAt(200);
    const auto wheel = [&](int steps) {
        QWheelEvent e(at, view->mapToGlobal(at), {}, {0, 120 * steps}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &e);
    };
    wheel(3);
    EXPECT_LT(view->visibleFrames(), 3 * Rate);
    EXPECT_LE(std::abs(view->frameAt(200) - under), view->visibleFrames() / view->width() + 1);
    for (int i = 0; i < 60; ++i)
        wheel(1);
    EXPECT_LT(view->visibleFrames(), view->width()); // a frame spans pixels
    for (int i = 0; i < 80; ++i)
        wheel(-1);
    EXPECT_EQ(view->firstFrame(), 0);
    EXPECT_EQ(view->visibleFrames(), 3 * Rate);
}

TEST_F(WaveformFixture, AClickSetsThePlayPositionAndSpacePlaysFromThere) {
    click(view, {300, mid()});
    const std::int64_t at = view->frameAt(300);
    EXPECT_EQ(view->playPosition(), at);
    key(Qt::Key_Space);
    ASSERT_TRUE(preview.previewing());
    EXPECT_EQ(preview.startSample(), at);
    key(Qt::Key_Space);
    EXPECT_FALSE(preview.previewing());
}

// --- runs at the edited frames --------------------------------------------------------------

struct RunCase {
    const char* name;
    int jobs;
    bool copy;
    bool join;
    SplitMode mode = SplitMode::Custom;
};

using EditedRunTest = testsupport::CaseTable<WaveformFixture, RunCase>;

TEST_P(EditedRunTest, CutsExactlyTheFramesSetInTheWindow) {
    const RunCase& c = GetParam();
    state.settings.splitMode = c.mode;
    setSpans(0, {{0, 1}, {2, 3}});
    jobs.selectFile();
    // The first span's end and the second's begin are dragged off their seconds.
    drag(view->xOf(span(0).second), view->xOf(span(0).second) + 29);
    drag(view->xOf(span(1).first), view->xOf(span(1).first) - 17);
    const std::vector<std::pair<std::int64_t, std::int64_t>> cuts = {span(0), span(1)};
    ASSERT_NE(cuts[0].second % Rate, 0);
    ASSERT_NE(cuts[1].first % Rate, 0);

    state.formatIndex = c.copy ? 1 : 0;
    RunOptions options =
        RunOptions::fromSettings(state.settings, state.ini.get(), state.formatIndex);
    options.jobs = c.jobs;
    conversion.setOptions(options);
    const QString joined = outDir + QStringLiteral("joined.ogg");
    if (c.join)
        conversion.joinRun(joined);
    else
        conversion.splitRun();
    ASSERT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join(u'\n').toStdString();

    if (c.join) {
        EXPECT_EQ(synth::decodeOgg(joined).frames(),
                  cuts[0].second - cuts[0].first + cuts[1].second - cuts[1].first);
        return;
    }
    const synth::Decoded whole = synth::decodeOgg(source);
    const QStringList outputs = conversion.lastOutputs();
    ASSERT_EQ(outputs.size(), 2);
    for (int k = 0; k < outputs.size(); ++k) {
        const synth::Decoded piece = synth::decodeOgg(outputs[k]);
        const auto [b, e] = cuts[size_t(k)];
        ASSERT_EQ(piece.frames(), e - b) << outputs[k].toStdString();
        double sum = 0;
        for (size_t i = 0; i < piece.samples.size(); ++i) {
            const double d = piece.samples[i] - whole.samples[size_t(2 * b) + i];
            sum += d * d;
        }
        // Codec loss stays near 0.01; a shift of one frame gives about 0.1.
        EXPECT_LT(std::sqrt(sum / double(piece.samples.size())), 0.03) << outputs[k].toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, EditedRunTest,
    ::testing::Values(RunCase{"Split", 1, false, false}, RunCase{"ParallelSplit", 2, false, false},
                      RunCase{"CopySplit", 1, true, false}, RunCase{"Join", 1, false, true},
                      RunCase{"UnificationSplit", 1, false, false, SplitMode::Unification},
                      RunCase{"UnificationJoin", 1, false, true, SplitMode::Unification}),
    testsupport::CaseName());

// --- milliseconds --------------------------------------------------------------------------

struct MsCase {
    const char* name;
    std::int64_t beginFrame, endFrame; // -1: the whole second
    const char* shown;
};

using SpanTextTest = testsupport::CaseTable<WaveformFixture, MsCase>;

TEST_P(SpanTextTest, ShowsMillisecondsOnlyBetweenSeconds) {
    const MsCase& c = GetParam();
    FileRow& r = jobs.file(0);
    r.spans = {Span{1, 2, false, c.beginFrame, c.endFrame}, Span{0, r.seconds}};
    r.spanCount = 2;
    jobs.selectFile();
    EXPECT_EQ(cellText(jobs.spanModel(), 0, 0), QString::fromLatin1(c.shown));
}

INSTANTIATE_TEST_SUITE_P(
    Spans, SpanTextTest,
    ::testing::Values(MsCase{"WholeSeconds", -1, -1, "00:00:01 - 00:00:02"},
                      MsCase{"FramesOnSeconds", Rate, 2 * Rate, "00:00:01 - 00:00:02"},
                      MsCase{"BeginBetween", Rate + Rate / 4, -1, "00:00:01.250 - 00:00:02.000"},
                      MsCase{"EndBetween", -1, 2 * Rate + Rate / 20,
                             "00:00:01.000 - 00:00:02.050"}),
    testsupport::CaseName());

TEST(FormatTimeMs, PartsAndMilliseconds) {
    EXPECT_EQ(formatTimeMs(62345), QStringLiteral("00:01:02.345"));
    EXPECT_EQ(formatTimeMs(3725001), QStringLiteral("01:02:05.001"));
    EXPECT_EQ(formatTimeMs(0), QStringLiteral("00:00:00.000"));
}

} // namespace
