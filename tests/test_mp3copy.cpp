// Cuts of MP3 files without re-encoding: every piece, decoded gapless by
// libmpg123, holds exactly its span and equals the source's decode over it;
// tags at either end are passed over; a damaged frame is refused.
#include "audio/AudioFile.h"
#include "audio/Mp3CopyCut.h"
#include "synth/Synth.h"

#include "support/CaseTable.h"
#include "support/Printing.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <mpg123.h>

namespace {

using testsupport::PrintTo;

constexpr int Rate = 44100;
constexpr std::int64_t ToneFrames = 3 * Rate + 777;
constexpr std::int64_t End = -1; // the source's length
constexpr std::int64_t Past = -2; // half a second past it
// Where the source's decode and the piece's may differ: the decoder's
// rounding of one and the same frames, nothing audible.
constexpr float Tolerance = 0.0f;

// A piece's decode by libmpg123 in gapless mode, apart from the program's reader.
synth::Decoded decodeGapless(const QString& path) {
    synth::Decoded out;
    mpg123_init();
    int err = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_FORCE_FLOAT | MPG123_QUIET, 0.0);
    long rate = 0;
    int encoding = 0;
    if (mpg123_open(h, QFile::encodeName(path).constData()) == MPG123_OK &&
        mpg123_getformat(h, &rate, &out.channels, &encoding) == MPG123_OK) {
        out.rate = int(rate);
        std::vector<unsigned char> buffer(1 << 16);
        size_t done = 0;
        int r = MPG123_OK;
        do {
            r = mpg123_read(h, buffer.data(), buffer.size(), &done);
            const auto* f = reinterpret_cast<const float*>(buffer.data());
            out.samples.insert(out.samples.end(), f, f + done / sizeof(float));
        } while (r == MPG123_OK || r == MPG123_NEW_FORMAT);
    }
    mpg123_close(h);
    mpg123_delete(h);
    return out;
}

// How the source is made.
enum class Source { Cbr, VbrXing, VbrBare, FreeFormat, TagsEverywhere, Mpeg2, Mpeg2Bare };

struct SourceSpec {
    const char* lame; // lame's options
    int rate = Rate;
};

SourceSpec specOf(Source kind) {
    switch (kind) {
    case Source::Cbr:
        return {"-b 128"};
    case Source::VbrXing:
        return {"-V 4"};
    case Source::VbrBare:
        return {"-V 4 -t"};
    case Source::FreeFormat:
        return {"--freeformat -b 400"};
    case Source::TagsEverywhere:
        return {"-b 96 --add-id3v2 --tt Title --ta Artist"};
    case Source::Mpeg2:
        return {"-b 64 --resample 22.05", 22050};
    case Source::Mpeg2Bare:
        return {"-V 5 -t --resample 22.05", 22050};
    }
    return {""};
}

class Mp3CopyFixture : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // A source of the tone encoded by lame as `kind` says; false without lame.
    bool makeSource(Source kind) {
        const SourceSpec spec = specOf(kind);
        const QString wav = dir.filePath(QStringLiteral("tone.wav"));
        synth::writeWav(wav, synth::tone(ToneFrames, Rate, 2), Rate, 2);
        source = dir.filePath(QStringLiteral("source.mp3"));
        const QStringList options =
            QString::fromLatin1(spec.lame).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!synth::run(QStringLiteral("lame"),
                        QStringList{QStringLiteral("--quiet")} + options + QStringList{wav, source}))
            return false;
        if (kind == Source::TagsEverywhere)
            appendTrailingTags();
        AudioFile reader;
        reader.openRead(source);
        decoded.rate = reader.sampleRate();
        decoded.channels = reader.channels();
        const SampleBlock all = reader.readSamples(reader.lengthSamples() + 1);
        decoded.samples = all.samples;
        return true;
    }

    // After lame's ID3v1 tag: an APE tag, an ID3v2 tag at the end, an ID3v1
    // tag once more.
    void appendTrailingTags() {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::Append));
        QByteArray ape("APETAGEX\xD0\x07\0\0", 12);
        const QByteArray item("\x05\0\0\0\0\0\0\0Title\0Hello", 19);
        const quint32 size = quint32(item.size() + 32);
        QByteArray footer = ape;
        footer.append(char(size & 0xFF)).append(char(size >> 8)).append(2, '\0');
        footer.append(QByteArray("\x01\0\0\0\0\0\0\0", 8)).append(8, '\0');
        f.write(item + footer);
        const QByteArray frame("TIT2\0\0\0\x04\0\0\0end", 14);
        QByteArray body = frame;
        QByteArray header("ID3\x04\0\x10\0\0\0", 9);
        header.append(char(body.size()));
        QByteArray footer2 = header;
        footer2.replace(0, 3, "3DI");
        f.write(header + body + footer2);
        QByteArray v1(128, '\0');
        v1.replace(0, 3, "TAG");
        f.write(v1);
    }

    std::int64_t at(std::int64_t frame) const {
        const std::int64_t length = decoded.frames();
        return frame == End ? length : frame == Past ? length + Rate / 2 : frame;
    }

    synth::Decoded cutPiece(Mp3CopyCut& cut, std::int64_t begin, std::int64_t end,
                            const QByteArray& tag = {}) {
        lastPiece = dir.filePath(QStringLiteral("piece%1.mp3").arg(++pieces));
        QFile out(lastPiece);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        cut.writePiece(out, begin, end, tag);
        out.close();
        QFile::remove(QStringLiteral("/tmp/mp3x/piece.mp3")); QFile::copy(lastPiece, QStringLiteral("/tmp/mp3x/piece.mp3")); QFile::remove(QStringLiteral("/tmp/mp3x/src.mp3")); QFile::copy(source, QStringLiteral("/tmp/mp3x/src.mp3"));
        return decodeGapless(lastPiece);
    }

    QTemporaryDir dir;
    QString source;
    QString lastPiece;
    synth::Decoded decoded;
    int pieces = 0;
};

