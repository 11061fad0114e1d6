// The split runs end to end on synthesised files: exact pieces in every mode,
// names, statuses, fades, progress, pumping, Stop, and what a failure leaves.
#include "audio/MulDiv.h"
#include "support/Printing.h"
#include "support/RunFixture.h"
#include "synth/Synth.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <system_error>
#include <tuple>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

using testsupport::PrintTo;

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

// Frames of a piece as the run must cut it from a file of `frames` frames; an
// end of ToEnd is the file's last frame.
constexpr int ToEnd = -1;
std::int64_t pieceFrames(std::int64_t frames, int rate, int begin, int end) {
    const std::int64_t lengthMs = frames * 1000 / rate;
    const std::int64_t last =
        end == ToEnd ? frames : MulDiv(std::int64_t(end) * 1000, frames, lengthMs);
    return last - MulDiv(std::int64_t(begin) * 1000, frames, lengthMs);
}

} // namespace

// --------------------------------------------------------------------------
// Exactness in every mode
// --------------------------------------------------------------------------

struct ModeCase {
    const char* name;
    SplitMode mode;
    int splitSeconds;
    int splitCount;
    std::vector<std::int64_t> fileFrames;
    Spans spans; // SplitMode::Custom: on every file; SplitMode::Unification: on the first
    std::vector<Spans> expected; // pieces per file, in order
};
class SplitByMode : public SplitFixture, public ::testing::WithParamInterface<ModeCase> {
  protected:
    std::vector<QString> addSources(const ModeCase& p) {
        return addSplitSources(p.mode, p.splitSeconds, p.splitCount, p.fileFrames, p.spans);
    }
};

