// Damaged and hostile input to the reader: known reproducers and seeded
// mutations of small files are each read to the end or refused with an
// AudioError, never crash or hang, print nothing and leave the file as it was.
#include "audio/AudioError.h"
#include "audio/AudioFile.h"
#include "synth/Synth.h"

#include "support/Files.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

namespace {

// Aborts the whole program when one case runs far longer than any should:
// a hang must fail the run, not stall it.
class Watchdog {
  public:
    explicit Watchdog(const QString& what, std::chrono::seconds limit = std::chrono::seconds(120))
        : m_what(what.toStdString()), m_thread([this, limit] {
              std::unique_lock<std::mutex> lock(m_mutex);
              if (!m_done.wait_for(lock, limit, [this] { return m_finished; })) {
                  std::fprintf(stdout, "hang: %s\n", m_what.c_str());
                  std::fflush(stdout);
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_thread.join();
    }

  private:
    std::string m_what;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

// What the program writes to standard error while one of these lives.
class StderrCapture {
  public:
    StderrCapture() : m_file(std::tmpfile()) {
        std::fflush(stderr);
        m_saved = dup(2);
        dup2(fileno(m_file), 2);
    }
    ~StderrCapture() { restore(); }
    QByteArray text() {
        restore();
        std::rewind(m_file);
        QByteArray out;
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0;)
            out.append(buffer, qsizetype(n));
        return out;
    }

  private:
    void restore() {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        dup2(m_saved, 2);
        close(m_saved);
        m_saved = -1;
    }
    std::FILE* m_file;
    int m_saved = -1;
};

struct Outcome {
    bool refused = false;
    QString message;
    int rate = 0;
    int channels = 0;
    std::int64_t length = 0;
    std::int64_t read = 0; // frames read from the start to the end
};

constexpr std::int64_t kBlock = 65536;
// Blocks after which a reader that still delivers is taken to run away.
constexpr int kMaxBlocks = 4000;

std::int64_t readToEnd(AudioFile& f) {
    std::int64_t frames = 0;
    for (int i = 0; i < kMaxBlocks; ++i) {
        const SampleBlock b = f.readSamples(kBlock);
        if (b.empty()) {
            EXPECT_TRUE(f.readSamples(kBlock).empty()) << "the end must stay the end";
            return frames;
        }
        frames += b.frames();
    }
    ADD_FAILURE() << "reading does not end";
    return frames;
}

// Opens, reads to the end, seeks about and reads again, directly and through
// the converter the runs use. Any exception but AudioError fails the test.
Outcome exercise(const QString& path) {
    Outcome o;
    try {
        AudioFile f;
        f.openRead(path);
        o.rate = f.sampleRate();
        o.channels = f.channels();
        o.length = f.lengthSamples();
        EXPECT_GE(f.lengthMs(), 0);
        o.read = readToEnd(f);
        EXPECT_EQ(f.position(), o.read);
        EXPECT_EQ(f.decodedEnd(), o.read);
        for (const std::int64_t at : {o.length / 2, std::int64_t(0), o.length}) {
            f.seek(at);
            f.readSamples(4096);
        }
        f.setPcmFormat(44100, 2);
        f.seek(0);
        readToEnd(f);
        f.seek(o.length / 3);
        const SampleBlock b = f.readSamples(1000);
        EXPECT_TRUE(b.empty() || (b.rate == 44100 && b.channels == 2));
    } catch (const AudioError& e) {
        o.refused = true;
        o.message = e.message();
        EXPECT_TRUE(o.message.contains(QFileInfo(path).fileName())) << o.message.toStdString();
    }
    return o;
}

QString dataDir() {
    return qEnvironmentVariable("CADELO_SOURCE_DIR", QStringLiteral(".")) +
           QStringLiteral("/tests/data/damaged-inputs");
}

enum class Expect { Refused, Read };

struct Reproducer {
    const char* file;
    Expect expect;
    const char* reason;           // a part of the refusal's message
    std::int64_t maxLengthMs = 0; // read: the stated length at most this
};

const Reproducer kReproducers[] = {
    {"chain-8k-mono-then-44k-stereo.ogg", Expect::Read, "", 7000},
    {"flac-claims-18-days.flac", Expect::Read, "", 10000},
    {"leak-vorbis-then-opus-chain.ogg", Expect::Refused, "holds no Vorbis stream"},
    {"ogg-chain-leak.ogg", Expect::Refused, "damaged Ogg Vorbis"},
    {"opus-huge-length.opus", Expect::Read, "", 10000},
    {"vorbis-255-channels.ogg", Expect::Refused, "channels"},
    {"vorbis-fpe-1.ogg", Expect::Refused, "prefix code"},
    {"vorbis-fpe-2.ogg", Expect::Refused, "prefix code"},
    {"vorbis-rate-1hz.ogg", Expect::Refused, "sample rate"},
    {"wav-rate-1hz.wav", Expect::Refused, "sample rate"},
    {"wav-riff-list-memory.wav", Expect::Refused, ""},
    {"wma-decodes-nothing.wma", Expect::Read, "", 10000},
    {"wma-huge-length.wma", Expect::Read, "", 10000},
    {"wma-seek-past-end.wma", Expect::Read, "", 10000},
};

class DamagedInput : public ::testing::TestWithParam<Reproducer> {};

TEST_P(DamagedInput, IsReadOrRefusedQuietlyAndLeftUnchanged) {
    const Reproducer& r = GetParam();
    const QString path = dataDir() + QLatin1Char('/') + QLatin1String(r.file);
    const QByteArray before = readBytes(path);
    ASSERT_FALSE(before.isEmpty()) << "missing test file " << path.toStdString();

    Watchdog watchdog(path);
    StderrCapture err;
    const Outcome o = exercise(path);
    const QByteArray printed = err.text();

    EXPECT_TRUE(printed.isEmpty()) << printed.left(500).toStdString();
    EXPECT_EQ(readBytes(path), before);
    if (r.expect == Expect::Refused) {
        EXPECT_TRUE(o.refused);
        EXPECT_TRUE(o.message.contains(QLatin1String(r.reason))) << o.message.toStdString();
        return;
    }
    ASSERT_FALSE(o.refused) << o.message.toStdString();
    EXPECT_LE(o.length * 1000 / o.rate, r.maxLengthMs);
    // A length made up by the container is at most a codec frame or so off
    // what decoding delivers; one decoding nothing ends at once.
    EXPECT_LE(o.read, o.length + 4096);
}

INSTANTIATE_TEST_SUITE_P(Reproducers, DamagedInput, ::testing::ValuesIn(kReproducers),
                         [](const ::testing::TestParamInfo<Reproducer>& info) {
                             std::string name = info.param.file;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// The links' frames one after the other, each in its own format.
struct Link {
    int rate = 0;
    int channels = 0;
    std::vector<float> samples;
};

std::vector<Link> decodeLinks(const QString& path) {
    OggVorbis_File vf;
    if (ov_fopen(QFile::encodeName(path).constData(), &vf) != 0)
        return {};
    std::vector<Link> links(size_t(ov_streams(&vf)));
    ov_raw_seek(&vf, 0); // else libvorbisfile skips a first link of one page
    for (;;) {
        float** pcm = nullptr;
        int link = 0;
        const long n = ov_read_float(&vf, &pcm, 4096, &link);
        if (n == OV_HOLE)
            continue;
        if (n <= 0)
            break;
        Link& l = links[size_t(link)];
        l.rate = int(ov_info(&vf, link)->rate);
        l.channels = ov_info(&vf, link)->channels;
        for (long i = 0; i < n; ++i)
            for (int c = 0; c < l.channels; ++c)
                l.samples.push_back(pcm[c][i]);
    }
    ov_clear(&vf);
    return links;
}

TEST(ChainedOgg, EveryLinkIsReadAtItsOwnSpeedInTheRichestFormat) {
    const QString path = dataDir() + QStringLiteral("/chain-8k-mono-then-44k-stereo.ogg");
    const std::vector<Link> links = decodeLinks(path);
    ASSERT_EQ(links.size(), 2u);
    ASSERT_EQ(links[0].rate, 8000);
    ASSERT_EQ(links[1].channels, 2);
    const std::int64_t first = std::int64_t(links[0].samples.size()) * 44100 / 8000;
    const std::int64_t second = std::int64_t(links[1].samples.size()) / 2;

    AudioFile f;
    f.openRead(path);
    EXPECT_EQ(f.sampleRate(), 44100);
    EXPECT_EQ(f.channels(), 2);
    EXPECT_EQ(f.lengthSamples(), first + second);
    std::vector<float> all;
    for (SampleBlock b; !(b = f.readSamples(kBlock)).empty();)
        all.insert(all.end(), b.samples.begin(), b.samples.end());
    ASSERT_EQ(std::int64_t(all.size()), 2 * (first + second));
    // The second link is in the reader's own format: it comes through as is.
    for (std::int64_t i = 0; i < second * 2; i += 997)
        ASSERT_FLOAT_EQ(all[size_t(2 * first + i)], links[1].samples[size_t(i)]) << i;
    // The first, converted, keeps its level and lands on both channels.
    double inPower = 0.0;
    for (float v : links[0].samples)
        inPower += double(v) * v;
    double outPower = 0.0;
    for (std::int64_t i = 0; i < first; ++i) {
        ASSERT_FLOAT_EQ(all[size_t(2 * i)], all[size_t(2 * i + 1)]);
        outPower += double(all[size_t(2 * i)]) * all[size_t(2 * i)];
    }
    EXPECT_NEAR(outPower / double(first), inPower / double(links[0].samples.size()),
                0.1 * inPower / double(links[0].samples.size()));

    // A seek lands on the very frames a read from the start gave: inside the
    // converted link, and inside the second link's first page and beyond it.
    for (const std::int64_t at : {first / 2, first - 100, first, first + 500, first + 20000,
                                  first + 60000, first + second - 64}) {
        f.seek(at);
        const SampleBlock b = f.readSamples(64);
        ASSERT_EQ(b.frames(), 64) << at;
        for (int i = 0; i < 128; ++i)
            ASSERT_EQ(b.samples[size_t(i)], all[size_t(at * 2 + i)]) << at << " " << i;
    }
}

TEST(NotARegularFile, IsRefusedWithoutWaiting) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.ogg"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {fifo, QStringLiteral("/dev/null")}) {
        Watchdog watchdog(path, std::chrono::seconds(30));
        AudioFile f;
        try {
            f.openRead(path);
            ADD_FAILURE() << "opened " << path.toStdString();
        } catch (const AudioError& e) {
            EXPECT_TRUE(e.message().contains(QLatin1String("not a regular file")))
                << e.message().toStdString();
        }
    }
}

// --- seeded mutations of small sound files ----------------------------------

enum class Seed { Ogg, OggChain, Wav, Mp3, Wma, Flac };

// One small file of each kind, made once per program.
QString seedFile(Seed kind) {
    static QTemporaryDir dir;
    static std::map<Seed, QString> made;
    if (auto it = made.find(kind); it != made.end())
        return it->second;
    const QString wav = dir.filePath(QStringLiteral("seed.wav"));
    synth::writeWav(wav, synth::tone(12000, 22050, 2), 22050, 2);
    QString path;
    auto ffmpeg = [&](const char* codec, const char* name) {
        const QString out = dir.filePath(QLatin1String(name));
        return synth::run(QStringLiteral("ffmpeg"),
                          {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                           QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-i"), wav,
                           QStringLiteral("-c:a"), QLatin1String(codec), out})
                   ? out
                   : QString();
    };
    switch (kind) {
    case Seed::Ogg:
        path = dir.filePath(QStringLiteral("seed.ogg"));
        synth::writeOgg(path, 60000, 22050, 2);
        break;
    case Seed::OggChain:
        path = dataDir() + QStringLiteral("/chain-8k-mono-then-44k-stereo.ogg");
        break;
    case Seed::Wav:
        path = wav;
        break;
    case Seed::Mp3:
        path = dir.filePath(QStringLiteral("seed.mp3"));
        if (!synth::makeMp3(wav, path, 64))
            path.clear();
        break;
    case Seed::Wma:
        path = dir.filePath(QStringLiteral("seed.wma"));
        if (!synth::makeWma(wav, path, 64))
            path.clear();
        break;
    case Seed::Flac:
        path = ffmpeg("flac", "seed.flac");
        break;
    }
    made[kind] = path;
    return path;
}

// Byte flips, a cut, junk inserted or a run zeroed: what disks, transfers and
// hostile files do.
QByteArray mutate(QByteArray bytes, QRandomGenerator& gen) {
    const auto at = [&] { return qsizetype(gen.bounded(quint32(bytes.size()))); };
    switch (gen.bounded(4)) {
    case 0:
        for (int i = 0, n = 1 + int(gen.bounded(8)); i < n; ++i)
            bytes[at()] = char(bytes[at()] ^ (1 << gen.bounded(8)));
        break;
    case 1:
        bytes.truncate(at());
        break;
    case 2: {
        QByteArray junk(1 + qsizetype(gen.bounded(64)), '\0');
        for (char& c : junk)
            c = char(gen.bounded(256));
        bytes.insert(at(), junk);
        break;
    }
    default: {
        const qsizetype from = at();
        const qsizetype n = std::min<qsizetype>(1 + gen.bounded(512), bytes.size() - from);
        bytes.replace(from, n, QByteArray(n, char(0xFF * gen.bounded(2))));
        break;
    }
    }
    return bytes;
}

constexpr int kMutantsPerSeed = 50;

class Mutation : public ::testing::TestWithParam<Seed> {};

TEST_P(Mutation, EveryMutantIsReadOrRefused) {
    const QString seed = seedFile(GetParam());
    if (seed.isEmpty())
        GTEST_SKIP() << "the outside encoder for this format is not installed";
    const QByteArray original = readBytes(seed);
    ASSERT_FALSE(original.isEmpty());
    QTemporaryDir dir;
    QRandomGenerator gen(quint32(0xCADE10 + int(GetParam())));
    int refused = 0;
    for (int i = 0; i < kMutantsPerSeed; ++i) {
        const QByteArray bytes = mutate(original, gen);
        const QString path =
            dir.filePath(QStringLiteral("mutant-%1.%2").arg(i).arg(QFileInfo(seed).suffix()));
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        Watchdog watchdog(path);
        const Outcome o = exercise(path);
        refused += o.refused;
        EXPECT_EQ(readBytes(path), bytes) << "mutant " << i;
        if (!o.refused) {
            EXPECT_LE(o.read, o.length + kBlock) << "mutant " << i;
        }
        if (HasFailure())
            FAIL() << "mutant " << i << " of " << seed.toStdString();
    }
    // Most damage leaves a file that still reads; refusing everything would
    // pass the loop above too.
    EXPECT_LT(refused, kMutantsPerSeed);
}

std::string seedName(const ::testing::TestParamInfo<Seed>& info) {
    static const char* const names[] = {"Ogg", "OggChain", "Wav", "Mp3", "Wma", "Flac"};
    return names[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Seeds, Mutation,
                         ::testing::Values(Seed::Ogg, Seed::OggChain, Seed::Wav, Seed::Mp3,
                                           Seed::Wma, Seed::Flac),
                         seedName);

} // namespace
