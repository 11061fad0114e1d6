// The page reader finds exactly the pages libogg's finds, damage and all, and
// a file it once found sound is checked again once it has changed; the page
// checksum folded sixteen bytes at a time equals the table's; the pager lays
// packets out into the very pages libogg's stream encoder makes.
#include "audio/OggPageReader.h"
#include "audio/OggPager.h"
#include "synth/Synth.h"

#include "support/Files.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ogg/ogg.h>
#include <random>

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

// Runs of every length around the folding's block sizes, after any checksum.
TEST(OggCrcTest, FoldedEqualsTheTablesAtEveryLengthAndStart) {
    std::mt19937 random(7);
    std::vector<unsigned char> bytes(4099);
    for (unsigned char& b : bytes)
        b = static_cast<unsigned char>(random());
    for (size_t n : {0, 1, 15, 16, 17, 63, 64, 65, 100, 255, 256, 1000, 4096, 4099})
        for (std::uint32_t start : {0u, 1u, 0x80000000u, 0xdeadbeefu})
            for (size_t offset : {0, 3}) {
                if (offset + n <= bytes.size()) {
                    ASSERT_EQ(OggCrc::update(start, bytes.data() + offset, n),
                              OggCrc::updateByTable(start, bytes.data() + offset, n))
                        << n << " bytes from " << start;
                }
            }
}

// Packets of sizes a Vorbis stream has (small, a page's worth, over 255 and
// over a page), some ending the page early, the last ending the stream.
struct PagerCase {
    const char* name;
    int packets;
    int largest;    // bytes
    int flushEvery; // 0: never before the end
};
class PagerTable : public ::testing::TestWithParam<PagerCase> {};

QByteArray pageBytes(const unsigned char* h, long hl, const unsigned char* b, long bl) {
    return QByteArray(reinterpret_cast<const char*>(h), hl) +
           QByteArray(reinterpret_cast<const char*>(b), bl);
}

TEST_P(PagerTable, MakesThePagesLiboggMakes) {
    const PagerCase& c = GetParam();
    std::mt19937 random(11);
    ogg_stream_state os;
    ogg_stream_init(&os, 1234);
    OggPager pager(1234);
    QList<QByteArray> theirs, mine;
    for (int i = 0; i < c.packets; ++i) {
        std::vector<unsigned char> data(random() % (c.largest + 1));
        for (unsigned char& b : data)
            b = static_cast<unsigned char>(random());
        const bool last = i == c.packets - 1;
        const std::int64_t granule = i < 3 ? 0 : i * 1024 - 2048;
        ogg_packet op{};
        op.packet = data.data();
        op.bytes = long(data.size());
        op.b_o_s = i == 0;
        op.e_o_s = last;
        op.granulepos = granule;
        op.packetno = i;
        ogg_stream_packetin(&os, &op);
        pager.packetIn(data.data(), long(data.size()), granule, last);
        const bool flush = i == 0 || last || (c.flushEvery > 0 && i % c.flushEvery == 0);
        ogg_page page;
        while (flush ? ogg_stream_flush(&os, &page) : ogg_stream_pageout(&os, &page))
            theirs << pageBytes(page.header, page.header_len, page.body, page.body_len);
        OggPager::Page p;
        while (pager.pageOut(p, flush))
            mine << pageBytes(p.header, p.headerLen, p.body, p.bodyLen);
    }
    ogg_stream_clear(&os);
    ASSERT_GT(theirs.size(), 1);
    EXPECT_EQ(mine, theirs);
}

INSTANTIATE_TEST_SUITE_P(Streams, PagerTable,
                         ::testing::Values(PagerCase{"smallPackets", 2000, 120, 0},
                                           PagerCase{"vorbisSized", 800, 700, 0},
                                           PagerCase{"largePackets", 60, 20000, 0},
                                           PagerCase{"flushedOften", 500, 600, 7},
                                           PagerCase{"emptyPackets", 300, 1, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
