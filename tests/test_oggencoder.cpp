#include "audio/AudioError.h"
#include "audio/AudioFile.h"
#include "audio/OggEncoder.h"
#include "support/CaseTable.h"
#include "support/Files.h"
#include "synth/Synth.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <vorbis/vorbisfile.h>

namespace {

const int kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
const int kBitrates[] = {8, 16, 24, 32, 48, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};

// ogginfo's report on a file; empty when the tool is missing.
struct OggInfo {
    bool ran = false;
    int exitCode = -1;
    QString output;
};

OggInfo runOggInfo(const QString& path) {
    OggInfo info;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("ogginfo"), {path});
    if (!p.waitForStarted(10000))
        return info;
    p.waitForFinished(60000);
    info.ran = true;
    info.exitCode = p.exitCode();
    info.output = QString::fromLocal8Bit(p.readAll());
    return info;
}

void expectCleanOggInfo(const QString& path) {
    const OggInfo info = runOggInfo(path);
    if (!info.ran)
        GTEST_SKIP() << "ogginfo is not installed";
    EXPECT_EQ(info.exitCode, 0) << info.output.toStdString();
    EXPECT_FALSE(info.output.contains(QLatin1String("WARNING"), Qt::CaseInsensitive))
        << info.output.toStdString();
}

struct Bitrates {
    long nominal = 0, upper = 0, lower = 0;
};

Bitrates headerBitrates(const QString& path) {
    OggVorbis_File vf;
    if (ov_fopen(QFile::encodeName(path).constData(), &vf) != 0)
        return {};
    const vorbis_info* vi = ov_info(&vf, -1);
    Bitrates b{vi->bitrate_nominal, vi->bitrate_upper, vi->bitrate_lower};
    ov_clear(&vf);
    return b;
}

// Writes `frames` frames of the test tone in pieces of `chunk` frames.
void encodeTone(OggEncoder& enc, std::int64_t frames, std::int64_t chunk = 3000) {
    const auto samples = synth::tone(frames, enc.rate(), enc.channels());
    for (std::int64_t done = 0; done < frames; done += chunk)
        enc.write(samples.data() + done * enc.channels(), std::min(chunk, frames - done));
}

// Correlation of a decoded channel with the tone it came from: near 1 when
// the channel holds its own signal, near 0 for the other channel's tone.
double correlation(const synth::Decoded& dec, int ch) {
    double sxy = 0, sxx = 0, syy = 0;
    for (std::int64_t i = 0; i < dec.frames(); ++i) {
        const double x = dec.samples[size_t(i * dec.channels + ch)];
        const double y = synth::toneSample(i, ch, dec.rate);
        sxy += x * y;
        sxx += x * x;
        syy += y * y;
    }
    return sxx > 0 && syy > 0 ? sxy / std::sqrt(sxx * syy) : 0.0;
}

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// ---------------------------------------------------------------------------
// Every rate and channel count in the three encoding shapes.

enum class Mode { Nominal, Managed, Quality };

struct FormatCase {
    int rate;
    int channels;
    Mode mode;
};

std::string caseName(const ::testing::TestParamInfo<FormatCase>& info) {
    static const char* names[] = {"Nominal", "Managed", "Quality"};
    return std::to_string(info.param.rate) + (info.param.channels == 1 ? "Mono" : "Stereo") +
           names[int(info.param.mode)];
}

std::vector<FormatCase> allFormats() {
    std::vector<FormatCase> cases;
    for (int rate : kRates)
        for (int ch : {1, 2})
            for (Mode m : {Mode::Nominal, Mode::Managed, Mode::Quality})
                cases.push_back({rate, ch, m});
    return cases;
}

using EncoderFormats = testsupport::CaseTable<TempDirTest, FormatCase>;

