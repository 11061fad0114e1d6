// The ID3 unit against files built byte by byte and against TagLib: exact tag
// bytes, version and encoding rules, damaged tags, and files left as they were.
#include "support/CaseTable.h"
#include "tags/Id3Tag.h"

#include "support/Files.h"
#include "support/Printing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>
#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

using namespace Qt::StringLiterals;

void PrintTo(const Id3v2Tag& t, std::ostream* os) {
    for (const QString* s :
         {&t.title, &t.artist, &t.album, &t.year, &t.track, &t.comment, &t.genre})
        *os << (s == &t.title ? "{" : ", ") << '"' << s->toStdString() << '"';
    *os << "}";
}

namespace {

QByteArray hex(const char* digits) {
    return QByteArray::fromHex(digits);
}

// A v2.3 frame (plain size) or a v2.4 frame (synchsafe size, below 128 here).
QByteArray frame(const char* id, const QByteArray& content, const char* flags = "\0\0") {
    QByteArray out(id);
    out.append(hex("000000")).append(char(content.size())).append(flags, 2);
    return out + content;
}

// A v2.2 frame: a three-letter id and a three-byte size, no flags.
QByteArray frame22(const char* id, const QByteArray& content) {
    return QByteArray(id) + hex("0000") + char(content.size()) + content;
}

QByteArray tag(int version, const QByteArray& body, int flags = 0) {
    QByteArray out("ID3");
    out.append(char(version)).append('\0').append(char(flags)).append(hex("0000"));
    out.append(char(body.size() >> 7)).append(char(body.size() & 0x7F));
    return out + body;
}

QByteArray text(const char* bytes) {
    return QByteArray(1, '\0') + bytes;
}

// The start of two MPEG-1 layer III frames, so TagLib takes the file for MP3.
const QByteArray audio = hex("FFFB9064") + QByteArray(413, '\0') + hex("FFFB9064");

QString fromTagLib(const TagLib::String& s) {
    return QString::fromUtf8(s.toCString(true));
}
TagLib::String toTagLib(const QString& s) {
    return TagLib::String(s.toStdString(), TagLib::String::UTF8);
}

// The file's own mode bits, without those that describe the caller.
QFileDevice::Permissions mode(const QString& path) {
    return QFile::permissions(path) &
           ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
}

class Id3TagTest : public ::testing::Test {
  protected:
    QString file(const QByteArray& bytes, const QString& name = QStringLiteral("a.mp3")) {
        const QString path = m_dir.filePath(name);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
        return path;
    }
    QTemporaryDir m_dir;
};

template <class Case> using Id3Table = testsupport::CaseTable<Id3TagTest, Case>;

struct ReadCase {
    std::string name;
    QByteArray file;
    Id3v2Tag expected;
};
using ReadId3v2 = Id3Table<ReadCase>;

TEST_P(ReadId3v2, GivesTheFramesTexts) {
    EXPECT_EQ(readId3v2(file(GetParam().file)), GetParam().expected);
}

const QByteArray longText(200, 'a');

INSTANTIATE_TEST_SUITE_P(
    Id3, ReadId3v2,
    ::testing::Values(
        ReadCase{"NoId3SignatureIsNoTag",
                 QByteArray("XYZ\3\0\0\0\0\0\x0F", 10) + frame("TIT2", text("Frame")) + audio,
                 {}},
        ReadCase{"SevenFramesOfV23",
                 tag(3, frame("TIT2", text("Song")) + frame("TPE1", text("Band")) +
                            frame("TALB", text("Disc")) + frame("TRCK", text("7/12")) +
                            frame("TYER", text("1999")) + frame("TCON", text("(13)")) +
                            frame("COMM", text("eng") + '\0' + "Nice")) +
                     audio,
                 {u"Song"_s, u"Band"_s, u"Disc"_s, u"1999"_s, u"7/12"_s, u"Nice"_s, u"(13)"_s}},
        ReadCase{"LaterFrameOfTheSameIdCounts",
                 tag(3, frame("TIT2", text("First")) + frame("TIT2", text("Second"))),
                 {.title = u"Second"_s}},
        ReadCase{
            "V23FrameSizeIsPlain",
            tag(3, QByteArray("TIT2\0\0\0\xC9\0\0\0", 11) + longText + frame("TPE1", text("B"))),
            {.title = QString::fromLatin1(longText), .artist = u"B"_s}},
        ReadCase{
            "V24FrameSizeIsSynchsafe",
            tag(4, QByteArray("TIT2\0\0\x01\x49\0\0\0", 11) + longText + frame("TPE1", text("B"))),
            {.title = QString::fromLatin1(longText), .artist = u"B"_s}},
        ReadCase{"V23ExtendedHeaderSkipped",
                 tag(3, hex("00000006000000000000") + frame("TIT2", text("Ext")), 0x40),
                 {.title = u"Ext"_s}},
        ReadCase{"V24ExtendedHeaderSkipped",
                 tag(4, hex("000000060100") + frame("TIT2", text("Ext")), 0x40),
                 {.title = u"Ext"_s}},
        ReadCase{"Iso88591", tag(3, frame("TIT2", text("Caf\xE9"))), {.title = u"Caf\u00e9"_s}},
        ReadCase{"Utf16LittleEndianByteOrderMark",
                 tag(3, frame("TIT2", hex("01FFFE1F04400438043204350442043E04"))),
                 {.title = u"\u041f\u0440\u0438\u0432\u0435\u0442\u043e"_s}},
        ReadCase{"Utf16BigEndianByteOrderMark",
                 tag(3, frame("TIT2", hex("01FEFF67714EAC"))),
                 {.title = u"\u6771\u4eac"_s}},
        ReadCase{"Utf16BE",
                 tag(4, frame("TIT2", hex("026771D83CDFB5"))),
                 {.title = u"\u6771\U0001F3B5"_s}},
        ReadCase{"Utf8",
                 tag(4, frame("TIT2", hex("03E69DB1E4BAACC3A9"))),
                 {.title = u"\u6771\u4eac\u00e9"_s}},
        ReadCase{"CommentSkipsLanguageAndDescription",
                 tag(3, frame("COMM", text("eng") + "note" + '\0' + "Text")),
                 {.comment = u"Text"_s}},
        ReadCase{"Utf16CommentSkipsDescription",
                 tag(3, frame("COMM", hex("01646575FFFE64000000FFFE54007800"))),
                 {.comment = u"Tx"_s}},
        ReadCase{"PlainCommentBeatsLaterDescribedOne",
                 tag(3, frame("COMM", text("eng") + '\0' + "Mine") +
                            frame("COMM", text("eng") + "iTunNORM" + '\0' + " 0000")),
                 {.comment = u"Mine"_s}},
        ReadCase{"LaterDescribedCommentCounts",
                 tag(3, frame("COMM", text("eng") + '\0' + "First") +
                            frame("COMM", text("eng") + "note" + '\0' + "Second")),
                 {.comment = u"Second"_s}},
        ReadCase{"TagSizePastTheFileKeepsWholeFrames",
                 QByteArray("ID3\3\0\0\x7F\x7F\x7F\x7F", 10) + frame("TIT2", text("Kept")) +
                     frame("TPE1", text("Cut off")).chopped(3),
                 {.title = u"Kept"_s}},
        ReadCase{"FrameSizePastTheTagIgnored",
                 tag(3, frame("TIT2", text("Kept")) + QByteArray("TPE1\0\0\x10\0\0\0\0x", 12)),
                 {.title = u"Kept"_s}},
        ReadCase{"ZeroLengthFramesSkipped",
                 tag(3, frame("TIT2", "") + frame("COMM", "") + frame("TALB", text("Alb"))),
                 {.album = u"Alb"_s}},
        ReadCase{"SpacesAndControlsTrimmed",
                 tag(3, frame("TIT2", text("  Song \r\n"))),
                 {.title = u"Song"_s}},
        ReadCase{"FirstOfSeveralStrings",
                 tag(4, frame("TPE1", text("A") + '\0' + "B")),
                 {.artist = u"A"_s}},
        ReadCase{"V24RecordingTimeIsTheYear",
                 tag(4, frame("TDRC", text("2024-05"))),
                 {.year = u"2024-05"_s}},
        ReadCase{"V22FramesOfThreeLetters",
                 tag(2, QByteArray("TT2\0\0\x04\0abc", 10) + frame22("TP1", text("Band")) +
                            frame22("TAL", text("Disc")) + frame22("TYE", text("1987")) +
                            frame22("TCO", text("Rock")) +
                            frame22("COM", text("eng") + '\0' + "Old") + frame22("TRK", text("3"))),
                 {u"abc"_s, u"Band"_s, u"Disc"_s, u"1987"_s, u"3"_s, u"Old"_s, u"Rock"_s}},
        ReadCase{"V22CompressedTagNotRead", tag(2, QByteArray("TT2\0\0\x04\0abc", 10), 0x40), {}},
        ReadCase{"V23UnsynchronisedTag",
                 tag(3, frame("TIT2", hex("01FFFE4100")).insert(12, '\0'), 0x80),
                 {.title = u"A"_s}},
        ReadCase{"V24UnsynchronisedFrameWithDataLength",
                 tag(4, frame("TIT2", hex("0000000501FF00FE4100"), "\0\x03")),
                 {.title = u"A"_s}},
        ReadCase{"CompressedFrameSkipped",
                 tag(3, frame("TIT2", text("zlib"), "\0\x80") + frame("TPE1", text("B"))),
                 {.artist = u"B"_s}}),
    testsupport::CaseName());

// Cut anywhere, a tag gives exactly the frames that end before the cut.
TEST_F(Id3TagTest, TruncatedTagGivesTheWholeFramesBeforeTheCut) {
    const QByteArray frames[] = {frame("TIT2", text("Title")), frame("TPE1", text("Artist")),
                                 frame("COMM", text("eng") + '\0' + "Comment")};
    const QByteArray whole = tag(3, frames[0] + frames[1] + frames[2]);
    for (qsizetype cut = 0; cut <= whole.size(); ++cut) {
        const Id3v2Tag read = readId3v2(file(whole.first(cut)));
        const qsizetype titleEnd = 10 + frames[0].size();
        const qsizetype artistEnd = titleEnd + frames[1].size();
        EXPECT_EQ(read.title, cut >= titleEnd ? u"Title"_s : QString()) << cut;
        EXPECT_EQ(read.artist, cut >= artistEnd ? u"Artist"_s : QString()) << cut;
        EXPECT_EQ(read.comment, cut == whole.size() ? u"Comment"_s : QString()) << cut;
    }
}

struct V1Case {
    std::string name;
    QByteArray file;
    bool hasTag;
    QString title, artist, year;
    int track;
};
using ReadId3v1 = Id3Table<V1Case>;

TEST_P(ReadId3v1, GivesTheBlocksFields) {
    const Id3v1Block block = readId3v1(file(GetParam().file));
    EXPECT_EQ(block.hasTag(), GetParam().hasTag);
    EXPECT_EQ(block.title(), GetParam().title);
    EXPECT_EQ(block.artist(), GetParam().artist);
    EXPECT_EQ(block.year(), GetParam().year);
    EXPECT_EQ(block.track(), GetParam().track);
}

QByteArray v1(const char* marker, const QByteArray& title) {
    return marker + title.leftJustified(30, '\0', true) +
           QByteArray("Who").leftJustified(30, '\0') + QByteArray(30, '\0') + "1999" +
           QByteArray(28, '\0') + hex("000D11");
}

INSTANTIATE_TEST_SUITE_P(
    Id3, ReadId3v1,
    ::testing::Values(
        V1Case{"AfterAudio", audio + v1("TAG", "Caf\xE9"), true, u"Caf\u00e9"_s, u"Who"_s,
               u"1999"_s, 13},
        V1Case{"ExactlyTheBlock", v1("TAG", "T"), true, u"T"_s, u"Who"_s, u"1999"_s, 13},
        V1Case{"TitleFillsThirtyBytes", v1("TAG", QByteArray(30, 'x')), true, QString(30, u'x'),
               u"Who"_s, u"1999"_s, 13},
        V1Case{"LowerCaseMarkerIsNoTag", audio + v1("tag", "T"), false, u""_s, u""_s, u""_s, 0},
        V1Case{"BlockNotAtTheEndIsNoTag", v1("TAG", "T") + '\0', false, u""_s, u""_s, u""_s, 0},
        V1Case{"ShorterThanTheBlock", v1("TAG", "T").chopped(1), false, u""_s, u""_s, u""_s, 0}),
    testsupport::CaseName());

// Seven frames of empty texts: six one-byte contents and the five of "COMM".
const QByteArray emptyTagFrames = hex("54495432 00000001 0000 00"
                                      "54504531 00000001 0000 00"
                                      "54414C42 00000001 0000 00"
                                      "5452434B 00000001 0000 00"
                                      "54594552 00000001 0000 00"
                                      "54434F4E 00000001 0000 00"
                                      "434F4D4D 00000005 0000 00 656E67 00");
const QByteArray padding(10, '\0');

struct LayoutCase {
    std::string name;
    Id3v2Tag tag;
    QByteArray expected;
};
using WriteLayout = Id3Table<LayoutCase>;

TEST_P(WriteLayout, WritesTheseBytes) {
    const QString path = file({});
    writeId3v2(path, GetParam().tag);
    EXPECT_EQ(readBytes(path).toHex(), GetParam().expected.toHex());
}

INSTANTIATE_TEST_SUITE_P(
    Id3, WriteLayout,
    ::testing::Values(
        LayoutCase{"EmptyTexts", {}, hex("494433030000 0000005B") + emptyTagFrames + padding},
        LayoutCase{"TitleAbc",
                   {.title = u"abc"_s},
                   hex("4944330300000000005E 54495432 00000004 0000 00616263") +
                       emptyTagFrames.sliced(11) + padding},
        LayoutCase{"Iso88591WhenEveryCharacterFits",
                   {.title = u"\u00e9"_s},
                   hex("4944330300000000005C 54495432000000020000 00E9") +
                       emptyTagFrames.sliced(11) + padding},
        LayoutCase{"Utf16WithByteOrderMarkOtherwise",
                   {.title = u"\u0416"_s},
                   hex("4944330300000000005F 54495432000000050000 01FFFE1604") +
                       emptyTagFrames.sliced(11) + padding},
        LayoutCase{"Utf16CommentKeepsLanguageAndEmptyDescription",
                   {.comment = u"\u20ac"_s},
                   hex("49443303000000000060") + emptyTagFrames.first(66) +
                       hex("434F4D4D0000000A0000 01656E670000FFFEAC20") + padding},
        LayoutCase{"SizeOver127IsSynchsafe",
                   {.title = QString(200, u'a')},
                   hex("49443303000000000223 54495432000000C90000 00") + longText +
                       emptyTagFrames.sliced(11) + padding}),
    testsupport::CaseName());

struct PlacementCase {
    std::string name;
    QByteArray before;
    QByteArray kept; // what must follow the new tag
};
using WritePlacement = Id3Table<PlacementCase>;

TEST_P(WritePlacement, KeepsEveryByteAfterTheOldTag) {
    const QString path = file(GetParam().before);
    const Id3v2Tag written{.title = u"New"_s, .comment = u"Here"_s};
    writeId3v2(path, written);
    EXPECT_EQ(readBytes(path), buildId3v2(written) + GetParam().kept);
    EXPECT_EQ(readId3v2(path), written);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{u"a.mp3"_s})
        << "no temporary left";
}

