// The Vorbis comment unit: reading the seven texts, rewriting the comment
// header with the audio copied as it was, and what a failed write leaves.
#include "support/CaseTable.h"
#include "synth/Synth.h"
#include "tags/OggCommentStream.h"
#include "tags/OggTag.h"

#include "support/Files.h"
#include "support/Printing.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <ogg/ogg.h>
#include <optional>
#include <sys/resource.h>
#include <vector>

namespace {

const QByteArray kVendor = "cadelo test vendor";

QByteArray le32(quint32 v) {
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

QByteArray commentPacket(const QByteArray& vendor, const QList<QByteArray>& comments) {
    QByteArray p = QByteArray("\x03vorbis") + le32(quint32(vendor.size())) + vendor +
                   le32(quint32(comments.size()));
    for (const QByteArray& c : comments)
        p += le32(quint32(c.size())) + c;
    return p + '\x01';
}

struct Packet {
    QByteArray data;
    ogg_int64_t granule;
    bool eos;
};

struct OggContents {
    // Each page without its sequence number and checksum: what a copy keeps.
    std::vector<QByteArray> pages;
    int serial = 0;
    std::vector<Packet> packets; // of the first stream
    size_t headerPages = 0;      // pages up to the one that ends the third packet
};

OggContents readOgg(const QString& path) {
    const QByteArray bytes = readBytes(path);
    OggContents c;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    std::memcpy(ogg_sync_buffer(&sync, long(bytes.size())), bytes.constData(), bytes.size());
    ogg_sync_wrote(&sync, long(bytes.size()));
    ogg_stream_state os;
    ogg_stream_init(&os, 0);
    ogg_page og;
    ogg_packet op;
    while (ogg_sync_pageout(&sync, &og) == 1) {
        if (c.pages.empty())
            ogg_stream_reset_serialno(&os, c.serial = ogg_page_serialno(&og));
        const auto* h = reinterpret_cast<const char*>(og.header);
        c.pages.push_back(QByteArray(h + 4, 14) + QByteArray(h + 26, og.header_len - 26) +
                          QByteArray(reinterpret_cast<const char*>(og.body), og.body_len));
        ogg_stream_pagein(&os, &og);
        while (ogg_stream_packetout(&os, &op) == 1)
            c.packets.push_back({QByteArray(reinterpret_cast<const char*>(op.packet), op.bytes),
                                 op.granulepos, op.e_o_s != 0});
        if (c.headerPages == 0 && c.packets.size() >= 3)
            c.headerPages = c.pages.size();
    }
    ogg_stream_clear(&os);
    ogg_sync_clear(&sync);
    return c;
}

std::vector<QByteArray> audioPages(const QString& path) {
    OggContents c = readOgg(path);
    return {c.pages.begin() + qsizetype(c.headerPages), c.pages.end()};
}

enum class Layout { Separate, SetupSharesAudioPage };

// Pages the packets again, each page ending where a packet with a granule
// position ended; with SetupSharesAudioPage the setup header does not end its
// page, so the first audio packets share it (as some muxers write files).
void writePackets(const QString& path, const std::vector<Packet>& packets, Layout layout) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ogg_stream_state os;
    ogg_stream_init(&os, 0x5EED);
    auto flush = [&] {
        ogg_page og;
        while (ogg_stream_flush_fill(&os, &og, 1 << 20)) {
            f.write(reinterpret_cast<const char*>(og.header), og.header_len);
            f.write(reinterpret_cast<const char*>(og.body), og.body_len);
        }
    };
    for (size_t i = 0; i < packets.size(); ++i) {
        const Packet& p = packets[i];
        ogg_packet op{};
        op.packet = reinterpret_cast<unsigned char*>(const_cast<char*>(p.data.constData()));
        op.bytes = long(p.data.size());
        op.b_o_s = i == 0;
        op.e_o_s = p.eos;
        op.granulepos = i < 3 ? 0 : p.granule;
        op.packetno = ogg_int64_t(i);
        ogg_stream_packetin(&os, &op);
        if (i == 0 || (i == 2 && layout == Layout::Separate) || (i > 2 && p.granule != -1))
            flush();
    }
    flush();
    ogg_stream_clear(&os);
}

struct ToolRun {
    int exitCode = -1;
    QString out;
};

ToolRun runTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    ToolRun r;
    if (p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit)
        r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAll());
    return r;
}

} // namespace

class OggTagTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        synth::writeOgg(path(QStringLiteral("source.ogg")), 2 * 44100, 44100, 2);
        sourcePackets = readOgg(path(QStringLiteral("source.ogg"))).packets;
        ASSERT_GT(sourcePackets.size(), 10u);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    // The source's audio with exactly these comments.
    QString makeFile(const QString& name, const QList<QByteArray>& comments,
                     Layout layout = Layout::Separate) {
        std::vector<Packet> packets = sourcePackets;
        packets[1].data = commentPacket(kVendor, comments);
        writePackets(path(name), packets, layout);
        return path(name);
    }

    QTemporaryDir dir;
    std::vector<Packet> sourcePackets;
};

// The permission bits of the file itself, not what this process may do.
QFileDevice::Permissions modeOf(const QString& file) {
    return QFile::permissions(file) &
           ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
}

QStringList fields(const OggTag& t) {
    return {t.album, t.title, t.artist, t.comment, t.genre, t.date, t.trackNumber};
}

struct ReadCase {
    const char* name;
    QList<QByteArray> comments;
    OggTag expected;
};

using OggTagRead = testsupport::CaseTable<OggTagTest, ReadCase>;

TEST_P(OggTagRead, FillsTheFieldsOfItsKeys) {
    const QString file = makeFile(QStringLiteral("r.ogg"), GetParam().comments);
    const QByteArray before = readBytes(file);
    EXPECT_EQ(fields(readOggTag(file)), fields(GetParam().expected));
    EXPECT_EQ(readBytes(file), before);
}

INSTANTIATE_TEST_SUITE_P(
    Comments, OggTagRead,
    ::testing::Values(
        ReadCase{"upper-case name", {"TITLE=Song"}, {.title = QStringLiteral("Song")}},
        ReadCase{"lower-case name", {"title=Song"}, {.title = QStringLiteral("Song")}},
        ReadCase{"each key to its field",
                 {"ALBUM=al", "Title=ti", "artist=ar", "COMMENT=co", "GeNrE=ge", "DATE=da",
                  "TRACKNUMBER=tr"},
                 {QStringLiteral("al"), QStringLiteral("ti"), QStringLiteral("ar"),
                  QStringLiteral("co"), QStringLiteral("ge"), QStringLiteral("da"),
                  QStringLiteral("tr")}},
        ReadCase{
            "the later of two wins", {"ARTIST=A", "ARTIST=B"}, {.artist = QStringLiteral("B")}},
        ReadCase{"name byte above 0x7D", {"TITLE\xC3\xA9=Song", "ALBUM\x7E=x"}, {}},
        ReadCase{"no equals sign", {"TITLE", "TITLESong"}, {}},
        ReadCase{"names that only contain a key", {"TITLEX=1", "XTITLE=2", " TITLE=3"}, {}},
        ReadCase{"spaces and controls trimmed",
                 {"ALBUM=  \t x y \x01 "},
                 {.album = QStringLiteral("x y")}},
        ReadCase{"UTF-8 decoded",
                 {"TITLE=D\xC3\xA9j\xC3\xA0 \xE6\x9D\xB1"},
                 {.title = QStringLiteral("Déjà 東")}},
        ReadCase{"invalid UTF-8 replaced",
                 {"TITLE=a\xFF"
                  "b"},
                 {.title = QStringLiteral("a\uFFFDb")}}));

// With a limit, a text is cut to that many characters and little more of it
// is decoded.
struct LimitCase {
    const char* name;
    QByteArray comment;
    qsizetype limit;
    QString expected;
};

using OggTagLimit = testsupport::CaseTable<OggTagTest, LimitCase>;

