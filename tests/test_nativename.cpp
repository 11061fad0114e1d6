// Names as the system spells them: any bytes come back exactly, are shown as
// valid text, and open as a source.
#include "audio/AudioFile.h"
#include "audio/NativeName.h"
#include "audio/SourceFile.h"
#include "synth/Synth.h"

#include <QTemporaryDir>
#include <QUtf8StringView>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

struct NameCase {
    const char* what;
    QByteArray bytes;
    QString shown;
    bool escaped;
};
void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.what;
}

const NameCase kNames[] = {
    {"Latin1Byte", "caf\xe9.ogg", QStringLiteral(u"caf\uFFFD.ogg"), true},
    {"Utf8", "Caf\xc3\xa9 \xd0\x96.ogg", QStringLiteral(u"Café Ж.ogg"), false},
    {"FourByteUtf8", "\xf0\x9f\x8e\xb5.ogg", QStringLiteral(u"\U0001F3B5.ogg"), false},
    {"Overlong", "a\xc0\xaf", QStringLiteral(u"a\uFFFD\uFFFD"), true},
    {"EncodedSurrogate", "\xed\xa0\x80x", QStringLiteral(u"\uFFFD\uFFFD\uFFFDx"), true},
    {"PastUnicode", "\xf4\x90\x80\x80", QStringLiteral(u"\uFFFD\uFFFD\uFFFD\uFFFD"), true},
    {"CutShortAtTheEnd", "x\xe2\x82", QStringLiteral(u"x\uFFFD\uFFFD"), true},
    {"EscapeAfterAPair", "\xf0\x9f\x8e\xb5\xff", QStringLiteral(u"\U0001F3B5\uFFFD"), true},
};

class NativeNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NativeNameTest, GoesBackToItsBytesAndIsShownAsValidText) {
    const NameCase& c = GetParam();
    const QString name = NativeName::fromNative(c.bytes);
    EXPECT_EQ(NativeName::toNative(name), c.bytes);
    EXPECT_EQ(NativeName::toPath(name).native(), c.bytes.toStdString());
    EXPECT_EQ(NativeName::isEscaped(name), c.escaped);
    EXPECT_EQ(NativeName::shown(name), c.shown);
    EXPECT_TRUE(QUtf8StringView(NativeName::shown(name).toUtf8()).isValidUtf8());
    if (!c.escaped) {
        EXPECT_EQ(name, QString::fromUtf8(c.bytes));
    }
}

INSTANTIATE_TEST_SUITE_P(Names, NativeNameTest, ::testing::ValuesIn(kNames),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(SourceFileTest, OpensANameThatIsNotUtf8AndFailsWithTheSystemsReason) {
    QTemporaryDir dir;
    const QString folder = NativeName::fromPath(std::filesystem::path(dir.path().toStdString()));
    const QString name = folder + NativeName::fromNative("/caf\xe9.ogg");
    synth::writeOgg(dir.filePath(QStringLiteral("plain.ogg")), 8000, 8000, 1);
    std::filesystem::copy_file(dir.filePath(QStringLiteral("plain.ogg")).toStdString(),
                               NativeName::toPath(name));

    AudioFile reader;
    reader.OpenRead(name);
    EXPECT_EQ(reader.LengthSamples(), 8000);
    reader.Close();

    SourceFile missing(folder + NativeName::fromNative("/gon\xe9.ogg"));
    QFile missingToo(folder + QStringLiteral("/gone.ogg"));
    EXPECT_FALSE(missing.open(QIODevice::ReadOnly));
    EXPECT_FALSE(missingToo.open(QIODevice::ReadOnly));
    EXPECT_EQ(missing.errorString(), missingToo.errorString());
    std::filesystem::create_directory(
        NativeName::toPath(folder + NativeName::fromNative("/d\xe9")));
    SourceFile folderFile(folder + NativeName::fromNative("/d\xe9"));
    EXPECT_FALSE(folderFile.open(QIODevice::ReadOnly));
}

} // namespace
