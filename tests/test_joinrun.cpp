// The join runs end to end on synthesised files: the output file question,
// exact spans in every mode, conversion to the first file's format, fades,
// pumping, Stop, and what a failure leaves.
#include "audio/MulDiv.h"
#include "support/CaseTable.h"
#include "support/Printing.h"
#include "support/RunFixture.h"
#include "synth/Synth.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using testsupport::PrintTo;

// RMS difference between `frames` frames of two decoded streams of one format.
double difference(const synth::Decoded& a, std::int64_t fromA, const synth::Decoded& b,
                  std::int64_t fromB, std::int64_t frames) {
    double sum = 0;
    const int ch = a.channels;
    for (std::int64_t i = 0; i < frames * ch; ++i) {
        const double d =
            double(a.samples[size_t(fromA * ch + i)]) - b.samples[size_t(fromB * ch + i)];
        sum += d * d;
    }
    return frames > 0 ? std::sqrt(sum / double(frames * ch)) : 0.0;
}

struct Source {
    std::int64_t frames;
    int rate = 44100;
    int channels = 2;
};

class JoinFixture : public RunFixture {
  protected:
    using RunFixture::add;
    QString add(const QString& name, const Source& src) {
        const QString path = makeSource(name, src.frames, src.rate, src.channels);
        add(path);
        return path;
    }
    // The output a run of `name` in the output folder writes, for join().
    QString joinTo(const QString& name) const { return outDir + name; }
};

// The frames a join takes of a span: by the file's record, never past its end.
std::int64_t spanFrames(const FileRow& r, int begin, int end) {
    const std::int64_t b = MulDiv(begin, r.samples, r.seconds);
    const std::int64_t e = std::min(MulDiv(end, r.samples, r.seconds), r.samples);
    return std::max<std::int64_t>(0, e - b);
}

} // namespace

// --------------------------------------------------------------------------
// The output file question
// --------------------------------------------------------------------------

struct ChooseCase {
    const char* name;
    const char* typed;    // empty: cancelled
    bool existing;        // the final file exists beforehand
    bool replace;         // the answer to the question
    const char* expected; // final file name, or empty when the command ends
};
using ChooseJoinOutput = testsupport::CaseTable<JoinFixture, ChooseCase>;

