// Cuts where the sound says: the level scan and the silence split on
// synthesised files with known pauses, the piece-length rules and the snapped
// cuts on levels set by hand, and cadelo-cli's options of both.
#include "audio/LevelScan.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "joblist/SilencePlanning.h"
#include "support/RunFixture.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using namespace SilencePlanning;

constexpr int Rate = 44100;
constexpr std::int64_t Tolerance = Rate / 50; // 20 ms

// A stretch of the synthesised file: a tone (`toneDb` > -200) or none, with
// noise of `noiseDb` under it (RMS levels in dBFS).
struct Stretch {
    double seconds;
    double toneDb;
    double noiseDb;
};

double amplitude(double db) {
    return std::pow(10.0, db / 20.0);
}

// Writes the stretches as a stereo Ogg Vorbis file; the pauses' frame bounds.
std::vector<Pause> writeStretches(const QString& path, const std::vector<Stretch>& stretches) {
    synth::VorbisWriter writer(path, Rate, 2);
    std::vector<Pause> pauses;
    std::uint32_t seed = 12345;
    std::int64_t at = 0;
    for (const Stretch& st : stretches) {
        const std::int64_t n = std::llround(st.seconds * Rate);
        if (st.toneDb < -200)
            pauses.push_back({at, at + n});
        // A sine's RMS is its amplitude over the square root of two, uniform
        // noise's its amplitude over the square root of three.
        const double tone = st.toneDb < -200 ? 0 : amplitude(st.toneDb) * std::sqrt(2.0);
        const double noise = amplitude(st.noiseDb) * std::sqrt(3.0);
        for (std::int64_t done = 0; done < n;) {
            const int frames = int(std::min<std::int64_t>(4096, n - done));
            float** buf = writer.buffer(frames);
            for (int i = 0; i < frames; ++i)
                for (int ch = 0; ch < 2; ++ch) {
                    seed = seed * 1664525u + 1013904223u;
                    const double r = double(seed >> 8) / double(1 << 24) * 2.0 - 1.0;
                    buf[ch][i] =
                        float(tone * std::sin(2 * M_PI * 440.0 * double(at + done + i) / Rate) +
                              noise * r);
                }
            writer.wrote(frames);
            done += frames;
        }
        at += n;
    }
    writer.finish();
    return pauses;
}

// Tones of 2 s between pauses of the given lengths, all over noise of `noiseDb`.
std::vector<Stretch> tonesAndPauses(const std::vector<double>& pauses, double noiseDb,
                                    double toneDb = -9) {
    std::vector<Stretch> out{{2.0, toneDb, noiseDb}};
    for (double p : pauses) {
        out.push_back({p, -300, noiseDb});
        out.push_back({2.0, toneDb, noiseDb});
    }
    return out;
}

// Levels set by hand: `seconds` of `level` dB with quieter spots.
LevelScan handLevels(double seconds, float level,
                     const std::vector<std::pair<double, float>>& spots) {
    LevelScan scan;
    scan.rate = Rate;
    scan.channels = 2;
    scan.frames = std::llround(seconds * Rate);
    scan.windowFrames = Rate / 100;
    scan.levels.assign(size_t((scan.frames + scan.windowFrames - 1) / scan.windowFrames), level);
    for (const auto& [at, db] : spots)
        scan.levels[size_t(scan.windowAt(std::llround(at * Rate)))] = db;
    return scan;
}

class SilenceTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString file(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

// --- the silence split on decoded files ------------------------------------------

struct SplitCase {
    const char* name;
    std::vector<double> pauses; // seconds, between tones of 2 s
    double noiseDb;
    double thresholdDb;
    double minPause;
    bool autoThreshold;
    bool keepPauses;
    std::vector<int> cutPauses; // the pauses a cut is expected in
};

class SilenceSplit : public SilenceTest, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(SilenceSplit, CutsLieInThePausesThatQualify) {
    const SplitCase& c = GetParam();
    const QString path = file(QStringLiteral("in.ogg"));
    const std::vector<Pause> pauses = writeStretches(path, tonesAndPauses(c.pauses, c.noiseDb));
    for (int threads : {1, 2}) {
        const LevelScan scan = scanLevels(path, {threads, {}, {}});
        SilenceSettings o;
        o.thresholdDb = c.thresholdDb;
        o.minPause = c.minPause;
        o.autoThreshold = c.autoThreshold;
        o.keepPauses = c.keepPauses;
        const std::vector<Piece> pieces = planSilence(scan, o);
        ASSERT_EQ(pieces.size(), c.cutPauses.size() + 1) << threads << " readers";
        EXPECT_EQ(pieces.front().begin, 0);
        EXPECT_EQ(pieces.back().end, scan.frames);
        for (size_t i = 0; i < c.cutPauses.size(); ++i) {
            const Pause& p = pauses[size_t(c.cutPauses[i])];
            if (c.keepPauses) {
                EXPECT_NEAR(pieces[i].end, p.middle(), Tolerance) << "cut " << i;
                EXPECT_EQ(pieces[i + 1].begin, pieces[i].end);
            } else {
                EXPECT_NEAR(pieces[i].end, p.begin, Tolerance) << "cut " << i;
                EXPECT_NEAR(pieces[i + 1].begin, p.end, Tolerance) << "cut " << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pauses, SilenceSplit,
    ::testing::Values(
        SplitCase{"LongPausesOnly", {1.5, 0.6, 2.0}, -65, -48, 1.0, false, true, {0, 2}},
        SplitCase{"ShorterMinimum", {1.5, 0.6, 2.0}, -65, -48, 0.5, false, true, {0, 1, 2}},
        SplitCase{"PausesDropped", {1.5, 0.6, 2.0}, -65, -48, 1.0, false, false, {0, 2}},
        SplitCase{"NoiseAboveThreshold", {1.5, 2.0}, -40, -48, 1.0, false, true, {}},
        SplitCase{"HigherThreshold", {1.5, 2.0}, -40, -35, 1.0, false, true, {0, 1}},
        SplitCase{"AutomaticInNoise", {1.5, 1.2, 2.0}, -30, -48, 1.0, true, true, {0, 1, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SilenceTest, ScanStopsWhenAskedAndReportsProgress) {
    const QString path = file(QStringLiteral("long.ogg"));
    writeStretches(path, {{50.0, -9, -60}});
    int calls = 0;
    int last = -1;
    const LevelScan whole = scanLevels(path, {2, [&](int p) { ++calls, last = p; }, {}});
    EXPECT_FALSE(whole.stopped);
    EXPECT_EQ(last, 10000);
    EXPECT_EQ(whole.windowCount(), (whole.frames + 440) / 441);
    const LevelScan stopped = scanLevels(path, {2, {}, [&] { return true; }});
    EXPECT_TRUE(stopped.stopped);
}

// --- piece lengths and snapped cuts on levels set by hand ------------------------------

struct LengthCase {
    const char* name;
    std::vector<double> quiet; // middles of one-second pauses
    double seconds;
    double minLength;
    double maxLength;
};

class PieceLengths : public ::testing::TestWithParam<LengthCase> {};

TEST_P(PieceLengths, Hold) {
    const LengthCase& c = GetParam();
    std::vector<std::pair<double, float>> spots;
    for (double m : c.quiet)
        for (double t = m - 0.5; t < m + 0.5; t += 0.01)
            spots.push_back({t, -70.0f});
    // A quieter moment (but no pause) where a long piece is to be cut.
    spots.push_back({c.seconds * 0.37, -30.0f});
    const LevelScan scan = handLevels(c.seconds, -10.0f, spots);
    SilenceSettings o;
    o.keepPauses = true;
    o.minLength = c.minLength;
    o.maxLength = c.maxLength;
    const std::vector<Piece> pieces = planSilence(scan, o);
    ASSERT_FALSE(pieces.empty());
    for (size_t i = 0; i < pieces.size(); ++i) {
        const double length = double(pieces[i].end - pieces[i].begin) / Rate;
        if (c.minLength > 0 && pieces.size() > 1) {
            EXPECT_GE(length, c.minLength) << "piece " << i;
        }
        if (c.maxLength > 0) {
            EXPECT_LE(length, c.maxLength) << "piece " << i;
        }
        if (i > 0) {
            EXPECT_EQ(pieces[i].begin, pieces[i - 1].end);
        }
    }
    if (c.maxLength > 0 && c.quiet.empty()) {
        EXPECT_NEAR(double(pieces[0].end) / Rate, c.seconds * 0.37, 0.01);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, PieceLengths,
    ::testing::Values(LengthCase{"ShortPiecesJoin", {3, 5, 6.5, 12, 20}, 30, 4, 0},
                      LengthCase{"LongPieceCutAtItsQuietestMoment", {}, 30, 0, 20},
                      LengthCase{"BothHold", {2, 4, 6, 8, 25}, 60, 5, 15}),
    [](const auto& info) { return std::string(info.param.name); });

struct SnapCase {
    const char* name;
    double seconds;
    std::vector<double> cuts;
    double snap;
    std::vector<std::pair<double, float>> spots;
};

class SnappedCuts : public ::testing::TestWithParam<SnapCase> {};

TEST_P(SnappedCuts, LandInTheQuietestWindowWithinReachAndInsideTheFile) {
    const SnapCase& c = GetParam();
    const LevelScan scan = handLevels(c.seconds, -10.0f, c.spots);
    std::vector<std::int64_t> cuts;
    for (double t : c.cuts)
        cuts.push_back(std::llround(t * Rate));
    const std::vector<Piece> pieces = snapCuts(scan, cuts, c.snap);
    ASSERT_EQ(pieces.size(), cuts.size() + 1);
    EXPECT_EQ(pieces.back().end, scan.frames);
    for (size_t i = 0; i < cuts.size(); ++i) {
        const std::int64_t at = pieces[i].end;
        EXPECT_GT(at, pieces[i].begin);
        EXPECT_LT(at, scan.frames);
        EXPECT_LE(std::llabs(at - cuts[i]), std::llround(c.snap * Rate) + scan.windowFrames);
        const std::int64_t low =
            scan.windowAt(std::max<std::int64_t>(0, cuts[i] - std::llround(c.snap * Rate)));
        const std::int64_t high = scan.windowAt(cuts[i] + std::llround(c.snap * Rate));
        float quietest = 0;
        for (std::int64_t w = low; w <= high; ++w)
            quietest = std::min(quietest, scan.levels[size_t(w)]);
        EXPECT_EQ(scan.levels[size_t(scan.windowAt(at))], quietest) << "cut " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reach, SnappedCuts,
    ::testing::Values(
        SnapCase{"QuietSpotsNearby", 30, {10, 20}, 1.5, {{9.3, -50}, {21.2, -40}, {25, -90}}},
        SnapCase{"QuietSpotOutOfReach", 30, {10}, 1.0, {{12.5, -90}}},
        SnapCase{"ReachPastTheFileEnd", 10.5, {10}, 3.0, {}},
        SnapCase{"ReachBeforeTheStart", 8, {1}, 3.0, {{0.02, -90}}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- cadelo-cli ---------------------------------------------------------------------------

struct CliCase {
    const char* name;
    QStringList args;
    int exitCode;
    const char* message; // part of what stderr says
};

class SilenceCli : public SilenceTest, public ::testing::WithParamInterface<CliCase> {};

TEST_P(SilenceCli, OptionsAreCheckedBeforeAnyFile) {
    const CliCase& c = GetParam();
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QDir(qEnvironmentVariable("CADELO_BUILD_DIR")).filePath(QStringLiteral("cadelo-cli")),
            QStringList{QStringLiteral("split")} + c.args +
                QStringList{QStringLiteral("none.ogg")});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), c.exitCode);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains(QLatin1String(c.message)))
        << c.message;
}

QStringList words(const char* text) {
    return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SilenceCli,
    ::testing::Values(
        CliCase{"PositiveThreshold", words("--silence --threshold 3"), 2,
                "--threshold takes a negative level in dBFS from -120 up to 0, not \"3\""},
        CliCase{"ThresholdWithAuto", words("--silence auto --threshold -40"), 2,
                "--threshold cannot be combined with --silence auto"},
        CliCase{"BadSeconds", words("--silence --min-pause 1,5"), 2,
                "--min-pause takes seconds from 0.01 to 3600 (decimals allowed), not \"1,5\""},
        CliCase{"ThresholdAlone", words("--threshold -40"), 2, "--threshold needs --silence"},
        CliCase{"SnapAlone", words("--snap 2"), 2, "--snap needs --every or --pieces"},
        CliCase{"SilenceAndEvery", words("--every 60 --silence"), 2,
                "--silence cannot be combined with --every"},
        CliCase{"MaxBelowMin", words("--silence --min-length 30 --max-length 10"), 2,
                "--max-length cannot be shorter than --min-length"},
        CliCase{"SilenceValue", words("--silence=loud"), 2,
                "--silence takes no value but \"auto\", not \"loud\""},
        CliCase{"DecimalsAccepted",
                words("--silence --threshold -50.5 --min-pause 0.75 --max-length 90.5"), 1,
                "none.ogg"}),
    [](const auto& info) { return std::string(info.param.name); });

// Runs cadelo-cli split on `path` with `args`; the pieces' frame counts.
std::vector<std::int64_t> cliPieces(const QTemporaryDir& dir, const QString& path,
                                    const QStringList& args) {
    const QString out = dir.filePath(QStringLiteral("out-%1").arg(args.join(QString()).size()));
    QFile settings(dir.filePath(QStringLiteral("s.ini")));
    EXPECT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Output]\nDir=" + out.toUtf8() + "\n");
    settings.close();
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(QDir(qEnvironmentVariable("CADELO_BUILD_DIR")).filePath(QStringLiteral("cadelo-cli")),
            QStringList{QStringLiteral("split"), QStringLiteral("--settings"), settings.fileName(),
                        QStringLiteral("-q")} +
                args + QStringList{path});
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    std::vector<std::int64_t> frames;
    for (const QString& piece :
         QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        frames.push_back(synth::decodeOgg(piece).frames());
    return frames;
}

TEST_F(SilenceTest, CliCutsInThePauses) {
    const QString path = file(QStringLiteral("talk.ogg"));
    const std::vector<Pause> pauses = writeStretches(path, tonesAndPauses({1.5, 2.0}, -65));
    // A Custom piece leaves out a tail under 100 frames.
    const std::vector<std::int64_t> silence =
        cliPieces(dir, path, {QStringLiteral("--silence"), QStringLiteral("--keep-pauses")});
    ASSERT_EQ(silence.size(), 3u);
    EXPECT_NEAR(silence[0], pauses[0].middle(), Tolerance + 100);
    EXPECT_NEAR(silence[0] + silence[1], pauses[1].middle(), Tolerance + 100);

    // Cuts every 3 s, moved up to 1.5 s: the first two into the pauses.
    const std::vector<std::int64_t> snapped = cliPieces(
        dir, path, {QStringLiteral("--every"), QStringLiteral("3"), QStringLiteral("--snap=1.5")});
    ASSERT_EQ(snapped.size(), 4u);
    EXPECT_GT(snapped[0], pauses[0].begin);
    EXPECT_LT(snapped[0] + 100, pauses[0].end);
    EXPECT_GT(snapped[0] + snapped[1], pauses[1].begin);
    EXPECT_LT(snapped[0] + snapped[1] + 200, pauses[1].end);
}

// --- the window's split ------------------------------------------------------------------

struct WindowCase {
    const char* name;
    bool silence; // the silence split chosen and applied before the file came
    SplitMode mode;
    double snap;
    bool stop; // Stop while the split scans
    size_t pieces;
};

class WindowSplitBySound : public RunFixture, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(WindowSplitBySound, CutsInThePausesOrWritesNothingWhenStopped) {
    const WindowCase& c = GetParam();
    state.settings.splitMode = c.mode;
    state.settings.splitSeconds = 4; // cuts at 4 s and 8 s: in tones, 1 s from a pause
    state.settings.silence.chosen = c.silence;
    state.settings.silence.keepPauses = true;
    state.settings.silence.snapSeconds = c.snap;
    const QString path = dir.filePath(QStringLiteral("src/talk.ogg"));
    const std::vector<Pause> pauses = writeStretches(path, tonesAndPauses({1.5, 2.0}, -65));
    add(path);
    // Pressed while the scan holds the list, not during the run after it.
    if (c.stop)
        state.pump = [this] {
            if (state.adding)
                commands.click(QStringLiteral("Stop"));
        };
    commands.splitItem();
    const QStringList names = filesInOutput();
    ASSERT_EQ(size_t(names.size()), c.pieces) << names.join(QLatin1Char(' ')).toStdString();
    std::int64_t cut = 0;
    for (int i = 0; i + 1 < names.size(); ++i) {
        cut += synth::decodeOgg(outDir + names[i]).frames();
        EXPECT_GT(cut, pauses[size_t(i)].begin) << "cut " << i;
        EXPECT_LT(cut, pauses[size_t(i)].end) << "cut " << i;
    }
    // The snapped pieces were that run's: the mode and the row's spans stay.
    EXPECT_EQ(state.settings.splitMode, c.mode);
    if (!c.silence) {
        EXPECT_EQ(jobs.file(0).spans.size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, WindowSplitBySound,
    ::testing::Values(WindowCase{"SilenceOfAFileAddedAfterOk", true, SplitMode::Custom, 0, false,
                                 3},
                      WindowCase{"SilenceScanStopped", true, SplitMode::Custom, 0, true, 0},
                      WindowCase{"TimeSnapped", false, SplitMode::Time, 1.5, false, 3},
                      WindowCase{"TimeSnapScanStopped", false, SplitMode::Time, 1.5, true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A classic settings file gains no [Silence] lines; chosen values come back.
TEST_F(SilenceTest, SettingsKeepClassicFilesAndRoundTrip) {
    const QString path = file(QStringLiteral("VAZOzojoin.ini"));
    {
        IniFile ini(path);
        CachedSettings s;
        SaveSettings(ini, s);
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(f.readAll().contains("[Silence]"));
    f.close();
    IniFile ini(path);
    CachedSettings s;
    s.silence = {true, true, -52.5, 0.75, 30, 600, true, 2.5};
    SaveSettings(ini, s);
    CachedSettings again;
    LoadSettings(ini, again);
    EXPECT_EQ(again.silence, s.silence);
}

} // namespace
