// Names as the system spells them: any bytes come back exactly, and are shown
// as valid text.
#include "audio/NativeName.h"

#include <QUtf8StringView>
#include <gtest/gtest.h>

namespace {

struct NameCase {
    const char* what;
    QByteArray bytes;
    QString shown;
};

const NameCase kNames[] = {
    {"Latin1Byte", "caf\xe9.ogg", QStringLiteral(u"caf\uFFFD.ogg")},
    {"Utf8", "Caf\xc3\xa9 \xf0\x9f\x8e\xb5.ogg", QStringLiteral(u"Café \U0001F3B5.ogg")},
    {"Overlong", "a\xc0\xaf", QStringLiteral(u"a\uFFFD\uFFFD")},
    {"EncodedSurrogate", "\xed\xa0\x80x", QStringLiteral(u"\uFFFD\uFFFD\uFFFDx")},
    {"PastUnicode", "\xf4\x90\x80\x80", QStringLiteral(u"\uFFFD\uFFFD\uFFFD\uFFFD")},
    {"CutShort", "x\xe2\x82", QStringLiteral(u"x\uFFFD\uFFFD")},
    {"AfterAPair", "\xf0\x9f\x8e\xb5\xff", QStringLiteral(u"\U0001F3B5\uFFFD")},
};

class NativeNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NativeNameTest, GoesBackToItsBytesAndIsShownAsValidText) {
    const NameCase& c = GetParam();
    const QString name = NativeName::fromNative(c.bytes);
    EXPECT_EQ(NativeName::toNative(name), c.bytes);
    EXPECT_EQ(NativeName::toPath(name).native(), c.bytes.toStdString());
    const bool valid = QUtf8StringView(c.bytes).isValidUtf8();
    EXPECT_EQ(NativeName::isEscaped(name), !valid);
    EXPECT_EQ(NativeName::shown(name), c.shown);
    EXPECT_EQ(name == QString::fromUtf8(c.bytes), valid); // Qt's reading where it is sound
}

INSTANTIATE_TEST_SUITE_P(Names, NativeNameTest, ::testing::ValuesIn(kNames),
                         [](const auto& info) { return std::string(info.param.what); });

} // namespace
