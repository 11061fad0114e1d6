// Cuts of MP3 files without re-encoding: every piece, decoded gapless by
// libmpg123, holds exactly its span and equals the source's decode over it;
// tags at either end are passed over; a damaged frame is refused.
#include "audio/AudioFile.h"
#include "audio/BuiltInDecoders.h"
#include "audio/Mp3CopyCut.h"
#include "audio/Mp3Frames.h"
#include "synth/Synth.h"
#include "tags/Id3Tag.h"

#include "support/CaseTable.h"
#include "support/Printing.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <mpg123.h>

namespace {

using testsupport::PrintTo;

constexpr int Rate = 44100;
constexpr std::int64_t ToneFrames = 3 * Rate + 777;
constexpr std::int64_t End = -1;  // the source's length
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
enum class Source {
    Cbr,
    VbrXing,
    VbrBare,
    FreeFormat,
    TagsEverywhere,
    Mpeg2,
    Mpeg2Bare,
    CutShort,
    Long,      // past the windows the file is read through (repeats of the tone)
    JunkAfter, // bytes that are no frame after the last one
    XingFewer, // a LAME header that counts fewer frames than there are
};

struct SourceRecipe {
    const char* lame; // lame's options
    int rate = Rate;
};

SourceRecipe recipeOf(Source kind) {
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
    case Source::CutShort:
    case Source::JunkAfter:
    case Source::XingFewer:
        return {"-b 128"};
    case Source::Long:
        return {"-b 320 -t"};
    }
    return {""};
}

