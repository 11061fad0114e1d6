// IniFile: reading and writing like the classic private-profile functions, and
// keeping everything else in a file written by another program.
#include "core/IniFile.h"
#include "support/CaseTable.h"
#include "support/IniFixture.h"

#include <QFile>
#include <gtest/gtest.h>

#include <limits>

namespace {

using IniFileTest = IniFixture;

constexpr int IntMin = std::numeric_limits<int>::min();
constexpr int IntMax = std::numeric_limits<int>::max();

// A literal's bytes including any NUL inside it.
template <std::size_t N> QByteArray bytes(const char (&text)[N]) {
    return QByteArray(text, N - 1);
}

// --- integers -----------------------------------------------------------------

struct IntCase {
    const char* stored;
    int expected; // with default 77
};

using IniIntegerTest = testsupport::CaseTable<IniFileTest, IntCase>;

TEST_P(IniIntegerTest, ReadsDecimalHexOrDefault) {
    writeRaw(QByteArray("[Choice]\ntime=") + GetParam().stored + "\n");
    const IniFile ini(path());
    EXPECT_EQ(ini.readInteger(QStringLiteral("Choice"), QStringLiteral("time"), 77),
              GetParam().expected)
        << "stored: \"" << GetParam().stored << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniIntegerTest,
    ::testing::Values(IntCase{"12", 12}, IntCase{"-4", -4}, IntCase{" 7 ", 7}, IntCase{"0x3", 3},
                      IntCase{"0X1f", 31}, IntCase{"0xFFFFFFFF", -1}, IntCase{"", 77},
                      IntCase{"abc", 77}, IntCase{"12abc", 77}, IntCase{"0x", 77},
                      IntCase{"0xZZ", 77}, IntCase{"1.5", 77}, IntCase{"99999999999", 77},
                      IntCase{"0x123456789", 77},
                      // The int range's ends, and one past them.
                      IntCase{"-2147483648", IntMin}, IntCase{"2147483647", IntMax},
                      IntCase{"2147483648", 77}, IntCase{"-2147483649", 77},
                      IntCase{"0x80000000", IntMin}, IntCase{"-0x7FFFFFFF", -IntMax},
                      IntCase{"-0xFFFFFFFF", 1},
                      // The sign after the wrap leaves the range.
                      IntCase{"-0x80000000", IntMax}, IntCase{"9223372036854775808", 77},
                      IntCase{"-9223372036854775808", 77}));

TEST_F(IniFileTest, BooleansAreAnyNonZeroAndWriteAsOneOrZero) {
    writeRaw("[Fade]\nIn=2\nOut=0\nBad=yes\n");
    IniFile ini(path());
    EXPECT_TRUE(ini.readBool(QStringLiteral("Fade"), QStringLiteral("In"), false));
    EXPECT_FALSE(ini.readBool(QStringLiteral("Fade"), QStringLiteral("Out"), true));
    EXPECT_TRUE(ini.readBool(QStringLiteral("Fade"), QStringLiteral("Bad"), true));
    EXPECT_FALSE(ini.readBool(QStringLiteral("Fade"), QStringLiteral("Bad"), false));

    ini.writeBool(QStringLiteral("Fade"), QStringLiteral("In"), true);
    ini.writeBool(QStringLiteral("Fade"), QStringLiteral("Out"), false);
    EXPECT_EQ(readRaw(), QByteArray("[Fade]\nIn=1\nOut=0\nBad=yes\n"));
}

// --- lookups ------------------------------------------------------------------

TEST_F(IniFileTest, MissingFileGivesDefaultsAndIsNotCreated) {
    const IniFile ini(path());
    EXPECT_EQ(ini.readInteger(QStringLiteral("Choice"), QStringLiteral("Count"), 6), 6);
    EXPECT_EQ(ini.readString(QStringLiteral("Output"), QStringLiteral("Dir"), QStringLiteral("x")),
              QStringLiteral("x"));
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(IniFileTest, NamesAreCaseInsensitiveAndSpacesAroundEqualsIgnored) {
    writeRaw("[OGG]\r\nMAX BITRATE = 3\r\n[fade]\r\nintime=9\r\n");
    const IniFile ini(path());
    EXPECT_EQ(ini.readInteger(QStringLiteral("ogg"), QStringLiteral("max bitrate"), 9), 3);
    EXPECT_EQ(ini.readInteger(QStringLiteral("Fade"), QStringLiteral("Intime"), 5), 9);
    // A key of another section is not found.
    EXPECT_EQ(ini.readInteger(QStringLiteral("ogg"), QStringLiteral("Intime"), 5), 5);
}

TEST_F(IniFileTest, FirstOfDuplicateKeysAndSectionsWins) {
    writeRaw("[A]\nk=1\nk=2\n[B]\nk=5\n[a]\nk=3\n");
    const IniFile ini(path());
    EXPECT_EQ(ini.readInteger(QStringLiteral("a"), QStringLiteral("K"), 0), 1);
}

TEST_F(IniFileTest, StringsAreCutAt2047AndQuotesStripped) {
    IniFile ini(path());
    const QString longText(3000, u'x');
    ini.writeString(QStringLiteral("Main"), QStringLiteral("Path"), longText);
    EXPECT_EQ(ini.readString(QStringLiteral("Main"), QStringLiteral("Path"), {}),
              longText.left(2047));

    writeRaw("[Main]\nPath=\"C:\\My Music\\\"\nEmpty=\n");
    EXPECT_EQ(ini.readString(QStringLiteral("Main"), QStringLiteral("Path"), {}),
              QStringLiteral("C:\\My Music\\"));
    EXPECT_EQ(ini.readString(QStringLiteral("Main"), QStringLiteral("Empty"), QStringLiteral("d")),
              QString());
}

struct StringCase {
    QByteArray stored;
    QString expected; // with default "d"
};

using IniStringTest = testsupport::CaseTable<IniFileTest, StringCase>;

TEST_P(IniStringTest, ControlCharactersMakeTheValueMissing) {
    writeRaw("[Output]\nDir=" + GetParam().stored + "\n");
    const IniFile ini(path());
    EXPECT_EQ(ini.readString(QStringLiteral("Output"), QStringLiteral("Dir"), QStringLiteral("d")),
              GetParam().expected)
        << "stored: " << GetParam().stored.toHex(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniStringTest,
    ::testing::Values(StringCase{"/music/out", QStringLiteral("/music/out")},
                      StringCase{"  /a b/c  ", QStringLiteral("/a b/c")},
                      StringCase{"x=y;z#", QStringLiteral("x=y;z#")},
                      StringCase{"Caf\xc3\xa9 \xe2\x80\x93", QStringLiteral("Café –")},
                      StringCase{bytes("/music/out\0/evil"), QStringLiteral("d")},
                      StringCase{bytes("\0"), QStringLiteral("d")},
                      StringCase{"/music/\x01out", QStringLiteral("d")},
                      StringCase{"/music\tout", QStringLiteral("d")},
                      StringCase{"/music/\x1b[31mout", QStringLiteral("d")},
                      StringCase{"/music/out\x7f", QStringLiteral("d")},
                      StringCase{"/music/\xc2\x85out", QStringLiteral("d")}, // U+0085 in UTF-8
                      // Leading and trailing control characters are trimmed
                      // away as white space before the check, as before.
                      StringCase{"\t/music/out\x0b", QStringLiteral("/music/out")}));

TEST_F(IniFileTest, UnicodeValuesRoundTripAndAnsiBytesStillRead) {
    IniFile ini(path());
    const QString name = QStringLiteral("/music/Café – Live/Ж/音楽");
    ini.writeString(QStringLiteral("Output"), QStringLiteral("Dir"), name);
    EXPECT_EQ(ini.readString(QStringLiteral("Output"), QStringLiteral("Dir"), {}), name);

    writeRaw("[Output]\nDir=Caf\xe9\n"); // a Latin-1 file of the classic program
    EXPECT_EQ(ini.readString(QStringLiteral("Output"), QStringLiteral("Dir"), {}),
              QStringLiteral("Café"));
}

// --- writes -------------------------------------------------------------------

TEST_F(IniFileTest, WritesKeepEveryOtherByteOfAForeignFile) {
    const QByteArray before = "; written by hand\r\n"
                              "[Main]\r\n"
                              "Path=C:\\My Music\r\n"
                              "\r\n"
                              "[ogg]\r\n"
                              "max bitrate=3\r\n"
                              "Quality=300\r\n"
                              "\r\n"
                              "[Other]\r\n"
                              "Caf\xe9=b\xe4r\r\n"
                              "line without equals\r\n";
    writeRaw(before);
    IniFile ini(path());
    ini.writeInteger(QStringLiteral("OGG"), QStringLiteral("quality"), 500);
    QByteArray expected = before;
    expected.replace("Quality=300", "quality=500");
    EXPECT_EQ(readRaw(), expected);

    // A new key goes to the end of its own section, before the blank line.
    ini.writeInteger(QStringLiteral("ogg"), QStringLiteral("min bitrate"), 2);
    expected.replace("quality=500\r\n", "quality=500\r\nmin bitrate=2\r\n");
    EXPECT_EQ(readRaw(), expected);

    // A new section is appended after a blank line, with the file's line ends.
    ini.writeString(QStringLiteral("Fade"), QStringLiteral("In"), QStringLiteral("1"));
    expected += "\r\n[Fade]\r\nIn=1\r\n";
    EXPECT_EQ(readRaw(), expected);
}

// --- line ends ----------------------------------------------------------------

struct LineEndCase {
    const char* name;
    QByteArray eol;
    bool finalEol;
};

class IniLineEndTest : public IniFileTest, public ::testing::WithParamInterface<LineEndCase> {
  protected:
    // The text with each '\n' replaced by the case's line end.
    QByteArray styled(QByteArray text) const { return text.replace("\n", GetParam().eol); }
};

TEST_P(IniLineEndTest, ReadsLineByLineAndWritesKeepTheStyle) {
    QByteArray before = styled("; by hand\n[Choice]\ntime=30\nCount=4\n\n[Output]\nDir=/m\n");
    if (!GetParam().finalEol)
        before.chop(GetParam().eol.size());
    writeRaw(before);
    IniFile ini(path());
    EXPECT_EQ(ini.readInteger(QStringLiteral("Choice"), QStringLiteral("time"), 0), 30);
    EXPECT_EQ(ini.readInteger(QStringLiteral("Choice"), QStringLiteral("Count"), 0), 4);
    EXPECT_EQ(ini.readString(QStringLiteral("Output"), QStringLiteral("Dir"), {}),
              QStringLiteral("/m"));

    // An update in place, a key added to the last section and a new section.
    ini.writeInteger(QStringLiteral("choice"), QStringLiteral("TIME"), 31);
    ini.writeString(QStringLiteral("Output"), QStringLiteral("Name"), QStringLiteral("n"));
    ini.writeBool(QStringLiteral("PLM"), QStringLiteral("Skin"), true);
    EXPECT_EQ(readRaw(), styled("; by hand\n[Choice]\nTIME=31\nCount=4\n\n[Output]\nDir=/m\n"
                                "Name=n\n\n[PLM]\nSkin=1\n"));
    EXPECT_EQ(ini.readInteger(QStringLiteral("Choice"), QStringLiteral("time"), 0), 31);
}

INSTANTIATE_TEST_SUITE_P(Styles, IniLineEndTest,
                         ::testing::Values(LineEndCase{"Lf", "\n", true},
                                           LineEndCase{"CrLf", "\r\n", true},
                                           LineEndCase{"Cr", "\r", true},
                                           LineEndCase{"CrNoFinal", "\r", false},
                                           LineEndCase{"LfNoFinal", "\n", false}),
                         testsupport::CaseName());

TEST_F(IniFileTest, MixedLineEndsEachStayAsTheyWere) {
    writeRaw("[A]\r\nk=1\rm=2\n[B]\rx=3");
    IniFile ini(path());
    EXPECT_EQ(ini.readInteger(QStringLiteral("A"), QStringLiteral("m"), 0), 2);
    EXPECT_EQ(ini.readInteger(QStringLiteral("B"), QStringLiteral("x"), 0), 3);
    ini.writeInteger(QStringLiteral("A"), QStringLiteral("k"), 5);
    ini.writeInteger(QStringLiteral("B"), QStringLiteral("y"), 6);
    // Added lines take the file's first line end.
    EXPECT_EQ(readRaw(), QByteArray("[A]\r\nk=5\rm=2\n[B]\rx=3\r\ny=6\r\n"));
}

TEST_F(IniFileTest, FirstWriteCreatesFileAndFolder) {
    IniFile ini(dir.filePath(QStringLiteral("config/sub/VAZOzojoin.ini")));
    ini.writeInteger(QStringLiteral("Function"), QStringLiteral("Choice"), 2);
    QFile f(ini.path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("[Function]\nChoice=2\n"));
}

TEST_F(IniFileTest, FileWithoutFinalLineEndGetsItsKeyAppendedCleanly) {
    writeRaw("[Choice]\r\ntime=10");
    IniFile ini(path());
    ini.writeInteger(QStringLiteral("Choice"), QStringLiteral("Count"), 4);
    EXPECT_EQ(readRaw(), QByteArray("[Choice]\r\ntime=10\r\nCount=4\r\n"));
    ini.writeInteger(QStringLiteral("Choice"), QStringLiteral("time"), 11);
    EXPECT_EQ(ini.readInteger(QStringLiteral("Choice"), QStringLiteral("time"), 0), 11);
}

TEST_F(IniFileTest, LineBreaksInValuesCannotForgeKeys) {
    IniFile ini(path());
    ini.writeString(QStringLiteral("Main"), QStringLiteral("Path"),
                    QStringLiteral("a\r\n[PLM]\nSkin=1"));
    EXPECT_EQ(ini.readInteger(QStringLiteral("PLM"), QStringLiteral("Skin"), 0), 0);
    EXPECT_EQ(ini.readString(QStringLiteral("Main"), QStringLiteral("Path"), {}),
              QStringLiteral("a [PLM] Skin=1"));
}

TEST_F(IniFileTest, RefusedWriteThrowsWithTheFileName) {
    // A folder that cannot exist because a plain file has its name.
    writeRaw("not a folder");
    const QString bad = path() + QStringLiteral("/VAZOzojoin.ini");
    IniFile ini(bad);
    try {
        ini.writeInteger(QStringLiteral("Function"), QStringLiteral("Choice"), 1);
        FAIL() << "no error";
    } catch (const IniWriteError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Unable to write to ") + bad);
    }
    EXPECT_EQ(readRaw(), QByteArray("not a folder"));
}

} // namespace