TEST_P(OggTagLimit, CutsEachTextToItsFirstCharacters) {
    const QString file = makeFile(QStringLiteral("l.ogg"), {GetParam().comment});
    EXPECT_EQ(readOggTag(file, GetParam().limit).title, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, OggTagLimit,
    ::testing::Values(
        LimitCase{"long text cut", "TITLE=" + QByteArray(5000, 'x'), 1024, QString(1024, u'x')},
        LimitCase{"a character outside the BMP is one",
                  "TITLE=aaa\xF0\x9F\x98\x80"
                  "bb",
                  4, QStringLiteral("aaa\U0001F600")},
        LimitCase{"leading spaces trimmed first", "TITLE=" + QByteArray(3000, ' ') + "abcdef", 3,
                  QStringLiteral("abc")},
        LimitCase{"spaces at the cut trimmed", "TITLE=ab    cd", 4, QStringLiteral("ab")}));

struct ListCase {
    const char* name;
    QByteArray comment;
    QByteArray expectedName;
    QString expectedValue;
};

using OggListComments = testsupport::CaseTable<OggTagTest, ListCase>;

TEST_P(OggListComments, SplitsAtTheFirstEqualsWhenTheNameIsInRange) {
    const QList<StrComment> list = listComments({GetParam().comment});
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].name, GetParam().expectedName);
    EXPECT_EQ(list[0].value, GetParam().expectedValue);
}

INSTANTIATE_TEST_SUITE_P(
    NameBytes, OggListComments,
    ::testing::Values(ListCase{"plain", "A=B", "A", QStringLiteral("B")},
                      ListCase{"first equals only", "a=b=c", "a", QStringLiteral("b=c")},
                      ListCase{"0x20 allowed", " =x", " ", QStringLiteral("x")},
                      ListCase{"0x3C allowed", "<=x", "<", QStringLiteral("x")},
                      ListCase{"0x7D allowed", "}=x", "}", QStringLiteral("x")},
                      ListCase{"0x7E refused", "~=x", "", QStringLiteral("~=x")},
                      ListCase{"control refused", "\x1F=x", "", QStringLiteral("\x1F=x")},
                      ListCase{"UTF-8 name refused", "K\xC3\xA9=v", "", QStringLiteral("Ké=v")},
                      ListCase{"no equals", "noequals", "", QStringLiteral("noequals")},
                      ListCase{"stored length, not the first zero", QByteArray("K=a\0b", 5), "K",
                               QString::fromLatin1("a\0b", 3)}));

struct PacketCase {
    const char* name;
    QByteArray packet;
    std::optional<QList<QByteArray>> expected; // nothing: no comment block
};

using OggCommentPacket = testsupport::CaseTable<OggTagTest, PacketCase>;

TEST_P(OggCommentPacket, TakesOnlyWhatItsLengthsCover) {
    const std::optional<VorbisComments> block =
        OggCommentStream::parseCommentPacket(GetParam().packet);
    ASSERT_EQ(block.has_value(), GetParam().expected.has_value());
    if (block) {
        EXPECT_EQ(block->comments, *GetParam().expected);
    }
}

const QByteArray kHead = QByteArray("\x03vorbis") + le32(1) + "v";

INSTANTIATE_TEST_SUITE_P(
    Damaged, OggCommentPacket,
    ::testing::Values(
        PacketCase{"whole", commentPacket("v", {"a=1", "b"}), QList<QByteArray>{"a=1", "b"}},
        PacketCase{"empty", QByteArray(), std::nullopt},
        PacketCase{"setup packet", QByteArray("\x05vorbis") + le32(0) + le32(0), std::nullopt},
        PacketCase{"vendor past the end", QByteArray("\x03vorbis") + le32(100) + "abc",
                   std::nullopt},
        PacketCase{"no count", kHead, QList<QByteArray>{}},
        PacketCase{"comment past the end", kHead + le32(2) + le32(1) + "a" + le32(50) + "xyz",
                   QList<QByteArray>{"a"}},
        PacketCase{"count beyond the packet", kHead + le32(0xFFFFFFFF) + le32(1) + "a",
                   QList<QByteArray>{"a"}},
        PacketCase{"length beyond 2 GiB", kHead + le32(1) + le32(0xFFFFFFF0) + "a",
                   QList<QByteArray>{}},
        PacketCase{"no framing bit", kHead + le32(1) + le32(1) + "a", QList<QByteArray>{"a"}}));

struct WriteCase {
    const char* name;
    QList<QByteArray> before;
    OggTag tag;
    QStringList expected; // what vorbiscomment lists afterwards
    Layout layout = Layout::Separate;
};

