// The split runs end to end on synthesised files: exact pieces in every mode,
// names, statuses, fades, progress, pumping, Stop, and what a failure leaves.
#include "audio/MulDiv.h"
#include "support/RunFixture.h"
#include "synth/Synth.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr int Rate = 44100;

// RMS of the difference between a decoded piece and the decoded source from
// frame `offset` on, over all of the piece.
double differenceFromSource(const synth::Decoded& piece, const synth::Decoded& source,
                            std::int64_t offset) {
    double sum = 0;
    const std::int64_t n = std::min<std::int64_t>(piece.samples.size(),
                                                  source.samples.size() - offset * source.channels);
    for (std::int64_t i = 0; i < n; ++i) {
        const double d =
            double(piece.samples[size_t(i)]) - source.samples[size_t(offset * source.channels + i)];
        sum += d * d;
    }
    return n > 0 ? std::sqrt(sum / double(n)) : 0.0;
}

using SplitFixture = RunFixture;

// Frames of a piece as the run must cut it from a file of `frames` frames.
std::int64_t pieceFrames(std::int64_t frames, int rate, int begin, int end) {
    const std::int64_t lengthMs = frames * 1000 / rate;
    return MulDiv(std::int64_t(end) * 1000, frames, lengthMs) -
           MulDiv(std::int64_t(begin) * 1000, frames, lengthMs);
}

} // namespace

// --------------------------------------------------------------------------
// Exactness in every mode
// --------------------------------------------------------------------------

struct ModeCase {
    const char* name;
    int mode;
    int splitSeconds;
    int splitCount;
    std::vector<std::int64_t> fileFrames;
    Spans spans;                 // Custom: on every file; Unification: on the first
    std::vector<Spans> expected; // pieces per file, in order
};
void PrintTo(const ModeCase& c, std::ostream* os) {
    *os << c.name;
}

class SplitByMode : public SplitFixture, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(SplitByMode, EveryPieceHoldsExactlyItsSpanOfTheSource) {
    const ModeCase& p = GetParam();
    state.settings.SplitMode = p.mode;
    state.settings.SplitSeconds = p.splitSeconds;
    state.settings.SplitCount = p.splitCount;
    std::vector<QString> sources;
    for (size_t i = 0; i < p.fileFrames.size(); ++i) {
        sources.push_back(makeSource(QStringLiteral("f%1.ogg").arg(i), p.fileFrames[i]));
        add(sources.back());
    }
    if (p.mode == Custom)
        for (size_t i = 0; i < sources.size(); ++i)
            setSpans(int(i), p.spans);
    if (p.mode == Unification)
        setSpans(0, p.spans);
    std::vector<std::int32_t> spanCountsBefore;
    for (const listrecord& r : state.FileList)
        spanCountsBefore.push_back(r.SpanCount);

    conversion.SplitRun();

    ASSERT_FALSE(conversion.lastRunFailed()) << conversion.lastError().toStdString();
    EXPECT_TRUE(prompt.messages.isEmpty());
    const QStringList outputs = conversion.lastOutputs();
    size_t expectedCount = 0;
    for (const Spans& s : p.expected)
        expectedCount += s.size();
    ASSERT_EQ(size_t(outputs.size()), expectedCount);
    EXPECT_EQ(size_t(filesInOutput().size()), expectedCount);

    int k = 0;
    for (size_t i = 0; i < p.expected.size(); ++i) {
        const synth::Decoded source = synth::decodeOgg(sources[i]);
        int n = 0;
        for (const auto& [begin, end] : p.expected[i]) {
            const QString& out = outputs[k++];
            EXPECT_EQ(QFileInfo(out).fileName(), QStringLiteral("f%1_%2.ogg").arg(i).arg(++n));
            const synth::Decoded piece = synth::decodeOgg(out);
            const std::int64_t exact = pieceFrames(p.fileFrames[i], Rate, begin, end);
            if (p.mode == Custom) {
                // Custom leaves a piece once fewer than 100 frames remain.
                EXPECT_LE(piece.frames(), exact) << out.toStdString();
                EXPECT_GT(piece.frames(), exact - 100) << out.toStdString();
            } else {
                EXPECT_EQ(piece.frames(), exact) << out.toStdString();
            }
            if (piece.frames() > 0) {
                EXPECT_EQ(piece.rate, Rate);
                EXPECT_EQ(piece.channels, 2);
                const std::int64_t offset = pieceFrames(p.fileFrames[i], Rate, 0, begin);
                // Codec loss stays near 0.01; a shift of one frame gives about 0.1.
                EXPECT_LT(differenceFromSource(piece, source, offset), 0.03) << out.toStdString();
            }
        }
    }