TEST_P(EncoderFormats, WritesReadableExactFiles) {
    const FormatCase p = GetParam();
    std::vector<int> accepted;
    for (int kbps : kBitrates)
        if (OggEncoder::check(p.rate, p.channels, kbps, 0, 0))
            accepted.push_back(kbps);
    ASSERT_FALSE(accepted.empty()) << "no bitrate accepted at " << p.rate << " Hz";

    // The middle accepted bitrate, with its neighbours as the limits.
    const size_t mid = accepted.size() / 2;
    const int kbps = accepted[mid];
    const int minKbps = accepted[mid > 0 ? mid - 1 : 0];
    const int maxKbps = accepted[std::min(mid + 1, accepted.size() - 1)];

    const QString path = dir.filePath(QStringLiteral("out.ogg"));
    OggEncoder enc;
    switch (p.mode) {
    case Mode::Nominal:
        enc.setFormat({p.rate, p.channels, kbps, 0, 0, -1});
        break;
    case Mode::Managed:
        ASSERT_TRUE(OggEncoder::check(p.rate, p.channels, kbps, minKbps, maxKbps));
        enc.setFormat({p.rate, p.channels, kbps, minKbps, maxKbps, -1});
        break;
    case Mode::Quality:
        enc.setFormat({p.rate, p.channels, 0, 0, 0, 400});
        break;
    }
    const std::int64_t frames = p.rate / 2 + 17;
    enc.open(path);
    EXPECT_TRUE(enc.isOpen());
    EXPECT_EQ(enc.rate(), p.rate);
    EXPECT_EQ(enc.channels(), p.channels);
    encodeTone(enc, frames);
    enc.close();
    EXPECT_FALSE(enc.isOpen());

    const synth::Decoded dec = synth::decodeOgg(path);
    EXPECT_EQ(dec.rate, p.rate);
    EXPECT_EQ(dec.channels, p.channels);
    EXPECT_EQ(dec.frames(), frames);
    for (int ch = 0; ch < p.channels; ++ch)
        EXPECT_GT(correlation(dec, ch), 0.8) << "channel " << ch;

    const Bitrates b = headerBitrates(path);
    switch (p.mode) {
    case Mode::Nominal:
        EXPECT_EQ(b.nominal, kbps * 1000);
        EXPECT_LE(b.upper, 0);
        EXPECT_LE(b.lower, 0);
        break;
    case Mode::Managed:
        EXPECT_EQ(b.nominal, kbps * 1000);
        EXPECT_EQ(b.upper, maxKbps * 1000);
        EXPECT_EQ(b.lower, minKbps * 1000);
        break;
    case Mode::Quality:
        break;
    }
    expectCleanOggInfo(path);
}

INSTANTIATE_TEST_SUITE_P(AllRates, EncoderFormats, ::testing::ValuesIn(allFormats()), caseName);

// ---------------------------------------------------------------------------
// Lengths around the encoder's internal chunk and block sizes, written in
// different pieces, come back frame exact.

struct LengthCase {
    std::int64_t frames;
    std::int64_t chunk;
};

using EncoderLengths = testsupport::CaseTable<TempDirTest, LengthCase>;

TEST_P(EncoderLengths, FrameCountIsExact) {
    const LengthCase p = GetParam();
    const QString path = dir.filePath(QStringLiteral("len.ogg"));
    OggEncoder enc;
    enc.setFormat({44100, 2, 128, 0, 0, -1});
    enc.open(path);
    encodeTone(enc, p.frames, p.chunk);
    enc.close();
    const synth::Decoded dec = synth::decodeOgg(path);
    EXPECT_EQ(dec.channels, 2);
    EXPECT_EQ(dec.frames(), p.frames);
    expectCleanOggInfo(path);
}

INSTANTIATE_TEST_SUITE_P(Lengths, EncoderLengths,
                         ::testing::Values(LengthCase{1, 1}, LengthCase{255, 7},
                                           LengthCase{4095, 4095}, LengthCase{4096, 4096},
                                           LengthCase{4097, 4097}, LengthCase{8193, 1},
                                           LengthCase{44100, 44100}, LengthCase{100000, 88200},
                                           LengthCase{100000, 333}));

TEST(OggEncoder, EmptyFileIsValid) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("empty.ogg"));
    OggEncoder enc;
    enc.setFormat({22050, 1, 64, 0, 0, -1});
    enc.open(path);
    enc.write(nullptr, 0);
    enc.close();
    const synth::Decoded dec = synth::decodeOgg(path);
    EXPECT_EQ(dec.rate, 22050);
    EXPECT_EQ(dec.frames(), 0);
    expectCleanOggInfo(path);
}

// ---------------------------------------------------------------------------
// What the encoder accepts.

struct CheckCase {
    int rate, channels, kbps, minKbps, maxKbps;
    bool accepted;
};

using EncoderCheck = testsupport::CaseTable<TempDirTest, CheckCase>;