using OggTagWrite = testsupport::CaseTable<OggTagTest, WriteCase>;

TEST_P(OggTagWrite, LeavesExactlyTheseCommentsAndTheAudioAsItWas) {
    const WriteCase& c = GetParam();
    const QString file = makeFile(QStringLiteral("x.ogg"), c.before, c.layout);
    // The audio as a file with separate header pages holds it: a decoder
    // drops the packets that share the setup header's page.
    const QString reference = makeFile(QStringLiteral("ref.ogg"), c.before);
    const std::vector<QByteArray> pages = audioPages(reference);
    const synth::Decoded audio = synth::decodeOgg(c.layout == Layout::Separate ? file : reference);
    const int serial = readOgg(file).serial;
    {
        QFile stale(path(QStringLiteral("x.temp")));
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.write("stale");
    }

    ASSERT_TRUE(writeOggTag(file, c.tag));

    EXPECT_FALSE(QFile::exists(path(QStringLiteral("x.temp"))));
    const ToolRun info = runTool(QStringLiteral("ogginfo"), {file});
    EXPECT_EQ(info.exitCode, 0) << info.out.toStdString();
    EXPECT_FALSE(info.out.contains(QStringLiteral("warning"), Qt::CaseInsensitive) ||
                 info.out.contains(QStringLiteral("error"), Qt::CaseInsensitive))
        << info.out.toStdString();
    EXPECT_TRUE(info.out.contains(QStringLiteral("Vendor: cadelo test vendor")));
    const ToolRun listed = runTool(QStringLiteral("vorbiscomment"),
                                   {QStringLiteral("-l"), QStringLiteral("-R"), file});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), c.expected);

    const synth::Decoded after = synth::decodeOgg(file);
    EXPECT_TRUE(after.rate == audio.rate && after.channels == audio.channels &&
                after.samples == audio.samples);
    EXPECT_TRUE(audioPages(file) == pages);
    EXPECT_EQ(readOgg(file).serial, serial);
    EXPECT_EQ(fields(readOggTag(file)), fields(c.tag));
}

OggTag allSeven() {
    return {QStringLiteral("al"), QStringLiteral("ti"), QStringLiteral("ar"),
            QStringLiteral("co"), QStringLiteral("ge"), QStringLiteral("2003"),
            QStringLiteral("7")};
}

INSTANTIATE_TEST_SUITE_P(
    Records, OggTagWrite,
    ::testing::Values(WriteCase{"title and date replace every comment",
                                {"ARTIST=old", "FOO=bar", "TITLE=x"},
                                {.title = QStringLiteral("T"), .date = QStringLiteral("2003")},
                                {QStringLiteral("Title=T"), QStringLiteral("Date=2003")}},
                      WriteCase{"all seven in writing order",
                                {},
                                allSeven(),
                                {QStringLiteral("Title=ti"), QStringLiteral("Artist=ar"),
                                 QStringLiteral("Album=al"), QStringLiteral("TrackNumber=7"),
                                 QStringLiteral("Date=2003"), QStringLiteral("Genre=ge"),
                                 QStringLiteral("Comment=co")}},
                      WriteCase{"an empty record leaves no comment", {"TITLE=x"}, {}, {}},
                      WriteCase{"text beyond ASCII as UTF-8",
                                {},
                                {.title = QStringLiteral("Déjà vu — 東京")},
                                {QStringLiteral("Title=Déjà vu — 東京")}},
                      WriteCase{"audio on the setup header's page",
                                {"TITLE=x"},
                                {.artist = QStringLiteral("A")},
                                {QStringLiteral("Artist=A")},
                                Layout::SetupSharesAudioPage},
                      WriteCase{"headers grow over more pages",
                                {},
                                {.comment = QString(70000, QLatin1Char('c'))},
                                {QStringLiteral("Comment=") + QString(70000, QLatin1Char('c'))}},
                      WriteCase{"headers shrink to fewer pages",
                                {QByteArray("COMMENT=") + QByteArray(140000, 'c')},
                                {.title = QStringLiteral("T")},
                                {QStringLiteral("Title=T")}}));

