// Reading through AudioFile: exact lengths, sample-exact seeking, block reading
// to the end, truncated files, PCM format conversion and awkward file names.
#include "audio/AudioError.h"
#include "audio/AudioFile.h"
#include "synth/Synth.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace {

// A WMA frame: what FFmpeg's container timing may be off by.
constexpr std::int64_t kWmaFrame = 2048;
constexpr std::int64_t kFrames = 100003; // not a multiple of any codec frame

enum class Format { Ogg, Mp3, Wma };

const char* formatName(Format f) {
    switch (f) {
    case Format::Ogg:
        return "Ogg";
    case Format::Mp3:
        return "Mp3";
    case Format::Wma:
        return "Wma";
    }
    return "?";
}

// Test files are made once per program: lame and ffmpeg take their time.
class Files {
  public:
    static Files& instance() {
        static Files files;
        return files;
    }
    QString dir() const { return m_dir.path(); }

    // A file of `frames` frames of the test tone; empty when the outside
    // encoder it needs is missing.
    QString make(Format format, std::int64_t frames = kFrames, int rate = 44100, int channels = 2) {
        const QString key = QStringLiteral("%1-%2-%3-%4")
                                .arg(QLatin1String(formatName(format)))
                                .arg(frames)
                                .arg(rate)
                                .arg(channels);
        auto it = m_made.find(key);
        if (it != m_made.end())
            return it->second;
        QString path;
        switch (format) {
        case Format::Ogg:
            path = m_dir.filePath(key + QStringLiteral(".ogg"));
            synth::writeOgg(path, frames, rate, channels);
            break;
        case Format::Mp3:
        case Format::Wma: {
            const QString wav = m_dir.filePath(key + QStringLiteral(".wav"));
            synth::writeWav(wav, synth::tone(frames, rate, channels), rate, channels);
            path = m_dir.filePath(
                key + (format == Format::Mp3 ? QStringLiteral(".mp3") : QStringLiteral(".wma")));
            const bool ok =
                format == Format::Mp3 ? synth::makeMp3(wav, path) : synth::makeWma(wav, path);
            if (!ok)
                path.clear();
            break;
        }
        }
        m_made[key] = path;
        return path;
    }

  private:
    QTemporaryDir m_dir;
    std::map<QString, QString> m_made;
};

#define REQUIRE_FILE(path)                                                                         \
    do {                                                                                           \
        if ((path).isEmpty())                                                                      \
            GTEST_SKIP() << "the outside encoder for this format is not installed";                \
    } while (0)

struct Read {
    std::vector<float> samples;
    int rate = 0;
    int channels = 0;
    std::int64_t frames() const { return channels ? std::int64_t(samples.size()) / channels : 0; }
};

// Reads blocks of `count` until the first empty one; checks the block format
// on the way and that the end stays the end.
Read readToEnd(AudioFile& file, std::int64_t count) {
    Read r;
    for (int guard = 0; guard < 10000000; ++guard) {
        const SampleBlock b = file.readSamples(count);
        if (b.empty())
            break;
        EXPECT_GT(b.channels, 0);
        EXPECT_EQ(b.samples.size() % size_t(b.channels), 0u);
        r.rate = b.rate;
        r.channels = b.channels;
        r.samples.insert(r.samples.end(), b.samples.begin(), b.samples.end());
    }
    EXPECT_TRUE(file.readSamples(count).empty()) << "the end must stay the end";
    EXPECT_TRUE(file.readSamples(count).empty());
    return r;
}

Read readAll(const QString& path, std::int64_t count = 4096) {
    AudioFile f;
    f.openRead(path);
    return readToEnd(f, count);
}

// Largest difference between `a` from frame `aFrom` and `b` from frame `bFrom`
// over `frames` frames.
double maxDiff(const std::vector<float>& a, std::int64_t aFrom, const std::vector<float>& b,
               std::int64_t bFrom, std::int64_t frames, int channels) {
    double worst = 0.0;
    for (std::int64_t i = 0; i < frames * channels; ++i)
        worst = std::max(worst, double(std::fabs(a[size_t(aFrom * channels + i)] -
                                                 b[size_t(bFrom * channels + i)])));
    return worst;
}