    // The last file's rows all end as written (in Unification the rows are the
    // shared spans); the open spans are back.
    EXPECT_EQ(size_t(jobs.spanRowCount()),
              p.mode == Unification ? p.spans.size() : p.expected.back().size());
    for (int row = 0; row < jobs.spanRowCount(); ++row)
        EXPECT_EQ(jobs.spanStatus(row), QStringLiteral("Finish"));
    for (size_t i = 0; i < state.FileList.size(); ++i)
        EXPECT_EQ(state.FileList[i].SpanCount, spanCountsBefore[i]);
    EXPECT_FALSE(state.Converting);
    EXPECT_TRUE(pbpos.text().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SplitByMode,
    ::testing::Values(
        ModeCase{"time", Time, 3, 6, {463050}, {}, {{{0, 3}, {3, 6}, {6, 9}, {9, 10}}}},
        // An exact multiple of SplitSeconds ends in an empty piece.
        ModeCase{"time exact multiple", Time, 3, 6, {264600}, {}, {{{0, 3}, {3, 6}, {6, 6}}}},
        ModeCase{"count", Count, 60, 3, {463050}, {}, {{{0, 3}, {3, 6}, {6, 9}}}},
        // A file shorter than SplitCount seconds gives SplitCount empty pieces.
        ModeCase{"count short file", Count, 60, 3, {110250}, {}, {{{0, 0}, {0, 0}, {0, 0}}}},
        ModeCase{"custom", Custom, 60, 6, {463050}, {{1, 4}, {5, 8}}, {{{1, 4}, {5, 8}}}},
        ModeCase{"custom single span", Custom, 60, 6, {463050}, {}, {{{0, 10}}}},
        ModeCase{"unification",
                 Unification,
                 60,
                 6,
                 {463050, 405720, 220500},
                 {{1, 3}, {8, 10}},
                 {{{1, 3}, {8, 10}}, {{1, 3}, {8, 9}}, {{1, 3}}}}));

// --------------------------------------------------------------------------
// Names, single spans, statuses
// --------------------------------------------------------------------------

TEST_F(SplitFixture, SongLiveWithThreeSpansGivesThreeNumberedFiles) {
    add(makeSource(QStringLiteral("song.ogg"), 441000));
    state.lv.setData(state.lv.index(0, 0), QStringLiteral("Song.live"));
    setSpans(0, {{0, 2}, {2, 4}, {4, 6}});
    conversion.SplitRun();
    EXPECT_EQ(filesInOutput(),
              (QStringList{QStringLiteral("Song_1.ogg"), QStringLiteral("Song_2.ogg"),
                           QStringLiteral("Song_3.ogg")}));
}

TEST_F(SplitFixture, ASingleCustomSpanIsConvertedAndKeepsSpanCountOne) {
    add(makeSource(QStringLiteral("one.ogg"), 100000));
    ASSERT_EQ(state.FileList[0].SpanCount, 1);
    conversion.SplitRun();
    ASSERT_EQ(conversion.lastOutputs().size(), 1);
    EXPECT_EQ(state.FileList[0].SpanCount, 1);
    // 88222 frames: two blocks of 88200 and 22, and Custom leaves the piece
    // when fewer than 100 frames remain.
    EXPECT_EQ(synth::decodeOgg(conversion.lastOutputs().front()).frames(), 88200);
    EXPECT_EQ(jobs.spanRowCount(), 1);
    EXPECT_EQ(jobs.spanStatus(0), QStringLiteral("Finish"));
}

TEST_F(SplitFixture, AllHundredNamesTakenGoesOnToTheNextAndReplacesNothing) {
    for (int n = 1; n <= 100; ++n) {
        QFile f(outDir + QStringLiteral("base_%1.ogg").arg(n));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep");
    }
    add(makeSource(QStringLiteral("base.ogg"), 50000));
    conversion.SplitRun();
    ASSERT_EQ(conversion.lastOutputs(), QStringList{outDir + QStringLiteral("base_101.ogg")});
    EXPECT_EQ(synth::decodeOgg(outDir + QStringLiteral("base_101.ogg")).frames(),
              pieceFrames(50000, Rate, 0, 1));
    for (int n = 1; n <= 100; ++n) {
        QFile f(outDir + QStringLiteral("base_%1.ogg").arg(n));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray("keep")) << n;
    }
}

TEST_F(SplitFixture, SplitCommandWithAnEmptyListDoesNothing) {
    conversion.SplitCommand();
    EXPECT_TRUE(prompt.openedUrls.isEmpty());
    EXPECT_FALSE(state.Converting);
    EXPECT_TRUE(filesInOutput().isEmpty());
}