const QByteArray audioWithV1 = audio + v1("TAG", "Old");

INSTANTIATE_TEST_SUITE_P(
    Id3, WritePlacement,
    ::testing::Values(PlacementCase{"NoTagInsertedAhead", audioWithV1, audioWithV1},
                      PlacementCase{"V23TagWithPaddingReplaced",
                                    tag(3, frame("TIT2", text("Old")) + QByteArray(300, 0)) +
                                        audioWithV1,
                                    audioWithV1},
                      PlacementCase{"V24TagWithFooterReplaced",
                                    tag(4, frame("TIT2", text("Old")), 0x10) +
                                        QByteArray("3DI\4\0\x10\0\0\0\x0B", 10) + audioWithV1,
                                    audioWithV1},
                      PlacementCase{"TagRunningPastTheFileKeptAsData",
                                    QByteArray("ID3\3\0\0\0\0\x7F\x7F", 10) + audio,
                                    QByteArray("ID3\3\0\0\0\0\x7F\x7F", 10) + audio},
                      PlacementCase{"EmptyFile", {}, {}}),
    testsupport::CaseName());

using TagLibRoundTrip = Id3Table<Id3v2Tag>;

TEST_P(TagLibRoundTrip, TagLibReadsTheWrittenTexts) {
    const QString path = file(audio);
    writeId3v2(path, GetParam());
    TagLib::MPEG::File mp3(QFile::encodeName(path).constData(), false);
    TagLib::ID3v2::Tag* id3 = mp3.ID3v2Tag();
    ASSERT_TRUE(id3);
    EXPECT_EQ(id3->header()->majorVersion(), 3u);
    const auto text = [&](const char* id) {
        const auto& frames = id3->frameListMap()[id];
        return frames.isEmpty() ? QString() : fromTagLib(frames.front()->toString());
    };
    EXPECT_EQ(text("TIT2"), GetParam().title);
    EXPECT_EQ(text("TPE1"), GetParam().artist);
    EXPECT_EQ(text("TALB"), GetParam().album);
    EXPECT_EQ(text("TDRC"), GetParam().year); // TagLib's name for TYER
    EXPECT_EQ(text("TRCK"), GetParam().track);
    EXPECT_EQ(text("TCON"), GetParam().genre);
    EXPECT_EQ(fromTagLib(id3->comment()), GetParam().comment);
    EXPECT_EQ(readId3v2(path), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Id3, TagLibRoundTrip,
    ::testing::Values(
        Id3v2Tag{u"Song"_s, u"Band"_s, u"Disc"_s, u"1999"_s, u"7"_s, u"A comment"_s, u"Jazz"_s},
        Id3v2Tag{u"Caf\u00e9 \u00fc\u00df"_s, u"\u041f\u0440\u0438\u0432\u0435\u0442"_s,
                 u"\u6771\u4eac \U0001F3B5"_s, u"2001"_s, u"3/9"_s, u"Stra\u00dfe \u20ac"_s,
                 u"Bossa Nova"_s},
        Id3v2Tag{QString(300, u'x'), {}, {}, {}, {}, QString(260, u'\u0416'), {}}));

struct TagLibWrite {
    std::string name;
    TagLib::ID3v2::Version version;
    TagLib::String::Type encoding;
};
using TagLibWritten = Id3Table<TagLibWrite>;

TEST_P(TagLibWritten, ReadsTagLibsUnicodeTexts) {
    const QString title =
        u"\u00dcn\u00efc\u00f6d\u00e9 \u041f\u0440\u0438\u0432\u0435\u0442 \U0001F3B5"_s;
    const QString path = file(audio);
    {
        TagLib::MPEG::File mp3(QFile::encodeName(path).constData(), false);
        TagLib::ID3v2::Tag* id3 = mp3.ID3v2Tag(true);
        auto* titleFrame = new TagLib::ID3v2::TextIdentificationFrame("TIT2", GetParam().encoding);
        titleFrame->setText(toTagLib(title));
        id3->addFrame(titleFrame);
        auto* commentFrame = new TagLib::ID3v2::CommentsFrame(GetParam().encoding);
        commentFrame->setDescription(toTagLib(u"Beschreibung \u00e4"_s));
        commentFrame->setText(toTagLib(u"\u6771\u4eac"_s));
        id3->addFrame(commentFrame);
        ASSERT_TRUE(
            mp3.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, GetParam().version));
    }
    const Id3v2Tag read = readId3v2(path);
    EXPECT_EQ(read.title, title);
    EXPECT_EQ(read.comment, u"\u6771\u4eac"_s);
}

