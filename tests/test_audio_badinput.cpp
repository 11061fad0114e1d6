// Files the reader cannot or can only partly read: it refuses them with a
// message naming the file and the reason, never crashes, and never creates or
// changes a file.
#include "audio/AudioError.h"
#include "audio/AudioFile.h"
#include "support/CaseTable.h"
#include "synth/Synth.h"

#include "support/Files.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cctype>
#include <functional>
#include <gtest/gtest.h>

namespace {

QByteArray randomBytes(int size, quint32 seed) {
    QRandomGenerator gen(seed);
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char(gen.bounded(256));
    return b;
}

// The Ogg pages of a stream up to and including the last one with granule 0:
// the three Vorbis headers and no audio.
QByteArray oggHeadersOnly(const QByteArray& ogg) {
    qsizetype at = 0;
    qsizetype end = 0;
    while (at + 27 <= ogg.size() && ogg.mid(at, 4) == "OggS") {
        const auto* p = reinterpret_cast<const unsigned char*>(ogg.constData() + at);
        qint64 granule = 0;
        for (int i = 7; i >= 0; --i)
            granule = (granule << 8) | p[6 + i];
        const int segments = p[26];
        qsizetype body = 0;
        for (int i = 0; i < segments; ++i)
            body += p[27 + i];
        const qsizetype next = at + 27 + segments + body;
        if (granule != 0)
            break;
        end = next;
        at = next;
    }
    return ogg.left(end);
}

struct Snapshot {
    QStringList names;
    QList<QByteArray> contents;
    QList<QDateTime> modified;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const QString& dir) {
    Snapshot s;
    const QFileInfoList entries =
        QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& e : entries) {
        s.names << e.fileName();
        s.contents << (e.isFile() ? readBytes(e.filePath()) : QByteArray());
        s.modified << e.lastModified();
    }
    return s;
}

class BadInputTest : public ::testing::Test {
  public:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

    // A good Ogg Vorbis file to cut pieces from.
    QByteArray goodOgg() {
        const QString p = path(QStringLiteral("good.ogg"));
        if (!QFile::exists(p))
            synth::writeOgg(p, 30000);
        return readBytes(p);
    }
};

struct BadCase {
    const char* label;
    const char* fileName; // UTF-8
    // Fills the file (or not, for a missing one); gets the test for helpers.
    std::function<void(BadInputTest&, const QString&)> make;
    const char* reason; // a word the message must hold
};

using Refused = testsupport::CaseTable<BadInputTest, BadCase>;

TEST_P(Refused, NamesTheFileAndTheReasonAndChangesNothing) {
    const BadCase& c = GetParam();
    const QString file = path(QString::fromUtf8(c.fileName));
    c.make(*this, file);
    const Snapshot before = snapshot(dir.path());

    AudioFile reader;
    try {
        reader.openRead(file);
        FAIL() << c.label << " was opened";
    } catch (const AudioError& e) {
        const QString message = e.message();
        const QString name = QFileInfo(file).fileName();
        EXPECT_TRUE(message.contains(name)) << message.toStdString();
        // Something after the name says why.
        EXPECT_GT(message.size(), name.size() + 5) << message.toStdString();
        EXPECT_TRUE(message.contains(QLatin1String(c.reason), Qt::CaseInsensitive))
            << message.toStdString();
    }
    EXPECT_FALSE(reader.isOpen());
    EXPECT_EQ(reader.lengthSamples(), 0);
    EXPECT_EQ(snapshot(dir.path()), before);

    // The component goes on working after a refusal.
    const QByteArray good = goodOgg();
    ASSERT_FALSE(good.isEmpty());
    reader.openRead(path(QStringLiteral("good.ogg")));
    EXPECT_EQ(reader.lengthSamples(), 30000);
}

const BadCase kBadCases[] = {
    {"missing file", "missing.ogg", [](BadInputTest&, const QString&) {}, "not found"},
    {"empty file", "empty.ogg", [](BadInputTest&, const QString& p) { writeBytes(p, {}); },
     "empty"},
    {"one byte", "one.mp3", [](BadInputTest&, const QString& p) { writeBytes(p, "O"); },
     "not an audio"},
    {"random bytes named .ogg", "Café – Live.ogg",
     [](BadInputTest&, const QString& p) { writeBytes(p, randomBytes(100000, 7)); },
     "not an audio"},
    {"random bytes named .wma", "шум.wma",
     [](BadInputTest&, const QString& p) { writeBytes(p, randomBytes(50000, 11)); },
     "not an audio"},
    {"text named .mp3", "readme.mp3",
     [](BadInputTest&, const QString& p) {
         QByteArray text;
         for (int i = 0; i < 200; ++i)
             text += "This is a text file, not a song. Line " + QByteArray::number(i) + "\n";
         writeBytes(p, text);
     },
     "not an audio"},
    {"Ogg headers without audio", "headers.ogg",
     [](BadInputTest& t, const QString& p) {
         const QByteArray headers = oggHeadersOnly(t.goodOgg());
         ASSERT_GT(headers.size(), 100);
         writeBytes(p, headers);
     },
     "no audio"},
    {"Ogg cut inside its headers", "cut-headers.ogg",
     [](BadInputTest& t, const QString& p) { writeBytes(p, t.goodOgg().left(200)); },
     "not an audio"},
    {"Ogg page marker then junk", "marker.ogg",
     [](BadInputTest&, const QString& p) { writeBytes(p, "OggS" + randomBytes(5000, 3)); },
     "not an audio"},
    {"ID3 tag then junk", "tagged.mp3",
     [](BadInputTest&, const QString& p) {
         QByteArray tag("ID3\x03\x00\x00\x00\x00\x02\x00", 10);
         tag += QByteArray(256, '\0');
         writeBytes(p, tag + randomBytes(20000, 5));
     },
     "not an audio"},
    {"MPEG frame sync then junk", "sync.mp3",
     [](BadInputTest&, const QString& p) {
         writeBytes(p, QByteArray("\xFF\xFB\x90\x64", 4) + randomBytes(20000, 9));
     },
     "not an audio"},
    {"RIFF header without data", "hollow.wav",
     [](BadInputTest&, const QString& p) {
         writeBytes(p, QByteArray("RIFF\x04\x00\x00\x00WAVE", 12));
     },
     "not an audio"},
    {"a folder", "folder.ogg", [](BadInputTest&, const QString& p) { QDir().mkdir(p); }, "folder"},
};

