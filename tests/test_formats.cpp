// FLAC and Opus outputs: split pieces and joins of exact lengths carrying
// their tags, lossless sources kept bit for bit in FLAC, and files the
// reference tools (flac -t, opusinfo) find nothing wrong with.
#include "audio/AudioError.h"
#include "audio/AudioFile.h"
#include "audio/FlacCopyCut.h"
#include "audio/FlacEncoder.h"
#include "audio/FlacFrames.h"
#include "audio/OpusEncoder.h"
#include "support/CaseTable.h"
#include "support/RunFixture.h"
#include "synth/Synth.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <cmath>
#include <taglib/fileref.h>
#include <taglib/tag.h>

namespace {

using testsupport::CaseName;
using testsupport::CaseTable;

enum class Kind { Wav16, Flac16, Flac24, Ogg };

// A tone of `frames` frames whose samples are integers of `bits` bits, so a
// lossless file holds them exactly.
std::vector<float> steppedTone(std::int64_t frames, int rate, int channels, int bits) {
    std::vector<float> v = synth::tone(frames, rate, channels, 1500.0);
    const double scale = double(1 << (bits - 1));
    for (float& x : v)
        x = float(std::nearbyint(double(x) * 0.9 * scale) / scale);
    return v;
}

QString makeLossless(const QString& path, Kind kind, std::int64_t frames, int rate, int channels) {
    const int bits = kind == Kind::Flac24 ? 24 : 16;
    const std::vector<float> v = steppedTone(frames, rate, channels, bits);
    if (kind == Kind::Wav16) {
        synth::writeWav(path, v, rate, channels);
        return path;
    }
    FlacEncoder e;
    e.setFormat({rate, channels, bits, 5});
    e.open(path);
    e.write(v.data(), frames);
    e.close();
    return path;
}

synth::Decoded decode(const QString& path, int* bits = nullptr) {
    AudioFile f;
    f.openRead(path);
    synth::Decoded d{{}, f.sampleRate(), f.channels()};
    if (bits)
        *bits = f.bitsPerSample();
    for (SampleBlock b = f.readSamples(1 << 16); !b.empty(); b = f.readSamples(1 << 16))
        d.samples.insert(d.samples.end(), b.samples.begin(), b.samples.end());
    return d;
}

// What a reference tool says about a file it rejects; empty when it is clean
// or not installed.
QString complaint(const QString& tool, const QStringList& args) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return QString();
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return tool + QStringLiteral(" did not finish");
    const QString out = QString::fromLocal8Bit(p.readAll());
    const bool warned = out.contains(QLatin1String("WARNING"), Qt::CaseInsensitive) ||
                        out.contains(QLatin1String("ERROR"), Qt::CaseInsensitive);
    return p.exitCode() != 0 || warned ? out : QString();
}

QString titleOf(const QString& path) {
    const TagLib::FileRef f(QFile::encodeName(path).constData());
    return f.isNull() || !f.tag() ? QString()
                                  : QString::fromStdString(f.tag()->title().to8Bit(true));
}

struct PieceCase {
    const char* name;
    Kind kind;
    OutputFormat format;
    int rate;
    int channels;
    int jobs;
};

class FormatFixture : public RunFixture {
  protected:
    // Splits `source` into the pieces between `cuts` (source frames).
    QStringList splitInto(const QString& source, const std::vector<std::int64_t>& cuts,
                          OutputFormat format, int workers) {
        state.formatIndex = int(format);
        state.settings.splitMode = SplitMode::Custom;
        add(source);
        FileRow& row = jobs.file(0);
        row.tags.title = QStringLiteral("Ünïcode title");
        Spans seconds;
        for (size_t i = 0; i + 1 < cuts.size(); ++i)
            seconds.push_back({int(cuts[i] / row.rate), int(cuts[i + 1] / row.rate)});
        setSpans(0, seconds);
        for (size_t i = 0; i + 1 < cuts.size(); ++i) {
            row.spans[i].beginFrame = cuts[i];
            row.spans[i].endFrame = cuts[i + 1];
        }
        RunOptions o = RunOptions::fromSettings(state.settings, state.ini.get(), state.formatIndex);
        o.jobs = workers;
        conversion.setOptions(o);
        conversion.splitRun();
        return conversion.lastOutputs();
    }
};

