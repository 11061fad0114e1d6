// IniFile: reading and writing like the classic private-profile functions, and
// keeping everything else in a file written by another program.
#include "core/IniFile.h"
#include "support/IniFixture.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

using IniFileTest = IniFixture;

// --- integers -----------------------------------------------------------------

struct IntCase {
    const char* stored;
    int expected; // with default 77
};

class IniIntegerTest : public IniFileTest, public ::testing::WithParamInterface<IntCase> {};

TEST_P(IniIntegerTest, ReadsDecimalHexOrDefault) {
    writeRaw(QByteArray("[Choice]\ntime=") + GetParam().stored + "\n");
    const IniFile ini(path());
    EXPECT_EQ(ini.readInteger(QStringLiteral("Choice"), QStringLiteral("time"), 77),
              GetParam().expected)
        << "stored: \"" << GetParam().stored << '"';
}

INSTANTIATE_TEST_SUITE_P(Values, IniIntegerTest,
                         ::testing::Values(IntCase{"12", 12}, IntCase{"-4", -4}, IntCase{" 7 ", 7},
                                           IntCase{"0x3", 3}, IntCase{"0X1f", 31},
                                           IntCase{"0xFFFFFFFF", -1}, IntCase{"", 77},
                                           IntCase{"abc", 77}, IntCase{"12abc", 77},
                                           IntCase{"0x", 77}, IntCase{"0xZZ", 77},
                                           IntCase{"1.5", 77}, IntCase{"99999999999", 77},
                                           IntCase{"0x123456789", 77}));

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