TEST_P(EncoderCheck, AnswersLikeTheEncoder) {
    const CheckCase p = GetParam();
    EXPECT_EQ(OggEncoder::check(p.rate, p.channels, p.kbps, p.minKbps, p.maxKbps), p.accepted);

    // open() agrees with check() for the managed shape.
    const QString path = dir.filePath(QStringLiteral("c.ogg"));
    OggEncoder enc;
    enc.setFormat({p.rate, p.channels, p.kbps, p.minKbps, p.maxKbps, -1});
    if (p.accepted) {
        EXPECT_NO_THROW(enc.open(path));
        enc.close();
    } else {
        EXPECT_THROW(enc.open(path), AudioError);
        EXPECT_FALSE(enc.isOpen());
        EXPECT_FALSE(QFile::exists(path));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EncoderCheck,
    ::testing::Values(CheckCase{48000, 2, 8, 0, 0, false}, CheckCase{44100, 2, 128, 0, 0, true},
                      CheckCase{44100, 2, 128, 128, 128, true},
                      CheckCase{44100, 1, 320, 0, 0, false}, CheckCase{8000, 1, 8, 0, 0, true},
                      CheckCase{0, 2, 128, 0, 0, false}, CheckCase{44100, 0, 128, 0, 0, false},
                      CheckCase{-44100, 2, 128, 0, 0, false}, CheckCase{44100, 2, -5, 0, 0, false},
                      CheckCase{44100, 2, 128, -1, 0, false},
                      // A minimum above the maximum, with and without a nominal bitrate.
                      CheckCase{44100, 2, 64, 320, 8, false},
                      CheckCase{44100, 2, 0, 192, 96, false}));

TEST(OggEncoder, QualityAboveTheScaleIsHeldAtTheTop) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("q.ogg"));
    OggEncoder enc;
    enc.setFormat({44100, 2, 0, 0, 0, 5000});
    enc.open(path);
    encodeTone(enc, 4410);
    enc.close();
    EXPECT_EQ(synth::decodeOgg(path).frames(), 4410);
}

// ---------------------------------------------------------------------------
// Files on disk: names, failures and what they leave behind.

using EncoderNames = testsupport::CaseTable<TempDirTest, const char*>;

TEST_P(EncoderNames, WritesUnderThatName) {
    const QString path = dir.filePath(QString::fromUtf8(GetParam()));
    OggEncoder enc;
    enc.setFormat({44100, 2, 128, 0, 0, -1});
    enc.open(path);
    encodeTone(enc, 1000);
    enc.close();
    EXPECT_EQ(filesIn(dir.path()), QStringList{QFileInfo(path).fileName()});
    EXPECT_EQ(synth::decodeOgg(path).frames(), 1000);
}

INSTANTIATE_TEST_SUITE_P(Unicode, EncoderNames,
                         ::testing::Values("Café – Live.ogg", "Кино — Группа крови.ogg",
                                           "坂本龍一 戦場のメリークリスマス.ogg", "no extension"));

TEST(OggEncoder, MissingFolderRaisesNamingTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing/out.ogg"));
    OggEncoder enc;
    enc.setFormat({44100, 2, 128, 0, 0, -1});
    try {
        enc.open(path);
        FAIL() << "open() into a missing folder succeeded";
    } catch (const AudioError& e) {
        EXPECT_TRUE(
            e.message().startsWith(QStringLiteral("Cannot create ") + path + QStringLiteral(": ")))
            << e.what();
    }
    EXPECT_FALSE(enc.isOpen());
    EXPECT_TRUE(filesIn(dir.path()).isEmpty());
}

TEST(OggEncoder, ExistingFileIsReplacedOnlyAtClose) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.ogg"));
    synth::writeOgg(path, 3000, 44100, 2);

    OggEncoder enc;
    enc.setFormat({32000, 1, 64, 0, 0, -1});
    enc.open(path);
    encodeTone(enc, 7000);
    EXPECT_EQ(synth::decodeOgg(path).frames(), 3000) << "replaced before close";
    enc.close();
    const synth::Decoded dec = synth::decodeOgg(path);
    EXPECT_EQ(dec.rate, 32000);
    EXPECT_EQ(dec.frames(), 7000);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("song.ogg")});
}

TEST(OggEncoder, AbandonedFileLeavesTheOldOneAndNoTemporary) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.ogg"));
    synth::writeOgg(path, 3000, 44100, 2);
    {
        OggEncoder enc;
        enc.setFormat({44100, 2, 128, 0, 0, -1});
        enc.open(path);
        encodeTone(enc, 20000);
    }
    EXPECT_EQ(synth::decodeOgg(path).frames(), 3000);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("keep.ogg")});

    {
        OggEncoder enc;
        enc.setFormat({44100, 2, 128, 0, 0, -1});
        enc.open(dir.filePath(QStringLiteral("new.ogg")));
        encodeTone(enc, 20000);
    }
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("keep.ogg")});
}