using PieceTable = CaseTable<FormatFixture, PieceCase>;

constexpr std::int64_t OddTail = 12345;

TEST_P(PieceTable, PiecesHoldExactlyTheirSpansWithTheirTags) {
    const PieceCase& c = GetParam();
    const std::int64_t frames = 2 * std::int64_t(c.rate) + OddTail;
    const QString source = dir.filePath(QStringLiteral("src/tone.") +
                                        (c.kind == Kind::Wav16 ? QStringLiteral("wav")
                                         : c.kind == Kind::Ogg ? QStringLiteral("ogg")
                                                               : QStringLiteral("flac")));
    if (c.kind == Kind::Ogg)
        synth::writeOgg(source, frames, c.rate, c.channels, ToneHz);
    else
        makeLossless(source, c.kind, frames, c.rate, c.channels);
    int sourceBits = 0;
    const synth::Decoded whole = decode(source, &sourceBits);
    ASSERT_EQ(whole.frames(), frames);

    // Cuts between codec frames, the last at the source's end.
    const std::vector<std::int64_t> cuts = {0, c.rate / 2 + 7, 2 * std::int64_t(c.rate) + 1,
                                            frames};
    const QStringList pieces = splitInto(source, cuts, c.format, c.jobs);
    ASSERT_EQ(pieces.size(), 3) << prompt.messages.join(QLatin1Char('\n')).toStdString();
    const bool flac = c.format == OutputFormat::Flac;
    for (int i = 0; i < pieces.size(); ++i) {
        const QString& piece = pieces[i];
        EXPECT_TRUE(piece.endsWith(flac ? QLatin1String(".flac") : QLatin1String(".opus")));
        const std::int64_t begin = cuts[size_t(i)];
        const std::int64_t span = cuts[size_t(i) + 1] - begin;
        int bits = 0;
        const synth::Decoded got = decode(piece, &bits);
        EXPECT_EQ(titleOf(piece), QStringLiteral("Ünïcode title")) << piece.toStdString();
        if (flac) {
            ASSERT_EQ(got.frames(), span) << piece.toStdString();
            EXPECT_EQ(got.rate, c.rate);
            if (sourceBits > 0) {
                EXPECT_EQ(bits, sourceBits);
                const auto from = whole.samples.begin() + std::ptrdiff_t(begin * c.channels);
                EXPECT_TRUE(std::equal(got.samples.begin(), got.samples.end(), from))
                    << piece.toStdString() << " differs from the source";
            }
            EXPECT_EQ(complaint(QStringLiteral("flac"),
                                {QStringLiteral("-t"), QStringLiteral("-s"), piece}),
                      QString());
        } else {
            EXPECT_EQ(got.rate, 48000);
            EXPECT_EQ(got.frames(), OpusEncoder::opusFrames(span, c.rate)) << piece.toStdString();
            EXPECT_EQ(complaint(QStringLiteral("opusinfo"), {piece}), QString());
        }
        EXPECT_EQ(got.channels, c.channels);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PieceTable,
    ::testing::Values(
        PieceCase{"FlacFromFlac16", Kind::Flac16, OutputFormat::Flac, 44100, 2, 1},
        PieceCase{"FlacFromFlac24Mono", Kind::Flac24, OutputFormat::Flac, 48000, 1, 1},
        PieceCase{"FlacFromWavSideBySide", Kind::Wav16, OutputFormat::Flac, 44100, 2, 2},
        PieceCase{"FlacFromOgg", Kind::Ogg, OutputFormat::Flac, 22050, 2, 1},
        PieceCase{"OpusAt48k", Kind::Flac16, OutputFormat::Opus, 48000, 2, 1},
        PieceCase{"OpusResampled", Kind::Wav16, OutputFormat::Opus, 44100, 2, 2},
        PieceCase{"OpusFromOggMono", Kind::Ogg, OutputFormat::Opus, 22050, 1, 1}),
    CaseName());

using EmptyPiece = CaseTable<FormatFixture, OutputFormat>;

// A source of whole seconds split by the second ends in an empty piece, which
// stays empty rather than breaking the run.
TEST_P(EmptyPiece, IsWrittenEmpty) {
    const QString source =
        makeLossless(dir.filePath(QStringLiteral("src/two.wav")), Kind::Wav16, 2 * 44100, 44100, 2);
    state.formatIndex = int(GetParam());
    state.settings.splitMode = SplitMode::Time;
    state.settings.splitSeconds = 1;
    add(source);
    split();
    ASSERT_FALSE(conversion.lastRunFailed()) << conversion.lastError().toStdString();
    const QStringList pieces = conversion.lastOutputs();
    ASSERT_EQ(pieces.size(), 3);
    const bool opus = GetParam() == OutputFormat::Opus;
    EXPECT_EQ(decode(pieces[1]).frames(), opus ? 48000 : 44100);
    // Headers and no audio (libFLAC leaves the MD5 of no samples unset), which
    // the reader refuses as it refuses any empty file.
    EXPECT_GT(QFileInfo(pieces[2]).size(), 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, EmptyPiece,
                         ::testing::Values(OutputFormat::Flac, OutputFormat::Opus));

using JoinFixture = FormatFixture;

// Lossless sources of other containers and depths join into one FLAC file
// that holds each of them exactly, at the deepest of their depths.
TEST_F(JoinFixture, JoinOfMixedLosslessSourcesIntoFlacIsBitExact) {
    const std::vector<std::pair<Kind, std::int64_t>> parts = {
        {Kind::Wav16, 30001}, {Kind::Flac24, 17777}, {Kind::Flac16, 44100 + 3}};
    std::vector<float> expected;
    state.settings.splitMode = SplitMode::Time; // whole files
    for (size_t i = 0; i < parts.size(); ++i) {
        const QString path =
            dir.filePath(QStringLiteral("src/part%1.%2")
                             .arg(i)
                             .arg(parts[i].first == Kind::Wav16 ? QStringLiteral("wav")
                                                                : QStringLiteral("flac")));
        makeLossless(path, parts[i].first, parts[i].second, 44100, 2);
        const synth::Decoded d = decode(path);
        expected.insert(expected.end(), d.samples.begin(), d.samples.end());
        add(path);
    }
    state.formatIndex = int(OutputFormat::Flac);
    const QString output = outDir + QStringLiteral("mix.flac");
    join(output);
    ASSERT_EQ(conversion.lastOutputs(), QStringList{output})
        << prompt.messages.join(QLatin1Char('\n')).toStdString();
    int bits = 0;
    const synth::Decoded got = decode(output, &bits);
    EXPECT_EQ(bits, 24);
    ASSERT_EQ(got.samples.size(), expected.size());
    EXPECT_TRUE(got.samples == expected);
    EXPECT_EQ(
        complaint(QStringLiteral("flac"), {QStringLiteral("-t"), QStringLiteral("-s"), output}),
        QString());
}

// FLAC pieces of a FLAC source, cut from its frames: its blocks are 4096
// samples (libFLAC's level 5), the last one shorter.
struct CopyCase {
    const char* name;
    int bits;
    int channels;
    std::int64_t begin;
    std::int64_t end; // -1: the source's end
    int jobs = 1;
};

constexpr std::int64_t Block = 4096;
constexpr std::int64_t CopySource = 10 * Block + 1000;

QString makeFlac(const QString& path, int bits, int channels, std::int64_t frames) {
    const std::vector<float> v = steppedTone(frames, 44100, channels, bits);
    FlacEncoder e;
    e.setFormat({44100, channels, bits, 5});
    e.open(path);
    e.write(v.data(), frames);
    e.close();
    return path;
}

// The first frame header's second byte: 0xF9 in a variable-blocksize stream.
int blockingByte(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray b = f.readAll();
    qsizetype at = 4;
    while (at + 4 <= b.size()) {
        const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
        at += 4 + ((p[1] << 16) | (p[2] << 8) | p[3]);
        if (p[0] & 0x80)
            return at + 1 < b.size() ? int(static_cast<unsigned char>(b[at + 1])) : -1;
    }
    return -1;
}

using CopyTable = CaseTable<FormatFixture, CopyCase>;

TEST_P(CopyTable, PieceIsTheSourcesSamplesBitForBit) {
    const CopyCase& c = GetParam();
    const QString source =
        makeFlac(dir.filePath(QStringLiteral("src/tone.flac")), c.bits, c.channels, CopySource);
    const synth::Decoded whole = decode(source);
    ASSERT_EQ(whole.frames(), CopySource);
    const std::int64_t end = c.end < 0 ? CopySource : c.end;
    const QStringList pieces = splitInto(source, {c.begin, end}, OutputFormat::Flac, c.jobs);
    ASSERT_EQ(pieces.size(), 1) << prompt.messages.join(QLatin1Char('\n')).toStdString();
    const QString& piece = pieces[0];
    EXPECT_EQ(blockingByte(piece), 0xF9) << "not cut from the source's frames";
    int bits = 0;
    const synth::Decoded got = decode(piece, &bits);
    ASSERT_EQ(got.frames(), end - c.begin);
    EXPECT_EQ(bits, c.bits);
    EXPECT_TRUE(std::equal(got.samples.begin(), got.samples.end(),
                           whole.samples.begin() + std::ptrdiff_t(c.begin * c.channels)))
        << "differs from the source";
    EXPECT_EQ(titleOf(piece), QStringLiteral("Ünïcode title"));
    EXPECT_EQ(
        complaint(QStringLiteral("flac"), {QStringLiteral("-t"), QStringLiteral("-s"), piece}),
        QString());
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CopyTable,
    ::testing::Values(CopyCase{"FromZero", 16, 2, 0, 3 * Block + 100},
                      CopyCase{"MidBlockToMidBlock", 16, 2, 5000, 20000},
                      CopyCase{"AtBlockBoundaries", 16, 2, Block, 3 * Block},
                      CopyCase{"ToTheEnd", 16, 2, 9000, -1},
                      CopyCase{"ShorterThanABlockAcrossOne", 16, 2, 4000, 4200},
                      CopyCase{"InsideOneBlock", 16, 2, 4200, 4300},
                      CopyCase{"HeadAndTailUnderSixteen", 16, 2, Block - 6, 3 * Block + 5},
                      CopyCase{"FiveSamples", 16, 2, 100, 105},
                      CopyCase{"Mono24", 24, 1, 5000, 20000},
                      CopyCase{"Stereo24ToTheEnd", 24, 2, Block + 1, -1},
                      CopyCase{"EightBitSideBySide", 8, 2, 3000, 30000, 2}),
    CaseName());

// A frame whose bytes are damaged would leave a FLAC piece over it short:
// the split is refused before anything is written.
TEST_F(FormatFixture, DamagedFrameIsRefusedBeforeAnythingIsWritten) {
    const QString source =
        makeFlac(dir.filePath(QStringLiteral("src/bad.flac")), 16, 2, CopySource);
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    FlacFrames frames;
    QString why;
    ASSERT_EQ(FlacFrameScan::scan(bytes, frames, why), FlacFrameScan::Verdict::Sound);
    const qsizetype at = qsizetype(frames.frames[3].offset + frames.frames[3].bytes / 2);
    bytes[at] = char(bytes.at(at) ^ 0x10);
    ASSERT_TRUE(f.seek(0));
    ASSERT_EQ(f.write(bytes), bytes.size());
    f.close();

    EXPECT_EQ(FlacCopyCut::fit(source, &why), FlacCopyCut::Fit::Damaged);
    EXPECT_THROW(FlacCopyCut(source, 5), AudioError);
    EXPECT_TRUE(splitInto(source, {1000, 20000}, OutputFormat::Flac, 1).isEmpty());
    EXPECT_TRUE(conversion.lastRunFailed());
    EXPECT_TRUE(conversion.lastError().contains(QLatin1String("CRC-16")))
        << conversion.lastError().toStdString();
    EXPECT_TRUE(filesInOutput().isEmpty());
}

} // namespace
