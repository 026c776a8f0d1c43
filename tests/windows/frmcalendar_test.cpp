// The drop-down month calendar over a real date box, on the offscreen platform.
#include <windows/frmcalendar.h>

#include "ui_frmcalendar.h"

#include <core/systemlocale.h>
#include <core/twips.h>

#include <vrexeditbox/vrexeditbox.h>

#include <scriptedboxes.h>

#include <QCalendarWidget>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Every test runs in each locale of LocalesOfTheWindows.
class CalendarTest : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        SystemLocale::setLocale(QLocale(QLatin1String(GetParam())));
        host.resize(400, 300);
        box = new VrexEditbox(&host);
        box->setEditType(VrexEditbox::Date_Sys);
        box->setGeometry(20, 20, 100, 22);
        host.show();
        host.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    }

    // Shows the calendar modally for the box; `whileShown` runs once it is on the screen.
    void showCalendar(const QDate& start, const std::function<void(frmCalendar&)>& whileShown)
    {
        frmCalendar calendar(&host);
        calendar.dssFormTop = 1500;
        calendar.dssFormLeft = 3000;
        calendar.dssControl = box;
        calendar.dssStartDate = start;
        bool ran = false;
        QTimer::singleShot(0, &calendar, [&] {
            ran = true;
            seenDate = calendar.ui()->mvwCal->selectedDate();
            seenPosition = calendar.pos();
            whileShown(calendar);
        });
        calendar.exec();
        EXPECT_TRUE(ran);
        EXPECT_FALSE(calendar.isVisible());
    }

    // Clicks the cell of `date` in the month the calendar shows.
    static void clickDate(frmCalendar& calendar, const QDate& date)
    {
        calendar.ui()->mvwCal->setSelectedDate(date);
        auto* view = calendar.ui()->mvwCal->findChild<QTableView*>();
        ASSERT_NE(view, nullptr);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(view->currentIndex()).center());
    }

    ScriptedBoxes boxes;
    QWidget host;
    VrexEditbox* box = nullptr;
    QDate seenDate;
    QPoint seenPosition;
};

// The calendar opens at the given place (plus 45 and 15 twips), on the start date, and a
// clicked date lands in the box in the short date format.
TEST_P(CalendarTest, AClickedDateIsWrittenIntoTheBox)
{
    showCalendar(QDate(2026, 3, 14),
                 [](frmCalendar& calendar) { clickDate(calendar, QDate(2026, 3, 20)); });
    EXPECT_EQ(seenDate, QDate(2026, 3, 14));
    EXPECT_EQ(seenPosition, QPoint(Twips::toPixels(3045, host.logicalDpiX()),
                                   Twips::toPixels(1515, host.logicalDpiY())));
    EXPECT_EQ(box->text(), SystemLocale::shortDate(QDate(2026, 3, 20)));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

// Without a start date the calendar shows today; a click outside it hides it and leaves
// the box as it was.
TEST_P(CalendarTest, AClickOutsideHidesItWithoutChangingTheBox)
{
    box->setText(QStringLiteral("not a date"));
    showCalendar(QDate(), [this](frmCalendar& calendar) {
        const QPoint outside = calendar.mapFromGlobal(host.mapToGlobal(QPoint(390, 290)));
        QTest::mouseClick(&calendar, Qt::LeftButton, {}, outside);
    });
    EXPECT_EQ(seenDate, QDate::currentDate());
    EXPECT_EQ(box->text(), QStringLiteral("not a date"));
}

// The focus moving out of the calendar hides it too.
TEST_P(CalendarTest, LosingTheFocusHidesIt)
{
    box->setText(SystemLocale::shortDate(QDate(2026, 1, 2)));
    showCalendar(QDate(2026, 1, 2), [&](frmCalendar& calendar) {
        EXPECT_TRUE(calendar.isVisible());
        box->innerEdit()->setFocus(Qt::OtherFocusReason);
    });
    EXPECT_EQ(box->text(), SystemLocale::shortDate(QDate(2026, 1, 2)));
}

// The window is exactly the size of its month calendar.
TEST_P(CalendarTest, TheWindowIsTheCalendar)
{
    frmCalendar calendar(&host);
    EXPECT_EQ(calendar.size(), calendar.ui()->mvwCal->size());
    EXPECT_EQ(calendar.ui()->mvwCal->pos(), QPoint(0, 0));
}

INSTANTIATE_TEST_SUITE_P(LocalesOfTheWindows, CalendarTest,
                         ::testing::Values("en_US", "de_DE", "C"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

} // namespace
