// The waveform's summary on synthesised signals of known shape: the values at
// each column at several zooms, and the disk cache that must never be trusted
// when its source or its own bytes changed.
#include "audio/AudioFile.h"
#include "audio/PeakLoader.h"
#include "support/CaseTable.h"
#include "support/Files.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <cmath>
#include <gtest/gtest.h>
#include <string_view>

namespace {

constexpr int Rate = 44100;
constexpr std::int64_t Frames = 100000;
constexpr std::int64_t Click = 61234; // the one sample of channel 1 that is not silent
constexpr float ClickValue = -0.75f;
constexpr int Period = 100; // of channel 0's sine
// The summary keeps a byte a value; a 16-bit WAV file adds nothing worth telling.
constexpr float Tolerance = 1.0f / 127 + 1e-4f;

class PeaksTest : public TempDirTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        source = dir.filePath(QStringLiteral("signal.wav"));
        cache = dir.filePath(QStringLiteral("cache"));
        writeSignal(0.5f);
    }

    // Channel 0: a sine of `amplitude`; channel 1: silence but for one click.
    void writeSignal(float amplitude, std::int64_t frames = Frames) {
        std::vector<float> s(size_t(frames * 2), 0.0f);
        for (std::int64_t i = 0; i < frames; ++i)
            s[size_t(2 * i)] = amplitude * float(std::sin(2 * M_PI * double(i) / Period));
        s[size_t(2 * Click + 1)] = ClickValue;
        synth::writeWav(source, s, Rate, 2);
    }

    // A loader that has read `source` whole.
    std::unique_ptr<PeakLoader> load(int readers = 0) {
        auto loader = std::make_unique<PeakLoader>();
        loader->setCacheFolder(cache);
        loader->setReaders(readers);
        loader->open(source);
        EXPECT_TRUE(loader->waitForFinished()) << loader->errorMessage().toStdString();
        return loader;
    }

    QString cacheFile() const {
        const QStringList files = QDir(cache).entryList({QStringLiteral("*.peaks")}, QDir::Files);
        return files.size() == 1 ? QDir(cache).filePath(files.first()) : QString();
    }

    QString source, cache;
};

struct Zoom {
    const char* name;
    std::int64_t first, last;
    int width;
};

class PeaksZoom : public testsupport::CaseTable<PeaksTest, Zoom> {};

// Every column holds what the signal holds in its frames: the sine's full swing
// where a whole period falls in it, never more; the click in its own column
// only (up to the block of frames it shares), silence elsewhere.
TEST_P(PeaksZoom, ColumnsHoldTheSignal) {
    const Zoom z = GetParam();
    // Three parts read side by side, the click in the second.
    const auto loader = load(3);
    ASSERT_EQ(loader->frames(), Frames);
    ASSERT_EQ(loader->channels(), 2);
    std::vector<bool> ready;
    const auto sine = loader->columns(0, z.first, z.last, z.width, &ready);
    const auto clicks = loader->columns(1, z.first, z.last, z.width);
    const auto mix = loader->columns(-1, z.first, z.last, z.width);
    ASSERT_EQ(sine.size(), size_t(z.width));
    const std::int64_t span = z.last - z.first;
    const bool close = span < 256 * std::int64_t(z.width);
    const std::int64_t slack = close ? 0 : 256;
    int clickColumns = 0;
    for (int k = 0; k < z.width; ++k) {
        SCOPED_TRACE(k);
        EXPECT_TRUE(ready[size_t(k)]);
        const std::int64_t a = z.first + k * span / z.width;
        const std::int64_t b = std::max(a + 1, z.first + (k + 1) * span / z.width);
        EXPECT_LE(sine[size_t(k)].max, 0.5f + Tolerance);
        EXPECT_GE(sine[size_t(k)].min, -0.5f - Tolerance);
        if (b - a >= Period) {
            EXPECT_NEAR(sine[size_t(k)].max, 0.5f, Tolerance);
            EXPECT_NEAR(sine[size_t(k)].min, -0.5f, Tolerance);
            EXPECT_NEAR(sine[size_t(k)].rms, 0.5f / std::sqrt(2.0f), 2 * Tolerance);
            EXPECT_NEAR(mix[size_t(k)].max, 0.5f, Tolerance);
        }
        const bool holdsClick = Click >= a && Click < b;
        const bool nearClick = Click >= a - slack && Click < b + slack;
        if (holdsClick) {
            EXPECT_NEAR(clicks[size_t(k)].min, ClickValue, Tolerance);
            EXPECT_NEAR(mix[size_t(k)].min, ClickValue, Tolerance);
            ++clickColumns;
        } else if (!nearClick) {
            EXPECT_NEAR(clicks[size_t(k)].min, 0.0f, Tolerance);
            EXPECT_NEAR(clicks[size_t(k)].max, 0.0f, Tolerance);
        }
        if (!holdsClick) {
            EXPECT_GE(clicks[size_t(k)].max, -Tolerance);
        }
    }
    // Columns narrower than a frame each show the frame they lie on.
    EXPECT_EQ(clickColumns,
              Click < z.first || Click >= z.last ? 0 : std::max<std::int64_t>(1, z.width / span));
}

