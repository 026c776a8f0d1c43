#include <core/displaydate.h>
#include <core/systemlocale.h>

#include <scriptedboxes.h>

#include <QDate>

#include <gtest/gtest.h>

namespace {

struct DateCase
{
    QVariant value;
    QString shown;
};

} // namespace

TEST(Display_Date, EmptyForNoDateAndShortDateOtherwise)
{
    SystemLocale::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    ScriptedBoxes boxes;
    const std::vector<DateCase> cases = {
        {QVariant(), QString()},
        {QVariant(QString()), QString()},
        {QStringLiteral("   "), QString()},
        {QDate(1899, 12, 31), QString()},
        {QStringLiteral("31 December 1899"), QString()},
        {QStringLiteral("1/1/1900"), QString()},
        {QStringLiteral("12:00.00 AM"), QString()},
        {QDate(1900, 1, 2), QStringLiteral("1/2/1900")},
        {QStringLiteral("2 January 1900"), QStringLiteral("1/2/1900")},
        {QStringLiteral(" 12/8/2026 "), QStringLiteral("12/8/2026")},
        {QStringLiteral("12/8/26"), QStringLiteral("12/8/2026")},
        {QStringLiteral("2026-12-08"), QStringLiteral("12/8/2026")},
        {QDateTime(QDate(2026, 12, 8), QTime(14, 30)), QStringLiteral("12/8/2026")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(modGeneral::Display_Date(c.value), c.shown) << c.value.toString().toStdString();
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST(Display_Date, TextThatIsNoDateIsReported)
{
    SystemLocale::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    ScriptedBoxes boxes;
    EXPECT_EQ(modGeneral::Display_Date(QStringLiteral("not a date")), QString());
    EXPECT_EQ(modGeneral::Display_Date(QStringLiteral("13/45/2026")), QString());
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Tallymerge Error"));
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("13; Type mismatch\r\n\nIn Procedure: modGeneral.Display_Date.\r\n\n"
                             "Please contact Norvane if the error occurs frequenly."));
}
