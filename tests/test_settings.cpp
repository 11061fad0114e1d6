// LoadSettings / SaveSettings of the nine cached settings: defaults, odd values
// of hand-edited files, the output folder, and a classic file kept intact.
#include "core/IniFile.h"
#include "core/Settings.h"
#include "support/CaseTable.h"
#include "support/IniFixture.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

class SettingsTest : public IniFixture {
  protected:
    CachedSettings load() const {
        CachedSettings s;
        s.splitMode = SplitMode(-99); // loading must overwrite every field
        s.splitSeconds = s.splitCount = s.fadeInSeconds = s.fadeOutSeconds = -99;
        s.fadeIn = s.fadeOut = s.skinOption = true;
        LoadSettings(IniFile(path()), s);
        return s;
    }
    QString sep() const { return QString(QDir::separator()); }
};

void expectDefaults(const CachedSettings& s) {
    EXPECT_EQ(int(s.splitMode), 0);
    EXPECT_EQ(s.outputDir, defaultOutputDir());
    EXPECT_EQ(s.splitSeconds, 60);
    EXPECT_EQ(s.splitCount, 6);
    EXPECT_FALSE(s.fadeIn);
    EXPECT_FALSE(s.fadeOut);
    EXPECT_EQ(s.fadeInSeconds, 5);
    EXPECT_EQ(s.fadeOutSeconds, 5);
    EXPECT_FALSE(s.skinOption);
}

TEST_F(SettingsTest, MissingFileGivesDefaultsCreatesMusicFolderButNotTheFile) {
    const CachedSettings s = load();
    expectDefaults(s);
    EXPECT_TRUE(s.outputDir.endsWith(QDir::separator()));
    EXPECT_TRUE(QDir(s.outputDir).exists());
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(SettingsTest, EmptyFileAndEmptyDirGiveDefaults) {
    writeRaw("");
    expectDefaults(load());
    writeRaw("[Output]\r\nDir=\r\n");
    expectDefaults(load());
}

TEST_F(SettingsTest, SettingsFileLivesInTheConfigurationFolder) {
    EXPECT_TRUE(settingsFilePath().endsWith(QStringLiteral("/VAZOzojoin.ini")));
    EXPECT_TRUE(QDir::isAbsolutePath(settingsFilePath()));
}

// A "Dir" that names no usable folder counts as missing. A NUL would cut the
// name short on its way to the file system and create a folder nobody asked for.
struct DirCase {
    const char* name;
    QByteArray suffix; // after the temporary folder's path
};

using SettingsDirTest = testsupport::CaseTable<SettingsTest, DirCase>;

TEST_P(SettingsDirTest, DamagedDirFallsBackToTheDefaultAndCreatesNothing) {
    const QByteArray base = QDir::toNativeSeparators(dir.path()).toUtf8();
    writeRaw("[Output]\nDir=" + base + GetParam().suffix + "\n");
    expectDefaults(load());
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("Out"))).exists());
}

INSTANTIATE_TEST_SUITE_P(Values, SettingsDirTest,
                         ::testing::Values(DirCase{"Nul", QByteArray("/Out\0Sub", 8)},
                                           DirCase{"NulAtEnd", QByteArray("/Out\0", 5)},
                                           DirCase{"Escape", "/Out\x1b[0m"},
                                           DirCase{"Tab", "/Out\tSub"},
                                           DirCase{"Bell", "/Out\x07"}),
                         testsupport::CaseName());

// --- single values of a hand-edited file ----------------------------------------

struct ValueCase {
    const char* file;
    int CachedSettings::*intField;
    bool CachedSettings::*boolField;
    int expected;
};

using SettingsValueTest = testsupport::CaseTable<SettingsTest, ValueCase>;