TEST_F(OggTagTest, ReadOnlyFileStaysReadOnlyAfterReadAndWrite) {
    const QString file = makeFile(QStringLiteral("ro.ogg"), {"TITLE=old"});
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(file, readOnly));
    const QByteArray before = readBytes(file);

    EXPECT_EQ(readOggTag(file).title, QStringLiteral("old"));
    EXPECT_EQ(modeOf(file), readOnly);
    EXPECT_EQ(readBytes(file), before);

    EXPECT_TRUE(writeOggTag(file, {.title = QStringLiteral("new")}));
    EXPECT_EQ(modeOf(file), readOnly);
    EXPECT_EQ(readOggTag(file).title, QStringLiteral("new"));
}

TEST_F(OggTagTest, TemporaryFileSitsBesideWithTheExtensionReplaced) {
    EXPECT_EQ(oggTempPath(QStringLiteral("/d/a.ogg")), QStringLiteral("/d/a.temp"));
    EXPECT_EQ(oggTempPath(QStringLiteral("/d/a.b.ogg")), QStringLiteral("/d/a.b.temp"));
    EXPECT_EQ(oggTempPath(QStringLiteral("/d.x/a")), QStringLiteral("/d.x/a.temp"));
    EXPECT_EQ(oggTempPath(QStringLiteral("/d/a.temp")), QStringLiteral("/d/a.temp.temp"));
}

enum class Failure { NotOgg, HeadersCutShort, DiskRefusesWrites, ReadOnlyFolder };

struct FailureCase {
    const char* name;
    Failure failure;
    const char* messageStart;
};

using OggTagWriteFails = testsupport::CaseTable<OggTagTest, FailureCase>;

TEST_P(OggTagWriteFails, LeavesTheOriginalAsItWasAndNoTemporaryFile) {
    const Failure failure = GetParam().failure;
    const QString sub = path(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkpath(sub));
    const QString file = sub + QStringLiteral("/f.ogg");
    ASSERT_TRUE(QFile::copy(makeFile(QStringLiteral("good.ogg"), {"TITLE=keep"}), file));
    if (failure == Failure::NotOgg || failure == Failure::HeadersCutShort) {
        const QByteArray bytes =
            failure == Failure::NotOgg ? QByteArray(5000, 'x') : readBytes(file).left(3000);
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(file, readOnly));
    const QByteArray before = readBytes(file);

    const auto folderPermissions = QFile::permissions(sub);
    struct rlimit savedLimit {};
    void (*savedHandler)(int) = SIG_DFL;
    if (failure == Failure::ReadOnlyFolder) {
        QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (canCreateFileIn(sub)) {
            QFile::setPermissions(sub, folderPermissions);
            GTEST_SKIP() << "these rights write into a read-only folder";
        }
    } else if (failure == Failure::DiskRefusesWrites) {
        // The new file may not grow past a third of the old one.
        getrlimit(RLIMIT_FSIZE, &savedLimit);
        struct rlimit small = savedLimit;
        small.rlim_cur = rlim_t(before.size() / 3);
        savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
    }

    bool replaced = false;
    QString message;
    try {
        replaced = writeOggTag(file, {.title = QStringLiteral("new")});
    } catch (const OggTagError& e) {
        message = e.message();
    }
    if (failure == Failure::DiskRefusesWrites) {
        setrlimit(RLIMIT_FSIZE, &savedLimit);
        std::signal(SIGXFSZ, savedHandler);
    }
    QFile::setPermissions(sub, folderPermissions);

    EXPECT_FALSE(replaced);
    EXPECT_TRUE(message.startsWith(QLatin1String(GetParam().messageStart)))
        << message.toStdString();
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(modeOf(file), readOnly);
    EXPECT_EQ(QDir(sub).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("f.ogg")});
}

INSTANTIATE_TEST_SUITE_P(
    Causes, OggTagWriteFails,
    ::testing::Values(FailureCase{"not Ogg", Failure::NotOgg, "Cannot open "},
                      FailureCase{"headers cut short", Failure::HeadersCutShort, "Cannot open "},
                      FailureCase{"disk refuses writes", Failure::DiskRefusesWrites,
                                  "Cannot write comments: "},
                      FailureCase{"read-only folder", Failure::ReadOnlyFolder, "Cannot create "}));