TEST_P(SplitByMode, EveryPieceHoldsExactlyItsSpanOfTheSource) {
    const ModeCase& p = GetParam();
    const std::vector<QString> sources = addSources(p);
    std::vector<std::int32_t> spanCountsBefore;
    for (const FileRow& r : jobs.fileModel().rows())
        spanCountsBefore.push_back(r.spanCount);

    split();

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
            if (p.mode == SplitMode::Custom) {
                // SplitMode::Custom leaves a piece once fewer than 100 frames remain.
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

    // The last file's rows all end as written (in SplitMode::Unification the rows are the
    // shared spans); the open spans are back.
    EXPECT_EQ(size_t(jobs.spanRowCount()),
              p.mode == SplitMode::Unification ? p.spans.size() : p.expected.back().size());
    for (int row = 0; row < jobs.spanRowCount(); ++row)
        EXPECT_EQ(jobs.spanStatus(row), QStringLiteral("Finish"));
    for (int i = 0; i < jobs.rowCount(); ++i)
        EXPECT_EQ(jobs.file(i).spanCount, spanCountsBefore[size_t(i)]);
    EXPECT_FALSE(state.converting);
    EXPECT_EQ(runsEnded, 1);
}

// Cut without re-encoding: the same pieces under the same names, each exactly
// its span of the source's decode, bit for bit (Custom keeps its short tail).
TEST_P(SplitByMode, CopiedPiecesAreTheSourcesOwnDecodedSpans) {
    const ModeCase& p = GetParam();
    const std::vector<QString> sources = addSources(p);
    RunOptions o = RunOptions::fromSettings(state.settings, state.ini.get(), state.formatIndex);
    o.copy = true;
    conversion.setOptions(o);
    conversion.splitRun();

    ASSERT_FALSE(conversion.lastRunFailed()) << conversion.lastError().toStdString();
    const QStringList outputs = conversion.lastOutputs();
    int k = 0;
    for (size_t i = 0; i < p.expected.size(); ++i) {
        const synth::Decoded source = synth::decodeOgg(sources[i]);
        int n = 0;
        for (const auto& [begin, end] : p.expected[i]) {
            ASSERT_LT(k, outputs.size());
            const QString& out = outputs[k++];
            EXPECT_EQ(QFileInfo(out).fileName(), QStringLiteral("f%1_%2.ogg").arg(i).arg(++n));
            const synth::Decoded piece = synth::decodeOgg(out);
            ASSERT_EQ(piece.frames(), pieceFrames(p.fileFrames[i], Rate, begin, end))
                << out.toStdString();
            const std::int64_t offset = pieceFrames(p.fileFrames[i], Rate, 0, begin);
            EXPECT_EQ(differenceFromSource(piece, source, offset), 0.0) << out.toStdString();
        }
    }
    EXPECT_EQ(k, outputs.size());
    EXPECT_EQ(filesInOutput().size(), outputs.size());
    EXPECT_FALSE(state.converting);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SplitByMode,
    ::testing::Values(
        // The last piece takes the half second after the last whole one.
        ModeCase{
            "time", SplitMode::Time, 3, 6, {463050}, {}, {{{0, 3}, {3, 6}, {6, 9}, {9, ToEnd}}}},
        // An exact multiple of SplitSeconds ends in an empty piece.
        ModeCase{"time exact multiple",
                 SplitMode::Time,
                 3,
                 6,
                 {264600},
                 {},
                 {{{0, 3}, {3, 6}, {6, ToEnd}}}},
        ModeCase{"time shorter than a piece", SplitMode::Time, 60, 6, {66150}, {}, {{{0, ToEnd}}}},
        // The last piece takes what the division leaves over.
        ModeCase{"count", SplitMode::Count, 60, 3, {463050}, {}, {{{0, 3}, {3, 6}, {6, ToEnd}}}},
        // A file shorter than SplitCount seconds: empty pieces, the last holds it all.
        ModeCase{"count short file",
                 SplitMode::Count,
                 60,
                 3,
                 {110250},
                 {},
                 {{{0, 0}, {0, 0}, {0, ToEnd}}}},
        ModeCase{
            "custom", SplitMode::Custom, 60, 6, {463050}, {{1, 4}, {5, 8}}, {{{1, 4}, {5, 8}}}},
        ModeCase{"custom to the end",
                 SplitMode::Custom,
                 60,
                 6,
                 {463050},
                 {{1, 4}, {5, 10}},
                 {{{1, 4}, {5, ToEnd}}}},
        ModeCase{"custom single span", SplitMode::Custom, 60, 6, {463050}, {}, {{{0, ToEnd}}}},
        ModeCase{"unification",
                 SplitMode::Unification,
                 60,
                 6,
                 {463050, 405720, 220500},
                 {{1, 3}, {8, 10}},
                 {{{1, 3}, {8, ToEnd}}, {{1, 3}, {8, ToEnd}}, {{1, 3}}}}));

// --------------------------------------------------------------------------
// Names, single spans, statuses
// --------------------------------------------------------------------------

TEST_F(SplitFixture, SongLiveWithThreeSpansGivesThreeNumberedFiles) {
    add(makeSource(QStringLiteral("song.ogg"), 441000));
    jobs.fileModel().setCaption(0, QStringLiteral("Song.live"));
    setSpans(0, {{0, 2}, {2, 4}, {4, 6}});
    split();
    EXPECT_EQ(filesInOutput(),
              (QStringList{QStringLiteral("Song_1.ogg"), QStringLiteral("Song_2.ogg"),
                           QStringLiteral("Song_3.ogg")}));
}

TEST_F(SplitFixture, ASingleCustomSpanIsConvertedAndKeepsSpanCountOne) {
    add(makeSource(QStringLiteral("one.ogg"), 100000));
    ASSERT_EQ(jobs.file(0).spanCount, 1);
    split();
    ASSERT_EQ(conversion.lastOutputs().size(), 1);
    EXPECT_EQ(jobs.file(0).spanCount, 1);
    // The lone span is the whole file, to its last frame.
    EXPECT_EQ(synth::decodeOgg(conversion.lastOutputs().front()).frames(), 100000);
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
    split();
    ASSERT_EQ(conversion.lastOutputs(), QStringList{outDir + QStringLiteral("base_101.ogg")});
    EXPECT_EQ(synth::decodeOgg(outDir + QStringLiteral("base_101.ogg")).frames(), 50000);
    for (int n = 1; n <= 100; ++n) {
        QFile f(outDir + QStringLiteral("base_%1.ogg").arg(n));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray("keep")) << n;
    }
}

