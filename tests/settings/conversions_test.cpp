#include <settings/settings.h>
#include <system/comerror.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

// The number and description of the error f throws, or 0 if it throws nothing.
std::pair<std::int32_t, QString> errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const ComError& e) {
        return {e.number(), e.description()};
    }
    return {0, QString()};
}

} // namespace

TEST(SettingConversions, Numbers)
{
    const struct
    {
        const char* text;
        double number;
    } good[] = {{"2", 2},    {" 2 ", 2},    {"-1", -1}, {"+7", 7}, {"1.5", 1.5},
                {".5", 0.5}, {"1e3", 1000}, {"0", 0},   {"007", 7}};
    for (const auto& g : good)
        EXPECT_DOUBLE_EQ(Setting::toNumber(QString::fromLatin1(g.text)), g.number) << g.text;

    for (const char* bad : {"", " ", "abc", "2x", "1,5", "1 000", "inf", "nan", "0x10", "--1"}) {
        const auto [number, description] =
            errorOf([&] { Setting::toNumber(QString::fromLatin1(bad)); });
        EXPECT_EQ(number, ComErrorNumber::TypeMismatch) << bad;
        EXPECT_EQ(description, QStringLiteral("Type mismatch")) << bad;
    }
}

TEST(SettingConversions, IntegersRoundHalvesToEven)
{
    const struct
    {
        const char* text;
        int number;
    } good[] = {{"2", 2},
                {"2.5", 2},
                {"3.5", 4},
                {"-2.5", -2},
                {"2.6", 3},
                {"-0.4", 0},
                {"2147483647", 2147483647},
                {"-2147483648", -2147483647 - 1}};
    for (const auto& g : good)
        EXPECT_EQ(Setting::toInteger(QString::fromLatin1(g.text)), g.number) << g.text;

    EXPECT_EQ(errorOf([] { Setting::toInteger(QStringLiteral("2147483648")); }).first,
              ComErrorNumber::Overflow);
    EXPECT_EQ(errorOf([] { Setting::toInteger(QStringLiteral("-1e12")); }).second,
              QStringLiteral("Overflow"));
    EXPECT_EQ(errorOf([] { Setting::toInteger(QStringLiteral("two")); }).first,
              ComErrorNumber::TypeMismatch);
}

TEST(SettingConversions, Booleans)
{
    const struct
    {
        const char* text;
        bool value;
    } good[] = {{"True", true}, {"False", false},   {"-1", true}, {"0", false},
                {"true", true}, {" FALSE ", false}, {"1", true},  {"0.0", false}};
    for (const auto& g : good)
        EXPECT_EQ(Setting::toBoolean(QString::fromLatin1(g.text)), g.value) << g.text;
    for (const char* bad : {"", "Yes", "No", "T", "Truely"}) {
        const auto [number, description] =
            errorOf([&] { Setting::toBoolean(QString::fromLatin1(bad)); });
        EXPECT_EQ(number, ComErrorNumber::TypeMismatch) << bad;
        EXPECT_EQ(description, QStringLiteral("Type mismatch")) << bad;
    }
    EXPECT_TRUE(Setting::toBoolean(Setting::fromBoolean(true)));
    EXPECT_FALSE(Setting::toBoolean(Setting::fromBoolean(false)));
}