struct CutCase {
    const char* name;
    Source source;
    std::int64_t begin;
    std::int64_t end;
};
using CopySpans = testsupport::CaseTable<Mp3CopyFixture, CutCase>;

} // namespace

TEST_P(CopySpans, DecodeToExactlyTheSpanOfTheSource) {
    const CutCase& c = GetParam();
    if (!makeSource(c.source))
        GTEST_SKIP() << "lame is not installed";
    const std::int64_t length = decoded.frames();
    Mp3CopyCut cut(source);
    ASSERT_EQ(cut.lengthFrames(), length);
    ASSERT_EQ(cut.sampleRate(), decoded.rate);
    const std::int64_t end = std::min(at(c.end), length);
    const std::int64_t begin = std::min(at(c.begin), end);
    const synth::Decoded piece = cutPiece(cut, at(c.begin), at(c.end));
    ASSERT_EQ(piece.frames(), end - begin);
    // The first frames differ where the bit reservoir reaches before the
    // piece: counted, and reported.
    std::int64_t differing = 0;
    for (std::int64_t i = 0; i < std::int64_t(piece.samples.size()); ++i)
        if (std::fabs(piece.samples[size_t(i)] - decoded.samples[size_t(begin * 2 + i)]) > Tolerance)
            { if (i/2+1 > differing + 50 || i < 8) fprintf(stderr, "diff at %ld: %g vs %g\n", long(i), piece.samples[size_t(i)], decoded.samples[size_t(begin * 2 + i)]); differing = i / 2 + 1; }
    EXPECT_EQ(differing, 0) << "the first " << differing << " frames differ";
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, CopySpans,
    ::testing::Values(CutCase{"cbr_whole", Source::Cbr, 0, End},
                      CutCase{"cbr_from_0", Source::Cbr, 0, 20000},
                      CutCase{"cbr_mid_frame", Source::Cbr, 1152 * 40 + 517, 2 * Rate + 3},
                      CutCase{"cbr_to_end", Source::Cbr, Rate + 11, End},
                      CutCase{"cbr_past_end", Source::Cbr, 2 * Rate, Past},
                      CutCase{"cbr_zero", Source::Cbr, Rate, Rate},
                      CutCase{"cbr_begin_past_end", Source::Cbr, Past, Past},
                      CutCase{"vbr_xing_mid", Source::VbrXing, 30001, 90001},
                      CutCase{"vbr_xing_whole", Source::VbrXing, 0, End},
                      CutCase{"vbr_bare_from_0", Source::VbrBare, 0, 50000},
                      CutCase{"vbr_bare_mid_to_end", Source::VbrBare, 60000, End},
                      CutCase{"free_mid", Source::FreeFormat, 12345, 67890},
                      CutCase{"tags_mid", Source::TagsEverywhere, 5000, 100000},
                      CutCase{"mpeg2_mid", Source::Mpeg2, 7777, 30000},
                      CutCase{"mpeg2_0", Source::Mpeg2, 0, 3000},
                      CutCase{"mpeg2_a", Source::Mpeg2, 600, 3000},
                      CutCase{"mpeg2_b", Source::Mpeg2, 1200, 3000},
                      CutCase{"mpeg2_c", Source::Mpeg2, 1800, 3000},
                      CutCase{"mpeg2_d", Source::Mpeg2, 2400, 3000},
                      CutCase{"mpeg2_e", Source::Mpeg2, 3000, 5000},
                      CutCase{"mpeg2bare_0", Source::Mpeg2Bare, 0, 3000},
                      CutCase{"mpeg2bare_a", Source::Mpeg2Bare, 600, 3000},
                      CutCase{"mpeg2bare_b", Source::Mpeg2Bare, 1200, 3000},
                      CutCase{"mpeg2bare_c", Source::Mpeg2Bare, 1800, 3000},
                      CutCase{"mpeg2bare_e", Source::Mpeg2Bare, 3000, 5000},
                      CutCase{"mpeg2bare_f", Source::Mpeg2Bare, 13000, 25000}),
    testsupport::CaseName());
