#include "audio/MulDiv.h"
#include "joblist/TimeText.h"

#include <gtest/gtest.h>

struct MulDivCase {
    std::int64_t a, b, c, expected;
};
class MulDivTest : public ::testing::TestWithParam<MulDivCase> {};

TEST_P(MulDivTest, RoundsHalvesAwayFromZero) {
    const auto& p = GetParam();
    EXPECT_EQ(MulDiv(p.a, p.b, p.c), p.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MulDivTest,
    ::testing::Values(MulDivCase{52, 1084, 1100, 51}, MulDivCase{52, 1014, 1100, 48},
                      MulDivCase{1, 1, 2, 1}, MulDivCase{-1, 1, 2, -1}, MulDivCase{1, -3, 2, -2},
                      MulDivCase{3, 1, 2, 2}, MulDivCase{5, 1, 4, 1}, MulDivCase{7, 0, 3, 0},
                      MulDivCase{100, 200, 0, -1}, MulDivCase{-7, -1, 2, 4},
                      // 64-bit product: an hour of 48 kHz audio in milliseconds.
                      MulDivCase{3600000LL, 172800000LL, 3600000LL, 172800000LL},
                      MulDivCase{10000, 2147483647LL, 10000, 2147483647LL}));

struct FormatCase {
    std::int32_t seconds;
    const char* text;
};
class FormatTimeTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTimeTest, Formats) {
    EXPECT_EQ(formatTime(GetParam().seconds), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Cases, FormatTimeTest,
                         ::testing::Values(FormatCase{0, "00:00:00"}, FormatCase{3725, "01:02:05"},
                                           FormatCase{360000, "100:00:00"},
                                           FormatCase{-5, "00:00:-05"},
                                           FormatCase{-3725, "-01:-02:-05"},
                                           FormatCase{59, "00:00:59"}));

TEST(cleanFileName, RemovesOnlyTheNineCharactersAndTheControls) {
    EXPECT_EQ(cleanFileName(QStringLiteral("a*b?c|d:e\"f/g\\h<i>j")), QStringLiteral("abcdefghij"));
    EXPECT_EQ(cleanFileName(QStringLiteral("Café – Live. 東京 (1)\u00a0")),
              QStringLiteral("Café – Live. 東京 (1)\u00a0"));
    // C0 (the NUL, tab, line ends, escape among them), DEL and C1.
    const QString controls =
        QString(QChar(0)) + QStringLiteral("\t\n\r\v\f\x1b\x1f\x7f\u0080\u0085\u009f");
    EXPECT_EQ(cleanFileName(QStringLiteral("pre") + controls + QStringLiteral("post")),
              QStringLiteral("prepost"));
}