TEST_F(SplitFixture, SplitCommandWithAnEmptyListDoesNothing) {
    commands.click(QStringLiteral("Split"));
    EXPECT_TRUE(prompt.openedUrls.isEmpty());
    EXPECT_FALSE(state.converting);
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
class SplitFades : public SplitFixture, public ::testing::WithParamInterface<FadeCase> {};

TEST_P(SplitFades, FadesStayWithinTheTwoSecondPiece) {
    const FadeCase& p = GetParam();
    setFades(p.fadeIn, p.fadeOut, p.fadeSeconds);
    add(makeSource(QStringLiteral("fade.ogg"), 441000));
    setSpans(0, {{2, 4}});
    split();
    ASSERT_EQ(conversion.lastOutputs().size(), 1);
    const synth::Decoded piece = synth::decodeOgg(conversion.lastOutputs().front());
    // A fade-in longer than the piece is cut to the piece.
    ASSERT_EQ(piece.frames(), pieceFrames(441000, Rate, 2, 4));
    const std::int64_t edge = 441 * 2; // 10 ms, interleaved stereo
    expectEdges(piece.samples, edge, p.quietStart, p.quietEnd);
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
    state.settings.splitMode = SplitMode::Time;
    state.settings.splitSeconds = 3;
    add(makeSource(QStringLiteral("a.ogg"), 463050));
    add(makeSource(QStringLiteral("b.ogg"), 300000));
    QString log;
    state.pump = [&] { log += QLatin1Char('P'); };
    QList<int> values;
    conversion.onProgress = [&](int value) {
        log += QLatin1Char('B');
        values << value;
    };
    conversion.onOutputStarted = [&](const QString&) { log += QLatin1Char('O'); };
    split();
    ASSERT_EQ(conversion.lastOutputs().size(), 4 + 3);
    // Pieces of 3 s are a block of 2 s and one of 1 s; each last piece runs to
    // its file's end in one block: 7 blocks of a, 5 of b.
    EXPECT_EQ(log.count(QLatin1Char('B')), 12);
    EXPECT_FALSE(log.contains(QStringLiteral("BB"))) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("BO"))) << log.toStdString();
    EXPECT_TRUE(log.startsWith(QLatin1Char('P')));
    // Each piece's percentage ends at 100.
    EXPECT_EQ(values.count(Conversion::ProgressScale), 7);
    EXPECT_EQ(runsEnded, 1);
}

TEST_F(SplitFixture, StopMidPieceClosesItAndStartsNothingMore) {
    add(makeSource(QStringLiteral("long.ogg"), 20 * Rate));
    add(makeSource(QStringLiteral("next.ogg"), 5 * Rate));
    int pumps = 0;
    int progressAtStop = -1;
    state.pump = [&] {
        if (++pumps == 6) {
            progressAtStop = progress.isEmpty() ? -1 : progress.last();
            commands.click(QStringLiteral("Stop"));
        }
    };
    commands.click(QStringLiteral("Split"));

    ASSERT_EQ(conversion.lastOutputs().size(), 1);
    EXPECT_EQ(filesInOutput(), QStringList{QStringLiteral("long_1.ogg")});
    const synth::Decoded piece = synth::decodeOgg(conversion.lastOutputs().front());
    EXPECT_GT(piece.frames(), 0);
    EXPECT_LT(piece.frames(), 20 * Rate);
    EXPECT_EQ(piece.frames() % (2 * Rate), 0); // whole blocks only
    EXPECT_GT(progressAtStop, 0);
    EXPECT_EQ(jobs.spanStatus(0), QStringLiteral("Finish"));
    EXPECT_EQ(jobs.selectedFile(), 0);
    EXPECT_FALSE(state.converting);
    EXPECT_EQ(runsEnded, 1);
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
        state.settings.outputDir = blocker.fileName() + QStringLiteral("/out/");
        expectedFile = QDir::toNativeSeparators(blocker.fileName());
    }
    if (p.deleteSecondSource) {
        ASSERT_TRUE(QFile::remove(second));
        expectedFile = QDir::toNativeSeparators(second);
    }

    commands.click(QStringLiteral("Split"));

    EXPECT_TRUE(conversion.lastRunFailed());
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages.front().contains(expectedFile))
        << prompt.messages.front().toStdString();
    EXPECT_FALSE(state.converting);
    EXPECT_EQ(runsEnded, 1);
    EXPECT_EQ(jobs.file(0).spanCount, 3);
    EXPECT_EQ(jobs.file(1).spanCount, 3);
    EXPECT_FALSE(conversion.writer().isOpen());
    EXPECT_FALSE(conversion.reader().isOpen());
    // A missing folder is no one file's failure; the deleted source is the
    // second file, after the first was written whole.
    EXPECT_EQ(conversion.failedFile(), p.unwritableFolder ? -1 : 1);
    EXPECT_EQ(conversion.filesSplit(), p.unwritableFolder ? 0 : 1);
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
// Refused before anything is written
// --------------------------------------------------------------------------