INSTANTIATE_TEST_SUITE_P(Files, Refused, ::testing::ValuesIn(kBadCases),
                         [](const ::testing::TestParamInfo<BadCase>& info) {
                             std::string name;
                             for (const char* p = info.param.label; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST_F(BadInputTest, AFailedOpenLeavesTheReaderClosed) {
    goodOgg();
    AudioFile reader;
    reader.openRead(path(QStringLiteral("good.ogg")));
    ASSERT_TRUE(reader.isOpen());
    EXPECT_THROW(reader.openRead(path(QStringLiteral("nothing-here.ogg"))), AudioError);
    EXPECT_FALSE(reader.isOpen());
    EXPECT_THROW(reader.readSamples(100), AudioError);
}

// Damage anywhere must end in a refusal or in reading what can be read: no
// crash, no hang, no exception from ReadSamples.
enum class Damage { Cut, Scramble };

struct DamageCase {
    const char* format; // "ogg", "mp3", "wma"
    Damage damage;
};

using Damaged = testsupport::CaseTable<BadInputTest, DamageCase>;

TEST_P(Damaged, OpensAndEndsOrIsRefused) {
    const DamageCase c = GetParam();
    const QString format = QLatin1String(c.format);
    const QString source = path(QStringLiteral("source.") + format);
    if (format == QLatin1String("ogg")) {
        synth::writeOgg(source, 3 * 44100);
    } else {
        const QString wav = path(QStringLiteral("source.wav"));
        synth::writeWav(wav, synth::tone(3 * 44100, 44100, 2), 44100, 2);
        const bool made = format == QLatin1String("mp3") ? synth::makeMp3(wav, source)
                                                         : synth::makeWma(wav, source);
        if (!made)
            GTEST_SKIP() << "the outside encoder for " << c.format << " is not installed";
    }
    const QByteArray bytes = readBytes(source);
    ASSERT_GT(bytes.size(), 1000);

    const QString damaged = path(QStringLiteral("damaged.") + format);
    int opened = 0;
    for (int step = 1; step < 24; ++step) {
        QByteArray copy = bytes;
        if (c.damage == Damage::Cut) {
            copy.truncate(copy.size() * step / 24 + step);
        } else {
            const qsizetype at = copy.size() * step / 24;
            copy.replace(at, 600, randomBytes(600, quint32(step)));
            copy.truncate(bytes.size());
        }
        writeBytes(damaged, copy);
        AudioFile reader;
        try {
            reader.openRead(damaged);
        } catch (const AudioError& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("damaged."))) << e.what();
            continue;
        }
        ++opened;
        std::int64_t frames = 0;
        for (int guard = 0; guard < 100000; ++guard) {
            const SampleBlock b = reader.readSamples(4096);
            if (b.empty())
                break;
            frames += b.frames();
        }
        EXPECT_TRUE(reader.readSamples(4096).empty());
        EXPECT_LE(frames, 3 * 44100 + 4096) << "step " << step;
        // seeking into the damage is no reason to fail either.
        reader.seek(reader.lengthSamples() / 2);
        reader.readSamples(4096);
    }
    // Past the headers, every cut and every scrambled spot still leaves audio.
    EXPECT_GT(opened, c.damage == Damage::Cut ? 8 : 16);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Damaged,
    ::testing::Values(DamageCase{"ogg", Damage::Cut}, DamageCase{"ogg", Damage::Scramble},
                      DamageCase{"mp3", Damage::Cut}, DamageCase{"mp3", Damage::Scramble},
                      DamageCase{"wma", Damage::Cut}, DamageCase{"wma", Damage::Scramble}),
    [](const ::testing::TestParamInfo<DamageCase>& info) {
        return std::string(info.param.format) +
               (info.param.damage == Damage::Cut ? "_cut" : "_scrambled");
    });

} // namespace
