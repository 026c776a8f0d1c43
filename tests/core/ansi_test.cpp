#include <core/ansi.h>

#include <gtest/gtest.h>

TEST(Ansi, EveryCodeRoundTripsAndTheHighRangeIsWindows1252)
{
    for (int code = 0; code < 256; ++code)
        EXPECT_EQ(Ansi::codeOf(Ansi::charOf(code)), code) << code;
    EXPECT_EQ(Ansi::charOf(0x80), QChar(0x20AC)); // euro sign
    EXPECT_EQ(Ansi::charOf(0x9F), QChar(0x0178)); // Y with diaeresis
    EXPECT_EQ(Ansi::charOf(0xE9), QChar(0x00E9)); // e acute, as in Latin-1
    EXPECT_EQ(Ansi::codeOf(QChar(0x0394)), -1);   // Greek capital delta: not in the code page
    EXPECT_EQ(Ansi::fromUnicode(QStringLiteral("a\u20ACb\u0394")), QByteArray("a\x80"
                                                                              "b?"));
    EXPECT_EQ(Ansi::toUnicode(QByteArray("\x93ok\x94")), QStringLiteral("\u201Cok\u201D"));
}