struct RefusalCase {
    const char* name;
    SplitMode mode;
    int splitSeconds;
    int splitCount;
    Spans spans;              // confirmed spans of the first file
    std::pair<int, int> open; // its open span
    const char* message;      // a part of the one message
};
class SplitRefusals : public SplitFixture, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(SplitRefusals, SayWhyAndWriteNothing) {
    const RefusalCase& p = GetParam();
    state.settings.splitMode = p.mode;
    state.settings.splitSeconds = p.splitSeconds;
    state.settings.splitCount = p.splitCount;
    add(makeSource(QStringLiteral("a.ogg"), 4 * Rate));
    add(makeSource(QStringLiteral("b.ogg"), 4 * Rate));
    setSpans(0, p.spans);
    FileRow& first = jobs.file(0);
    first.spans.back() = Span{p.open.first, p.open.second};

    commands.click(QStringLiteral("Split"));

    EXPECT_TRUE(conversion.lastRunFailed());
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages.front().contains(QString::fromUtf8(p.message)))
        << prompt.messages.front().toStdString();
    EXPECT_TRUE(filesInOutput().isEmpty());
    EXPECT_TRUE(prompt.openedUrls.isEmpty());
    EXPECT_FALSE(state.converting);
    // Refused for the first file, with nothing written before it.
    EXPECT_EQ(conversion.failedFile(), 0);
    EXPECT_EQ(conversion.filesSplit(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, SplitRefusals,
    ::testing::Values(RefusalCase{"custom open span reversed",
                                  SplitMode::Custom,
                                  60,
                                  6,
                                  {},
                                  {3, 1},
                                  "Start-time must not be larger than end-time."},
                      RefusalCase{"unification open span reversed",
                                  SplitMode::Unification,
                                  60,
                                  6,
                                  {},
                                  {3, 1},
                                  "Start-time must not be larger than end-time."},
                      RefusalCase{"more pieces than allowed",
                                  SplitMode::Count,
                                  60,
                                  100001,
                                  {},
                                  {0, 4},
                                  "a.ogg would be cut into 100001 pieces"}));

// --------------------------------------------------------------------------
// Pieces side by side
// --------------------------------------------------------------------------

struct ParallelCase {
    const char* name;
    SplitMode mode;
    int splitSeconds;
    int splitCount;
    bool fades;
    std::vector<std::int64_t> fileFrames;
    Spans spans; // Custom: on every file; Unification: on the first
};
class SplitInParallel : public SplitFixture, public ::testing::WithParamInterface<ParallelCase> {
  protected:
    void SetUp() override {
        SplitFixture::SetUp();
        const ParallelCase& p = GetParam();
        setFades(p.fades, p.fades, 1);
        addSplitSources(p.mode, p.splitSeconds, p.splitCount, p.fileFrames, p.spans);
    }
    void splitWith(int jobs) {
        RunOptions o = RunOptions::fromSettings(state.settings, state.ini.get(), state.formatIndex);
        o.jobs = jobs;
        conversion.setOptions(o);
        conversion.splitRun();
    }
};

TEST_P(SplitInParallel, WritesThePiecesOfTheOneAtATimeRun) {
    QStringList closedOne, closedMany;
    conversion.onOutputClosed = [&](const QString& path) {
        closedOne << QFileInfo(path).fileName();
    };
    splitWith(1);
    ASSERT_FALSE(conversion.lastRunFailed()) << conversion.lastError().toStdString();
    const QStringList one = conversion.lastOutputs();
    const int finishedOne = int(progress.count(Conversion::ProgressScale));
    // The same names again: the first run's pieces move away.
    const QString firstDir = dir.filePath(QStringLiteral("first"));
    ASSERT_TRUE(QDir().rename(outDir, firstDir));
    ASSERT_TRUE(QDir().mkpath(outDir));
    progress.clear();

    conversion.onOutputClosed = [&](const QString& path) {
        closedMany << QFileInfo(path).fileName();
    };
    splitWith(3);
    ASSERT_FALSE(conversion.lastRunFailed()) << conversion.lastError().toStdString();
    EXPECT_TRUE(prompt.messages.isEmpty());
    ASSERT_EQ(conversion.lastOutputs(), one);
    EXPECT_EQ(closedMany, closedOne);
    EXPECT_EQ(filesInOutput(), QDir(firstDir).entryList(QDir::Files | QDir::Hidden, QDir::Name));
    EXPECT_EQ(int(progress.count(Conversion::ProgressScale)), finishedOne);
    for (const QString& out : one) {
        const synth::Decoded many = synth::decodeOgg(out);
        const synth::Decoded single =
            synth::decodeOgg(firstDir + QLatin1Char('/') + QFileInfo(out).fileName());
        EXPECT_EQ(many.rate, single.rate);
        EXPECT_EQ(many.channels, single.channels);
        EXPECT_EQ(many.samples, single.samples) << out.toStdString();
        // Only the stream's serial number differs: the encoding is the same.
        EXPECT_EQ(QFileInfo(out).size(),
                  QFileInfo(firstDir + QLatin1Char('/') + QFileInfo(out).fileName()).size());
    }
    for (int row = 0; row < jobs.spanRowCount(); ++row)
        EXPECT_EQ(jobs.spanStatus(row), QStringLiteral("Finish"));
    EXPECT_FALSE(state.converting);
    EXPECT_EQ(runsEnded, 2);
}

TEST_P(SplitInParallel, StopLeavesOnlyCompletePieces) {
    int pumps = 0;
    state.pump = [&] {
        // Before the third piece is handed out.
        if (++pumps == 3)
            commands.click(QStringLiteral("Stop"));
    };
    splitWith(3);
    EXPECT_LE(conversion.lastOutputs().size(), 2);
    EXPECT_FALSE(conversion.lastRunFailed());
    EXPECT_FALSE(state.converting);
    EXPECT_EQ(runsEnded, 1);
    QStringList names;
    for (const QString& out : conversion.lastOutputs()) {
        names << QFileInfo(out).fileName();
        EXPECT_GT(synth::decodeOgg(out).frames(), 0) << out.toStdString();
    }
    // Nothing half-written under a final name, nothing left beside them.
    EXPECT_EQ(filesInOutput(), names);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SplitInParallel,
    ::testing::Values(
        ParallelCase{"time", SplitMode::Time, 1, 6, false, {463050}, {}},
        ParallelCase{"time with fades", SplitMode::Time, 3, 6, true, {463050, 300000}, {}},
        ParallelCase{"count", SplitMode::Count, 60, 5, false, {463050}, {}},
        ParallelCase{"custom", SplitMode::Custom, 60, 6, true, {463050}, {{1, 4}, {5, 8}, {8, 10}}},
        ParallelCase{"unification",
                     SplitMode::Unification,
                     60,
                     6,
                     false,
                     {463050, 405720},
                     {{0, 2}, {2, 5}, {6, 9}}}));

// A piece the disk refuses ends the run: the other pieces are closed complete,
// the refused one leaves nothing, and the one message names its output.
class SplitPieceRefused : public SplitFixture, public ::testing::WithParamInterface<int> {};

TEST_P(SplitPieceRefused, EndsTheRunAndClosesTheOthers) {
#ifndef Q_OS_UNIX
    GTEST_SKIP() << "needs a file size limit";
#else
    add(makeSource(QStringLiteral("long.ogg"), 14 * Rate));
    // The third piece is ten times as long as the others.
    setSpans(0, {{0, 1}, {1, 2}, {2, 12}, {12, 13}});
    RunOptions o = RunOptions::fromSettings(state.settings, state.ini.get(), state.formatIndex);
    o.jobs = GetParam();
    conversion.setOptions(o);

    // Writes past 20 KB fail with "File too large", as on a full disk: the
    // tone takes about 8 KB a second.
    struct rlimit before {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = before;
    limited.rlim_cur = 20 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    conversion.splitRun();
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(conversion.lastRunFailed());
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages.front().contains(QStringLiteral("long_3.ogg")))
        << prompt.messages.front().toStdString();
    EXPECT_FALSE(state.converting);
    EXPECT_EQ(runsEnded, 1);
    const QStringList outputs = conversion.lastOutputs();
    ASSERT_GE(outputs.size(), 2);
    EXPECT_EQ(QFileInfo(outputs[0]).fileName(), QStringLiteral("long_1.ogg"));
    EXPECT_EQ(QFileInfo(outputs[1]).fileName(), QStringLiteral("long_2.ogg"));
    QStringList names;
    for (const QString& out : outputs) {
        names << QFileInfo(out).fileName();
        EXPECT_GT(synth::decodeOgg(out).frames(), 0) << out.toStdString();
    }
    EXPECT_FALSE(names.contains(QStringLiteral("long_3.ogg")));
    EXPECT_EQ(filesInOutput(), names);
#endif
}

INSTANTIATE_TEST_SUITE_P(Jobs, SplitPieceRefused, ::testing::Values(1, 2, 4));

// --------------------------------------------------------------------------
// Output folders and names the file system refuses
// --------------------------------------------------------------------------

enum class Way { OneAtATime, SideBySide, Copy };

struct OutputCase {
    const char* name;
    const char* folder;   // below the temporary folder; "$DEEP": 3950 characters long
    QString source;       // the source's file name; its caption has 300 letters
    QStringList expected; // the pieces written
    const char* message;  // a part of the one message; empty when the run succeeds
};

class SplitOutputs : public SplitFixture,
                     public ::testing::WithParamInterface<std::tuple<OutputCase, Way>> {};

TEST_P(SplitOutputs, FolderIsMadeAndNamesFallBack) {
    const auto& [p, way] = GetParam();
    QString folder = dir.filePath(QString::fromUtf8(p.folder));
    if (QLatin1String(p.folder) == QLatin1String("$DEEP")) {
#ifndef Q_OS_LINUX
        GTEST_SKIP() << "the path length limit differs";
#endif
        // Below the system's 4096 a name of 200 bytes no longer fits, "a.ogg" does.
        for (folder = dir.path(); folder.size() < 3850;)
            folder += QLatin1Char('/') + QString(99, QLatin1Char('d'));
        folder += QLatin1Char('/') + QString(3950 - folder.size() - 1, QLatin1Char('e'));
    }
    QFile(dir.filePath(QStringLiteral("blocker"))).open(QIODevice::WriteOnly);
    state.settings.outputDir = folder + QLatin1Char('/');
    state.settings.splitMode = SplitMode::Count;
    state.settings.splitCount = 2;
    add(makeSource(p.source, 2 * Rate));
    jobs.file(0).caption = QString(300, QLatin1Char('c'));
    RunOptions o = RunOptions::fromSettings(state.settings, state.ini.get(), state.formatIndex);
    o.jobs = way == Way::SideBySide ? 2 : 1;
    o.copy = way == Way::Copy;
    conversion.setOptions(o);
    conversion.splitRun();

    QStringList written;
    for (const QString& out : conversion.lastOutputs())
        written << QFileInfo(out).fileName();
    EXPECT_EQ(written, p.expected);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), p.expected.size());
    EXPECT_EQ(prompt.messages.size(), *p.message ? 1 : 0);
    for (const QString& message : prompt.messages) {
        const QString part = QString::fromUtf8(p.message).replace(
            QStringLiteral("$NOT_A_FOLDER"),
            QString::fromLocal8Bit(std::make_error_code(std::errc::not_a_directory).message()));
        EXPECT_TRUE(message.contains(part)) << message.toStdString();
        // A few hundred characters of each name at most, however long.
        EXPECT_LT(message.size(), 800) << message.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, SplitOutputs,
    ::testing::Combine(
        ::testing::Values(OutputCase{"missing folder",
                                     "new/deeper",
                                     QStringLiteral("a.ogg"),
                                     {QString(242, QLatin1Char('c')) + QStringLiteral("_1.ogg"),
                                      QString(242, QLatin1Char('c')) + QStringLiteral("_2.ogg")},
                                     ""},
                          OutputCase{"caption too long for the path",
                                     "$DEEP",
                                     QStringLiteral("a.ogg"),
                                     {QStringLiteral("a.ogg"), QStringLiteral("a_1.ogg")},
                                     ""},
                          OutputCase{"no name can be made",
                                     "$DEEP",
                                     QString(200, QLatin1Char('n')) + QStringLiteral(".ogg"),
                                     {},
                                     "cccccccccc_1.ogg: "},
                          OutputCase{"folder below a file",
                                     "blocker/out",
                                     QStringLiteral("a.ogg"),
                                     {},
                                     "blocker/out: $NOT_A_FOLDER"}),
        ::testing::Values(Way::OneAtATime, Way::SideBySide, Way::Copy)));