TEST_P(SettingsValueTest, LoadsAsStored) {
    writeRaw(GetParam().file);
    const CachedSettings s = load();
    if (GetParam().intField)
        EXPECT_EQ(s.*(GetParam().intField), GetParam().expected) << GetParam().file;
    else
        EXPECT_EQ(s.*(GetParam().boolField), GetParam().expected != 0) << GetParam().file;
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsValueTest,
    ::testing::Values(
        ValueCase{"[Choice]\ntime=abc\n", &CachedSettings::splitSeconds, nullptr, 60},
        ValueCase{"[Choice]\ntime=\n", &CachedSettings::splitSeconds, nullptr, 60},
        ValueCase{"[Choice]\nCount=0x10\n", &CachedSettings::splitCount, nullptr, 16},
        // No range test on load: consumers get the value as stored.
        ValueCase{"[Fade]\nIntime=99\n", &CachedSettings::fadeInSeconds, nullptr, 99},
        ValueCase{"[Fade]\nOuttime=-3\n", &CachedSettings::fadeOutSeconds, nullptr, -3},
        ValueCase{"[Fade]\nIn=2\n", nullptr, &CachedSettings::fadeIn, 1},
        ValueCase{"[Fade]\nOut=x\n", nullptr, &CachedSettings::fadeOut, 0},
        ValueCase{"[PLM]\nSkin=1\n", nullptr, &CachedSettings::skinOption, 1},
        // Bare CR line ends, with and without a final one, and mixed with LF.
        ValueCase{"[Choice]\rtime=30\rCount=4\r", &CachedSettings::splitSeconds, nullptr, 30},
        ValueCase{"[Choice]\rtime=30\rCount=4", &CachedSettings::splitCount, nullptr, 4},
        ValueCase{"[Fade]\rIn=1\nIntime=9\r\n", &CachedSettings::fadeInSeconds, nullptr, 9}));

TEST_F(SettingsTest, SplitModeLoadsAsStored) {
    writeRaw("[Function]\nChoice=0x3\n");
    EXPECT_EQ(load().splitMode, SplitMode::Unification);
    writeRaw("[function]\r\nchoice=2\r\n");
    EXPECT_EQ(load().splitMode, SplitMode::Count);
}

TEST_F(SettingsTest, BareCrFileKeepsItsLineEndsThroughLoadAndSave) {
    writeRaw("[Choice]\rtime=30\r[Someone Else]\rk=v\r");
    IniFile ini(path());
    SaveSettings(ini, load());
    const QByteArray after = readRaw();
    EXPECT_FALSE(after.contains('\n'));
    EXPECT_TRUE(after.contains("[Choice]\rtime=30\rCount=6\r[Someone Else]\rk=v\r"));
    EXPECT_TRUE(after.contains("[PLM]\rSkin=0\r"));
}

// --- the output folder ----------------------------------------------------------

TEST_F(SettingsTest, OutputFolderIsCreatedOneLevelDeepOnly) {
    const QString oneLevel = QDir::toNativeSeparators(dir.filePath(QStringLiteral("Out Café")));
    writeRaw("[Output]\nDir=" + oneLevel.toUtf8() + "\n");
    CachedSettings s = load();
    EXPECT_EQ(s.outputDir, oneLevel + sep());
    EXPECT_TRUE(QDir(oneLevel).exists());

    const QString deep = QDir::toNativeSeparators(dir.filePath(QStringLiteral("a/b/c")));
    writeRaw("[Output]\nDir=" + deep.toUtf8() + "\n");
    s = load();
    EXPECT_EQ(s.outputDir, deep + sep());
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("a"))).exists());
}

TEST_F(SettingsTest, OutputFolderWithFinalSeparatorIsKeptAsIs) {
    const QString withSep = QDir::toNativeSeparators(dir.path()) + sep();
    writeRaw("[Output]\nDir=" + withSep.toUtf8() + "\n");
    EXPECT_EQ(load().outputDir, withSep);
}

TEST_F(SettingsTest, RelativeFolderOfAnotherPlatformFallsBackToMusic) {
    // The classic default names no folder here; it must not create one in the
    // current folder.
    writeRaw("[Output]\r\nDir=C:\\My Music\\\r\n");
    const CachedSettings s = load();
    EXPECT_EQ(s.outputDir, defaultOutputDir());
    EXPECT_FALSE(QDir(QStringLiteral("C:\\My Music\\")).exists());
}

