#include <settings/cryption.h>

#include <core/ansi.h>

#include <scriptedboxes.h>

#include <QRegularExpression>

#include <gtest/gtest.h>

using modCryption::DecryptPWD;
using modCryption::EncryptPWD;

namespace {

bool isStoredForm(const QString& text)
{
    static const QRegularExpression hexPairs(QStringLiteral("^([0-9A-F]{2})+$"));
    return hexPairs.match(text).hasMatch();
}

} // namespace

TEST(modCryption, KnownValuesAndTheKeyCycle)
{
    ScriptedBoxes boxes;
    // "a" (97) with "w" (119) gives 108; the added blank (32) with "a" (97) gives 64.5.
    // Intermediate " 108 64.5", reversed "5.46 801 ", then hexadecimal.
    EXPECT_EQ(EncryptPWD(QStringLiteral("a")), QStringLiteral("352E34362038303120"));
    // The empty text scrambles the added blank alone: (32 + 119) / 2 = 75.5.
    EXPECT_EQ(EncryptPWD(QString()), QStringLiteral("352E353720"));
    // The seventh character takes the key's first letter again ("a" + "w" = 108), and the
    // added blank the second ("a": 64.5); with six characters the blank takes "w" (75.5)
    // after "a" + "t" (106.5).
    EXPECT_TRUE(
        EncryptPWD(QStringLiteral("aaaaaaa")).startsWith(QStringLiteral("352E343620383031")));
    EXPECT_TRUE(
        EncryptPWD(QStringLiteral("aaaaaa")).startsWith(QStringLiteral("352E353720352E363031")));
    EXPECT_EQ(DecryptPWD(EncryptPWD(QStringLiteral("abcdefg"))), QStringLiteral("abcdefg"));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST(modCryption, EveryAnsiCharacterRoundTrips)
{
    ScriptedBoxes boxes;
    for (int code = 1; code < 256; ++code) {
        const QString text = QStringLiteral("x") + Ansi::charOf(code) + QStringLiteral("y");
        const QString stored = EncryptPWD(text);
        EXPECT_TRUE(isStoredForm(stored)) << code;
        EXPECT_EQ(DecryptPWD(stored), text) << code;
    }
    for (int length : {1, 6, 7, 40}) {
        QString text;
        for (int i = 0; i < length; ++i)
            text += QChar(u'!' + (i * 7) % 90);
        EXPECT_EQ(DecryptPWD(EncryptPWD(text)), text) << length;
        EXPECT_EQ(EncryptPWD(text), EncryptPWD(text));
    }
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST(modCryption, BlanksAreTrimmedAndEmptyScramblesToSomething)
{
    ScriptedBoxes boxes;
    EXPECT_EQ(DecryptPWD(EncryptPWD(QStringLiteral("  pass word  "))), QStringLiteral("pass word"));
    const QString empty = EncryptPWD(QString());
    EXPECT_FALSE(empty.isEmpty());
    EXPECT_TRUE(isStoredForm(empty));
    EXPECT_EQ(DecryptPWD(empty), QString());
    EXPECT_EQ(DecryptPWD(QString()), QString());
    // A tab is data, not a blank.
    EXPECT_EQ(DecryptPWD(EncryptPWD(QStringLiteral("\tpw\t"))), QStringLiteral("\tpw\t"));
    EXPECT_EQ(DecryptPWD(EncryptPWD(QStringLiteral("ADMIN")).toLower()), QStringLiteral("ADMIN"));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST(modCryption, BadStoredValuesGiveBoxesNeverACrash)
{
    ScriptedBoxes boxes;
    // A clear-text password left in the settings: every pair is not hexadecimal.
    EXPECT_EQ(DecryptPWD(QStringLiteral("secret")), QString());
    ASSERT_EQ(boxes.shown.size(), 3);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("13; Type mismatch\r\n\nIn Procedure: modCryption.DecryptPWD.\r\n\n"
                             "Please contact Norvane if the error occurs frequenly."));
    boxes.shown.clear();

    // One bad pair in an otherwise good value is skipped; the rest still decodes.
    const QString good = EncryptPWD(QStringLiteral("ab"));
    const QString damaged = QStringLiteral("ZZ") + good;
    DecryptPWD(damaged);
    EXPECT_EQ(boxes.shown.size(), 1);
    boxes.shown.clear();

    // Codes outside 0 to 255 are left out silently: "999" doubled less a key code.
    const QString wide =
        EncryptPWD(QStringLiteral("a")).replace(QStringLiteral("3830"), QStringLiteral("3939"));
    EXPECT_NO_THROW(DecryptPWD(wide));
    EXPECT_NO_THROW(DecryptPWD(QStringLiteral("F")));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST(modCryption, LengthLimitsAndForeignCharactersAreReported)
{
    ScriptedBoxes boxes;
    EXPECT_EQ(EncryptPWD(QString(32767, QLatin1Char('a'))), QString());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("6; Overflow\r\n")));
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("modCryption.EncryptPWD")));

    EXPECT_EQ(DecryptPWD(QString(32767, QLatin1Char('A'))), QString());
    EXPECT_EQ(boxes.shown.size(), 2);

    // A character the code page does not have cannot be scrambled and restored.
    EXPECT_EQ(EncryptPWD(QStringLiteral("pa\u0394ss")), QString());
    EXPECT_EQ(boxes.shown.size(), 3);
    EXPECT_TRUE(boxes.shown[2].text.startsWith(QStringLiteral("5; ")));
}