class Mp3CopyFixture : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // A source of the tone encoded by lame as `kind` says; false without lame.
    bool makeSource(Source kind) {
        const SourceRecipe recipe = recipeOf(kind);
        const QString wav = dir.filePath(QStringLiteral("tone.wav"));
        synth::writeWav(wav, synth::tone(ToneFrames, Rate, 2), Rate, 2);
        source = dir.filePath(QStringLiteral("source.mp3"));
        const QStringList options =
            QString::fromLatin1(recipe.lame).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!synth::run(QStringLiteral("lame"), QStringList{QStringLiteral("--quiet")} + options +
                                                    QStringList{wav, source}))
            return false;
        if (kind == Source::TagsEverywhere)
            appendTrailingTags();
        if (kind == Source::CutShort)
            resize(-10000); // fewer frames than its LAME header counts
        editSource([kind](QByteArray& bytes) {
            if (kind == Source::Long)
                bytes = bytes.repeated(40); // each repeat needs no reservoir before it
            if (kind == Source::JunkAfter)
                bytes += QByteArray(3000, 'J');
            const qsizetype info = bytes.indexOf("Info");
            if (kind == Source::XingFewer && info > 0)
                bytes[info + 11] = char(bytes[info + 11] - 3);
        });

        AudioFile reader;
        reader.openRead(source);
        decoded.rate = reader.sampleRate();
        decoded.channels = reader.channels();
        for (SampleBlock block; !(block = reader.readSamples(Rate)).samples.empty();)
            decoded.samples.insert(decoded.samples.end(), block.samples.begin(),
                                   block.samples.end());
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

    // Cuts `bytes` off the source's end (negative) or damages it.
    void resize(qint64 by) {
        QFile f(source);
        ASSERT_TRUE(f.resize(f.size() + by));
    }

    // The source's bytes, `edit` applied, written back.
    template <class Edit> void editSource(Edit edit) {
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        edit(bytes);
        f.resize(0);
        f.seek(0);
        f.write(bytes);
    }

    std::int64_t at(std::int64_t frame) const {
        const std::int64_t length = decoded.frames();
        return frame == End ? length : frame == Past ? length + Rate / 2 : frame;
    }

    synth::Decoded cutPiece(CopyCut& cut, std::int64_t begin, std::int64_t end,
                            const QByteArray& tag = {}) {
        lastPiece = dir.filePath(QStringLiteral("piece%1.mp3").arg(++pieces));
        QFile out(lastPiece);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        cut.writePiece(out, begin, end, {tag, {}});
        out.close();
        return decodeGapless(lastPiece);
    }

    // The frames FFmpeg decodes of `path`; -1 without ffmpeg.
    std::int64_t ffmpegFrames(const QString& path) const {
        const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
        if (ffmpeg.isEmpty())
            return -1;
        const QString raw = dir.filePath(QStringLiteral("ffmpeg.raw"));
        synth::run(ffmpeg, {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                            QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-i"),
                            path, QStringLiteral("-f"), QStringLiteral("f32le"), raw});
        return QFileInfo(raw).size() / qint64(sizeof(float) * decoded.channels);
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
    ASSERT_EQ(Mp3CopyCut::problem(source), QString());
    const std::unique_ptr<CopyCut> cut = Mp3CopyCut::open(source);
    ASSERT_EQ(cut->lengthFrames(), length);
    ASSERT_EQ(cut->sampleRate(), decoded.rate);
    const std::int64_t end = std::min(at(c.end), length);
    const std::int64_t begin = std::min(at(c.begin), end);
    const synth::Decoded piece = cutPiece(*cut, at(c.begin), at(c.end));
    ASSERT_EQ(piece.frames(), end - begin);
    // FFmpeg forgets the rest of the delay in the frame that it cuts the
    // padding from: its decode is exact where the piece ends past the frame
    // its first frame lies in. It decodes no free-format stream.
    const bool ffmpegExact = c.source != Source::FreeFormat && end - begin > 1152;
    const std::int64_t ffmpeg = ffmpegExact ? ffmpegFrames(lastPiece) : -1;
    if (ffmpeg >= 0) {
        EXPECT_EQ(ffmpeg, end - begin) << "FFmpeg's decode";
    }
    // The frames from which on the piece equals the source's decode: where
    // the bit reservoir or the overlap of the frames before the cut were
    // missing, the first ones would differ.
    std::int64_t differing = 0;
    const std::int64_t channels = decoded.channels;
    for (std::int64_t i = 0; i < std::int64_t(piece.samples.size()); ++i)
        if (std::fabs(piece.samples[size_t(i)] - decoded.samples[size_t(begin * channels + i)]) >
            Tolerance)
            differing = i / channels + 1;
    EXPECT_EQ(differing, 0) << "the first " << differing << " frames differ";
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, CopySpans,
    ::testing::Values(CutCase{"cbr_whole", Source::Cbr, 0, End},
                      CutCase{"cbr_from_0", Source::Cbr, 0, 20000},
                      CutCase{"cbr_mid_frame", Source::Cbr, 1152 * 40 + 517, 2 * Rate + 3},
                      CutCase{"cbr_to_end", Source::Cbr, Rate + 11, End},
                      CutCase{"cbr_past_end", Source::Cbr, 2 * Rate, Past},
                      CutCase{"cbr_zero_length", Source::Cbr, Rate, Rate},
                      CutCase{"cbr_inside_a_frame", Source::Cbr, 1152 * 30 + 100, 1152 * 30 + 300},
                      CutCase{"cbr_across_a_frame_end", Source::Cbr, 1152 * 30 + 100,
                              1152 * 31 + 300},
                      CutCase{"cbr_begin_past_end", Source::Cbr, Past, Past},
                      CutCase{"vbr_xing_mid", Source::VbrXing, 30001, 90001},
                      CutCase{"vbr_xing_whole", Source::VbrXing, 0, End},
                      CutCase{"vbr_bare_from_0", Source::VbrBare, 0, 50000},
                      CutCase{"vbr_bare_mid_to_end", Source::VbrBare, 60000, End},
                      CutCase{"free_format_mid", Source::FreeFormat, 12345, 67890},
                      CutCase{"tags_both_ends", Source::TagsEverywhere, 5000, 100000},
                      CutCase{"mpeg2_second_frame", Source::Mpeg2, 600, 3000},
                      CutCase{"mpeg2_mid", Source::Mpeg2, 7777, 30000},
                      CutCase{"mpeg2_bare_third_frame", Source::Mpeg2Bare, 1200, 3000},
                      CutCase{"mpeg2_bare_mid", Source::Mpeg2Bare, 13000, 25000},
                      CutCase{"cut_short_to_end", Source::CutShort, 40000, End},
                      CutCase{"long_across_windows", Source::Long, 1000, End}),
    testsupport::CaseName());

TEST_F(Mp3CopyFixture, APieceBeginsWithTheTagGiven) {
    if (!makeSource(Source::TagsEverywhere))
        GTEST_SKIP() << "lame is not installed";
    Id3v2Tag tag;
    tag.title = QStringLiteral("Caf\u00e9 \u4e00");
    tag.artist = QStringLiteral("Him");
    const std::unique_ptr<CopyCut> cut = Mp3CopyCut::open(source);
    const synth::Decoded piece = cutPiece(*cut, 1000, 5000, buildId3v2(tag));
    EXPECT_EQ(piece.frames(), 4000);
    EXPECT_EQ(readId3v2(lastPiece), tag);
    EXPECT_EQ(Mp3CopyCut::problem(lastPiece), QString()); // a piece cuts again
}

// Files the cutter refuses, with a part of the reason.
struct ProblemCase {
    const char* name;
    const char* kind;
    const char* reason;
};
using CopyProblems = testsupport::CaseTable<Mp3CopyFixture, ProblemCase>;

