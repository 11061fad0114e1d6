// Writing through AudioFile: blocks in the encoding's format or converted to
// it, the default encoding, the converter's tail at Close, and names.
#include "audio/AudioError.h"
#include "audio/AudioFile.h"
#include "support/CaseTable.h"
#include "support/Files.h"
#include "synth/Synth.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

namespace {

SampleBlock toneBlock(std::int64_t from, std::int64_t frames, int rate, int channels) {
    SampleBlock b;
    b.rate = rate;
    b.channels = channels;
    b.samples.resize(size_t(frames * channels));
    for (std::int64_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            b.samples[size_t(i * channels + c)] = synth::toneSample(from + i, c, rate);
    return b;
}

// Writes `frames` frames of the tone in blocks of `blockFrames`.
void writeTone(AudioFile& w, std::int64_t frames, int rate, int channels, std::int64_t blockFrames,
               bool declareFormat = true) {
    for (std::int64_t at = 0; at < frames; at += blockFrames) {
        SampleBlock b = toneBlock(at, std::min(blockFrames, frames - at), rate, channels);
        if (!declareFormat)
            b.rate = b.channels = 0;
        w.writeSamples(b);
    }
}

// Largest distance of channel `ch` of a decoded file from a tone of `freq`
// Hz at amplitude `level`, away from the edges.
double toneError(const synth::Decoded& d, int ch, double freq, double level) {
    double worst = 0.0;
    for (std::int64_t i = 300; i < d.frames() - 300; ++i) {
        const double want = level * std::sin(2 * M_PI * freq * double(i) / d.rate);
        worst = std::max(worst, std::fabs(double(d.samples[size_t(i * d.channels + ch)]) - want));
    }
    return worst;
}

struct WriteCase {
    const char* label;
    int inRate, inChannels;   // the blocks
    int outRate, outChannels; // the encoding
    std::int64_t blockFrames;
};

using Converted = testsupport::CaseTable<TempDirTest, WriteCase>;

TEST_P(Converted, EncodesTheWholeDurationInTheEncodingsFormat) {
    const WriteCase c = GetParam();
    const QString out = dir.filePath(QStringLiteral("out.ogg"));
    const std::int64_t frames = 2 * c.inRate + 123;
    {
        AudioFile w;
        w.setPcmFormat(c.inRate, c.inChannels);
        w.setOggFormat({c.outRate, c.outChannels, 0, 0, 0, 600});
        w.createWrite(out);
        EXPECT_TRUE(w.isOpen());
        writeTone(w, frames, c.inRate, c.inChannels, c.blockFrames);
        w.close();
        EXPECT_FALSE(w.isOpen());
        w.close(); // closing a closed object does nothing
    }
    const synth::Decoded d = synth::decodeOgg(out);
    EXPECT_EQ(d.rate, c.outRate);
    EXPECT_EQ(d.channels, c.outChannels);
    // Nothing lost at the end: the converter's tail reached the file. Without
    // conversion the count is exact.
    const bool same = c.inRate == c.outRate && c.inChannels == c.outChannels;
    EXPECT_NEAR(double(d.frames()), double(frames) * c.outRate / c.inRate, same ? 0.0 : 2.0);
    // In time and at level: mono from stereo is the mean of the two tones,
    // stereo from mono carries the tone on both sides.
    for (int ch = 0; ch < c.outChannels; ++ch) {
        if (c.inChannels == 2 && c.outChannels == 1) {
            double worst = 0.0;
            for (std::int64_t i = 300; i < d.frames() - 300; ++i) {
                const double t = double(i) / d.rate;
                const double want =
                    0.25 * std::sin(2 * M_PI * 440.0 * t) + 0.25 * std::sin(2 * M_PI * 660.0 * t);
                worst = std::max(worst, std::fabs(double(d.samples[size_t(i)]) - want));
            }
            EXPECT_LT(worst, 0.05);
        } else {
            const double freq = c.inChannels == 1 ? 440.0 : 440.0 * (1.0 + 0.5 * ch);
            EXPECT_LT(toneError(d, ch, freq, 0.5), 0.05) << "channel " << ch;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Converted,
                         ::testing::Values(WriteCase{"same", 44100, 2, 44100, 2, 4096},
                                           WriteCase{"down_to_mono", 44100, 2, 22050, 1, 44100},
                                           WriteCase{"up_to_stereo", 22050, 1, 44100, 2, 1000},
                                           WriteCase{"rate_only", 48000, 2, 44100, 2, 777},
                                           WriteCase{"channels_only", 44100, 1, 44100, 2, 4096}),
                         [](const ::testing::TestParamInfo<WriteCase>& info) {
                             return std::string(info.param.label);
                         });

TEST(Writer, BlocksInTheirOwnFormatAreConvertedFromIt) {
    // Declared 44100 stereo, but the blocks say 22050 mono: they are taken
    // at their word, as are undeclared blocks in the declared format after.
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("mixed.ogg"));
    AudioFile w;
    w.setPcmFormat(44100, 2);
    w.setOggFormat({44100, 2, 0, 0, 0, 500});
    w.createWrite(out);
    writeTone(w, 22050, 22050, 1, 2205);
    writeTone(w, 44100, 44100, 2, 4410, false);
    w.close();
    const synth::Decoded d = synth::decodeOgg(out);
    EXPECT_EQ(d.rate, 44100);
    EXPECT_EQ(d.channels, 2);
    EXPECT_NEAR(double(d.frames()), 88200.0, 2.0);
}

struct DefaultCase {
    int rate, channels;
    long nominal; // 0: libvorbisenc cannot do 128 kbps here, any encoding will do
};

using DefaultEncoding = testsupport::CaseTable<TempDirTest, DefaultCase>;

TEST_P(DefaultEncoding, IsThePcmFormatAt128Kbps) {
    const DefaultCase c = GetParam();
    const QString out = dir.filePath(QStringLiteral("default.ogg"));
    AudioFile w;
    w.setPcmFormat(c.rate, c.channels);
    w.createWrite(out);
    writeTone(w, c.rate, c.rate, c.channels, 4096);
    w.close();
    OggVorbis_File vf;
    ASSERT_EQ(ov_fopen(QFile::encodeName(out).constData(), &vf), 0);
    const vorbis_info* vi = ov_info(&vf, -1);
    EXPECT_EQ(vi->rate, c.rate);
    EXPECT_EQ(vi->channels, c.channels);
    if (c.nominal) {
        EXPECT_EQ(vi->bitrate_nominal, c.nominal);
    }
    EXPECT_EQ(ov_pcm_total(&vf, -1), c.rate);
    ov_clear(&vf);
}

INSTANTIATE_TEST_SUITE_P(Formats, DefaultEncoding,
                         ::testing::Values(DefaultCase{44100, 2, 128000},
                                           DefaultCase{48000, 2, 128000}, DefaultCase{22050, 1, 0},
                                           DefaultCase{8000, 1, 0}));

TEST(Writer, ReplacesAFileUnderAnAwkwardName) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("Café – Live Кино 日本.ogg"));
    {
        QFile old(out);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old contents");
    }
    AudioFile w;
    w.setPcmFormat(44100, 2);
    w.createWrite(out);
    writeTone(w, 5000, 44100, 2, 5000);
    w.close();
    EXPECT_EQ(synth::decodeOgg(out).frames(), 5000);
    // And it reads back through the reader.
    AudioFile r;
    r.openRead(out);
    EXPECT_EQ(r.lengthSamples(), 5000);
}

TEST(Writer, RefusesWritingWithoutAnOpenFileAndResetDropsTheFileBeingWritten) {
    AudioFile w;
    EXPECT_THROW(w.writeSamples(toneBlock(0, 10, 44100, 2)), AudioError);
    QTemporaryDir dir;
    w.createWrite(dir.filePath(QStringLiteral("x.ogg")));
    writeTone(w, 5000, 44100, 2, 5000);
    w.reset();
    EXPECT_THROW(w.writeSamples(toneBlock(0, 10, 44100, 2)), AudioError);
    EXPECT_TRUE(QDir(dir.path()).isEmpty()); // neither the file nor a temporary
}

TEST(Writer, ReaderToWriterJoinsAtTheFirstSourcesFormat) {
    // A 22050 mono source read as 44100 stereo and written as such: what the
    // join run does with a second source of another format.
    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("src.ogg"));
    const QString out = dir.filePath(QStringLiteral("joined.ogg"));
    synth::writeOgg(src, 33333, 22050, 1);
    AudioFile r;
    AudioFile w;
    r.openRead(src);
    r.setPcmFormat(44100, 2);
    w.setPcmFormat(44100, 2);
    w.createWrite(out);
    for (;;) {
        const SampleBlock b = r.readSamples(22050);
        if (b.empty())
            break;
        w.writeSamples(b);
    }
    w.close();
    const synth::Decoded d = synth::decodeOgg(out);
    EXPECT_EQ(d.rate, 44100);
    EXPECT_EQ(d.channels, 2);
    EXPECT_NEAR(double(d.frames()), 66666.0, 2.0);
    EXPECT_LT(toneError(d, 0, 440.0, 0.5), 0.05);
    EXPECT_LT(toneError(d, 1, 440.0, 0.5), 0.05);
}

} // namespace
