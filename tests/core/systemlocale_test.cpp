// The one locale rule: what a person types is read as the system's locale writes it, in each
// locale a clerk may have, and nothing else is taken.
#include <core/systemlocale.h>

#include <QDate>

#include <gtest/gtest.h>

namespace {

struct LocaleCase
{
    const char* name;
    QStringList dates;    // each 6 December 2026
    QStringList notDates; // the other locales' forms among them
    QStringList amounts;  // each 1234.5
    QStringList notAmounts;
};

void PrintTo(const LocaleCase& c, std::ostream* os)
{
    *os << c.name;
}

class SystemLocaleRule : public ::testing::TestWithParam<LocaleCase>
{
protected:
    void SetUp() override { SystemLocale::setLocale(QLocale(QLatin1String(GetParam().name))); }
    void TearDown() override
    {
        SystemLocale::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    }
};

TEST_P(SystemLocaleRule, TakesTheLocalesFormsAndNothingElse)
{
    const LocaleCase& c = GetParam();
    const QDate date(2026, 12, 6);
    // What the locale shows reads back as the same date.
    EXPECT_EQ(SystemLocale::parseDate(SystemLocale::shortDate(date)), date)
        << SystemLocale::shortDate(date).toStdString();
    EXPECT_TRUE(SystemLocale::shortDate(date).contains(QLatin1String("2026")));
    for (const QString& text : c.dates + QStringList{QStringLiteral("2026-12-06")})
        EXPECT_EQ(SystemLocale::parseDate(text), date) << text.toStdString();
    for (const QString& text :
         c.notDates + QStringList{QStringLiteral("31 Feb 2026"), QStringLiteral("0/0/0"),
                                  QStringLiteral("abc"), QString(), QStringLiteral("12/6/10000")})
        EXPECT_FALSE(SystemLocale::parseDate(text).isValid()) << text.toStdString();
    for (const QString& text : c.amounts)
        EXPECT_EQ(SystemLocale::parseNumber(text), std::optional<double>(1234.5))
            << text.toStdString();
    for (const QString& text : c.notAmounts + QStringList{QStringLiteral("12x"), QString()})
        EXPECT_FALSE(SystemLocale::parseNumber(text).has_value()) << text.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    ClerksLocales, SystemLocaleRule,
    ::testing::Values(LocaleCase{"C",
                                 {"6 Dec 2026", "06 Dec 2026", "12/6/2026", "12/06/26"},
                                 {"6.12.2026", "13/6/2026"},
                                 {"1234.5", "1,234.50"},
                                 {"1.234,5", "1234,5"}},
                      LocaleCase{"en_US",
                                 {"12/6/2026", "12/06/2026", "12/6/26"},
                                 {"6.12.2026", "13/6/2026"},
                                 {"1234.5", "1,234.50"},
                                 {"1.234,5", "1234,5"}},
                      LocaleCase{"en_GB",
                                 {"06/12/2026", "6/12/2026", "6/12/26"},
                                 {"12/31/2026", "6.12.2026"},
                                 {"1234.5", "1,234.50"},
                                 {"1.234,5"}},
                      LocaleCase{"de_DE",
                                 {"06.12.2026", "6.12.2026", "06.12.26"},
                                 {"12/6/2026", "6 Dec 2026"},
                                 {"1234,5", "1.234,50"},
                                 {"1,234.50", "1234.5"}},
                      LocaleCase{"fr_FR",
                                 {"06/12/2026", "6/12/2026", "06/12/26"},
                                 {"12/31/2026", "6.12.2026"},
                                 {"1234,5", "1 234,50"},
                                 {"1,234.50", "1.234,5"}}),
    [](const ::testing::TestParamInfo<LocaleCase>& info) { return std::string(info.param.name); });

} // namespace
