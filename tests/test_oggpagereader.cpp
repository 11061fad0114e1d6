// The page reader finds exactly the pages libogg's finds, damage and all, and
// a file it once found sound is checked again once it has changed.
#include "audio/OggPageReader.h"
#include "synth/Synth.h"

#include "support/Files.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ogg/ogg.h>

namespace {

// Every result of the reader in turn: a page's bytes, or "skip".
QList<QByteArray> ours(QIODevice& in) {
    OggPageReader reader(in, 1000); // small reads: pages cross them
    QList<QByteArray> got;
    ogg_page page;
    for (int r; (r = reader.next(page)) != 0;)
        got << (r < 0 ? QByteArray("skip")
                      : QByteArray(reinterpret_cast<const char*>(page.header), page.header_len) +
                            QByteArray(reinterpret_cast<const char*>(page.body), page.body_len));
    return got;
}

QList<QByteArray> libogg(const QByteArray& bytes) {
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, long(bytes.size()));
    std::memcpy(buffer, bytes.constData(), size_t(bytes.size()));
    ogg_sync_wrote(&sync, long(bytes.size()));
    QList<QByteArray> got;
    ogg_page page;
    for (int r; (r = ogg_sync_pageout(&sync, &page)) != 0;)
        got << (r < 0 ? QByteArray("skip")
                      : QByteArray(reinterpret_cast<const char*>(page.header), page.header_len) +
                            QByteArray(reinterpret_cast<const char*>(page.body), page.body_len));
    ogg_sync_clear(&sync);
    return got;
}

// Damage at a place in the file, as a fraction of its length.
struct Damage {
    const char* name;
    double at;
    QByteArray bytes; // written over the file there; empty: the file ends there
    bool insert;      // put in rather than written over
};

class PageReaderFixture : public ::testing::TestWithParam<Damage> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("source.ogg"));
        synth::writeOgg(path, 3 * 44100, 44100, 2);
        clean = readBytes(path);
        ASSERT_GT(clean.size(), 10000);
    }

    QByteArray damaged() const {
        const Damage& d = GetParam();
        QByteArray bytes = clean;
        const auto at = qsizetype(d.at * double(bytes.size()));
        if (d.bytes.isEmpty())
            bytes.truncate(at);
        else if (d.insert)
            bytes.insert(at, d.bytes);
        else
            bytes.replace(at, d.bytes.size(), d.bytes);
        return bytes;
    }

    QTemporaryDir dir;
    QString path;
    QByteArray clean;
};

TEST_P(PageReaderFixture, FindsThePagesLiboggFinds) {
    QByteArray bytes = damaged();
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    EXPECT_EQ(ours(buffer), libogg(bytes));
}

TEST_P(PageReaderFixture, ChecksAgainAFileChangedSinceFoundSound) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_EQ(ours(file), libogg(clean));
    file.close();
    // A different length: the change shows whatever the clock's resolution.
    const QByteArray bytes = damaged() + QByteArray("tail");
    writeBytes(path, bytes);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(ours(file), libogg(bytes));
}

INSTANTIATE_TEST_SUITE_P(
    Damages, PageReaderFixture,
    ::testing::Values(Damage{"none", 0.5, "", true},
                      Damage{"flippedByte", 0.4, QByteArray("\x5a", 1), false},
                      Damage{"garbageBetween", 0.3, QByteArray("OggSOgg junk O"), true},
                      Damage{"cutShort", 0.77, QByteArray(), false},
                      Damage{"zeroedRun", 0.6, QByteArray(300, '\0'), false}),
    [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

} // namespace
