// The encoder set-up from the "ogg" keys of the settings file: which calls the
// writer gets, and that each of them shows in the written file.
#include "convert/Conversion.h"
#include "convert/OggSettings.h"
#include "convert/RunOptions.h"
#include "core/IniFile.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "synth/Synth.h"

#include "support/Printing.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

namespace {

using testsupport::PrintTo;

std::unique_ptr<IniFile> iniWith(const QTemporaryDir& dir, const char* oggSection) {
    const QString path = dir.filePath(QStringLiteral("VAZOzojoin.ini"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) {
        f.write("[Function]\nChoice=1\n[ogg]\n");
        f.write(oggSection);
    }
    return std::make_unique<IniFile>(path);
}

struct IdHeader {
    long rate = 0;
    int channels = 0;
    long nominal = 0, upper = 0, lower = 0;
};

IdHeader readIdHeader(const QString& path) {
    IdHeader h;
    OggVorbis_File vf;
    if (ov_fopen(QFile::encodeName(path).constData(), &vf) != 0)
        return h;
    const vorbis_info* vi = ov_info(&vf, -1);
    h = {vi->rate, vi->channels, vi->bitrate_nominal, vi->bitrate_upper, vi->bitrate_lower};
    ov_clear(&vf);
    return h;
}

} // namespace

struct CallsCase {
    const char* name;
    const char* keys;
    std::vector<OggFormat> expected;
};
class OggCalls : public ::testing::TestWithParam<CallsCase> {};

TEST_P(OggCalls, FollowTheKeys) {
    QTemporaryDir dir;
    const auto ini = iniWith(dir, GetParam().keys);
    EXPECT_EQ(oggFormatCalls(ini.get()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, OggCalls,
    ::testing::Values(
        CallsCase{"defaults", "", {{44100, 2, 128, 0, 0, -1}}},
        CallsCase{"nominal", "channel=0\nfrequency=4\nbitrate=5\n", {{22050, 1, 64, 0, 0, -1}}},
        CallsCase{"quality", "oggquality=1\nquality=750\nbitrate=14\n", {{44100, 2, 0, 0, 0, 750}}},
        CallsCase{"vbr",
                  "oggvbr=1\nbitrate=9\nmin bitrate=5\nmax bitrate=12\nfrequency=8\n",
                  {{48000, 2, 128, 64, 224, -1}}},
        // Never written by the settings dialog; the variable bitrate has the last word.
        CallsCase{"both flags",
                  "oggvbr=1\noggquality=1\nquality=100\nmin bitrate=3\nmax bitrate=13\n",
                  {{44100, 2, 0, 0, 0, 100}, {44100, 2, 128, 32, 256, -1}}},
        // Hand-edited values outside the tables fall back to the defaults
        // instead of reading past them; the quality is kept within 0..1000.
        CallsCase{
            "out of range", "channel=7\nfrequency=9\nbitrate=-1\n", {{44100, 2, 128, 0, 0, -1}}},
        CallsCase{
            "quality as 16 bits", "oggquality=1\nquality=65836\n", {{44100, 2, 0, 0, 0, 300}}},
        CallsCase{"hex quality", "oggquality=1\nquality=0x1F4\n", {{44100, 2, 0, 0, 0, 500}}}));

TEST(OggCalls, NoSettingsFileMeansTheDefaults) {
    EXPECT_EQ(oggFormatCalls(nullptr), (std::vector<OggFormat>{{44100, 2, 128, 0, 0, -1}}));
}

// What each branch leaves in the identification header of a file written
// through ApplyOggSettings and the writer.
struct EncoderCase {
    const char* name;
    const char* keys;
    long rate;
    int channels;
    long nominal; // -2: any positive value
    long upper;   // 0: none
    long lower;
};
// Writes a second of tone through ApplyOggSettings and the writer and reads
// back the identification header. `preset` is the writer's encoding before.
IdHeader encodeWith(const char* keys, int formatIndex = 0, int presetKbps = 0) {
    QTemporaryDir dir;
    SessionState state;
    state.ini = iniWith(dir, keys);
    JobList jobs(state);
    Conversion conversion(state, jobs);
    AudioFile w;
    if (presetKbps > 0)
        w.setOggFormat({44100, 2, presetKbps, 0, 0, -1});
    for (const OggFormat& c :
         RunOptions::fromSettings(state.settings, state.ini.get(), formatIndex).encoding)
        w.setOggFormat(c);
    const QString out = dir.filePath(QStringLiteral("out.ogg"));
    w.setPcmFormat(44100, 2);
    w.createWrite(out);
    SampleBlock block;
    block.rate = 44100;
    block.channels = 2;
    block.samples = synth::tone(44100, 44100, 2);
    w.writeSamples(block);
    w.close();
    return readIdHeader(out);
}

class OggEncoderReach : public ::testing::TestWithParam<EncoderCase> {};

TEST_P(OggEncoderReach, ShowsInTheWrittenFile) {
    const auto& p = GetParam();
    const IdHeader h = encodeWith(p.keys);
    EXPECT_EQ(h.rate, p.rate);
    EXPECT_EQ(h.channels, p.channels);
    if (p.nominal == -2) {
        EXPECT_GT(h.nominal, 0);
    } else {
        EXPECT_EQ(h.nominal, p.nominal);
    }
    EXPECT_EQ(std::max(h.upper, 0L), p.upper);
    EXPECT_EQ(std::max(h.lower, 0L), p.lower);
}

INSTANTIATE_TEST_SUITE_P(
    Branches, OggEncoderReach,
    ::testing::Values(EncoderCase{"nominal", "bitrate=7\n", 44100, 2, 96000, 0, 0},
                      EncoderCase{"nominal mono 22050", "channel=0\nfrequency=4\nbitrate=4\n",
                                  22050, 1, 48000, 0, 0},
                      EncoderCase{"vbr", "oggvbr=1\nbitrate=9\nmin bitrate=6\nmax bitrate=11\n",
                                  44100, 2, 128000, 192000, 80000},
                      EncoderCase{"quality", "oggquality=1\nquality=900\n", 44100, 2, -2, 0, 0},
                      EncoderCase{"both flags end in vbr",
                                  "oggvbr=1\noggquality=1\nquality=900\nbitrate=9\nmin bitrate=6\n"
                                  "max bitrate=11\n",
                                  44100, 2, 128000, 192000, 80000}));

TEST(OggEncoderReach, QualityValueChangesTheEncoding) {
    // The quality reaches the encoder with its value: a higher quality gives
    // a higher nominal bitrate in the header.
    const long low = encodeWith("oggquality=1\nquality=100\n").nominal;
    EXPECT_GT(low, 0);
    EXPECT_GT(encodeWith("oggquality=1\nquality=900\n").nominal, low);
}

TEST(OggEncoderReach, OnlyTheOggFormatIndicesSetTheEncoding) {
    // Format index 2 is no entry of the format box: the writer keeps its encoding.
    EXPECT_EQ(encodeWith("bitrate=4\n", 2, 160).nominal, 160000);
    // "OGG (no re-encoding)" joins encode as "OGG" does.
    EXPECT_EQ(encodeWith("bitrate=4\n", 1, 160).nominal, 48000);
}