// --- saving ---------------------------------------------------------------------

TEST_F(SettingsTest, SaveWritesEveryKeyIncludingSkinAndBooleansAsOneOrZero) {
    writeRaw("[Fade]\nIn=2\n");
    CachedSettings s = load();
    IniFile ini(path());
    SaveSettings(ini, s);

    const QString text = QString::fromUtf8(readRaw());
    for (const char* line : {"[Function]\nChoice=0\n", "[Choice]\ntime=60\nCount=6\n",
                             "[Fade]\nIn=1\nOut=0\nIntime=5\nOuttime=5\n", "[PLM]\nSkin=0\n"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(line))) << line << "\nin\n"
                                                            << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("[Output]\nDir=") + s.outputDir + u'\n'));

    CachedSettings again;
    LoadSettings(ini, again);
    EXPECT_EQ(again.outputDir, s.outputDir);
    EXPECT_TRUE(again.fadeIn);
}

TEST_F(SettingsTest, ClassicFileKeepsEverythingThroughLoadAndSave) {
    const QString out = QDir::toNativeSeparators(dir.filePath(QStringLiteral("Out")));
    const QByteArray classic = "[main]\r\n"
                               "path=D:\\Music Out\r\n"
                               "[FUNCTION]\r\n"
                               "CHOICE=1\r\n"
                               "[ogg]\r\n"
                               "channel=0\r\n"
                               "frequency=8\r\n"
                               "max bitrate=3\r\n"
                               "min bitrate=1\r\n"
                               "oggvbr=1\r\n"
                               "[Output]\r\n"
                               "dir=" +
                               out.toUtf8() +
                               "\r\n"
                               "[Fade]\r\n"
                               "in=1\r\n"
                               "INTIME=7\r\n"
                               "[Someone Else]\r\n"
                               "key with spaces=value with spaces\r\n";
    writeRaw(classic);

    CachedSettings s = load();
    EXPECT_EQ(int(s.splitMode), 1);
    EXPECT_TRUE(s.fadeIn);
    EXPECT_EQ(s.fadeInSeconds, 7);
    IniFile ini(path());
    SaveSettings(ini, s);

    const QByteArray after = readRaw();
    EXPECT_FALSE(after.contains("\n\n")) << "a bare line end crept in";
    EXPECT_EQ(after.count("\r\n"), after.count('\n')) << "every line keeps CRLF";
    for (const char* kept :
         {"[main]\r\npath=D:\\Music Out\r\n",
          "[ogg]\r\nchannel=0\r\nfrequency=8\r\nmax bitrate=3\r\nmin bitrate=1\r\noggvbr=1\r\n",
          "[Someone Else]\r\nkey with spaces=value with spaces\r\n"})
        EXPECT_TRUE(after.contains(kept)) << kept;
    // Mixed-case keys were updated where they stand, not duplicated.
    EXPECT_EQ(after.toLower().count("choice="), 1);
    EXPECT_EQ(after.toLower().count("intime="), 1);
    EXPECT_EQ(after.toLower().count("[fade]"), 1);
    EXPECT_TRUE(after.contains("[PLM]\r\nSkin=0\r\n"));
    EXPECT_TRUE(
        after.contains((QStringLiteral("Dir=") + out + sep() + QStringLiteral("\r\n")).toUtf8()));

    const IniFile reread(path());
    EXPECT_EQ(reread.readInteger(QStringLiteral("ogg"), QStringLiteral("max bitrate"), 9), 3);
}

TEST_F(SettingsTest, RefusedSaveThrowsUnableToWrite) {
    writeRaw("plain file");
    IniFile ini(path() + QStringLiteral("/VAZOzojoin.ini"));
    CachedSettings s;
    try {
        SaveSettings(ini, s);
        FAIL() << "no error";
    } catch (const IniWriteError& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Unable to write to "))) << e.what();
        EXPECT_TRUE(e.message().endsWith(QStringLiteral("VAZOzojoin.ini")));
    }
}

} // namespace