INSTANTIATE_TEST_SUITE_P(
    Id3, TagLibWritten,
    ::testing::Values(TagLibWrite{"V23Utf16", TagLib::ID3v2::v3, TagLib::String::UTF16},
                      TagLibWrite{"V24Utf16", TagLib::ID3v2::v4, TagLib::String::UTF16},
                      TagLibWrite{"V24Utf16BE", TagLib::ID3v2::v4, TagLib::String::UTF16BE},
                      TagLibWrite{"V24Utf8", TagLib::ID3v2::v4, TagLib::String::UTF8}),
    testsupport::CaseName());

struct PermissionCase {
    std::string name;
    void (*operation)(const QString& path);
    bool writes;
};
using ReadOnlyFile = Id3Table<PermissionCase>;

TEST_P(ReadOnlyFile, StaysReadOnly) {
    const QString path = file(tag(3, frame("TIT2", text("Old"))) + audioWithV1);
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(path, readOnly));
    GetParam().operation(path);
    EXPECT_EQ(mode(path), readOnly);
    EXPECT_EQ(readId3v2(path).title, GetParam().writes ? u"New"_s : u"Old"_s);
}

INSTANTIATE_TEST_SUITE_P(
    Id3, ReadOnlyFile,
    ::testing::Values(PermissionCase{"ReadId3v1", [](const QString& p) { readId3v1(p); }, false},
                      PermissionCase{"ReadId3v2", [](const QString& p) { readId3v2(p); }, false},
                      PermissionCase{"WriteId3v2",
                                     [](const QString& p) { writeId3v2(p, {.title = u"New"_s}); },
                                     true}),
    testsupport::CaseName());

TEST_F(Id3TagTest, FailedWriteLeavesTheFileAndItsPermissions) {
    const QByteArray before = tag(3, frame("TIT2", text("Old"))) + audio;
    const QString path = file(before);
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path, readOnly));
    const auto folder = QFile::permissions(m_dir.path());
    ASSERT_TRUE(
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    if (canCreateFileIn(m_dir.path())) {
        QFile::setPermissions(m_dir.path(), folder);
        GTEST_SKIP() << "these rights write into a read-only folder";
    }
    EXPECT_THROW(writeId3v2(path, {.title = u"New"_s}), Id3Error);
    QFile::setPermissions(m_dir.path(), folder);
    EXPECT_EQ(mode(path), readOnly);
    EXPECT_EQ(readBytes(path), before);
}

TEST_F(Id3TagTest, MissingFile) {
    const QString path = m_dir.filePath(QStringLiteral("missing.mp3"));
    EXPECT_THROW(readId3v1(path), Id3Error);
    EXPECT_EQ(readId3v2(path), Id3v2Tag{});
    EXPECT_THROW(writeId3v2(path, {.title = u"New"_s}), Id3Error);
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