TEST_P(ChooseJoinOutput, AppendsOggAndAsksBeforeReplacing) {
    const ChooseCase& p = GetParam();
    add(QStringLiteral("a.ogg"), {44100});
    const QString typed = QString::fromUtf8(p.typed);
    if (!typed.isEmpty())
        prompt.saveFileAnswers.push_back(outDir + typed);
    const QString finalPath = outDir + typed + QStringLiteral(".ogg");
    if (p.existing) {
        QFile f(finalPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep");
    }
    prompt.questionAnswers.push_back(p.replace);

    const QString chosen = commands.chooseJoinOutput();

    const QString expected = QString::fromUtf8(p.expected);
    EXPECT_EQ(chosen.isEmpty(), expected.isEmpty());
    if (!chosen.isEmpty()) {
        EXPECT_EQ(chosen, outDir + expected);
    }
    if (p.existing) {
        EXPECT_EQ(prompt.questions,
                  QStringList{QDir::toNativeSeparators(finalPath) +
                              QStringLiteral(" already exists. Do you want to replace it?")});
    } else {
        EXPECT_TRUE(prompt.questions.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, ChooseJoinOutput,
    ::testing::Values(ChooseCase{"plain", "mix", false, false, "mix.ogg"},
                      ChooseCase{"typed extension", "mix.ogg", false, false, "mix.ogg.ogg"},
                      ChooseCase{"cancelled", "", false, false, ""},
                      ChooseCase{"existing kept", "mix", true, false, ""},
                      ChooseCase{"existing replaced", "mix", true, true, "mix.ogg"},
                      ChooseCase{"unicode", "Café – Live", false, false, "Café – Live.ogg"}));

TEST_F(JoinFixture, ChooseWithAnEmptyListShowsNoDialog) {
    prompt.saveFileAnswers.push_back(outDir + QStringLiteral("mix"));
    EXPECT_TRUE(commands.chooseJoinOutput().isEmpty());
    EXPECT_EQ(prompt.saveFileAnswers.size(), 1u);
}

TEST_F(JoinFixture, RefusingToReplaceEndsTheCommandLikeCancel) {
    add(QStringLiteral("a.ogg"), {44100});
    QFile f(outDir + QStringLiteral("mix.ogg"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("keep");
    f.close();
    prompt.saveFileAnswers.push_back(outDir + QStringLiteral("mix"));
    prompt.questionAnswers.push_back(false);

    commands.click(QStringLiteral("Join"));

    EXPECT_TRUE(prompt.openedUrls.isEmpty());
    EXPECT_EQ(runsEnded, 0);
    EXPECT_FALSE(state.converting);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("keep"));
}

// --------------------------------------------------------------------------
// Exactness and the first file's format
// --------------------------------------------------------------------------

struct JoinCase {
    const char* name;
    SplitMode mode;
    std::vector<Source> sources;
    Spans spans;                 // SplitMode::Custom: every file; SplitMode::Unification: the first
    std::vector<Spans> expected; // spans taken per file; empty Spans: whole file
};
using JoinByMode = testsupport::CaseTable<JoinFixture, JoinCase>;

TEST_P(JoinByMode, TheOutputIsTheSpansOneAfterAnother) {
    const JoinCase& p = GetParam();
    state.settings.splitMode = p.mode;
    std::vector<QString> paths;
    for (size_t i = 0; i < p.sources.size(); ++i)
        paths.push_back(add(QStringLiteral("s%1.ogg").arg(i), p.sources[i]));
    if (p.mode == SplitMode::Custom)
        for (size_t i = 0; i < paths.size(); ++i)
            setSpans(int(i), p.spans);
    if (p.mode == SplitMode::Unification)
        setSpans(0, p.spans);
    std::vector<std::int32_t> spanCounts;
    for (const FileRow& r : jobs.fileModel().rows())
        spanCounts.push_back(r.spanCount);
    const QString out = joinTo(QStringLiteral("mix.ogg"));

    join(out);

    ASSERT_FALSE(conversion.lastRunFailed()) << conversion.lastError().toStdString();
    const synth::Decoded joined = synth::decodeOgg(out);
    const Source& first = p.sources.front();
    EXPECT_EQ(joined.rate, first.rate);
    EXPECT_EQ(joined.channels, first.channels);

    std::int64_t at = 0;
    for (size_t i = 0; i < p.sources.size(); ++i) {
        const FileRow& r = jobs.file(int(i));
        const synth::Decoded src = synth::decodeOgg(paths[i]);
        const bool sameFormat = src.rate == joined.rate && src.channels == joined.channels;
        const Spans whole{{0, -1}};
        for (const auto& [begin, end] : p.expected[i].empty() ? whole : p.expected[i]) {
            const std::int64_t from = end < 0 ? 0 : MulDiv(begin, r.samples, r.seconds);
            const std::int64_t frames = end < 0 ? r.samples : spanFrames(r, begin, end);
            // Another rate arrives converted: its frames scale by the rate ratio.
            const std::int64_t written = frames * joined.rate / src.rate;
            ASSERT_LE(at + written, joined.frames()) << "file " << i;
            if (sameFormat) {
                EXPECT_LT(difference(joined, at, src, from, written), 0.03) << "file " << i;
            } else {
                // The mono source is on both channels alike, and not silent.
                double apart = 0;
                for (std::int64_t k = at; k < at + written; ++k) {
                    const double d =
                        double(joined.samples[size_t(2 * k)]) - joined.samples[size_t(2 * k + 1)];
                    apart += d * d;
                }
                EXPECT_LT(std::sqrt(apart / double(written)), 0.01);
                EXPECT_GT(rms(joined.samples, 2 * (at + 4410), 2 * (written - 8820)), 0.2);
            }
            at += written;
        }
    }
    EXPECT_EQ(joined.frames(), at);

    for (int i = 0; i < jobs.rowCount(); ++i)
        EXPECT_EQ(jobs.file(i).spanCount, spanCounts[size_t(i)]) << "a join never changes it";
    // The last file's rows it took are written (a shared span it does not
    // reach keeps its "OK").
    const size_t taken =
        p.mode == SplitMode::Unification ? p.expected.back().size() : size_t(jobs.spanRowCount());
    for (int row = 0; row < jobs.spanRowCount(); ++row)
        EXPECT_EQ(jobs.spanStatus(row),
                  size_t(row) < taken ? QStringLiteral("Finish") : QStringLiteral("OK"));
    EXPECT_FALSE(state.converting);
    EXPECT_EQ(runsEnded, 1);
    EXPECT_EQ(conversion.lastOutputs(), QStringList{out});
}

INSTANTIATE_TEST_SUITE_P(
    Modes, JoinByMode,
    ::testing::Values(
        // 44100 Hz stereo then 22050 Hz mono: 44100 Hz stereo of the summed length.
        JoinCase{"whole files mixed rates",
                 SplitMode::Time,
                 {{132300}, {44100, 22050, 1}},
                 {},
                 {{}, {}}},
        JoinCase{"whole files count", SplitMode::Count, {{100000}, {70000}}, {}, {{}, {}}},
        JoinCase{"custom",
                 SplitMode::Custom,
                 {{463050}, {176400}},
                 {{1, 3}, {6, 8}},
                 {{{1, 3}, {6, 8}}, {{1, 3}}}},
        // 10.9 s, record Seconds 10: the span (5, 10) ends at the file's real end.
        JoinCase{
            "custom past the last second", SplitMode::Custom, {{480690}}, {{5, 10}}, {{{5, 10}}}},
        // 2.27 s, record Seconds 2: the lone open span is the whole file, every frame.
        JoinCase{"custom single span", SplitMode::Custom, {{100000}}, {}, {{{0, 2}}}},
        JoinCase{"unification",
                 SplitMode::Unification,
                 {{264600}, {154350}},
                 {{1, 2}, {4, 6}},
                 {{{1, 2}, {4, 6}}, {{1, 2}}}}));

// --------------------------------------------------------------------------
// Fades
// --------------------------------------------------------------------------

TEST_F(JoinFixture, FadeInTouchesOnlyTheFirstBlockOfTheOutput) {
    state.settings.splitMode = SplitMode::Time;
    state.settings.fadeIn = true;
    state.settings.fadeInSeconds = 1;
    add(QStringLiteral("a.ogg"), {132300});
    add(QStringLiteral("b.ogg"), {132300});
    const QString out = joinTo(QStringLiteral("fade.ogg"));
    join(out);
    const synth::Decoded joined = synth::decodeOgg(out);
    ASSERT_EQ(joined.frames(), 264600);
    const double full = 0.5 / std::sqrt(2.0);
    EXPECT_LT(rms(joined.samples, 0, 882), 0.05 * full);         // ramp start
    EXPECT_GT(rms(joined.samples, 2 * 44100, 882), 0.8 * full);  // just after the block
    EXPECT_GT(rms(joined.samples, 2 * 132300, 882), 0.8 * full); // the second file's start
    EXPECT_GT(rms(joined.samples, 2 * (264600 - 441), 882), 0.8 * full);
}

struct SpanFadeCase {
    const char* name;
    bool fadeIn;
    bool fadeOut;
    int fadeSeconds;
};
using JoinSpanFades = testsupport::CaseTable<JoinFixture, SpanFadeCase>;

TEST_P(JoinSpanFades, AFadeBlockNeverReachesPastTheSpan) {
    const SpanFadeCase& p = GetParam();
    setFades(p.fadeIn, p.fadeOut, p.fadeSeconds);
    add(QStringLiteral("a.ogg"), {441000});
    add(QStringLiteral("b.ogg"), {441000});
    setSpans(0, {{2, 4}});
    setSpans(1, {{1, 2}});
    const QString out = joinTo(QStringLiteral("spans.ogg"));
    join(out);
    const synth::Decoded joined = synth::decodeOgg(out);
    ASSERT_EQ(joined.frames(), 88200 + 44100);
    expectEdges(joined.samples, 882, p.fadeIn, p.fadeOut);

    if (p.fadeOut && !p.fadeIn) {
        const double full = 0.5 / std::sqrt(2.0);
        // The fade-out belongs to the whole output: it starts its length
        // before the output's end and falls across the span and file boundary
        // at 2 s; a fade restarted per span would rise again there.
        const std::int64_t window = 882; // 20 ms: whole periods of both channels' tones
        const std::int64_t fadeStart =
            joined.frames() - std::min<std::int64_t>(p.fadeSeconds * 44100, joined.frames());
        if (fadeStart >= window) {
            EXPECT_GT(rms(joined.samples, 2 * (fadeStart - window), 2 * window), 0.9 * full);
        }
        double previous = 2 * full;
        for (std::int64_t at = fadeStart; at + window <= joined.frames(); at += window) {
            const double level = rms(joined.samples, 2 * at, 2 * window);
            EXPECT_LE(level, previous + 0.01 * full) << "window at frame " << at;
            previous = level;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fades, JoinSpanFades,
    ::testing::Values(SpanFadeCase{"in", true, false, 5}, SpanFadeCase{"out", false, true, 5},
                      SpanFadeCase{"both", true, true, 5},
                      // 2 s of the 3 s output: the whole second span and half the first.
                      SpanFadeCase{"out over both spans", false, true, 2}));

// --------------------------------------------------------------------------
// Pumping, progress, Stop, failures
// --------------------------------------------------------------------------

TEST_F(JoinFixture, EveryFileSpanAndBlockIsPrecededByAPumpAndProgressEndsFull) {
    add(QStringLiteral("a.ogg"), {300000});
    add(QStringLiteral("b.ogg"), {200000, 22050, 1});
    setSpans(0, {{0, 3}, {4, 6}});
    setSpans(1, {{1, 9}});
    QString log;
    std::vector<int> values;
    state.pump = [&] { log += QLatin1Char('P'); };
    conversion.onProgress = [&](int v) {
        log += QLatin1Char('B');
        values.push_back(v);
    };
    join(joinTo(QStringLiteral("pumped.ogg")));
    ASSERT_FALSE(conversion.lastRunFailed());
    EXPECT_GE(log.count(QLatin1Char('B')), 5);
    EXPECT_FALSE(log.contains(QStringLiteral("BB"))) << log.toStdString();
    ASSERT_FALSE(values.empty());
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(values.back(), Conversion::ProgressScale);
}

TEST_F(JoinFixture, StopClosesTheOutputAndTheCommandStillOpensTheFolder) {
    state.settings.splitMode = SplitMode::Time;
    add(QStringLiteral("long.ogg"), {20 * 44100});
    add(QStringLiteral("next.ogg"), {5 * 44100});
    prompt.saveFileAnswers.push_back(outDir + QStringLiteral("stopped"));
    int pumps = 0;
    state.pump = [&] {
        if (++pumps == 5)
            commands.click(QStringLiteral("Stop"));
    };
    commands.click(QStringLiteral("Join"));

    const synth::Decoded joined = synth::decodeOgg(outDir + QStringLiteral("stopped.ogg"));
    EXPECT_GT(joined.frames(), 0);
    EXPECT_LT(joined.frames(), 20 * 44100);
    EXPECT_EQ(jobs.selectedFile(), 0);
    EXPECT_FALSE(state.converting);
    EXPECT_EQ(runsEnded, 1);
    EXPECT_FALSE(conversion.lastRunFailed());
    EXPECT_EQ(prompt.openedUrls, QList<QUrl>{QUrl::fromLocalFile(outDir)});
}

TEST_F(JoinFixture, ADeletedSourceEndsTheRunWithWhatWasWrittenComplete) {
    state.settings.splitMode = SplitMode::Custom;
    add(QStringLiteral("a.ogg"), {176400});
    const QString gone = add(QStringLiteral("gone.ogg"), {176400});
    setSpans(0, {{0, 2}});
    setSpans(1, {{0, 2}});
    ASSERT_TRUE(QFile::remove(gone));
    prompt.saveFileAnswers.push_back(outDir + QStringLiteral("partial"));

    commands.click(QStringLiteral("Join"));

    EXPECT_TRUE(conversion.lastRunFailed());
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages.front().contains(QDir::toNativeSeparators(gone)));
    EXPECT_FALSE(state.converting);
    EXPECT_EQ(runsEnded, 1);
    EXPECT_FALSE(conversion.writer().isOpen());
    EXPECT_FALSE(conversion.reader().isOpen());
    EXPECT_EQ(synth::decodeOgg(outDir + QStringLiteral("partial.ogg")).frames(), 88200);
    EXPECT_EQ(jobs.file(0).spanCount, 2);
    EXPECT_EQ(jobs.file(1).spanCount, 2);
    EXPECT_EQ(prompt.openedUrls.size(), 1);
}

TEST_F(JoinFixture, AnOutputThatCannotBeCreatedIsReportedAndNothingOpens) {
    add(QStringLiteral("a.ogg"), {44100});
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    prompt.saveFileAnswers.push_back(blocker.fileName() + QStringLiteral("/mix"));

    commands.click(QStringLiteral("Join"));

    EXPECT_TRUE(conversion.lastRunFailed());
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages.front().contains(QDir::toNativeSeparators(blocker.fileName())));
    EXPECT_FALSE(state.converting);
    EXPECT_EQ(runsEnded, 1);
    EXPECT_TRUE(conversion.lastOutputs().isEmpty());
    EXPECT_TRUE(prompt.openedUrls.isEmpty());
}
