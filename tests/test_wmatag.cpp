// The WMA unit: files made by FFmpeg read and written through the attribute
// object, legacy ASF files built byte by byte read through the fallback
// parser, and neither reading nor writing leaves a file's permissions changed.
#include "support/CaseTable.h"
#include "synth/Synth.h"
#include "tags/AsfAttributes.h"
#include "tags/WmaTag.h"

#include "support/Printing.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <taglib/asffile.h>

namespace {

using namespace Qt::Literals::StringLiterals;

QByteArray le(quint64 value, int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xFF);
    return bytes;
}

const QByteArray kHeaderGuid = QByteArray::fromHex("d129e2d6da35d111903400a0c90349be");
const QByteArray kAttributeGuid = QByteArray::fromHex("d529e2d6da35d111903400a0c90349be");
// Today's ASF header GUID: a child the fallback skips, a first object it refuses.
const QByteArray kOtherGuid = QByteArray::fromHex("3326b2758e66cf11a6d900aa0062ce6c");

// An object whose size field says `size` (by default the true size).
QByteArray object(const QByteArray& guid, const QByteArray& body, qint64 size = -1) {
    return guid + le(size < 0 ? 24 + body.size() : size, 8) + body;
}

QByteArray units(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// A record whose value length may claim more units than it carries.
QByteArray record(int kind, const QString& name, const QString& value, int valueUnits = -1) {
    return le(kind, 1) + le(0, 4) + le(name.size(), 2) +
           le(valueUnits < 0 ? value.size() : valueUnits, 2) + units(name) + units(value);
}

QByteArray attributes(const QList<QByteArray>& records, int count = -1) {
    return object(kAttributeGuid, le(count < 0 ? records.size() : count, 2) + records.join());
}

// A legacy file: the header object with its children, then audio it never reads.
QByteArray legacyFile(const QByteArray& children, qint64 headerSize = -1) {
    return object(kHeaderGuid, children, headerSize) + QByteArray(4096, '\x5a');
}

struct Expect {
    bool found = true;
    QString title{}, artist{}, album{}, year{}, description{}, genre{};
    int track = 0;
};

void expectFields(const WmaTagInfo& info, const Expect& e) {
    EXPECT_EQ(info.found, e.found);
    EXPECT_EQ(info.title, e.title);
    EXPECT_EQ(info.artist, e.artist);
    EXPECT_EQ(info.album, e.album);
    EXPECT_EQ(info.year, e.year);
    EXPECT_EQ(info.description, e.description);
    EXPECT_EQ(info.genre, e.genre);
    EXPECT_EQ(info.trackNumber, e.track);
}

class WmaTagTest : public ::testing::Test {
  protected:
    QString path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }

    QString write(const char* name, const QByteArray& bytes) const {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    static QByteArray read(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // A two-second WMA file made by FFmpeg with a title and an artist.
    QString ffmpegWma(const char* name) const {
        const QString out = path(name);
        QStringList args =
            u"-nostdin -loglevel error -f lavfi -i sine=d=2 -c:a wmav2"_s.split(u' ');
        args << u"-metadata"_s << u"title=Песня 東京"_s << u"-metadata"_s << u"artist=Artist"_s
             << out;
        const bool made = synth::run(u"ffmpeg"_s, args);
        EXPECT_TRUE(made);
        return out;
    }

    static bool hasFfmpeg() {
        return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
    }

    QTemporaryDir dir_;
};

TEST_F(WmaTagTest, FfmpegFileReadsThroughTheAttributeObject) {
    if (!hasFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    // The fallback knows only the legacy header, so `found` proves the object read it.
    expectFields(readWmaTag(ffmpegWma("x.wma")), {.title = u"Песня 東京"_s, .artist = u"Artist"_s});
}

// Some taggers keep the comment in a "Description" attribute of the extended
// content description, beside an empty one of the content description.
TEST_F(WmaTagTest, DescriptionAttributeStandsInForAnEmptyComment) {
    if (!hasFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const QString file = ffmpegWma("x.wma");
    {
        TagLib::ASF::File asf(QFile::encodeName(file).constData());
        ASSERT_TRUE(asf.isValid());
        asf.tag()->setAttribute("Description", TagLib::ASF::Attribute(TagLib::String("Ext")));
        ASSERT_TRUE(asf.save());
    }
    EXPECT_EQ(readWmaTag(file).description, u"Ext"_s);
}

struct TrackCase {
    const char* name;
    std::optional<AsfValue> trackNumber, track;
    int expected;
};

using WmaTrack = testsupport::CaseTable<WmaTagTest, TrackCase>;

TEST_P(WmaTrack, TrackNumberFallsBackOnTrack) {
    if (!hasFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const QString file = ffmpegWma("x.wma");
    {
        AsfAttributes attributes(file, AsfAttributes::Access::ReadWrite);
        ASSERT_TRUE(attributes.isOpen());
        if (GetParam().trackNumber)
            attributes.set(QStringLiteral("WM/TrackNumber"), *GetParam().trackNumber);
        if (GetParam().track)
            attributes.set(QStringLiteral("WM/Track"), *GetParam().track);
        ASSERT_TRUE(attributes.close());
    }
    EXPECT_EQ(readWmaTag(file).trackNumber, GetParam().expected);
}

AsfValue dword(quint32 n) {
    return {AsfDataType::DWord, asfDWordBytes(n)};
}

INSTANTIATE_TEST_SUITE_P(Tracks, WmaTrack,
                         ::testing::Values(TrackCase{"TrackOnly", {}, dword(7), 7},
                                           TrackCase{"TrackNumberFirst", dword(3), dword(7), 3},
                                           TrackCase{"LowBitsZero", dword(0x10000), dword(7), 7},
                                           TrackCase{"LowBitsKept", dword(0x10005), {}, 5},
                                           TrackCase{"StringIsNoNumber",
                                                     AsfValue{AsfDataType::String,
                                                              asfStringBytes(u"5"_s)},
                                                     {},
                                                     0}),
                         testsupport::CaseName());

// Each text fills every field; a text keeps as many whole characters as a
// string attribute holds.
struct TextCase {
    const char* name;
    QString text;
    int chars;
};

using WmaRoundTrip = testsupport::CaseTable<WmaTagTest, TextCase>;

TEST_P(WmaRoundTrip, WrittenTextsReadBackWholeOrCutAtWholeCharacters) {
    if (!hasFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const QString file = ffmpegWma("x.wma");
    const TextCase& c = GetParam();
    WmaTagInfo tag;
    for (auto* field :
         {&tag.title, &tag.artist, &tag.album, &tag.year, &tag.description, &tag.genre})
        *field = c.text;
    tag.trackNumber = 42;
    ASSERT_TRUE(writeWmaTag(file, tag));
    // Every attribute is set, an empty text too.
    AsfAttributes attributes(file, AsfAttributes::Access::Read);
    for (const char* name : {"Author", "Title", "WM/AlbumTitle", "WM/Year", "Description",
                             "WM/Genre", "WM/TrackNumber"}) {
        AsfValue value;
        EXPECT_EQ(attributes.get(QString::fromUtf8(name), value, 0xFFFF), AsfStatus::Ok) << name;
    }
    const QString cut = c.text.left(c.chars);
    expectFields(readWmaTag(file), {.title = cut,
                                    .artist = cut,
                                    .album = cut,
                                    .year = cut,
                                    .description = cut,
                                    .genre = cut,
                                    .track = 42});
}

INSTANTIATE_TEST_SUITE_P(Texts, WmaRoundTrip,
                         ::testing::Values(TextCase{"Empty", {}, 0},
                                           TextCase{"Cyrillic", u"Группа крови"_s, 12},
                                           TextCase{"Cjk", u"東京事変"_s, 4},
                                           TextCase{"LongAscii", QString(300, u'a'), 300},
                                           TextCase{"LongCjk", QString(2000, u'日'), 2000},
                                           TextCase{"PastAnAttribute", QString(40000, u'a'), 32766},
                                           TextCase{"EmojiPastAnAttribute",
                                                    u"a"_s + QString(u"😀"_s).repeated(20000),
                                                    32765}),
                         testsupport::CaseName());

struct FallbackCase {
    const char* name;
    QByteArray bytes;
    Expect expect;
};

using WmaFallback = testsupport::CaseTable<WmaTagTest, FallbackCase>;

TEST_P(WmaFallback, LegacyFileReadsThroughTheFallback) {
    const QString file = write("legacy.wma", GetParam().bytes);
    const WmaTagInfo info = readWmaTag(file);
    expectFields(info, GetParam().expect);
    if (!GetParam().expect.found) {
        EXPECT_EQ(info, WmaTagInfo{});
    }
}

const QByteArray kTitleChild = attributes({record(2, {}, u"T"_s)});
const QByteArray kArtistChild = attributes({record(1, {}, u"A"_s)});

INSTANTIATE_TEST_SUITE_P(
    Files, WmaFallback,
    ::testing::Values(
        FallbackCase{
            "Kinds",
            legacyFile(attributes({record(1, {}, u"Артист"_s), record(2, {}, u"東京"_s),
                                   record(4, {}, u"D"_s), record(100, u"wm/albumtitle"_s, u"Al"_s),
                                   record(200, u"WM/YEAR"_s, u"2003"_s),
                                   record(150, u"WM/Track"_s, u"65548"_s)})),
            {.title = u"東京"_s,
             .artist = u"Артист"_s,
             .album = u"Al"_s,
             .year = u"2003"_s,
             .description = u"D"_s,
             .track = 12}},
        FallbackCase{
            "LaterWinsNamesNeedKind100",
            legacyFile(attributes({record(2, {}, u"One"_s), record(100, u"WM/Track"_s, u"5"_s),
                                   record(99, u"WM/Year"_s, u"1999"_s), record(3, {}, u"x"_s),
                                   record(2, {}, u"Two"_s), record(100, u"WM/Track"_s, u"7a"_s)})),
            {.title = u"Two"_s}},
        FallbackCase{
            "StringCutAt511Units",
            legacyFile(attributes({record(100, u"WM/Track"_s, QString(510, u' ') + u"7x"_s)})),
            {.track = 7}},
        FallbackCase{"LongTitleKeptWhole",
                     legacyFile(attributes({record(2, {}, QString(200, u'日'))})),
                     {.title = QString(200, u'日')}},
        FallbackCase{
            "StringOver511UnitsSkipsItsRest",
            legacyFile(attributes({record(4, {}, QString(600, u'x')), record(2, {}, u"T"_s)})),
            {.title = u"T"_s, .description = QString(511, u'x')}},
        FallbackCase{"ZeroUnitEndsString",
                     legacyFile(attributes({record(2, {}, u"Ab\0cd"_s)})),
                     {.title = u"Ab"_s}},
        FallbackCase{"OtherChildSkipped",
                     legacyFile(object(kOtherGuid, le(1, 2) + record(1, {}, u"X"_s)) + kTitleChild),
                     {.title = u"T"_s}},
        FallbackCase{"ChildOfSizeZeroStops",
                     legacyFile(kTitleChild + object(kOtherGuid, {}, 0) + kArtistChild),
                     {.title = u"T"_s}},
        FallbackCase{"ChildPastHeaderStops",
                     legacyFile(kTitleChild + kArtistChild,
                                24 + kTitleChild.size() + kArtistChild.size() - 1),
                     {.title = u"T"_s}},
        FallbackCase{"RecordPastItsChildIgnored",
                     legacyFile(kArtistChild +
                                attributes({record(2, {}, u"T"_s), record(1, {}, u"Y"_s, 900)})),
                     {.title = u"T"_s, .artist = u"A"_s}},
        FallbackCase{"CountPastRecords",
                     legacyFile(attributes({record(2, {}, u"T"_s)}, 9) + kArtistChild),
                     {.title = u"T"_s, .artist = u"A"_s}},
        FallbackCase{"ForeignHeaderGuid", object(kOtherGuid, kTitleChild), {.found = false}},
        FallbackCase{"TruncatedHeader", kHeaderGuid.left(10), {.found = false}},
        FallbackCase{"Empty", QByteArray(), {.found = false}}),
    testsupport::CaseName());

// A read-only file stays read-only and, when read, byte for byte the same.
enum class Source { Ffmpeg, Legacy, Noise };
struct PermissionCase {
    const char* name;
    Source source;
    bool write;
    bool written;
};

using WmaPermissions = testsupport::CaseTable<WmaTagTest, PermissionCase>;

TEST_P(WmaPermissions, ReadOnlyFileStaysReadOnly) {
    const PermissionCase& c = GetParam();
    if (c.source == Source::Ffmpeg && !hasFfmpeg())
        GTEST_SKIP() << "ffmpeg is not installed";
    const QString file = c.source == Source::Ffmpeg   ? ffmpegWma("ro.wma")
                         : c.source == Source::Legacy ? write("ro.wma", legacyFile(kTitleChild))
                                                      : write("ro.wma", QByteArray(300, '\x11'));
    const auto readOnly = QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(file, readOnly));
    const QByteArray before = read(file);
    const auto permissions = QFile::permissions(file);
    WmaTagInfo tag;
    tag.title = u"New"_s;
    if (c.write)
        EXPECT_EQ(writeWmaTag(file, tag), c.written);
    else
        EXPECT_EQ(readWmaTag(file).found, c.source != Source::Noise);
    EXPECT_EQ(QFile::permissions(file), permissions);
    EXPECT_FALSE(permissions & QFile::WriteOwner);
    if (!c.written)
        EXPECT_EQ(read(file), before);
    else
        EXPECT_EQ(readWmaTag(file).title, u"New"_s);
}

INSTANTIATE_TEST_SUITE_P(
    Files, WmaPermissions,
    ::testing::Values(PermissionCase{"ReadFfmpeg", Source::Ffmpeg, false, false},
                      PermissionCase{"ReadLegacy", Source::Legacy, false, false},
                      PermissionCase{"ReadNoise", Source::Noise, false, false},
                      PermissionCase{"WriteFfmpeg", Source::Ffmpeg, true, true},
                      PermissionCase{"WriteLegacy", Source::Legacy, true, false},
                      PermissionCase{"WriteNoise", Source::Noise, true, false}),
    testsupport::CaseName());

} // namespace