TEST(OggEncoder, WritingOverAFileBeingReadIsSafe) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("same.ogg"));
    synth::writeOgg(path, 50000, 44100, 2);

    auto source = std::make_unique<synth::OggBlocks>(path);
    OggEncoder enc;
    enc.setFormat({44100, 2, 128, 0, 0, -1});
    enc.open(path);
    // Copy the source into its own replacement, block by block.
    std::int64_t copied = 0;
    std::vector<float> block;
    float** pcm = nullptr;
    while (const long n = source->next(pcm, 1024)) {
        block.resize(size_t(n) * 2);
        for (long i = 0; i < n; ++i) {
            block[size_t(2 * i)] = pcm[0][i];
            block[size_t(2 * i + 1)] = pcm[1][i];
        }
        enc.write(block.data(), n);
        copied += n;
    }
    source.reset();
    enc.close();
    EXPECT_EQ(copied, 50000);
    EXPECT_EQ(synth::decodeOgg(path).frames(), 50000);
}

TEST(OggEncoder, EachFileGetsItsOwnSerialNumber) {
    QTemporaryDir dir;
    QSet<quint32> serials;
    for (int i = 0; i < 4; ++i) {
        const QString path = dir.filePath(QStringLiteral("s%1.ogg").arg(i));
        OggEncoder enc;
        enc.setFormat({8000, 1, 16, 0, 0, -1});
        enc.open(path);
        encodeTone(enc, 100);
        enc.close();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray head = f.read(18);
        ASSERT_EQ(head.left(4), QByteArray("OggS"));
        quint32 serial = 0;
        std::memcpy(&serial, head.constData() + 14, 4);
        serials.insert(serial);
    }
    EXPECT_EQ(serials.size(), 4);
}

// ---------------------------------------------------------------------------
// Through AudioFile's writer, as the runs use it.

struct RoundTripCase {
    int blockRate, blockChannels;      // what the blocks hold
    int rate, channels, kbps, quality; // the encoding
    std::int64_t frames;
};

using AudioFileRoundTrip = testsupport::CaseTable<TempDirTest, RoundTripCase>;

TEST_P(AudioFileRoundTrip, WritesWhatItWasGiven) {
    const RoundTripCase p = GetParam();
    const QString path = dir.filePath(QStringLiteral("Café – Live.ogg"));
    {
        AudioFile writer;
        writer.setOggFormat({p.rate, p.channels, p.kbps, 0, 0, p.quality});
        writer.setPcmFormat(p.blockRate, p.blockChannels);
        writer.createWrite(path);
        EXPECT_TRUE(writer.isOpen());
        const auto samples = synth::tone(p.frames, p.blockRate, p.blockChannels);
        const std::int64_t blockFrames = std::int64_t(p.blockRate) * p.blockChannels;
        for (std::int64_t done = 0; done < p.frames; done += blockFrames) {
            SampleBlock b;
            b.rate = p.blockRate;
            b.channels = p.blockChannels;
            const std::int64_t n = std::min(blockFrames, p.frames - done);
            b.samples.assign(samples.begin() + done * p.blockChannels,
                             samples.begin() + (done + n) * p.blockChannels);
            writer.writeSamples(b);
        }
        writer.close();
        EXPECT_FALSE(writer.isOpen());
    }
    const std::int64_t expected = p.frames * p.rate / p.blockRate;
    const synth::Decoded dec = synth::decodeOgg(path);
    EXPECT_EQ(dec.rate, p.rate);
    EXPECT_EQ(dec.channels, p.channels);
    if (p.rate == p.blockRate)
        EXPECT_EQ(dec.frames(), expected);
    else
        EXPECT_NEAR(double(dec.frames()), double(expected), 2.0);
    if (p.rate == p.blockRate && p.channels == p.blockChannels) {
        for (int ch = 0; ch < p.channels; ++ch)
            EXPECT_GT(correlation(dec, ch), 0.8) << "channel " << ch;
    }

    AudioFile reader;
    reader.openRead(path);
    EXPECT_EQ(reader.lengthSamples(), dec.frames());
    EXPECT_EQ(reader.sampleRate(), p.rate);
    EXPECT_EQ(reader.channels(), p.channels);
    expectCleanOggInfo(path);
}

INSTANTIATE_TEST_SUITE_P(Formats, AudioFileRoundTrip,
                         ::testing::Values(RoundTripCase{44100, 2, 44100, 2, 128, -1, 100000},
                                           RoundTripCase{22050, 1, 22050, 1, 0, 300, 30001},
                                           RoundTripCase{48000, 2, 48000, 2, 0, 700, 48000},
                                           RoundTripCase{44100, 2, 22050, 1, 64, -1, 88200},
                                           RoundTripCase{22050, 1, 44100, 2, 128, -1, 22050}));

} // namespace
