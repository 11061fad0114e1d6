// cadelo-cli started as a process on synthesised files: the pieces and joins it
// writes, what it prints, its exit statuses, refusals and Ctrl-C.
#include "audio/AudioFile.h"
#include "audio/Mp3Frames.h"
#include "audio/MulDiv.h"
#include "convert/OutputNaming.h"
#include "support/CaseTable.h"
#include "synth/Synth.h"
#include "tags/Id3Tag.h"
#include "tags/OggTag.h"

#include "support/Printing.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QUtf8StringView>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <system_error>
#include <tuple>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/types.h>
#endif

namespace {

using testsupport::PrintTo;

constexpr int Rate = 44100;

using Spans = std::vector<std::pair<int, int>>;

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
    QStringList outLines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

QString cliProgram() {
    const QString build = qEnvironmentVariable("CADELO_BUILD_DIR");
    if (!build.isEmpty())
        return QDir(build).filePath(QStringLiteral("cadelo-cli"));
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../cadelo-cli"));
}

QByteArray hashOf(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Frames of the piece begin..end (seconds) the split cuts from a file, by the
// reader's length: MulDiv(seconds * 1000, LengthSamples, LengthMs).
// A piece's end that is the file's own end, not a whole second.
constexpr int ToEnd = -1;

// Frames from second `begin` to second `end` (or to the file's end) of a file
// of `frames` frames at `rate`.
std::int64_t pieceFrames(std::int64_t frames, int rate, int begin, int end) {
    return (end == ToEnd ? frames : std::int64_t(end) * rate) - std::int64_t(begin) * rate;
}

// Frames of the span begin..end the join takes, by the file's record:
// MulDiv(seconds, Samples, Seconds).
std::int64_t joinSpanFrames(std::int64_t frames, int rate, int begin, int end) {
    const std::int64_t seconds = frames * 1000 / rate / 1000;
    return MulDiv(end, frames, seconds) - MulDiv(begin, frames, seconds);
}

class CliFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QFileInfo::exists(cliProgram())) << cliProgram().toStdString();
        QDir(dir.path()).mkpath(QStringLiteral("src"));
        QDir(dir.path()).mkpath(QStringLiteral("out"));
        QDir(dir.path()).mkpath(QStringLiteral("home/config"));
        outDir = dir.filePath(QStringLiteral("out"));
        settingsPath = dir.filePath(QStringLiteral("settings.ini"));
        writeSettings({});
    }

    void writeSettings(const QString& extra) {
        QFile f(settingsPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write((QStringLiteral("[Output]\nDir=") + outDir + QLatin1Char('\n') + extra).toUtf8());
    }

    QString makeSource(const QString& name, std::int64_t frames, int rate = Rate,
                       int channels = 2) {
        const QString path = dir.filePath(QStringLiteral("src/") + name);
        synth::writeOgg(path, frames, rate, channels);
        return path;
    }

    // The command, then --settings, then the rest: no test reads the user's settings.
    QStringList withSettings(const QString& command, const QStringList& rest) const {
        return QStringList{command, QStringLiteral("--settings"), settingsPath} + rest;
    }

    void prepare(QProcess& p) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("home/config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
    }

    // With `fileLimitKb`, files the program writes may not grow past that
    // size, as on a full disk: writes past it fail with "File too large".
    CliResult run(const QStringList& args, int fileLimitKb = 0) const {
        QProcess p;
        prepare(p);
        if (fileLimitKb > 0)
            p.start(QStringLiteral("/bin/sh"),
                    QStringList{QStringLiteral("-c"),
                                QStringLiteral("trap '' XFSZ; ulimit -f %1; exec \"$0\" \"$@\"")
                                    .arg(fileLimitKb * 2),
                                cliProgram()} +
                        args);
        else
            p.start(cliProgram(), args);
        CliResult r;
        if (!p.waitForStarted() || !p.waitForFinished(600000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "cadelo-cli did not finish";
            return r;
        }
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        r.exitCode = p.exitCode();
        r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
        r.err = QString::fromLocal8Bit(p.readAllStandardError());
        return r;
    }

    QString reproducer(const char* name) const {
        return qEnvironmentVariable("CADELO_SOURCE_DIR", QStringLiteral(".")) +
               QStringLiteral("/tests/data/damaged-inputs/") + QLatin1String(name);
    }

    QStringList outputFiles(const QString& folder) const {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QString out(const QString& name) const { return QDir(outDir).filePath(name); }

    QTemporaryDir dir;
    QString outDir;
    QString settingsPath;
};

} // namespace

// --------------------------------------------------------------------------
// split: pieces of every mode
// --------------------------------------------------------------------------

struct SplitCase {
    const char* name;
    QStringList options;
    QString settings; // added to the settings file
    std::vector<std::int64_t> fileFrames;
    std::vector<Spans> expected; // pieces per file, in order
    int rate = Rate;
    int channels = 2;
};
using CliSplit = testsupport::CaseTable<CliFixture, SplitCase>;

TEST_P(CliSplit, WritesAndPrintsEveryPieceWithItsExactLength) {
    const SplitCase& p = GetParam();
    writeSettings(p.settings);
    QStringList sources;
    // The last file's name is not ASCII: names pass through the command line intact.
    for (size_t i = 0; i < p.fileFrames.size(); ++i)
        sources << makeSource(i + 1 == p.fileFrames.size() && i > 0
                                  ? QStringLiteral("Café – Живо %1.ogg").arg(i)
                                  : QStringLiteral("f%1.ogg").arg(i),
                              p.fileFrames[i], p.rate, p.channels);
    QList<QByteArray> before;
    for (const QString& s : sources)
        before << hashOf(s);

    const CliResult r = run(withSettings(QStringLiteral("split"), p.options + sources));

    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString(); // no bar when stderr is no terminal
    QStringList expectedPaths;
    for (size_t i = 0; i < p.expected.size(); ++i)
        for (size_t n = 1; n <= p.expected[i].size(); ++n)
            expectedPaths << QDir::toNativeSeparators(out(
                QFileInfo(sources[int(i)]).completeBaseName() + QStringLiteral("_%1.ogg").arg(n)));
    EXPECT_EQ(r.outLines(), expectedPaths);
    EXPECT_EQ(outputFiles(outDir).size(), expectedPaths.size());

    int k = 0;
    for (size_t i = 0; i < p.expected.size(); ++i) {
        for (const auto& [begin, end] : p.expected[i]) {
            if (k >= expectedPaths.size())
                break;
            const QString path = expectedPaths[k++];
            const synth::Decoded piece = synth::decodeOgg(path);
            const std::int64_t exact = pieceFrames(p.fileFrames[i], p.rate, begin, end);
            EXPECT_EQ(piece.frames(), exact) << path.toStdString();
            EXPECT_EQ(piece.rate, p.rate);
            EXPECT_EQ(piece.channels, p.channels);
        }
    }
    for (int i = 0; i < sources.size(); ++i)
        EXPECT_EQ(hashOf(sources[i]), before[i]) << "source changed: " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, CliSplit,
    ::testing::Values(SplitCase{"every",
                                {QStringLiteral("--every"), QStringLiteral("3")},
                                {},
                                {463050},
                                {{{0, 3}, {3, 6}, {6, 9}, {9, ToEnd}}}},
                      SplitCase{"pieces",
                                {QStringLiteral("--pieces"), QStringLiteral("3")},
                                {},
                                {463050, 308700},
                                {{{0, 3}, {3, 6}, {6, ToEnd}}, {{0, 2}, {2, 4}, {4, ToEnd}}}},
                      SplitCase{"mode from the settings file",
                                {},
                                QStringLiteral("[Function]\nChoice=1\n[Choice]\ntime=4\n"),
                                {463050},
                                {{{0, 4}, {4, 8}, {8, ToEnd}}}},
                      SplitCase{"mode option over the settings file",
                                {QStringLiteral("--mode"), QStringLiteral("count")},
                                QStringLiteral("[Function]\nChoice=1\n[Choice]\nCount=2\n"),
                                {463050},
                                {{{0, 5}, {5, ToEnd}}}},
                      SplitCase{"spans marked on every file in the order given",
                                {QStringLiteral("--span"), QStringLiteral("5-8"),
                                 QStringLiteral("--span"), QStringLiteral("00:00:01-00:00:04")},
                                {},
                                {463050, 441000},
                                {{{5, 8}, {1, 4}}, {{5, 8}, {1, 4}}}},
                      SplitCase{"a span past the end is cut at the end",
                                {QStringLiteral("--span"), QStringLiteral("2-30")},
                                {},
                                {220500},
                                {{{2, ToEnd}}}},
                      SplitCase{"custom without spans converts the whole file",
                                {QStringLiteral("--mode"), QStringLiteral("custom")},
                                {},
                                {220500},
                                {{{0, ToEnd}}}},
                      SplitCase{"unification shares the first file's spans",
                                {QStringLiteral("--mode"), QStringLiteral("unification"),
                                 QStringLiteral("--span"), QStringLiteral("1-3"),
                                 QStringLiteral("--span"), QStringLiteral("8-10")},
                                {},
                                {463050, 405720, 220500},
                                {{{1, 3}, {8, ToEnd}}, {{1, 3}, {8, ToEnd}}, {{1, 3}}}},
                      // Ten minutes: the slider has more positions than the file has seconds
                      // and the marks must still land on the exact seconds.
                      SplitCase{"spans on a long file",
                                {QStringLiteral("--span"), QStringLiteral("1-2"),
                                 QStringLiteral("--span"), QStringLiteral("0:09:57-0:09:59"),
                                 QStringLiteral("--rate"), QStringLiteral("8000"),
                                 QStringLiteral("--channels"), QStringLiteral("1"),
                                 QStringLiteral("--quality"), QStringLiteral("300")},
                                {},
                                {4800000},
                                {{{1, 2}, {597, 599}}},
                                8000,
                                1}));

// --------------------------------------------------------------------------
// Fades and the encoding
// --------------------------------------------------------------------------

TEST_F(CliFixture, FadeOptionsSwitchTheFadesOn) {
    const QString src = makeSource(QStringLiteral("fade.ogg"), 441000);
    const CliResult r = run(withSettings(QStringLiteral("split"),
                                         {QStringLiteral("--span"), QStringLiteral("2-6"),
                                          QStringLiteral("--fade-in"), QStringLiteral("1"),
                                          QStringLiteral("--fade-out"), QStringLiteral("1"), src}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const synth::Decoded piece = synth::decodeOgg(out(QStringLiteral("fade_1.ogg")));
    ASSERT_GT(piece.frames(), 4 * Rate - 100);
    auto rms = [&](std::int64_t from, std::int64_t count) {
        double sum = 0;
        for (std::int64_t i = from; i < from + count; ++i)
            sum += double(piece.samples[size_t(i)]) * piece.samples[size_t(i)];
        return std::sqrt(sum / double(count));
    };
    const std::int64_t edge = 441 * 2; // 10 ms
    const std::int64_t total = std::int64_t(piece.samples.size());
    const double middle = rms(total / 2, edge);
    EXPECT_GT(middle, 0.2);
    EXPECT_LT(rms(0, edge), 0.05 * middle);
    EXPECT_LT(rms(total - edge, edge), 0.05 * middle);
}

struct EncodingCase {
    const char* name;
    QStringList options;
    int rate;
    int channels;
};
using CliEncoding = testsupport::CaseTable<CliFixture, EncodingCase>;

TEST_P(CliEncoding, OptionsReachTheWriterAndTheSettingsFileStaysAsItWas) {
    const EncodingCase& p = GetParam();
    // The settings file asks for quality mode; --bitrate must switch it off.
    writeSettings(QStringLiteral("[ogg]\noggquality=1\nquality=100\n"));
    const QByteArray settingsBefore = hashOf(settingsPath);
    const QString src = makeSource(QStringLiteral("enc.ogg"), 220500);
    const CliResult r = run(withSettings(QStringLiteral("split"), p.options + QStringList{src}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const synth::Decoded piece = synth::decodeOgg(out(QStringLiteral("enc_1.ogg")));
    EXPECT_EQ(piece.rate, p.rate);
    EXPECT_EQ(piece.channels, p.channels);
    EXPECT_EQ(hashOf(settingsPath), settingsBefore);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("settings.ini")});
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, CliEncoding,
    ::testing::Values(EncodingCase{"rate and mono",
                                   {QStringLiteral("--rate"), QStringLiteral("22050"),
                                    QStringLiteral("--channels"), QStringLiteral("1")},
                                   22050,
                                   1},
                      EncodingCase{"nominal bitrate",
                                   {QStringLiteral("--bitrate"), QStringLiteral("192")},
                                   44100,
                                   2},
                      EncodingCase{"variable bitrate",
                                   {QStringLiteral("--rate"), QStringLiteral("32000"),
                                    QStringLiteral("--vbr"), QStringLiteral("64-160")},
                                   32000,
                                   2},
                      EncodingCase{"quality",
                                   {QStringLiteral("--quality"), QStringLiteral("800"),
                                    QStringLiteral("--rate"), QStringLiteral("48000")},
                                   48000,
                                   2}));

// The encodings the encoder refuses, a minimum bitrate above the maximum too.
using CliRefusedEncoding = testsupport::CaseTable<CliFixture, QStringList>;

TEST_P(CliRefusedEncoding, WritesNothing) {
    const QString src = makeSource(QStringLiteral("enc.ogg"), 220500);
    const CliResult r = run(withSettings(QStringLiteral("split"), GetParam() + QStringList{src}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("cadelo-cli: This OGG format is not supported.")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Please adjust the frequency or bitrate.")));
    EXPECT_FALSE(r.err.contains(QLatin1Char('\r')));
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(outputFiles(outDir).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, CliRefusedEncoding,
    ::testing::Values(QStringList{QStringLiteral("--rate"), QStringLiteral("48000"),
                                  QStringLiteral("--bitrate"), QStringLiteral("8")},
                      QStringList{QStringLiteral("--vbr"), QStringLiteral("320-8")}));

// --------------------------------------------------------------------------
// join
// --------------------------------------------------------------------------

struct JoinCase {
    const char* name;
    QStringList options;
    std::vector<std::tuple<std::int64_t, int, int>> files; // frames, rate, channels
    std::int64_t expectedFrames;
    std::int64_t tolerance; // frames lost or gained in rate conversion
};
using CliJoin = testsupport::CaseTable<CliFixture, JoinCase>;

TEST_P(CliJoin, WritesOneFileInTheFirstFilesFormat) {
    const JoinCase& p = GetParam();
    QStringList sources;
    for (size_t i = 0; i < p.files.size(); ++i) {
        const auto& [frames, rate, channels] = p.files[i];
        sources << makeSource(QStringLiteral("j%1.ogg").arg(i), frames, rate, channels);
    }
    const CliResult r = run(withSettings(
        QStringLiteral("join"),
        p.options + QStringList{QStringLiteral("-o"), QStringLiteral("mix")} + sources));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString mix = dir.filePath(QStringLiteral("mix.ogg"));
    EXPECT_EQ(r.out, QDir::toNativeSeparators(mix) + QLatin1Char('\n'));
    const synth::Decoded joined = synth::decodeOgg(mix);
    EXPECT_EQ(joined.rate, std::get<1>(p.files.front()));
    EXPECT_EQ(joined.channels, std::get<2>(p.files.front()));
    EXPECT_NEAR(double(joined.frames()), double(p.expectedFrames), double(p.tolerance));
    EXPECT_TRUE(outputFiles(outDir).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Joins, CliJoin,
    ::testing::Values(
        JoinCase{"time mode takes every file whole",
                 {QStringLiteral("--every"), QStringLiteral("2")},
                 {{463050, Rate, 2}, {220500, Rate, 2}},
                 463050 + 220500,
                 0},
        JoinCase{"spans of every file",
                 {QStringLiteral("--span"), QStringLiteral("1-3"), QStringLiteral("--span"),
                  QStringLiteral("6-7")},
                 {{463050, Rate, 2}, {441000, Rate, 2}},
                 joinSpanFrames(463050, Rate, 1, 3) + joinSpanFrames(463050, Rate, 6, 7) +
                     joinSpanFrames(441000, Rate, 1, 3) + joinSpanFrames(441000, Rate, 6, 7),
                 0},
        // The second file comes out at the first file's rate and channels:
        // 22050 Hz mono doubles its frame count.
        JoinCase{"mixed rates and channels",
                 {QStringLiteral("--mode"), QStringLiteral("count")},
                 {{441000, Rate, 2}, {220500, 22050, 1}},
                 441000 + 441000,
                 200}));

struct JoinNameCase {
    const char* name;
    QString output;
    QString written; // relative to the working folder
};
using CliJoinName = testsupport::CaseTable<CliFixture, JoinNameCase>;

TEST_P(CliJoinName, AppendsOggAsTheWindowDoes) {
    const JoinNameCase& p = GetParam();
    const QString src = makeSource(QStringLiteral("n.ogg"), 100000);
    const CliResult r =
        run(withSettings(QStringLiteral("join"), {QStringLiteral("-o"), p.output, src}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString written = QDir::cleanPath(dir.filePath(p.written));
    EXPECT_EQ(r.out, QDir::toNativeSeparators(written) + QLatin1Char('\n'));
    EXPECT_EQ(synth::decodeOgg(written).frames(), 100000);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CliJoinName,
    ::testing::Values(JoinNameCase{"bare name", QStringLiteral("mix"), QStringLiteral("mix.ogg")},
                      JoinNameCase{"name with ogg", QStringLiteral("mix.ogg"),
                                   QStringLiteral("mix.ogg.ogg")},
                      JoinNameCase{"missing folders are created", QStringLiteral("a/b/mix"),
                                   QStringLiteral("a/b/mix.ogg")}));

TEST_F(CliFixture, JoinReplacesAnExistingOutputOnlyWithForce) {
    const QString src = makeSource(QStringLiteral("r.ogg"), 100000);
    const QString mix = dir.filePath(QStringLiteral("mix.ogg"));
    {
        QFile f(mix);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep");
    }
    const QStringList args =
        withSettings(QStringLiteral("join"), {QStringLiteral("-o"), QStringLiteral("mix"), src});
    const CliResult refused = run(args);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("already exists")))
        << refused.err.toStdString();
    EXPECT_TRUE(refused.out.isEmpty());
    QFile f(mix);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("keep"));
    f.close();

    const CliResult forced = run(args + QStringList{QStringLiteral("--force")});
    EXPECT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    EXPECT_EQ(synth::decodeOgg(mix).frames(), 100000);
}

TEST_F(CliFixture, JoinNeverWritesOverOneOfItsSources) {
    const QString first = makeSource(QStringLiteral("first.ogg"), 100000);
    const QString second = makeSource(QStringLiteral("second.ogg"), 100000);
    const QByteArray before = hashOf(second);
    // -o src/second gives src/second.ogg, the second source.
    const CliResult r =
        run(withSettings(QStringLiteral("join"), {QStringLiteral("--force"), QStringLiteral("-o"),
                                                  QStringLiteral("src/second"), first, second}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("is one of the files to join")))
        << r.err.toStdString();
    EXPECT_EQ(hashOf(second), before);
}

// --------------------------------------------------------------------------
// info
// --------------------------------------------------------------------------

TEST_F(CliFixture, InfoPrintsTheLinesOfEveryFileSeparatedByABlankLine) {
    const QString a = makeSource(QStringLiteral("a.ogg"), 463050);
    const QString b = makeSource(QStringLiteral("Café – Live.ogg"), 99225, 22050, 1);
    const CliResult r = run(withSettings(QStringLiteral("info"), {a, b}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty());
    const QString tags = QStringLiteral("title: \nartist: \nalbum: \nyear: \ncomment: \ngenre: \n");
    const QString expected =
        QStringLiteral("path: %1\ncaption: a.ogg\nduration: 00:00:10 (10 s)\nrate: 44100\n"
                       "channels: 2\nframes: 463050\n")
            .arg(QDir::toNativeSeparators(a)) +
        tags + QLatin1Char('\n') +
        QStringLiteral("path: %1\ncaption: Café – Live.ogg\nduration: 00:00:04 (4 s)\n"
                       "rate: 22050\nchannels: 1\nframes: 99225\n")
            .arg(QDir::toNativeSeparators(b)) +
        tags;
    EXPECT_EQ(r.out, expected);
}

TEST_F(CliFixture, InfoShowsTheTagAndSplitPutsItOnEveryPiece) {
    const QString src = makeSource(QStringLiteral("live.ogg"), 2 * Rate);
    OggTag tag;
    tag.title = QStringLiteral("Live: Paris");
    tag.artist = QStringLiteral("Café – Band");
    tag.comment = QStringLiteral("kept in the list, not on pieces");
    ASSERT_TRUE(writeOggTag(src, tag));

    const CliResult info = run(withSettings(QStringLiteral("info"), {src}));
    ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
    for (const QString& line :
         {QStringLiteral("caption: Live Paris"), QStringLiteral("title: Live Paris"),
          QStringLiteral("artist: Café – Band"),
          QStringLiteral("comment: kept in the list, not on pieces")})
        EXPECT_TRUE(info.outLines().contains(line)) << line.toStdString();

    const CliResult r = run(withSettings(QStringLiteral("split"),
                                         {QStringLiteral("--pieces"), QStringLiteral("2"), src}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    for (const QString& name :
         {QStringLiteral("Live Paris_1.ogg"), QStringLiteral("Live Paris_2.ogg")}) {
        const OggTag piece = readOggTag(out(name));
        EXPECT_EQ(piece.title, QStringLiteral("Live Paris")) << name.toStdString();
        EXPECT_EQ(piece.artist, tag.artist);
        EXPECT_TRUE(piece.comment.isEmpty());
    }
}

// --------------------------------------------------------------------------
// A source whose name is not UTF-8
// --------------------------------------------------------------------------

// The locale, and the caption: the tagged sample's title, or the name itself.
using Latin1NameCase = std::tuple<const char*, QString>;

class CliLatin1Name : public CliFixture, public ::testing::WithParamInterface<Latin1NameCase> {
  protected:
    // The command with src/caf<E9>.ogg last (only a shell passes its bytes);
    // what it prints must be valid UTF-8.
    CliResult runOnName(const QStringList& args) {
        QProcess p;
        prepare(p);
        QProcessEnvironment env = p.processEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QLatin1String(std::get<0>(GetParam())));
        p.setProcessEnvironment(env);
        const QString script =
            QStringLiteral("exec \"$0\" \"$@\" \"$(printf 'src/caf\\351.ogg')\"");
        p.start(QStringLiteral("/bin/sh"), QStringList{QStringLiteral("-c"), script, cliProgram()} +
                                               withSettings(args.first(), args.mid(1)));
        EXPECT_TRUE(p.waitForFinished(600000));
        const QByteArray out = p.readAllStandardOutput();
        EXPECT_TRUE(QUtf8StringView(out).isValidUtf8()) << out.toStdString();
        return CliResult{p.exitCode(), QString::fromUtf8(out),
                         QString::fromUtf8(p.readAllStandardError())};
    }
};

TEST_P(CliLatin1Name, InfoAndSplitReadItAndShowItWithAReplacementCharacter) {
    const QString caption = std::get<1>(GetParam());
    const QString source = caption.startsWith(QLatin1String("caf"))
                               ? makeSource(QStringLiteral("untagged.ogg"), 2 * Rate)
                               : qEnvironmentVariable("CADELO_SOURCE_DIR") +
                                     QStringLiteral("/tests/data/damaged-inputs/plain-tagged.ogg");
    const std::string name = dir.filePath(QStringLiteral("src/")).toStdString() + "caf\xe9.ogg";
    std::filesystem::copy_file(source.toStdString(), name);
    // Qt's removal of the temporary folder would not find the file either.
    const auto remove = qScopeGuard([&] { std::filesystem::remove(name); });

    const CliResult info = runOnName({QStringLiteral("info")});
    ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
    const QString shownPath =
        QDir::toNativeSeparators(dir.filePath(QStringLiteral(u"src/caf\uFFFD.ogg")));
    EXPECT_TRUE(info.outLines().contains(QStringLiteral("path: ") + shownPath))
        << info.out.toStdString();
    EXPECT_TRUE(info.outLines().contains(QStringLiteral("caption: ") + caption));

    const CliResult split =
        runOnName({QStringLiteral("split"), QStringLiteral("--pieces"), QStringLiteral("2")});
    ASSERT_EQ(split.exitCode, 0) << split.err.toStdString();
    const QString base = OutputNaming::baseOf(caption);
    EXPECT_EQ(split.outLines(),
              (QStringList{QDir::toNativeSeparators(out(base + QStringLiteral("_1.ogg"))),
                           QDir::toNativeSeparators(out(base + QStringLiteral("_2.ogg")))}));
    EXPECT_EQ(outputFiles(outDir).size(), 2);
}

INSTANTIATE_TEST_SUITE_P(Locales, CliLatin1Name,
                         ::testing::Combine(::testing::Values("C.UTF-8", "C"),
                                            ::testing::Values(QStringLiteral("Title One"),
                                                              QStringLiteral(u"caf\uFFFD.ogg"))));

// Names made from hostile titles and source names
// --------------------------------------------------------------------------

struct HostileNameCase {
    const char* name;
    QString file; // from tests/data/damaged-inputs; otherwise synthesised untagged
    bool fromData;
    QString base;    // of every piece's name
    QString caption; // what info prints; empty: not checked
};
using CliHostileName = testsupport::CaseTable<CliFixture, HostileNameCase>;

TEST_P(CliHostileName, PiecesAreNamedWithoutControlsAndPrintedOnePerLine) {
    const HostileNameCase& c = GetParam();
    QString src = dir.filePath(QStringLiteral("src/") + c.file);
    if (c.fromData)
        ASSERT_TRUE(QFile::copy(qEnvironmentVariable("CADELO_SOURCE_DIR") +
                                    QStringLiteral("/tests/data/damaged-inputs/") + c.file,
                                src));
    else
        src = makeSource(c.file, 2 * Rate);
    const QStringList expected{QDir::toNativeSeparators(out(c.base + QStringLiteral("_1.ogg"))),
                               QDir::toNativeSeparators(out(c.base + QStringLiteral("_2.ogg")))};
    for (const QStringList& copy : {QStringList{}, QStringList{QStringLiteral("--copy")}}) {
        for (const QString& name : outputFiles(outDir))
            QFile::remove(out(name));
        const CliResult r = run(
            withSettings(QStringLiteral("split"),
                         copy + QStringList{QStringLiteral("--pieces"), QStringLiteral("2"), src}));
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.outLines(), expected);
        EXPECT_EQ(outputFiles(outDir), (QStringList{c.base + QStringLiteral("_1.ogg"),
                                                    c.base + QStringLiteral("_2.ogg")}));
    }
    if (!c.caption.isEmpty()) {
        const CliResult info = run(withSettings(QStringLiteral("info"), {src}));
        EXPECT_TRUE(info.outLines().contains(QStringLiteral("caption: ") + c.caption))
            << info.out.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, CliHostileName,
    ::testing::Values(
        HostileNameCase{"TitleWithNul",
                        QStringLiteral("title-with-NUL-written-as-truncated-name.ogg"), true,
                        QStringLiteral("prepost"), QStringLiteral("prepost")},
        HostileNameCase{"TitleWithNewline",
                        QStringLiteral("title-with-newline-splits-printed-names.ogg"), true,
                        QStringLiteral("line1line2"), QStringLiteral("line1line2")},
        HostileNameCase{"SourceNameWithControls",
                        QStringLiteral("a\nb\rc\x1b\u0085d.ogg"),
                        false,
                        QStringLiteral("abcd"),
                        {}}),
    testsupport::CaseName());

// --------------------------------------------------------------------------
// Refused files
// --------------------------------------------------------------------------

struct BadFileCase {
    const char* name;
    QString file;
    QByteArray content; // null: the file does not exist (or is synthesised)
    QString message;
    bool subSecond = false; // a real Ogg Vorbis file shorter than a second
};
using CliBadFile = testsupport::CaseTable<CliFixture, BadFileCase>;

TEST_P(CliBadFile, IsRefusedWithTheDialogsMessageAndTheOthersAreStillWritten) {
    const BadFileCase& p = GetParam();
    const QString good1 = makeSource(QStringLiteral("good1.ogg"), 220500);
    const QString good2 = makeSource(QStringLiteral("good2.ogg"), 220500);
    const QString bad = dir.filePath(QStringLiteral("src/") + p.file);
    if (p.subSecond)
        synth::writeOgg(bad, 22050);
    else if (!p.content.isNull()) {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(p.content);
    }
    const QByteArray badBefore = hashOf(bad);
    const QByteArray good1Before = hashOf(good1);
    const QByteArray good2Before = hashOf(good2);

    const CliResult r =
        run(withSettings(QStringLiteral("split"),
                         {QStringLiteral("--pieces"), QStringLiteral("2"), good1, bad, good2}));

    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, QStringLiteral("cadelo-cli: ") + p.file + p.message + QLatin1Char('\n'));
    EXPECT_EQ(r.outLines().size(), 4);
    EXPECT_EQ(outputFiles(outDir),
              (QStringList{QStringLiteral("good1_1.ogg"), QStringLiteral("good1_2.ogg"),
                           QStringLiteral("good2_1.ogg"), QStringLiteral("good2_2.ogg")}));
    // Two pieces of five seconds: two, then the three to the end.
    for (const QString& name : outputFiles(outDir))
        EXPECT_EQ(synth::decodeOgg(out(name)).frames(),
                  (name.endsWith(QStringLiteral("_1.ogg")) ? 2 : 3) * Rate);
    EXPECT_EQ(hashOf(good1), good1Before);
    EXPECT_EQ(hashOf(good2), good2Before);
    EXPECT_EQ(hashOf(bad), badBefore);
}

INSTANTIATE_TEST_SUITE_P(
    BadFiles, CliBadFile,
    ::testing::Values(BadFileCase{"text", QStringLiteral("bad.ogg"),
                                  QByteArray("not audio at all\n"),
                                  QStringLiteral(" this File is not supported.")},
                      BadFileCase{"empty", QStringLiteral("empty.ogg"), QByteArray(""),
                                  QStringLiteral(" this File is not supported.")},
                      BadFileCase{"missing", QStringLiteral("gone.ogg"), QByteArray(),
                                  QStringLiteral(" this File is not supported.")},
                      BadFileCase{"under a second", QStringLiteral("short.ogg"), QByteArray(),
                                  QStringLiteral(" this File is Error or not supported."), true}));

TEST_F(CliFixture, JoinOfGoodFilesAroundABadOneWritesTheGoodOnesAndFails) {
    const QString good1 = makeSource(QStringLiteral("good1.ogg"), 100000);
    const QString good2 = makeSource(QStringLiteral("good2.ogg"), 50000);
    const CliResult r = run(withSettings(QStringLiteral("join"),
                                         {QStringLiteral("--mode"), QStringLiteral("time"),
                                          QStringLiteral("-o"), QStringLiteral("mix"), good1,
                                          dir.filePath(QStringLiteral("src/none.ogg")), good2}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, QStringLiteral("cadelo-cli: none.ogg this File is not supported.\n"));
    EXPECT_EQ(synth::decodeOgg(dir.filePath(QStringLiteral("mix.ogg"))).frames(), 150000);
}

TEST_F(CliFixture, AFileWhosePiecesCannotBeWrittenFailsAndTheFilesAfterItAreStillDone) {
#ifndef Q_OS_LINUX
    GTEST_SKIP() << "the path length limit differs";
#else
    // Below a folder of 3950 characters a name of 250 no longer fits into the
    // system's 4096: neither the caption's name nor the source's own can be
    // created, "first_1.ogg" can.
    QString folder = dir.path();
    while (folder.size() < 3850)
        folder += QLatin1Char('/') + QString(99, QLatin1Char('d'));
    folder += QLatin1Char('/') + QString(3950 - folder.size() - 1, QLatin1Char('e'));
    const QString first = makeSource(QStringLiteral("first.ogg"), 100000);
    const QString unwritable =
        makeSource(QString(250, QLatin1Char('x')) + QStringLiteral(".ogg"), 100000);
    const QString last = makeSource(QStringLiteral("last.ogg"), 100000);
    const CliResult r = run(withSettings(QStringLiteral("split"),
                                         {QStringLiteral("--pieces"), QStringLiteral("1"),
                                          QStringLiteral("-o"), folder, first, unwritable, last}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("cadelo-cli: "))) << r.err.toStdString();
    EXPECT_EQ(r.out, QDir::toNativeSeparators(folder + QStringLiteral("/first_1.ogg")) +
                         QLatin1Char('\n') +
                         QDir::toNativeSeparators(folder + QStringLiteral("/last_1.ogg")) +
                         QLatin1Char('\n'));
    EXPECT_EQ(synth::decodeOgg(folder + QStringLiteral("/last_1.ogg")).frames(), 100000);
    EXPECT_EQ(outputFiles(folder).size(), 2);
#endif
}

// A folder stands for its own Ogg files, in name order.
TEST_F(CliFixture, AFolderAddsItsOggFilesAndAnEmptyOneIsRefused) {
    const QString folder = dir.filePath(QStringLiteral("src/album"));
    QDir().mkpath(folder + QStringLiteral("/sub"));
    synth::writeOgg(folder + QStringLiteral("/b.OGG"), Rate);
    synth::writeOgg(folder + QStringLiteral("/a.ogg"), Rate);
    synth::writeOgg(folder + QStringLiteral("/sub/c.ogg"), Rate);
    const QString empty = dir.filePath(QStringLiteral("src/empty"));
    QDir().mkpath(empty);

    CliResult r = run(withSettings(QStringLiteral("info"), {folder}));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList paths = r.outLines().filter(QStringLiteral("path: "));
    EXPECT_EQ(paths, (QStringList{QStringLiteral("path: ") + folder + QStringLiteral("/a.ogg"),
                                  QStringLiteral("path: ") + folder + QStringLiteral("/b.OGG")}));

    r = run(withSettings(QStringLiteral("split"),
                         {QStringLiteral("--pieces"), QStringLiteral("1"), empty}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("holds no Ogg file"))) << r.err.toStdString();
    EXPECT_TRUE(outputFiles(outDir).isEmpty());
}

// A disk that refuses the output: the system's reason, nothing printed and
// nothing left, neither under the final name nor as a temporary.
using CliWriteRefused = testsupport::CaseTable<CliFixture, const char*>;

TEST_P(CliWriteRefused, EndsTheRunWithTheSystemsReasonAndLeavesNoFile) {
    const QString src = makeSource(QStringLiteral("big.ogg"), 30 * Rate);
    const QByteArray before = hashOf(src);
    const bool join = QLatin1String(GetParam()) == QLatin1String("join");
    const bool parallel = QLatin1String(GetParam()) == QLatin1String("parallel split");
    const QStringList args =
        join
            ? QStringList{QStringLiteral("-o"), out(QStringLiteral("mix")), src, src}
            : QStringList{QStringLiteral("--pieces"), QStringLiteral("2"), QStringLiteral("--jobs"),
                          parallel ? QStringLiteral("2") : QStringLiteral("1"), src};
    const CliResult r =
        run(withSettings(join ? QStringLiteral("join") : QStringLiteral("split"), args), 16);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("File too large"))) << r.err.toStdString();
    if (parallel) {
        // The piece written beside the refused one is closed where the run
        // ended: printed, in the folder and sound.
        QStringList printed;
        for (const QString& line : r.outLines()) {
            printed << QFileInfo(line).fileName();
            EXPECT_GT(synth::decodeOgg(line).frames(), 0) << line.toStdString();
        }
        EXPECT_EQ(outputFiles(outDir), printed);
    } else {
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_TRUE(outputFiles(outDir).isEmpty())
            << outputFiles(outDir).join(QLatin1Char(' ')).toStdString();
    }
    EXPECT_EQ(hashOf(src), before);
}

INSTANTIATE_TEST_SUITE_P(Runs, CliWriteRefused,
                         ::testing::Values("split", "parallel split", "join"));

// The cut without re-encoding on a disk that refuses its pieces, whatever the
// --jobs: the system's reason, and no piece cut off printed or left.
using CliCopyWriteRefused = testsupport::CaseTable<CliFixture, int>;

TEST_P(CliCopyWriteRefused, EndsWithTheSystemsReasonAndLeavesNoBrokenPiece) {
    // Every 4 s piece but the last takes more than 10 KiB.
    const CliResult r =
        run(withSettings(QStringLiteral("split"),
                         {QStringLiteral("--copy"), QStringLiteral("--every"), QStringLiteral("4"),
                          QStringLiteral("--jobs"), QString::number(GetParam()),
                          reproducer("copy-source-40s.ogg")}),
            10);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(
        QString::fromLocal8Bit(std::make_error_code(std::errc::file_too_large).message())))
        << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    EXPECT_TRUE(outputFiles(outDir).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Jobs, CliCopyWriteRefused, ::testing::Values(1, 2, 8));

// --------------------------------------------------------------------------
// Usage and output folders
// --------------------------------------------------------------------------

struct UsageCase {
    const char* name;
    // The words, one space apart; "$SRC" stands for a good source, "$SETTINGS"
    // for the settings file.
    const char* words;
    const char* message; // a part of the first line
};
using CliUsage = testsupport::CaseTable<CliFixture, UsageCase>;

TEST_P(CliUsage, ExitsWithTwoAndAShortUsageText) {
    const UsageCase& p = GetParam();
    const QString src = makeSource(QStringLiteral("u.ogg"), 50000);
    QStringList args;
    for (const QString& a : QString::fromUtf8(p.words).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        args << (a == QLatin1String("$SRC")        ? src
                 : a == QLatin1String("$SETTINGS") ? settingsPath
                                                   : a);
    const CliResult r = run(args);
    EXPECT_EQ(r.exitCode, 2);
    const QString firstLine = r.err.section(QLatin1Char('\n'), 0, 0);
    EXPECT_TRUE(firstLine.startsWith(QStringLiteral("cadelo-cli: "))) << r.err.toStdString();
    EXPECT_TRUE(firstLine.contains(QString::fromUtf8(p.message))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Usage: cadelo-cli info FILE...")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("cadelo-cli join  [OPTIONS] -o OUTPUT FILE...")));
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(outputFiles(outDir).isEmpty());
    EXPECT_TRUE(outputFiles(dir.path()).contains(QStringLiteral("settings.ini")));
    EXPECT_EQ(outputFiles(dir.path()).size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Usage, CliUsage,
    ::testing::Values(
        UsageCase{"no command", "", "a command is needed"},
        UsageCase{"unknown command", "cut $SRC", "unknown command"},
        UsageCase{"no file", "split --every 5", "no FILE"},
        UsageCase{"join without output", "join $SRC", "-o OUTPUT"},
        UsageCase{"unknown option", "split --speed $SRC", "unknown option --speed"},
        // The forms and the order a general parser would read otherwise.
        UsageCase{"short option with its value attached", "split -j2 $SRC", "unknown option -j2"},
        UsageCase{"wrong value before an unknown option", "split --every 0 --speed=3 $SRC",
                  "--every takes a whole number"},
        UsageCase{"value of an option that takes none", "split --quiet=1 $SRC",
                  "--quiet takes no value"},
        UsageCase{"rate not in the list", "split --rate 44000 $SRC",
                  "8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000"},
        UsageCase{"three channels", "split --channels 3 $SRC", "1 (mono) and 2 (stereo)"},
        UsageCase{"vbr and quality", "split --vbr 64-128 --quality 500 $SRC", "exclude each other"},
        UsageCase{"fade of 21 seconds", "split --fade-out 21 $SRC", "from 1 to 20"},
        UsageCase{"span backwards", "split --span 5-3 $SRC", "empty"},
        UsageCase{"span not a time", "split --span 1:2-00:00:61 $SRC", "BEGIN-END"},
        UsageCase{"two modes", "split --every 5 --pieces 2 $SRC", "cannot be combined"},
        UsageCase{"mode against span", "split --mode count --span 1-2 $SRC", "contradicts"},
        UsageCase{"force on split", "split --force $SRC", "not an option of split"},
        UsageCase{"no jobs", "split --jobs 0 $SRC", "--jobs takes a whole number from 1 to 256"},
        UsageCase{"jobs on join", "join -j 2 -o mix $SRC", "not an option of join"},
        UsageCase{"missing settings file", "split --settings nowhere.ini $SRC",
                  "cannot read the settings file"},
        UsageCase{"unknown format", "split --format mp3 $SRC", "ogg, flac or opus"},
        UsageCase{"copy into flac", "split --copy --format flac $SRC",
                  "--copy cannot be combined with --format flac"},
        UsageCase{"flac bitrate", "split --format flac --bitrate 128 $SRC",
                  "--format flac cannot be combined with --bitrate"},
        UsageCase{"opus quality", "join --format opus --quality 500 -o mix $SRC",
                  "--format opus cannot be combined with --quality"},
        UsageCase{"compression without flac", "split --compression 3 $SRC",
                  "--compression needs --format flac"}));

struct FormatCase {
    const char* name;
    const char* format;
    const char* command;
    const char* extension;
};
using CliFormat = testsupport::CaseTable<CliFixture, FormatCase>;

TEST_P(CliFormat, WritesTheFormatAskedWithItsExtension) {
    const FormatCase& p = GetParam();
    const QString src = makeSource(QStringLiteral("s.ogg"), 100000);
    const bool split = qstrcmp(p.command, "split") == 0;
    QStringList args = {QStringLiteral("--format"), QLatin1String(p.format)};
    args << (split ? QStringList{QStringLiteral("--every"), QStringLiteral("1")}
                   : QStringList{QStringLiteral("-o"), dir.filePath(QStringLiteral("mix"))});
    const CliResult r = run(withSettings(QLatin1String(p.command), args << src));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), split ? 3 : 1);
    for (const QString& line : lines) {
        EXPECT_TRUE(line.endsWith(QLatin1String(p.extension))) << line.toStdString();
        EXPECT_TRUE(QFileInfo(line).size() > 0) << line.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, CliFormat,
                         ::testing::Values(FormatCase{"split_flac", "flac", "split", ".flac"},
                                           FormatCase{"join_flac", "flac", "join", ".flac"},
                                           FormatCase{"split_opus", "opus", "split", ".opus"},
                                           FormatCase{"join_opus", "opus", "join", ".opus"}),
                         testsupport::CaseName());

TEST_F(CliFixture, HelpAndVersionGoToStdoutWithStatusZero) {
    const CliResult help = run({QStringLiteral("split"), QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: cadelo-cli info FILE...")));
    EXPECT_TRUE(help.out.contains(QStringLiteral("--span BEGIN-END")));
    const CliResult version = run({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("cadelo-cli %1\n").arg(QLatin1String(CADELO_VERSION)));
}

struct FolderCase {
    const char* name;
    bool byOption; // -o, or the settings file's folder
};
using CliFolder = testsupport::CaseTable<CliFixture, FolderCase>;

TEST_P(CliFolder, AnOutputFolderThatCannotBeCreatedFailsBeforeWriting) {
    const QString src = makeSource(QStringLiteral("f.ogg"), 100000);
    const QByteArray before = hashOf(src);
    // A folder below a plain file can never be created.
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    {
        QFile f(blocker);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    const QString target = blocker + QStringLiteral("/pieces");
    QStringList args;
    if (GetParam().byOption) {
        args = withSettings(QStringLiteral("split"), {QStringLiteral("-o"), target, src});
    } else {
        QFile f(settingsPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write((QStringLiteral("[Output]\nDir=") + target + QLatin1Char('\n')).toUtf8());
        f.close();
        args = withSettings(QStringLiteral("split"), {src});
    }
    const CliResult r = run(args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, QStringLiteral("cadelo-cli: cannot create the output folder %1\n")
                         .arg(QDir::toNativeSeparators(target)));
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(hashOf(src), before);
    EXPECT_EQ(outputFiles(dir.filePath(QStringLiteral("src"))),
              QStringList{QStringLiteral("f.ogg")});
}

INSTANTIATE_TEST_SUITE_P(Folders, CliFolder,
                         ::testing::Values(FolderCase{"option", true},
                                           FolderCase{"settings file", false}));

TEST_F(CliFixture, OutputFolderOptionIsCreatedWithItsParents) {
    const QString src = makeSource(QStringLiteral("p.ogg"), 100000);
    const CliResult r = run(withSettings(
        QStringLiteral("split"), {QStringLiteral("-o"), QStringLiteral("new/deeper"), src}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString piece = dir.filePath(QStringLiteral("new/deeper/p_1.ogg"));
    EXPECT_EQ(r.out, QDir::toNativeSeparators(piece) + QLatin1Char('\n'));
    EXPECT_TRUE(QFileInfo::exists(piece));
}

TEST_F(CliFixture, SpansOutsideAFileLeaveThatFileOutAndFail) {
    const QString longer = makeSource(QStringLiteral("long.ogg"), 441000);
    const QString shorter = makeSource(QStringLiteral("short.ogg"), 88200);
    const CliResult r =
        run(withSettings(QStringLiteral("split"),
                         {QStringLiteral("--span"), QStringLiteral("5-8"), longer, shorter}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("short.ogg: none of the spans lies within the file")))
        << r.err.toStdString();
    // The short file is not converted whole in place of the span.
    EXPECT_EQ(outputFiles(outDir), QStringList{QStringLiteral("long_1.ogg")});
}

// --------------------------------------------------------------------------
// Ctrl-C
// --------------------------------------------------------------------------

// With --jobs N the N pieces under way are each closed.
using CliInterrupt = testsupport::CaseTable<CliFixture, int>;

TEST_P(CliInterrupt, ClosesThePiecesUnderWayAndStartsNoOther) {
#ifndef Q_OS_UNIX
    GTEST_SKIP() << "needs POSIX signals";
#else
    constexpr int SourceRate = 22050;
    constexpr std::int64_t Frames = std::int64_t(SourceRate) * 300;
    const QString src = makeSource(QStringLiteral("long.ogg"), Frames, SourceRate, 1);
    const QByteArray before = hashOf(src);

    QProcess p;
    prepare(p);
    p.start(cliProgram(),
            withSettings(QStringLiteral("split"),
                         {QStringLiteral("--every"), QStringLiteral("30"), QStringLiteral("--rate"),
                          QStringLiteral("22050"), QStringLiteral("--quality"),
                          QStringLiteral("300"), QStringLiteral("--channels"), QStringLiteral("1"),
                          QStringLiteral("--jobs"), QString::number(GetParam()), src}));
    ASSERT_TRUE(p.waitForStarted());
    QByteArray printed;
    while (!printed.contains('\n') && p.state() == QProcess::Running) {
        p.waitForReadyRead(1000);
        printed += p.readAllStandardOutput();
    }
    ASSERT_TRUE(printed.contains('\n')) << "no piece was written";
    ASSERT_EQ(::kill(pid_t(p.processId()), SIGINT), 0);
    ASSERT_TRUE(p.waitForFinished(120000));
    printed += p.readAllStandardOutput();

    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 130);
    const QStringList lines =
        QString::fromLocal8Bit(printed).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // Eleven pieces would be the whole file: the run was stopped before that.
    ASSERT_GE(lines.size(), 1);
    EXPECT_LT(lines.size(), 11);
    QStringList names;
    for (const QString& line : lines)
        names << QFileInfo(line).fileName();
    // Every piece printed is in the folder, nothing else is (no half-written file).
    QStringList inFolder = outputFiles(outDir);
    inFolder.sort();
    names.sort();
    EXPECT_EQ(inFolder, names);
    for (int i = 0; i < lines.size(); ++i) {
        const synth::Decoded piece = synth::decodeOgg(lines[i]);
        const std::int64_t full = pieceFrames(Frames, SourceRate, 30 * i, 30 * (i + 1));
        if (i + GetParam() < lines.size())
            EXPECT_EQ(piece.frames(), full) << i;
        else
            EXPECT_LE(piece.frames(), full); // a piece under way when stopped, closed
        EXPECT_EQ(piece.rate, SourceRate);
    }
    EXPECT_EQ(hashOf(src), before);
#endif
}

INSTANTIATE_TEST_SUITE_P(Jobs, CliInterrupt, ::testing::Values(1, 2));

// --------------------------------------------------------------------------
// Cuts without re-encoding
// --------------------------------------------------------------------------

struct CopyCase {
    const char* name;
    QStringList args; // before the sources
    int pieceSeconds;
};
using CliCopy = testsupport::CaseTable<CliFixture, CopyCase>;

TEST_P(CliCopy, PiecesHoldExactlyTheSourcesDecodedFrames) {
    const CopyCase& p = GetParam();
    // 7.1 s: whole milliseconds, so that the reader's seconds are exact.
    constexpr std::int64_t Frames = 7 * Rate + 4410;
    const QString src = makeSource(QStringLiteral("cut.ogg"), Frames);
    const QByteArray before = hashOf(src);
    const synth::Decoded source = synth::decodeOgg(src);
    const CliResult r =
        run(withSettings(QStringLiteral("split"),
                         QStringList{QStringLiteral("--copy")} + p.args + QStringList{src}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.outLines();
    std::vector<float> joined;
    for (int i = 0; i < lines.size(); ++i) {
        const synth::Decoded piece = synth::decodeOgg(lines[i]);
        EXPECT_EQ(piece.frames(),
                  pieceFrames(Frames, Rate, p.pieceSeconds * i,
                              i + 1 == lines.size() ? ToEnd : p.pieceSeconds * (i + 1)))
            << i;
        joined.insert(joined.end(), piece.samples.begin(), piece.samples.end());
    }
    // Cut where the re-encoded split cuts, and together the source bit for bit.
    EXPECT_EQ(lines.size(), int((Frames / Rate) / p.pieceSeconds + 1));
    EXPECT_TRUE(joined == source.samples);
    EXPECT_EQ(hashOf(src), before);
}

INSTANTIATE_TEST_SUITE_P(
    Splits, CliCopy,
    ::testing::Values(CopyCase{"every 2 s", {QStringLiteral("--every"), QStringLiteral("2")}, 2},
                      CopyCase{"every 3 s, with jobs",
                               {QStringLiteral("--every"), QStringLiteral("3"),
                                QStringLiteral("--jobs"), QStringLiteral("2")},
                               3}));

// An MP3 source cut by --copy: MP3 pieces that together are its decode,
// each named and tagged as the re-encoded split names and tags its pieces.
TEST_F(CliFixture, CopyOfAnMp3SourceGivesMp3Pieces) {
    constexpr std::int64_t Frames = 3 * Rate + 2205;
    const QString wav = dir.filePath(QStringLiteral("src/talk.wav"));
    const QString src = dir.filePath(QStringLiteral("src/talk.mp3"));
    synth::writeWav(wav, synth::tone(Frames, Rate, 2), Rate, 2);
    if (!synth::makeMp3(wav, src))
        GTEST_SKIP() << "lame is not installed";
    writeId3v2(src, Id3v2Tag{QStringLiteral("Talk"), QStringLiteral("Her")});
    AudioFile reader;
    reader.openRead(src);
    const std::vector<float> source = reader.readSamples(reader.lengthSamples()).samples;
    reader.close();
    const CliResult r = run(
        withSettings(QStringLiteral("split"), {QStringLiteral("--copy"), QStringLiteral("--every"),
                                               QStringLiteral("1"), src}));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.outLines();
    ASSERT_EQ(lines.size(), 4);
    std::vector<float> joined;
    for (const QString& line : lines) {
        EXPECT_TRUE(line.endsWith(QStringLiteral(".mp3"))) << line.toStdString();
        EXPECT_EQ(readId3v2(line).title, QStringLiteral("Talk"));
        reader.openRead(line);
        const SampleBlock piece = reader.readSamples(reader.lengthSamples());
        joined.insert(joined.end(), piece.samples.begin(), piece.samples.end());
        reader.close();
    }
    EXPECT_TRUE(lines.constFirst().endsWith(QStringLiteral("_1.mp3")));
    EXPECT_TRUE(joined == source);
}

struct CopyRefusalCase {
    const char* name;
    QStringList args;   // before the source
    const char* source; // "ogg", "chained", "wav", "damaged mp3" or "fade settings"
    int exitCode;
    const char* message;
};
using CliCopyRefused = testsupport::CaseTable<CliFixture, CopyRefusalCase>;

TEST_P(CliCopyRefused, SaysWhyAndWritesNothing) {
    const CopyRefusalCase& p = GetParam();
    const QString kind = QString::fromUtf8(p.source);
    QString src = makeSource(QStringLiteral("a.ogg"), 3 * Rate);
    if (kind == QLatin1String("chained")) {
        QFile f(src);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        const QByteArray one = f.readAll();
        f.write(one);
    } else if (kind == QLatin1String("wav")) {
        src = dir.filePath(QStringLiteral("src/a.wav"));
        synth::writeWav(src, synth::tone(3 * Rate, Rate, 2), Rate, 2);
    } else if (kind == QLatin1String("fade settings")) {
        writeSettings(QStringLiteral("[Fade]\nIn=1\n"));
    } else if (kind == QLatin1String("damaged mp3")) {
        const QString wav = dir.filePath(QStringLiteral("src/a.wav"));
        src = dir.filePath(QStringLiteral("src/a.mp3"));
        synth::writeWav(wav, synth::tone(3 * Rate, Rate, 2), Rate, 2);
        if (!synth::makeMp3(wav, src))
            GTEST_SKIP() << "lame is not installed";
        QFile f(src);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        const Mp3Stream stream = scanMp3(bytes);
        bytes.remove(qsizetype(stream.frames[stream.frames.size() / 2].offset) + 20, 30);
        f.resize(0);
        f.write(bytes);
    }
    const CliResult r = run(withSettings(
        QStringLiteral("split"),
        QStringList{QStringLiteral("--copy"), QStringLiteral("--every"), QStringLiteral("1")} +
            p.args + QStringList{src}));
    EXPECT_EQ(r.exitCode, p.exitCode);
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(p.message))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(outputFiles(outDir).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, CliCopyRefused,
    ::testing::Values(CopyRefusalCase{"fade option",
                                      {QStringLiteral("--fade-out"), QStringLiteral("2")},
                                      "ogg",
                                      2,
                                      "--copy cannot be combined with --fade-out: pieces cut "
                                      "without re-encoding cannot fade"},
                      CopyRefusalCase{"rate",
                                      {QStringLiteral("--rate"), QStringLiteral("22050")},
                                      "ogg",
                                      2,
                                      "--copy cannot be combined with --rate"},
                      CopyRefusalCase{"channels",
                                      {QStringLiteral("--channels"), QStringLiteral("1")},
                                      "ogg",
                                      2,
                                      "--copy cannot be combined with --channels"},
                      CopyRefusalCase{
                          "fade in the settings", {}, "fade settings", 1, "--copy cannot fade"},
                      CopyRefusalCase{"chained", {}, "chained", 1, "it is a chained Ogg file"},
                      CopyRefusalCase{"not vorbis", {}, "wav", 1, "nor an MP3 file"}));
INSTANTIATE_TEST_SUITE_P(
    Mp3Refusals, CliCopyRefused,
    ::testing::Values(CopyRefusalCase{
        "damaged mp3", {}, "damaged mp3", 1, "is damaged; nothing is written"}));