TEST_P(CopyProblems, AreNamedBeforeAnythingIsCut) {
    const QString kind = QString::fromUtf8(GetParam().kind);
    if (!makeSource(Source::Cbr))
        GTEST_SKIP() << "lame is not installed";
    editSource([&](QByteArray& bytes) {
        const Mp3Stream stream = scanMp3(bytes);
        const qsizetype frame = qsizetype(stream.frames[stream.frames.size() / 2].offset);
        if (kind == QLatin1String("header"))
            bytes[frame + 2] = char(0xF0); // a bitrate no frame has
        else if (kind == QLatin1String("bytes missing"))
            bytes.remove(frame + 100, 50);
        else if (kind == QLatin1String("no frames"))
            bytes = QByteArray(5000, '\x7F');
        else if (kind == QLatin1String("tag only"))
            bytes = QByteArray("ID3\x03\0\0\0\0\0\0", 10);
    });
    const QString problem = Mp3CopyCut::problem(source);
    EXPECT_TRUE(problem.contains(QString::fromUtf8(GetParam().reason))) << problem.toStdString();
    EXPECT_THROW(Mp3CopyCut::open(source), std::runtime_error);
}

INSTANTIATE_TEST_SUITE_P(Files, CopyProblems,
                         ::testing::Values(ProblemCase{"damaged_header", "header", "damaged"},
                                           ProblemCase{"frame_cut_short_mid", "bytes missing",
                                                       "damaged"},
                                           ProblemCase{"no_frames", "no frames", "no MPEG audio"},
                                           ProblemCase{"tag_only", "tag only", "no MPEG audio"}),
                         testsupport::CaseName());

namespace {

// The LAME header's CRC bit by bit, as its definition reads.
std::uint16_t crcBitByBit(const unsigned char* p, std::int64_t n, std::uint16_t crc) {
    for (std::int64_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
    }
    return crc;
}

struct CrcCase {
    const char* name;
    std::int64_t offset; // from an aligned start
    std::int64_t length;
    std::uint16_t from;
};
using LameCrc = testsupport::CaseTable<::testing::Test, CrcCase>;

} // namespace

TEST_P(LameCrc, EqualsTheCrcBitByBit) {
    const CrcCase& c = GetParam();
    std::vector<unsigned char> bytes(std::size_t(c.offset + c.length));
    std::uint32_t noise = 2463534242u;
    for (unsigned char& b : bytes) {
        noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
        b = (unsigned char)(noise >> 24);
    }
    const unsigned char* p = bytes.data() + c.offset;
    EXPECT_EQ(lameCrc16(p, c.length, c.from), crcBitByBit(p, c.length, c.from));
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, LameCrc,
    ::testing::Values(CrcCase{"empty", 0, 0, 0x1234}, CrcCase{"seven", 1, 7, 0},
                      CrcCase{"below_a_fold", 3, 63, 0xBEEF}, CrcCase{"one_fold", 0, 64, 0},
                      CrcCase{"one_fold_on", 5, 64, 0xFFFF}, CrcCase{"folds_and_16", 7, 80, 1},
                      CrcCase{"folds_16_and_bytes", 9, 64 * 3 + 16 * 2 + 5, 0x8005},
                      CrcCase{"a_piece", 11, 960470, 0x4242}),
    testsupport::CaseName());

namespace {

struct LengthCase {
    const char* name;
    Source source;
};
using ReaderLengths = testsupport::CaseTable<Mp3CopyFixture, LengthCase>;

} // namespace

// The reader's length, found from the frames where they tell it for certain
// and by libmpg123's scan elsewhere, is what it decodes to the end.
TEST_P(ReaderLengths, AreTheFramesDecodedToTheEnd) {
    if (!makeSource(GetParam().source))
        GTEST_SKIP() << "lame is not installed";
    const std::unique_ptr<Decoder> reader = openMpg123Decoder(source);
    std::vector<float> block(size_t(4096) * size_t(reader->channels()));
    std::int64_t decodedFrames = 0;
    while (const std::int64_t got = reader->read(block.data(), 4096))
        decodedFrames += got;
    EXPECT_EQ(reader->length(), decodedFrames);
}

INSTANTIATE_TEST_SUITE_P(Sources, ReaderLengths,
                         ::testing::Values(LengthCase{"cbr", Source::Cbr},
                                           LengthCase{"vbr_xing", Source::VbrXing},
                                           LengthCase{"vbr_bare", Source::VbrBare},
                                           LengthCase{"free_format", Source::FreeFormat},
                                           LengthCase{"tags_both_ends", Source::TagsEverywhere},
                                           LengthCase{"mpeg2", Source::Mpeg2},
                                           LengthCase{"mpeg2_bare", Source::Mpeg2Bare},
                                           LengthCase{"cut_short", Source::CutShort},
                                           LengthCase{"junk_after", Source::JunkAfter},
                                           LengthCase{"xing_counts_fewer", Source::XingFewer}),
                         testsupport::CaseName());