INSTANTIATE_TEST_SUITE_P(Peaks, PeaksZoom,
                         ::testing::Values(Zoom{"whole_100", 0, Frames, 100},
                                           Zoom{"whole_7", 0, Frames, 7},
                                           Zoom{"whole_390", 0, Frames, 390},
                                           Zoom{"past_click", 62000, Frames, 33},
                                           Zoom{"near_click_40_per_column", 60000, 62000, 50},
                                           Zoom{"samples_wider_than_frames", 61200, 61300, 1000},
                                           Zoom{"beyond_the_end", 90000, Frames + 5000, 64}),
                         testsupport::CaseName());

// A source whose level changes from block to block, each link `blocks`
// blocks long, one after the other; none: a chain of an 8 kHz mono link and
// a 44.1 kHz stereo one, or (`swapped`) the other way round.
struct Source {
    const char* name;
    bool wav;
    std::vector<std::int64_t> links; // blocks
    int readers;
    bool swapped = false;
};

class PeaksSource : public testsupport::CaseTable<PeaksTest, Source> {};

// Read in parts straight from the decoder's own arrays, every block holds
// what the same samples read interleaved hold: planar or interleaved
// decoders, parts more than readers, a chain whose first link is converted.
TEST_P(PeaksSource, BlocksHoldWhatTheSamplesHold) {
    const Source& c = GetParam();
    QByteArray chain;
    for (const std::int64_t blocks : c.links) {
        const int rate = Rate, channels = 2;
        std::vector<float> s(size_t(blocks * 256 * channels));
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = float((i % 7919) / 9000.0 * std::sin(double(i) * 0.05));
        const QString link = dir.filePath(QStringLiteral("link"));
        if (c.wav) {
            synth::writeWav(link, s, rate, channels);
        } else {
            synth::VorbisWriter w(link, rate, channels);
            const int frames = int(s.size()) / channels;
            for (int at = 0; at < frames; at += 4096) {
                const int n = std::min(4096, frames - at);
                float** buf = w.buffer(n);
                for (int i = 0; i < n * channels; ++i)
                    buf[i % channels][i / channels] = s[size_t(at * channels + i)];
                w.wrote(n);
            }
            w.finish();
        }
        chain += readBytes(link);
    }
    if (c.links.empty()) {
        chain = readBytes(
            qEnvironmentVariable("CADELO_SOURCE_DIR") +
            QStringLiteral("/tests/data/damaged-inputs/chain-8k-mono-then-44k-stereo.ogg"));
        // The second link begins with the second page that begins a stream.
        qsizetype second = chain.indexOf("OggS", 1);
        while (second > 0 && !(chain[second + 5] & 2))
            second = chain.indexOf("OggS", second + 1);
        ASSERT_GT(second, 0);
        if (c.swapped)
            chain = chain.mid(second) + chain.left(second);
    }
    writeBytes(source, chain);
    AudioFile f;
    f.openRead(source);
    std::vector<float> samples;
    for (SampleBlock b; !(b = f.readSamples(1 << 16)).empty();)
        samples.insert(samples.end(), b.samples.begin(), b.samples.end());
    const auto loader = load(c.readers);
    const std::int64_t blocks = loader->frames() / 256;
    ASSERT_GT(blocks, 20);
    ASSERT_EQ(std::int64_t(samples.size()), loader->frames() * 2);
    for (int ch = 0; ch < 2; ++ch) {
        const auto got = loader->columns(ch, 0, blocks * 256, int(blocks));
        for (std::int64_t k = 0; k < blocks; ++k) {
            PeakSummary::Cell cells[2];
            PeakSummary::summarise(samples.data() + k * 512, 2, 256, cells);
            const PeakRange& r = got[size_t(k)];
            ASSERT_EQ(r.min, float(cells[ch].low) / 127) << ch << " " << k;
            ASSERT_EQ(r.max, float(cells[ch].high) / 127) << ch << " " << k;
            ASSERT_NEAR(r.rms, cells[ch].level / 255.0f, 1.01f / 255) << ch << " " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Peaks, PeaksSource,
                         ::testing::Values(Source{"wav_three_parts_one_reader", true, {10600}, 1},
                                           Source{"ogg_three_readers", false, {700}, 3},
                                           Source{"ogg_three_parts_two_readers", false, {10600}, 2},
                                           Source{"two_links_one_format", false, {300, 400}, 2},
                                           Source{"chain_first_converted", false, {}, 2},
                                           Source{"chain_second_converted", false, {}, 2, true}),
                         testsupport::CaseName());

// The whole file in few columns, read again from the disk: the same values, and
// none from a stale entry once the file has changed.
TEST_F(PeaksTest, CacheServesTheSameFileAndNotAChangedOne) {
    const auto first = load();
    EXPECT_FALSE(first->fromCache());
    const auto again = load();
    EXPECT_TRUE(again->fromCache());
    const auto a = first->columns(0, 0, Frames, 10), b = again->columns(0, 0, Frames, 10);
    for (size_t k = 0; k < a.size(); ++k)
        EXPECT_EQ(a[k].max, b[k].max);

    // The same size and a new time, then a new size.
    const QDateTime stamp = QFileInfo(source).lastModified();
    writeSignal(0.25f);
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(stamp.addSecs(5), QFileDevice::FileModificationTime));
    f.close();
    const auto changed = load();
    EXPECT_FALSE(changed->fromCache());
    EXPECT_NEAR(changed->columns(0, 0, Frames, 1)[0].max, 0.25f, Tolerance);
    writeSignal(0.125f, Frames + 1000);
    const auto longer = load();
    EXPECT_FALSE(longer->fromCache());
    EXPECT_EQ(longer->frames(), Frames + 1000);
    EXPECT_NEAR(longer->columns(0, 0, Frames, 1)[0].max, 0.125f, Tolerance);
}

struct Damage {
    const char* name;
    void (*apply)(QByteArray&);
};

class PeaksDamage : public testsupport::CaseTable<PeaksTest, Damage> {};

// A damaged cache file is read as none: the summary is made again from the
// source, right, and the cache file replaced by a sound one.
TEST_P(PeaksDamage, IsIgnoredAndRebuilt) {
    load();
    const QString file = cacheFile();
    ASSERT_FALSE(file.isEmpty());
    QByteArray bytes = readBytes(file);
    GetParam().apply(bytes);
    writeBytes(file, bytes);

    const auto loader = load();
    EXPECT_FALSE(loader->fromCache());
    EXPECT_NEAR(loader->columns(1, 0, Frames, 1)[0].min, ClickValue, Tolerance);
    EXPECT_NEAR(loader->columns(0, 0, Frames, 1)[0].max, 0.5f, Tolerance);
    EXPECT_TRUE(load()->fromCache());
}

INSTANTIATE_TEST_SUITE_P(
    Peaks, PeaksDamage,
    ::testing::Values(Damage{"empty", [](QByteArray& b) { b.clear(); }},
                      Damage{"truncated", [](QByteArray& b) { b.chop(b.size() / 3); }},
                      Damage{"one_more_byte", [](QByteArray& b) { b.append('\0'); }},
                      Damage{"value_changed",
                             [](QByteArray& b) { b[b.size() / 2] = char(b[b.size() / 2] ^ 1); }},
                      Damage{"magic_changed", [](QByteArray& b) { b[0] = 'X'; }},
                      // Silence in every cell, under a checksum that matches.
                      Damage{"garbage", [](QByteArray& b) { b = QByteArray(b.size(), '\x7f'); }}),
    testsupport::CaseName());

// The cache entry of another file, copied over this one's, is not taken.
TEST_F(PeaksTest, ForeignCacheFileIsIgnored) {
    load();
    const QString mine = cacheFile();
    const QString other = source;
    source = dir.filePath(QStringLiteral("other.wav"));
    writeSignal(0.25f);
    QFile::remove(mine);
    load();
    const QString theirs = cacheFile();
    ASSERT_FALSE(theirs.isEmpty());
    ASSERT_TRUE(QFile::rename(theirs, mine));
    source = other;
    const auto loader = load();
    EXPECT_FALSE(loader->fromCache());
    EXPECT_NEAR(loader->columns(0, 0, Frames, 1)[0].max, 0.5f, Tolerance);
}

struct CliCall {
    const char* name;
    QStringList args; // before FILE
    int exitCode;
    const char* err; // the start of what it says, "" when nothing
};

class PeaksCli : public testsupport::CaseTable<PeaksTest, CliCall> {};

// cadelo-cli peaks: one JSON object of the summary, or a message and a status.
TEST_P(PeaksCli, PrintsOrRefuses) {
    const CliCall c = GetParam();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("home/cache")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("home/config")));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir.path());
    const QString settings = dir.filePath(QStringLiteral("settings.ini"));
    touch(settings);
    p.start(qEnvironmentVariable("CADELO_BUILD_DIR") + QStringLiteral("/cadelo-cli"),
            QStringList{QStringLiteral("peaks"), QStringLiteral("--settings"), settings} + c.args);
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), c.exitCode);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_TRUE(*c.err ? err.startsWith(QLatin1String(c.err)) : err.isEmpty()) << err.toStdString();
    if (c.exitCode != 0)
        return;
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    EXPECT_EQ(o.value(QStringLiteral("rate")).toInt(), Rate);
    EXPECT_EQ(o.value(QStringLiteral("frames")).toInteger(), Frames);
    const QJsonArray channels = o.value(QStringLiteral("channels")).toArray();
    ASSERT_EQ(channels.size(), 2);
    const QJsonArray sine = channels[0].toArray(), clicks = channels[1].toArray();
    ASSERT_EQ(sine.size(), 8);
    ASSERT_EQ(clicks.size(), 8);
    for (int k = 0; k < 8; ++k) {
        EXPECT_NEAR(sine[k].toArray()[1].toDouble(), 0.5, Tolerance);
        // Column k covers frames k*F/8 to (k+1)*F/8.
        const bool click = Click * 8 / Frames == k;
        EXPECT_NEAR(clicks[k].toArray()[0].toDouble(), click ? ClickValue : 0.0, Tolerance) << k;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Peaks, PeaksCli,
    ::testing::Values(
        CliCall{"eight_columns",
                {QStringLiteral("--width"), QStringLiteral("8"), QStringLiteral("signal.wav")},
                0,
                ""},
        CliCall{"width_zero",
                {QStringLiteral("--width=0"), QStringLiteral("signal.wav")},
                2,
                "cadelo-cli: --width takes a whole number from 1 to"},
        CliCall{"width_missing",
                {QStringLiteral("signal.wav")},
                2,
                "cadelo-cli: peaks needs --width N"},
        CliCall{"not_audio",
                {QStringLiteral("--width"), QStringLiteral("8"), QStringLiteral("settings.ini")},
                1,
                "cadelo-cli: settings.ini"},
        CliCall{"missing_file",
                {QStringLiteral("--width"), QStringLiteral("8"), QStringLiteral("none.ogg")},
                1,
                "cadelo-cli: none.ogg"}),
    testsupport::CaseName());

} // namespace
