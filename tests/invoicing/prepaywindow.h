#pragma once

#include "invoicetesting.h"

#include "ui_frmmain.h"
#include "ui_frmprepay.h"

#include <invoicing/frmprepay.h>
#include <windows/frmcalendar.h>

#include "ui_frmcalendar.h"

#include <core/appstate.h>
#include <core/displaydate.h>
#include <core/systemlocale.h>

#include <QApplication>
#include <QCalendarWidget>
#include <QLineEdit>
#include <QPointer>
#include <QTableView>
#include <QTest>
#include <QTimer>

// The main window over a company with two shipments of customer 1200 (20.00 and 30.00, with
// lines) and one of customer 1300; both rows of 1200 ticked through the grid, and the
// prepayment window opened from the toolbar as the clerk does. Every test runs in each
// locale of LocalesOfTheWindows.
class PrepayWindowTest : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        SystemLocale::setLocale(QLocale(QLatin1String(GetParam())));
        modGeneral::PendingPrepayment = {};
        fixture = std::make_unique<MainWindowFixture>(QList<TestOrder>{
            lined(InvoiceTesting::order("ORD1", "SH1", 20)),
            lined(InvoiceTesting::order("ORD2", "SH2", 30)),
            lined(InvoiceTesting::order("ORD3", "SH3", 15, QStringLiteral("1300")))});
        // The delivery charge's item is configured; it applies only where a test switches
        // the charge on.
        Setting::save(Setting::DelCharge, QStringLiteral("DEL"));
        frmMain& w = fixture->open();
        w.show();
        for (const int row : {1, 2})
            clickCell(row, 0);
        ASSERT_EQ(w.selCustomer(), QStringLiteral("1200"));
    }
    void TearDown() override
    {
        for (frmPrepay* open : main().findChildren<frmPrepay*>())
            delete open;
        fixture.reset();
        modGeneral::PendingPrepayment = {};
    }

    static TestOrder lined(TestOrder order)
    {
        order.withLines = true;
        return order;
    }

    void clickCell(int row, int col)
    {
        OrderGrid* grid = main().ui()->flgMain;
        const QRect cell = grid->visualRect(grid->model()->index(row - 1, col));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }

    // The toolbar's Prepayment button, and the window it opened, active.
    frmPrepay& openPrepay()
    {
        main().toolbarButton(QStringLiteral("Prepayment"))->trigger();
        window = main().findChild<frmPrepay*>();
        EXPECT_NE(window, nullptr);
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        return *window;
    }
    Ui::frmPrepay& ui() { return *window->ui(); }
    bool isOpen() const { return window && window->isVisible(); }
    frmMain& main() const { return fixture->window(); }

    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    static void enter(QWidget* box)
    {
        auto* edit = qobject_cast<VrexEditbox*>(box);
        (edit ? static_cast<QWidget*>(edit->innerEdit()) : box)->setFocus(Qt::TabFocusReason);
        settle();
    }
    static void leave(QWidget* box)
    {
        auto* edit = qobject_cast<VrexEditbox*>(box);
        QTest::keyClick(edit ? static_cast<QWidget*>(edit->innerEdit()) : box, Qt::Key_Tab);
        settle();
    }
    // Enters the box, replaces its text by typing and leaves it with Tab.
    static void type(VrexEditbox* box, const QString& text)
    {
        enter(box);
        box->HighlightText();
        QTest::keyClick(box->innerEdit(), Qt::Key_Backspace);
        QTest::keyClicks(box->innerEdit(), text);
        leave(box);
    }
    static void type(QLineEdit* box, const QString& text)
    {
        enter(box);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
        leave(box);
    }
    // The widget that has the focus is (inside) `box`.
    static bool hasFocus(QWidget* box)
    {
        settle();
        QWidget* focus = QApplication::focusWidget();
        return focus && (focus == box || box->isAncestorOf(focus));
    }
    // Clicks a date button and, in the calendar it drops down, the given date.
    static void pickDate(QToolButton* button, const QDate& date)
    {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* calendar = qobject_cast<frmCalendar*>(QApplication::activePopupWidget());
            ASSERT_NE(calendar, nullptr);
            shown = true;
            calendar->ui()->mvwCal->setSelectedDate(date);
            auto* view = calendar->ui()->mvwCal->findChild<QTableView*>();
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(view->currentIndex()).center());
        });
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(shown);
        settle();
    }
    static QString today() { return modGeneral::Display_Date(QDate::currentDate()); }
    // An amount written "12.5" as the locale's clerk types it.
    static QString typed(const char* amount)
    {
        return QString::fromLatin1(amount).replace(u'.', SystemLocale::locale().decimalPoint());
    }
    // An amount as the window and its labels show it.
    static QString shown(double amount, int decimals)
    {
        return SystemLocale::locale().toString(amount, 'f', decimals);
    }
    // A field of receipt batch `number`, read back from the company.
    static QVariant batchField(int number, const char* field)
    {
        return InvoiceTesting::readField(QStringLiteral("AR0041"), 0,
                                         {{QStringLiteral("CODEPYMTYP"), QStringLiteral("CA")},
                                          {QStringLiteral("CNTBTCH"), number}},
                                         QLatin1String(field));
    }

    std::unique_ptr<MainWindowFixture> fixture;
    QPointer<frmPrepay> window;
};