// --------------------------------------------------------------------------
// Fades
// --------------------------------------------------------------------------

struct FadeCase {
    const char* name;
    bool fadeIn;
    bool fadeOut;
    int fadeSeconds;
    bool quietStart;
    bool quietEnd;
};
void PrintTo(const FadeCase& c, std::ostream* os) {
    *os << c.name;
}

class SplitFades : public SplitFixture, public ::testing::WithParamInterface<FadeCase> {};

TEST_P(SplitFades, FadesStayWithinTheTwoSecondPiece) {
    const FadeCase& p = GetParam();
    state.settings.FadeIn = p.fadeIn;
    state.settings.FadeOut = p.fadeOut;
    state.settings.FadeInSeconds = p.fadeSeconds;
    state.settings.FadeOutSeconds = p.fadeSeconds;
    add(makeSource(QStringLiteral("fade.ogg"), 441000));
    setSpans(0, {{2, 4}});
    conversion.SplitRun();
    ASSERT_EQ(conversion.lastOutputs().size(), 1);
    const synth::Decoded piece = synth::decodeOgg(conversion.lastOutputs().front());
    // A fade-in longer than the piece is cut to the piece.
    ASSERT_EQ(piece.frames(), pieceFrames(441000, Rate, 2, 4));
    const std::int64_t edge = 441 * 2; // 10 ms, interleaved stereo
    const double full = 0.5 / std::sqrt(2.0);
    const double start = rms(piece.samples, 0, edge);
    const double end = rms(piece.samples, std::int64_t(piece.samples.size()) - edge, edge);
    if (p.quietStart)
        EXPECT_LT(start, 0.05 * full);
    else
        EXPECT_GT(start, 0.8 * full);
    if (p.quietEnd)
        EXPECT_LT(end, 0.05 * full);
    else
        EXPECT_GT(end, 0.8 * full);
}

INSTANTIATE_TEST_SUITE_P(
    Fades, SplitFades,
    ::testing::Values(FadeCase{"in longer than piece", true, false, 5, true, false},
                      FadeCase{"out longer than piece", false, true, 5, false, true},
                      FadeCase{"both on one block", true, true, 5, true, true},
                      FadeCase{"in shorter than piece", true, false, 1, true, false}));

// --------------------------------------------------------------------------
// Progress, pumping and Stop
// --------------------------------------------------------------------------

TEST_F(SplitFixture, EveryFilePieceAndBlockIsPrecededByAPump) {
    state.settings.SplitMode = Time;
    state.settings.SplitSeconds = 3;
    add(makeSource(QStringLiteral("a.ogg"), 463050));
    add(makeSource(QStringLiteral("b.ogg"), 300000));
    QString log;
    state.pump = [&] { log += QLatin1Char('P'); };
    QStringList percents;
    conversion.onProgress = [&](std::int64_t) {
        log += QLatin1Char('B');
        percents << pbpos.text();
    };
    conversion.onOutputStarted = [&](const QString&) { log += QLatin1Char('O'); };
    conversion.SplitRun();
    ASSERT_EQ(conversion.lastOutputs().size(), 4 + 3);
    // Pieces of 3 s are a block of 2 s and one of 1 s: 7 blocks of a, 4 of b.
    EXPECT_EQ(log.count(QLatin1Char('B')), 11);
    EXPECT_FALSE(log.contains(QStringLiteral("BB"))) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("BO"))) << log.toStdString();
    EXPECT_TRUE(log.startsWith(QLatin1Char('P')));
    // Each piece's percentage ends at 100 (the empty last piece of b has none);
    // afterwards the display is empty.
    EXPECT_EQ(percents.count(QStringLiteral("100%")), 6);
    EXPECT_TRUE(pbpos.text().isEmpty());
    EXPECT_EQ(convertpb.GetObjectRect().width(), 0);
}

