// Number and date texts as the edit box reads and writes them.
#include "localesource.h"
#include "textformat.h"

#include <gtest/gtest.h>

using namespace vrex;

TEST(TextFormat, NumbersAreReadStrictly)
{
    const VrexLocaleValues us;
    for (const char* good : {"0", "12", "-12", "+1.5", ".5", "5.", " 7 ", "1,234.5", "0001"})
        EXPECT_TRUE(isNumber(QString::fromUtf8(good), us)) << good;
    for (const char* bad : {"", "-", "+", ".", "1.2.3", "1e5", "12a", "1,23", ",123", "--1", "$5"})
        EXPECT_FALSE(isNumber(QString::fromUtf8(bad), us)) << bad;
    const auto n = parseNumber(QStringLiteral("-0012.50"), us);
    ASSERT_TRUE(n);
    EXPECT_TRUE(n->negative);
    EXPECT_EQ(n->integerDigits, QStringLiteral("12"));
    EXPECT_EQ(n->fractionDigits, QStringLiteral("50"));
}

TEST(TextFormat, RoundingIsHalfAwayFromZeroOnTheDecimalText)
{
    const VrexLocaleValues us;
    auto fixed = [&](const char* text, int digits) {
        return formatFixed(*parseNumber(QString::fromUtf8(text), us), digits, us).toStdString();
    };
    EXPECT_EQ(fixed("1.005", 2), "1.01");
    EXPECT_EQ(fixed("2.5", 0), "3");
    EXPECT_EQ(fixed("-2.5", 0), "-3");
    EXPECT_EQ(fixed("999.999", 2), "1000.00");
    EXPECT_EQ(fixed(".4", 0), "0");
    EXPECT_EQ(fixed("-.4", 0), "0");
    EXPECT_EQ(fixed("1", 3), "1.000");
}

TEST(TextFormat, CurrencySymbolPositions)
{
    VrexLocaleValues v;
    const DecimalNumber n = *parseNumber(QStringLiteral("1234.5"), v);
    const char* expected[] = {"$1,234.50", "1,234.50$", "$ 1,234.50", "1,234.50 $"};
    for (int position = 0; position < 4; ++position) {
        v.currencyPosition = position;
        EXPECT_EQ(formatCurrency(n, 2, v, true).toStdString(), expected[position]);
    }
    EXPECT_EQ(formatCurrency(n, 2, v, false).toStdString(), "1,234.50");
}

TEST(TextFormat, LocaleValuesFromQtLocale)
{
    const VrexLocaleValues us =
        QtLocaleSource::valuesFor(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(us.currencySymbol, QStringLiteral("$"));
    EXPECT_EQ(us.currencyDigits, 2);
    EXPECT_EQ(us.currencyPosition, 0);
    EXPECT_EQ(us.shortDatePattern, QStringLiteral("M/d/yyyy"));
    EXPECT_EQ(us.dateSeparator, QStringLiteral("/"));
    EXPECT_EQ(us.decimalPoint, QStringLiteral("."));
    EXPECT_EQ(us.groupSeparator, QStringLiteral(","));

    const VrexLocaleValues de =
        QtLocaleSource::valuesFor(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(de.currencySymbol, QStringLiteral("€"));
    EXPECT_EQ(de.currencyPosition, 3);
    EXPECT_EQ(de.dateSeparator, QStringLiteral("."));
    EXPECT_EQ(de.decimalPoint, QStringLiteral(","));

    const VrexLocaleValues jp =
        QtLocaleSource::valuesFor(QLocale(QLocale::Japanese, QLocale::Japan));
    EXPECT_EQ(jp.currencyDigits, 0);
}

TEST(TextFormat, DatesInTheLocaleOrder)
{
    VrexLocaleValues v;
    EXPECT_EQ(parseLocaleDate(QStringLiteral("2/29/24"), v, 50, 2026), QDate(2024, 2, 29));
    EXPECT_EQ(parseLocaleDate(QStringLiteral("2/28/51"), v, 50, 2026), QDate(1951, 2, 28));
    EXPECT_FALSE(parseLocaleDate(QStringLiteral("2/29/2023"), v, 50, 2026));
    EXPECT_EQ(formatLocaleDate(QDate(2026, 1, 5), v), QStringLiteral("1/5/2026"));
    v.shortDatePattern = QStringLiteral("d/M/y");
    EXPECT_EQ(formatLocaleDate(QDate(2026, 1, 5), v), QStringLiteral("5/1/26"));
    EXPECT_TRUE(isDateOrTime(QStringLiteral("11:59 PM"), v, 50, 2026));
    EXPECT_TRUE(isDateOrTime(QStringLiteral("23:59"), v, 50, 2026));
    EXPECT_FALSE(isDateOrTime(QStringLiteral("13:00 PM"), v, 50, 2026));
    EXPECT_FALSE(isDateOrTime(QStringLiteral("12:60"), v, 50, 2026));
}