// The offset (within +-range frames) at which `window`, meant to start at
// frame `at`, best matches `whole`. The tone's channels differ in frequency,
// so together they leave one best match.
std::int64_t bestOffset(const std::vector<float>& whole, const std::vector<float>& window,
                        std::int64_t at, std::int64_t frames, int channels, std::int64_t range) {
    std::int64_t best = 0;
    double bestErr = 1e300;
    const std::int64_t total = std::int64_t(whole.size()) / channels;
    for (std::int64_t off = -range; off <= range; ++off) {
        if (at + off < 0 || at + off + frames > total)
            continue;
        double err = 0.0;
        for (std::int64_t i = 0; i < frames * channels; ++i) {
            const double d = whole[size_t((at + off) * channels + i)] - window[size_t(i)];
            err += d * d;
        }
        if (err < bestErr) {
            bestErr = err;
            best = off;
        }
    }
    return best;
}

// --- length -----------------------------------------------------------------

struct LengthCase {
    Format format;
    std::int64_t frames;
    int rate;
    int channels;
};

class Length : public ::testing::TestWithParam<LengthCase> {};

TEST_P(Length, IsTheSourceFrameCountAndThatManyFramesRead) {
    const LengthCase c = GetParam();
    const QString path = Files::instance().make(c.format, c.frames, c.rate, c.channels);
    REQUIRE_FILE(path);
    // Ogg Vorbis and MP3 with gapless information are exact; WMA is as
    // exact as its container's timing.
    const double slack = c.format == Format::Wma ? double(kWmaFrame) : 0.0;
    AudioFile f;
    f.openRead(path);
    EXPECT_NEAR(double(f.lengthSamples()), double(c.frames), slack);
    EXPECT_EQ(f.lengthMs(), f.lengthSamples() * 1000 / c.rate);
    EXPECT_EQ(f.sampleRate(), c.rate);
    EXPECT_EQ(f.channels(), c.channels);

    const Read r = readToEnd(f, 4096);
    EXPECT_NEAR(double(r.frames()), double(c.frames), slack);
    EXPECT_EQ(r.rate, c.rate);
    EXPECT_EQ(r.channels, c.channels);
    EXPECT_EQ(f.position(), r.frames());
    if (c.format == Format::Ogg) {
        // The very audio libvorbisfile gives on its own.
        const synth::Decoded ref = synth::decodeOgg(path);
        EXPECT_EQ(ref.samples, r.samples);
    } else if (c.format == Format::Mp3 && c.channels == 2 && c.frames > 40000) {
        // Gapless decoding removed the encoder's delay: the tone lines up with
        // the source to the frame.
        const std::vector<float> src = synth::tone(40000, c.rate, 2);
        const std::vector<float> window(src.begin() + 2 * 20000, src.end());
        EXPECT_EQ(bestOffset(r.samples, window, 20000, 20000, 2, 300), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, Length,
                         ::testing::Values(LengthCase{Format::Ogg, kFrames, 44100, 2},
                                           LengthCase{Format::Ogg, 1, 44100, 2},
                                           LengthCase{Format::Ogg, 44100, 44100, 2},
                                           LengthCase{Format::Ogg, 66157, 22050, 1},
                                           LengthCase{Format::Ogg, 48001, 48000, 1},
                                           LengthCase{Format::Ogg, 8191, 8000, 2},
                                           LengthCase{Format::Mp3, kFrames, 44100, 2},
                                           LengthCase{Format::Mp3, 33333, 22050, 1},
                                           LengthCase{Format::Wma, kFrames, 44100, 2}),
                         [](const ::testing::TestParamInfo<LengthCase>& info) {
                             return std::string(formatName(info.param.format)) + "_" +
                                    std::to_string(info.param.frames) + "_" +
                                    std::to_string(info.param.rate) + "_" +
                                    std::to_string(info.param.channels);
                         });

// --- seeking ------------------------------------------------------------------

struct SeekCase {
    Format format;
    std::int64_t frame;
    bool fromEnd; // seek back from the end rather than on from the start
};

class SeekThenRead : public ::testing::TestWithParam<SeekCase> {};

TEST_P(SeekThenRead, MatchesAStraightDecode) {
    const SeekCase c = GetParam();
    const QString path = Files::instance().make(c.format);
    REQUIRE_FILE(path);
    const Read whole = readAll(path);
    const std::int64_t total = whole.frames();

    AudioFile f;
    f.openRead(path);
    // Read first so that the seek really moves the decoder.
    if (c.fromEnd)
        readToEnd(f, 65536);
    else
        f.readSamples(3000);
    f.seek(c.frame);
    EXPECT_EQ(f.position(), c.frame);
    const Read after = readToEnd(f, 5000);
    const std::int64_t expected = total - c.frame;

    if (c.format == Format::Wma) {
        // The container's length may reach past the last decoded frame.
        if (c.frame >= total) {
            EXPECT_EQ(after.frames(), 0);
            return;
        }
        EXPECT_NEAR(double(after.frames()), double(expected), double(kWmaFrame));
        const std::int64_t window =
            std::min<std::int64_t>(4096, std::min(after.frames(), total - c.frame) - 1);
        if (window > 256) {
            EXPECT_LE(
                std::llabs(bestOffset(whole.samples, after.samples, c.frame, window, 2, kWmaFrame)),
                kWmaFrame);
        }
        return;
    }
    ASSERT_EQ(after.frames(), expected);
    EXPECT_EQ(maxDiff(whole.samples, c.frame, after.samples, 0, expected, whole.channels), 0.0);
}

std::vector<SeekCase> seekCases() {
    std::vector<SeekCase> cases;
    for (Format f : {Format::Ogg, Format::Mp3, Format::Wma}) {
        for (std::int64_t frame :
             {std::int64_t(0), std::int64_t(1), std::int64_t(1151), std::int64_t(4096),
              std::int64_t(44100), std::int64_t(77777), kFrames - 1, kFrames})
            cases.push_back({f, frame, false});
        for (std::int64_t frame : {std::int64_t(0), std::int64_t(8000), std::int64_t(30001),
                                   std::int64_t(65536), std::int64_t(90000)})
            cases.push_back({f, frame, true});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Points, SeekThenRead, ::testing::ValuesIn(seekCases()),
                         [](const ::testing::TestParamInfo<SeekCase>& info) {
                             return std::string(formatName(info.param.format)) +
                                    (info.param.fromEnd ? "_back_to_" : "_on_to_") +
                                    std::to_string(info.param.frame);
                         });

TEST(Seek, OutsideTheFileIsClampedToIt) {
    const QString path = Files::instance().make(Format::Ogg);
    AudioFile f;
    f.openRead(path);
    f.seek(kFrames + 1000);
    EXPECT_EQ(f.position(), kFrames);
    EXPECT_TRUE(f.readSamples(100).empty());
    f.seek(-5);
    EXPECT_EQ(f.position(), 0);
    EXPECT_EQ(f.readSamples(10).frames(), 10);
}

// --- blocks and truncation -------------------------------------------------------

struct BlockCase {
    Format format;
    std::int64_t count;
};

class BlockReading : public ::testing::TestWithParam<BlockCase> {};

TEST_P(BlockReading, AnySizeEndsWithAnEmptyBlock) {
    const BlockCase c = GetParam();
    // Block size 1 takes its time: a shorter file for it.
    const std::int64_t frames = c.count < 10 ? 12345 : kFrames;
    const QString path = Files::instance().make(c.format, frames);
    REQUIRE_FILE(path);
    const Read reference = readAll(path, 4096);
    AudioFile f;
    f.openRead(path);
    std::int64_t position = 0;
    Read r;
    for (;;) {
        const SampleBlock b = f.readSamples(c.count);
        if (b.empty())
            break;
        ASSERT_LE(b.frames(), c.count);
        position += b.frames();
        ASSERT_EQ(f.position(), position);
        r.samples.insert(r.samples.end(), b.samples.begin(), b.samples.end());
    }
    EXPECT_TRUE(f.readSamples(c.count).empty());
    EXPECT_EQ(r.samples, reference.samples);
}

std::vector<BlockCase> blockCases() {
    std::vector<BlockCase> cases;
    for (Format f : {Format::Ogg, Format::Mp3, Format::Wma})
        for (std::int64_t n : {std::int64_t(1), std::int64_t(7), std::int64_t(1000),
                               std::int64_t(44100), std::int64_t(1) << 40})
            cases.push_back({f, n});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Sizes, BlockReading, ::testing::ValuesIn(blockCases()),
                         [](const ::testing::TestParamInfo<BlockCase>& info) {
                             return std::string(formatName(info.param.format)) + "_" +
                                    std::to_string(info.param.count);
                         });

class Truncated : public ::testing::TestWithParam<Format> {};

TEST_P(Truncated, ReadsWhatIsThereThenEnds) {
    // Long enough for many Ogg pages: a tone compresses well.
    const std::int64_t frames = 10 * 44100 + 17;
    const QString full = Files::instance().make(GetParam(), frames);
    REQUIRE_FILE(full);
    QFile in(full);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    const QString cut = Files::instance().dir() + QStringLiteral("/cut-") +
                        QString::fromLatin1(formatName(GetParam()));
    {
        QFile out(cut);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        // Cut in the middle of a page or packet, not at a boundary.
        out.write(bytes.left(bytes.size() * 6 / 10 + 37));
    }
    AudioFile f;
    f.openRead(cut);
    const Read r = readToEnd(f, 4096);
    EXPECT_GT(r.frames(), frames / 3);
    EXPECT_LT(r.frames(), frames * 8 / 10);
    EXPECT_GE(f.lengthSamples(), r.frames() - kWmaFrame);
    // What is there is the start of the full decode.
    const Read whole = readAll(full);
    const std::int64_t common = std::min(r.frames(), whole.frames()) - 4096;
    EXPECT_LT(maxDiff(whole.samples, 0, r.samples, 0, common, 2), 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Formats, Truncated,
                         ::testing::Values(Format::Ogg, Format::Mp3, Format::Wma),
                         [](const ::testing::TestParamInfo<Format>& info) {
                             return std::string(formatName(info.param));
                         });

// --- PCM format conversion ---------------------------------------------------------

struct ConvertCase {
    int inRate, inChannels, outRate, outChannels;
    std::int64_t count;
};

class ConvertedReading : public ::testing::TestWithParam<ConvertCase> {};

// The test tone as the converted output should hold it, evaluated at the
// output frame's instant: the mean of the source's two channels, or the mono
// source on every channel.
float expectedSample(std::int64_t outFrame, const ConvertCase& c) {
    const double t = double(outFrame) / c.outRate;
    if (c.inChannels == 2)
        return float(0.25 * std::sin(2 * M_PI * 440.0 * t) + 0.25 * std::sin(2 * M_PI * 660.0 * t));
    return float(0.5 * std::sin(2 * M_PI * 440.0 * t));
}

TEST_P(ConvertedReading, DeliversTheAskedFormatAndDuration) {
    const ConvertCase c = GetParam();
    const std::int64_t frames = 88211;
    const QString path = Files::instance().make(Format::Ogg, frames, c.inRate, c.inChannels);
    AudioFile f;
    f.openRead(path);
    f.setPcmFormat(c.outRate, c.outChannels);
    // Length and format stay those of the source.
    EXPECT_EQ(f.lengthSamples(), frames);
    EXPECT_EQ(f.sampleRate(), c.inRate);
    EXPECT_EQ(f.channels(), c.inChannels);

    Read r;
    std::int64_t consumed = 0;
    for (;;) {
        const SampleBlock b = f.readSamples(c.count);
        if (b.empty())
            break;
        ASSERT_EQ(b.rate, c.outRate);
        ASSERT_EQ(b.channels, c.outChannels);
        // Every block holds the conversion of the source frames it consumed.
        const std::int64_t now = f.position();
        if (now < frames) {
            // Exactly the frames asked, unless they were too few to make one
            // output frame.
            if (c.count * c.outRate >= c.inRate) {
                ASSERT_EQ(now - consumed, c.count);
            }
            ASSERT_EQ(r.frames() + b.frames(), now * c.outRate / c.inRate);
        }
        ASSERT_GE(now, consumed);
        consumed = now;
        r.channels = b.channels;
        r.samples.insert(r.samples.end(), b.samples.begin(), b.samples.end());
    }
    EXPECT_EQ(consumed, frames);
    // The tail is flushed: the whole duration arrives.
    const double exact = double(frames) * c.outRate / c.inRate;
    EXPECT_NEAR(double(r.frames()), exact, 2.0);

    // In time with the source: no shift, no level change (away from the edges,
    // where the filter starts and ends on silence).
    double worst = 0.0;
    for (std::int64_t i = 200; i < r.frames() - 200; ++i)
        for (int ch = 0; ch < c.outChannels; ++ch)
            worst = std::max(worst, double(std::fabs(r.samples[size_t(i * c.outChannels + ch)] -
                                                     expectedSample(i, c))));
    EXPECT_LT(worst, 0.03);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ConvertedReading,
    ::testing::Values(ConvertCase{44100, 2, 22050, 1, 4096}, ConvertCase{44100, 2, 22050, 1, 44100},
                      ConvertCase{44100, 2, 22050, 1, 3}, ConvertCase{22050, 1, 44100, 2, 4096},
                      ConvertCase{22050, 1, 44100, 2, 1}, ConvertCase{44100, 2, 44100, 1, 1000},
                      ConvertCase{22050, 1, 48000, 2, 10000}));

TEST(ConvertedReading, SameOutputWhateverTheBlockSize) {
    const QString path = Files::instance().make(Format::Ogg, 50000, 44100, 2);
    auto convert = [&](std::int64_t count) {
        AudioFile f;
        f.openRead(path);
        f.setPcmFormat(22050, 1);
        return readToEnd(f, count).samples;
    };
    const std::vector<float> big = convert(1 << 20);
    EXPECT_EQ(convert(4096), big);
    EXPECT_EQ(convert(777), big);
}

TEST(ConvertedReading, SeekRestartsAtTheSourceFrame) {
    const QString path = Files::instance().make(Format::Ogg, kFrames, 44100, 2);
    AudioFile f;
    f.openRead(path);
    f.setPcmFormat(22050, 1);
    const std::vector<float> whole = readToEnd(f, 4096).samples;
    f.seek(40000);
    EXPECT_EQ(f.position(), 40000);
    const Read after = readToEnd(f, 4096);
    EXPECT_NEAR(double(after.frames()), double(kFrames - 40000) / 2, 2.0);
    // Away from the converter's fresh start, the same audio as without a seek.
    EXPECT_LT(maxDiff(whole, 20000 + 100, after.samples, 100, 5000, 1), 1e-4);
    // Back to the source's own format in the middle of the file.
    f.seek(1000);
    f.setPcmFormat(0, 0);
    const SampleBlock b = f.readSamples(500);
    EXPECT_EQ(b.channels, 2);
    EXPECT_EQ(b.rate, 44100);
    EXPECT_EQ(b.frames(), 500);
    EXPECT_EQ(f.position(), 1500);
}

// --- names and content -------------------------------------------------------------

struct NameCase {
    Format format;
    const char* name; // UTF-8, extension included
};

class Names : public ::testing::TestWithParam<NameCase> {};

// Paths with spaces and any characters open like any other, and the content
// picks the decoder whatever the extension says.
TEST_P(Names, OpenAndReadLikeAnyOther) {
    const NameCase c = GetParam();
    const QString made = Files::instance().make(c.format, 30011);
    REQUIRE_FILE(made);
    const QString path = Files::instance().dir() + QLatin1Char('/') + QString::fromUtf8(c.name);
    QFile::remove(path);
    ASSERT_TRUE(QFile::copy(made, path));
    AudioFile f;
    f.openRead(path);
    const double slack = c.format == Format::Wma ? double(kWmaFrame) : 0.0;
    EXPECT_NEAR(double(f.lengthSamples()), 30011.0, slack);
    EXPECT_NEAR(double(readToEnd(f, 4096).frames()), 30011.0, slack);
}

INSTANTIATE_TEST_SUITE_P(Unicode, Names,
                         ::testing::Values(NameCase{Format::Ogg, "Café – Live.ogg"},
                                           NameCase{Format::Ogg, "Кино — Группа крови.ogg"},
                                           NameCase{Format::Ogg, "日本語の曲 (ライブ).ogg"},
                                           NameCase{Format::Mp3, "Café – Live.mp3"},
                                           NameCase{Format::Wma, "Ария №1.wma"},
                                           NameCase{Format::Ogg, "a:b;c'd\"e.ogg"},
                                           NameCase{Format::Ogg, "ogg named.mp3"},
                                           NameCase{Format::Mp3, "mp3 named.ogg"},
                                           NameCase{Format::Wma, "wma named.mp3"},
                                           NameCase{Format::Mp3, "no extension"}));

class TaggedMp3 : public ::testing::TestWithParam<int> {};

// An ID3v2 tag in front (a large one holds cover art) hides the first frame
// from a look at the first bytes; the decoder must still be the exact one.
TEST_P(TaggedMp3, ReadsLikeTheUntaggedFile) {
    const QString plain = Files::instance().make(Format::Mp3, 30011);
    REQUIRE_FILE(plain);
    QFile in(plain);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray audio = in.readAll();
    const int padding = GetParam();
    QByteArray frame =
        "TIT2" + QByteArray(4, '\0') + QByteArray(2, '\0') + QByteArray("\0Title", 6);
    frame[7] = 6;
    const int size = int(frame.size()) + padding;
    QByteArray tag("ID3\x03\x00\x00", 6);
    for (int shift : {21, 14, 7, 0})
        tag += char((size >> shift) & 0x7F);
    tag += frame + QByteArray(padding, '\0');
    const QString tagged = Files::instance().dir() + QStringLiteral("/tagged-%1.mp3").arg(padding);
    {
        QFile out(tagged);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(tag + audio);
    }
    AudioFile f;
    f.openRead(tagged);
    EXPECT_EQ(f.lengthSamples(), 30011);
    EXPECT_EQ(readToEnd(f, 4096).samples, readAll(plain).samples);
}

INSTANTIATE_TEST_SUITE_P(TagSizes, TaggedMp3, ::testing::Values(100, 3000, 300000));

// --- component state -----------------------------------------------------------------

TEST(Component, ResetClosesTheSourceAndForgetsTheFormat) {
    const QString path = Files::instance().make(Format::Ogg);
    AudioFile f;
    f.setPcmFormat(22050, 1);
    f.openRead(path);
    f.reset();
    EXPECT_FALSE(f.isOpen());
    EXPECT_THROW(f.readSamples(10), AudioError);
    f.close(); // nothing to close: no error
    f.openRead(path);
    // The reset dropped the asked PCM format.
    const SampleBlock b = f.readSamples(10);
    EXPECT_EQ(b.rate, 44100);
    EXPECT_EQ(b.channels, 2);
}

TEST(Component, ReadingWithoutAFileIsAnError) {
    AudioFile f;
    EXPECT_FALSE(f.isOpen());
    EXPECT_THROW(f.readSamples(10), AudioError);
    EXPECT_THROW(f.seek(0), AudioError);
    EXPECT_EQ(f.lengthSamples(), 0);
    f.close();
    f.close();
}

} // namespace