TEST_F(SplitFixture, StopMidPieceClosesItAndStartsNothingMore) {
    add(makeSource(QStringLiteral("long.ogg"), 20 * Rate));
    add(makeSource(QStringLiteral("next.ogg"), 5 * Rate));
    int pumps = 0;
    int widthAtStop = -1;
    state.pump = [&] {
        if (++pumps == 6) {
            widthAtStop = convertpb.GetObjectRect().width();
            conversion.StopConversion();
        }
    };
    conversion.SplitCommand();

    ASSERT_EQ(conversion.lastOutputs().size(), 1);
    EXPECT_EQ(filesInOutput(), QStringList{QStringLiteral("long_1.ogg")});
    const synth::Decoded piece = synth::decodeOgg(conversion.lastOutputs().front());
    EXPECT_GT(piece.frames(), 0);
    EXPECT_LT(piece.frames(), 20 * Rate);
    EXPECT_EQ(piece.frames() % (2 * Rate), 0); // whole blocks only
    EXPECT_GT(widthAtStop, 0);
    EXPECT_EQ(jobs.spanStatus(0), QStringLiteral("Finish"));
    EXPECT_EQ(state.SelectedFile, 0);
    EXPECT_FALSE(state.Converting);
    EXPECT_TRUE(pbpos.text().isEmpty());
    EXPECT_EQ(convertpb.GetObjectRect().width(), 0);
    EXPECT_FALSE(conversion.lastRunFailed());
    // The Split command opens the output folder after a stopped run too.
    ASSERT_EQ(prompt.openedUrls.size(), 1);
    EXPECT_EQ(prompt.openedUrls.front(), QUrl::fromLocalFile(outDir));
}

// --------------------------------------------------------------------------
// Failures end the run as Stop does
// --------------------------------------------------------------------------

struct FailureCase {
    const char* name;
    bool unwritableFolder;
    bool deleteSecondSource;
};
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class SplitFailures : public SplitFixture, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SplitFailures, EndTheRunCleanlyAndGiveTheOpenSpansBack) {
    const FailureCase& p = GetParam();
    const QString first = makeSource(QStringLiteral("first.ogg"), 4 * Rate);
    const QString second = makeSource(QStringLiteral("second.ogg"), 4 * Rate);
    add(first);
    add(second);
    setSpans(0, {{0, 1}, {1, 2}});
    setSpans(1, {{0, 1}, {2, 3}});
    QString expectedFile;
    if (p.unwritableFolder) {
        // A folder below a plain file cannot be created, whoever runs the test.
        QFile blocker(dir.filePath(QStringLiteral("blocker")));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        state.settings.OutputDir = blocker.fileName() + QStringLiteral("/out/");
        expectedFile = QDir::toNativeSeparators(blocker.fileName());
    }
    if (p.deleteSecondSource) {
        ASSERT_TRUE(QFile::remove(second));
        expectedFile = QDir::toNativeSeparators(second);
    }

    conversion.SplitCommand();

    EXPECT_TRUE(conversion.lastRunFailed());
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages.front().contains(expectedFile))
        << prompt.messages.front().toStdString();
    EXPECT_FALSE(state.Converting);
    EXPECT_TRUE(pbpos.text().isEmpty());
    EXPECT_EQ(convertpb.GetObjectRect().width(), 0);
    EXPECT_EQ(state.FileList[0].SpanCount, 3);
    EXPECT_EQ(state.FileList[1].SpanCount, 3);
    EXPECT_FALSE(state.writer.IsOpen());
    EXPECT_FALSE(state.reader.IsOpen());
    if (p.unwritableFolder) {
        EXPECT_TRUE(conversion.lastOutputs().isEmpty());
        EXPECT_TRUE(prompt.openedUrls.isEmpty());
    } else {
        // What was written before the failure stays, complete.
        ASSERT_EQ(conversion.lastOutputs().size(), 2);
        for (const QString& out : conversion.lastOutputs())
            EXPECT_EQ(synth::decodeOgg(out).frames(), Rate);
        EXPECT_EQ(prompt.openedUrls.size(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Failures, SplitFailures,
                         ::testing::Values(FailureCase{"unwritable folder", true, false},
                                           FailureCase{"source deleted", false, true}));

// --------------------------------------------------------------------------
// The conversion bar
// --------------------------------------------------------------------------

struct BarCase {
    std::int64_t value;
    bool skinOption;
    int width; // -1: not drawn
};
class ConversionBar : public SplitFixture, public ::testing::WithParamInterface<BarCase> {};

TEST_P(ConversionBar, WidthFollowsTheValue) {
    convertpb.SetObjectRect(QRect(10, 5, 99, 8));
    state.settings.SkinOption = GetParam().skinOption;
    conversion.DrawConversionProgress(GetParam().value);
    const QRect r = convertpb.GetObjectRect();
    EXPECT_EQ(r.left(), 10);
    EXPECT_EQ(r.width(), GetParam().width == -1 ? 99 : GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(Values, ConversionBar,
                         ::testing::Values(BarCase{0, false, 0}, BarCase{5000, false, 168},
                                           BarCase{9999, false, 335}, BarCase{10000, false, 0},
                                           BarCase{10200, false, -1}, BarCase{10200, true, 342}));
