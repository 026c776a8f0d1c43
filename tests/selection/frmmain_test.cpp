#include "mainwindowfixture.h"

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/clock.h>
#include <core/session.h>
#include <core/systemlocale.h>
#include <settings/cryption.h>

#include <odbc/connection.h>
#include <odbc/datasource.h>
#include <system/comerror.h>

#include "pgorders.h"

#include <vrexeditbox/vrexeditbox.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <functional>

using modGeneral::MsgIcon;

namespace {

QStringList rowTexts(const OrderGrid* grid, int row)
{
    QStringList texts;
    for (int col = 1; col < grid->Cols(); ++col)
        texts << grid->TextMatrix(row, col);
    return texts;
}

// Clicks the cell as a user does; the grid must be on screen.
void clickCell(OrderGrid* grid, int row, int col)
{
    const QRect cell = grid->visualRect(grid->model()->index(row - 1, col));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

TestOrder order(const QString& number, const QString& customer,
                QList<std::pair<QString, double>> shipments, int complete = 1)
{
    TestOrder o;
    o.number = number;
    o.customer = customer;
    o.name = customer == QLatin1String("1200") ? QStringLiteral("Mr. Ronald Black")
                                               : QStringLiteral("Customer ") + customer;
    o.shipments = std::move(shipments);
    o.complete = complete;
    return o;
}

} // namespace

class FrmMainTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SystemLocale::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        // The orders are dated early in December 2026: the date range's defaults (today and
        // two days before) must hold the same days whenever the test runs.
        Clock::Testing::setToday(QDate(2026, 12, 8));
    }

    void loadsOneRowPerListedOrderWithItsFirstShipment()
    {
        TestOrder several =
            order(QStringLiteral("ORD0001"), QStringLiteral("1200"),
                  {{QStringLiteral("SH0001"), 1234.5}, {QStringLiteral("SH0009"), 99}});
        several.orderDate = 20261202;
        const QList<TestOrder> orders = {
            several,
            order(QStringLiteral("ORD0002"), QStringLiteral("1200"), {}),
            order(QStringLiteral("ORD0003"), QStringLiteral("1300"),
                  {{QStringLiteral("SH0003"), 0}}, 3),
            order(QStringLiteral("ORD0004"), QStringLiteral("1300"),
                  {{QStringLiteral("SH0004"), 0}}, 1),
            order(QStringLiteral("ORD0005"), QStringLiteral("1300"),
                  {{QStringLiteral("*** NEW ***"), 12}}),
        };
        MainWindowFixture fixture(orders);
        frmMain& w = fixture.open();
        const OrderGrid* grid = w.ui()->flgMain;
        QCOMPARE(w.statusText(), QStringLiteral("Loading Complete. 4 records Loaded."));
        QCOMPARE(grid->Rows(), 5);
        QCOMPARE(rowTexts(grid, 1), QStringList({"ORD0001", "12/2/2026", "SH0001", "1,234.50",
                                                 "1200", "Mr. Ronald Black", "9", "MAIN"}));
        // No shipment: listed with an empty number and 0.00.
        QCOMPARE(grid->TextMatrix(2, 3), QString());
        QCOMPARE(grid->TextMatrix(2, 4), QStringLiteral("0.00"));
        // A zero shipment of a finished order (COMPLETE 3) is left out; of an open one listed.
        QCOMPARE(grid->TextMatrix(3, 1), QStringLiteral("ORD0004"));
        QCOMPARE(grid->TextMatrix(3, 4), QStringLiteral("0.00"));
        QCOMPARE(grid->TextMatrix(4, 3), QStringLiteral("*** NEW ***"));
        QCOMPARE(grid->TextMatrix(4, 4), QString());
        QCOMPARE(grid->ColWidth(7), 0);
        QCOMPARE(grid->TextMatrix(0, 1), QStringLiteral("Order Number"));
        for (int r = 1; r < grid->Rows(); ++r) {
            const_cast<OrderGrid*>(grid)->setRow(r);
            QCOMPARE(grid->CellPicture(), OrderGrid::Picture::Unchecked);
        }
        QVERIFY(w.mnuFileSub(0)->isEnabled());
        QVERIFY(!w.mnuFileSub(3)->isEnabled());
        QVERIFY(!w.isLoading());
        QCOMPARE(w.statusDate(), Clock::today().toString(QStringLiteral("M/d/yyyy")));
        QVERIFY(fixture.boxes.shown.isEmpty());
    }

    void emptyResultAndCashSalesColumns()
    {
        TestOrder cash = order(QStringLiteral("ORD0100"), QStringLiteral("1200"),
                               {{QStringLiteral("SH0100"), 5}});
        cash.shipVia = QStringLiteral("1");
        MainWindowFixture fixture({cash});
        Setting::save(Setting::ShipVia, QStringLiteral("1"));
        frmMain& w = fixture.open();
        const OrderGrid* grid = w.ui()->flgMain;
        QCOMPARE(w.ui()->cboCustomer->currentText(), QStringLiteral("1 - Cash Sales"));
        QCOMPARE(grid->Rows(), 2);
        QCOMPARE(grid->ColWidth(2), 0);
        QCOMPARE(grid->ColWidth(8), 0);
        QCOMPARE(grid->TextMatrix(1, 2), QString());
        QCOMPARE(grid->TextMatrix(1, 8), QString());

        w.ui()->cboCustomer->setCurrentIndex(2); // hotels: nobody
        w.Load_Grid();
        QCOMPARE(grid->Rows(), 1);
        QCOMPARE(w.statusText(), QStringLiteral("Loading Complete. 0 records Loaded."));
        QCOMPARE(Setting::read(Setting::ShipVia), QStringLiteral("2"));
    }

    void aDataSourceThatFailsShowsTheConnectionMessageOnce()
    {
        MainWindowFixture fixture({});
        Setting::save(Setting::DSN, QStringLiteral("NoSuchSource"));
        frmMain& w = fixture.open();
        QCOMPARE(fixture.boxes.shown.size(), 1);
        const auto& box = fixture.boxes.shown.first();
        QCOMPARE(box.title, QStringLiteral("Database Connection Failed"));
        QCOMPARE(box.icon, MsgIcon::Critical);
        QCOMPARE(box.text,
                 QStringLiteral("Tallymerge was unable to connect to the Sage Accpac database."
                                "\r\n\nPlease ensure that your Sage Accpac database is running"
                                "\r\nand that you have a valid ODBC system DSN that is\r\n"
                                "connected to the correct database."));
        QVERIFY(!w.isLoading());
        QVERIFY(w.mnuFileSub(0)->isEnabled());
        QVERIFY(w.toolbarButton(QStringLiteral("Refresh"))->isEnabled());
        QCOMPARE(w.refreshTicks(), std::int16_t(0));
    }

    void aFailedLoadReactsByNumberAndLeavesTheWindowUsable()
    {
        MainWindowFixture fixture({order(QStringLiteral("ORD0001"), QStringLiteral("1200"),
                                         {{QStringLiteral("SH1"), 5}})});
        frmMain& w = fixture.open();
        OrderGrid* grid = w.ui()->flgMain;
        QCOMPARE(grid->Rows(), 2);
        const QString connectionText =
            QStringLiteral("Tallymerge was unable to connect to the Sage Accpac database.\r\n\n"
                           "Please ensure that your Sage Accpac database is running\r\nand that "
                           "you have a valid ODBC system DSN that is\r\nconnected to the correct "
                           "database.");
        const QList<std::int32_t> numbers = {
            ComErrorNumber::AuthFailed, ComErrorNumber::PermissionDenied, ComErrorNumber::E_Fail,
            ComErrorNumber::AlreadyOpen, AdoErrorNumber::ProviderNotFound};
        for (const std::int32_t number : numbers) {
            // A ticked row: the failed load must take Invoice away with the selection.
            grid->setRow(1);
            grid->setCol(0);
            w.flgMain_Click();
            QVERIFY(w.mnuFileSub(3)->isEnabled());
            w.tmrMain_Timer();
            QVERIFY(w.refreshTicks() > 0);
            fixture.boxes.shown.clear();

            OdbcTesting::failNextOpen(number, QStringLiteral("Injected failure."));
            w.mnuFileSub_Click(0);
            OdbcTesting::clearOpenFault();

            if (number == ComErrorNumber::AlreadyOpen) {
                QVERIFY2(fixture.boxes.shown.isEmpty(),
                         qPrintable(fixture.boxes.texts().join(QStringLiteral(" | "))));
            } else if (number == AdoErrorNumber::ProviderNotFound) {
                QCOMPARE(fixture.boxes.shown.size(), 1);
                QCOMPARE(fixture.boxes.shown[0].title, QStringLiteral("Tallymerge Error"));
                QCOMPARE(fixture.boxes.shown[0].text,
                         QStringLiteral("3706; Injected failure.\r\n\nIn Procedure: "
                                        "frmMain.Load_Grid.\r\n\nPlease contact Norvane if the "
                                        "error occurs frequenly."));
            } else {
                QCOMPARE(fixture.boxes.shown.size(), 1);
                QCOMPARE(fixture.boxes.shown[0].title,
                         QStringLiteral("Database Connection Failed"));
                QCOMPARE(fixture.boxes.shown[0].icon, MsgIcon::Critical);
                QCOMPARE(fixture.boxes.shown[0].text, connectionText);
            }
            // The load is over: nothing listed, Refresh usable, the selection commands not.
            QCOMPARE(grid->Rows(), 1);
            QVERIFY(!w.isLoading());
            QCOMPARE(w.refreshTicks(), std::int16_t(0));
            QVERIFY(w.mnuFileSub(0)->isEnabled());
            QVERIFY(w.toolbarButton(QStringLiteral("Refresh"))->isEnabled());
            QVERIFY(!w.mnuFileSub(3)->isEnabled());
            QVERIFY(!w.ui()->mnuComplete->isEnabled());
            QCOMPARE(QApplication::overrideCursor(), nullptr);

            // The next Refresh loads again.
            w.mnuFileSub_Click(0);
            QCOMPARE(grid->Rows(), 2);
            QCOMPARE(w.statusText(), QStringLiteral("Loading Complete. 1 records Loaded."));
            QVERIFY(w.ui()->mnuComplete->isEnabled());
            QCOMPARE(fixture.boxes.shown.size(), number == ComErrorNumber::AlreadyOpen ? 0 : 1);
        }
    }

    void accessFollowsTheUserAndTheSecurityList()
    {
        {
            MainWindowFixture fixture({});
            frmMain& w = fixture.open();
            QVERIFY(w.ui()->mnuComplete->menuAction()->isVisible());
            QVERIFY(w.mnuFileSub(11)->isVisible());
            QVERIFY(w.toolbarButton(QStringLiteral("Config"))->isVisible());
            QVERIFY(!w.mnuFileSub(4)->isVisible()); // "BatchInv" absent
        }
        {
            MainWindowFixture fixture({}, Sample::ClerkId);
            frmMain& w = fixture.open();
            QVERIFY(!w.ui()->mnuComplete->menuAction()->isVisible());
            QVERIFY(!w.mnuFileSub(11)->isVisible());
            QVERIFY(!w.toolbarButton(QStringLiteral("Config"))->isVisible());
        }
        {
            MainWindowFixture fixture({}, Sample::ClerkId);
            Setting::saveSecurityList(modCryption::EncryptPWD(QStringLiteral("SUPER")) +
                                      QLatin1Char(',') +
                                      modCryption::EncryptPWD(QStringLiteral("CLERK")));
            Setting::save(Setting::BatchInv, QStringLiteral("1"));
            frmMain& w = fixture.open();
            QVERIFY(w.ui()->mnuComplete->menuAction()->isVisible());
            QVERIFY(w.mnuFileSub(11)->isVisible());
            QVERIFY(w.mnuFileSub(4)->isVisible());
            QVERIFY(w.toolbarButton(QStringLiteral("Batch"))->isVisible());
        }
    }

    void ticksFollowTheSelectionRules()
    {
        MainWindowFixture fixture({order(QStringLiteral("ORD0001"), QStringLiteral("1200"),
                                         {{QStringLiteral("SH1"), 10.25}}),
                                   order(QStringLiteral("ORD0002"), QStringLiteral("1200"),
                                         {{QStringLiteral("SH2"), 20}}),
                                   order(QStringLiteral("ORD0003"), QStringLiteral("1300"),
                                         {{QStringLiteral("SH3"), 30}}),
                                   order(QStringLiteral("ORD0004"), QStringLiteral("1200"), {})});
        frmMain& w = fixture.open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        OrderGrid* grid = w.ui()->flgMain;
        auto picture = [&](int row) {
            grid->setRow(row);
            grid->setCol(0);
            return grid->CellPicture();
        };

        // The header row, by the mouse and as the current row: nothing.
        QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(grid->columnViewportPosition(0) + 5, 5));
        grid->setRow(0);
        grid->setCol(0);
        w.flgMain_Click();
        QCOMPARE(w.selCustomer(), QString());
        QVERIFY(fixture.boxes.shown.isEmpty());
        clickCell(grid, 1, 3); // another column: nothing
        QCOMPARE(picture(1), OrderGrid::Picture::Unchecked);
        clickCell(grid, 4, 0); // no shipment
        QCOMPARE(fixture.boxes.shown.size(), 1);
        QCOMPARE(fixture.boxes.shown[0].title, QStringLiteral("Incorrect Selection"));
        QCOMPARE(
            fixture.boxes.shown[0].text,
            QStringLiteral("A Shipment must exist in order to add this\r\norder to an invoice."));

        clickCell(grid, 1, 0);
        clickCell(grid, 2, 0);
        QCOMPARE(picture(1), OrderGrid::Picture::Checked);
        QCOMPARE(w.selCustomer(), QStringLiteral("1200"));
        QCOMPARE(w.selCustomerName(), QStringLiteral("Mr. Ronald Black"));
        QCOMPARE(w.ui()->lblInvoice->text(), QStringLiteral("30.25"));
        QVERIFY(w.mnuFileSub(3)->isEnabled());
        QVERIFY(w.toolbarButton(QStringLiteral("Prepayment"))->isEnabled());

        clickCell(grid, 3, 0); // another customer
        QCOMPARE(fixture.boxes.shown.size(), 2);
        QCOMPARE(fixture.boxes.shown[1].text,
                 QStringLiteral(
                     "The customer for this order is different from the\r\ncustomer of the "
                     "already selected orders.\r\n\nOnly ONE customer per invoice is allowed."));
        QCOMPARE(picture(3), OrderGrid::Picture::Unchecked);

        // The space bar on column 0 toggles like a click.
        grid->setRow(2);
        grid->setCol(0);
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Space);
        QCOMPARE(picture(2), OrderGrid::Picture::Unchecked);
        QCOMPARE(w.ui()->lblInvoice->text(), QStringLiteral("10.25"));
        modGeneral::PendingPrepayment.Present = true;
        modGeneral::PendingPrepayment.BatchNumber = 7;
        clickCell(grid, 1, 0);
        QCOMPARE(w.selCustomer(), QString());
        QCOMPARE(w.ui()->lblInvoice->text(), QStringLiteral("0.00"));
        QVERIFY(!w.mnuFileSub(3)->isEnabled());
        QVERIFY(!modGeneral::PendingPrepayment.Present);
        QCOMPARE(modGeneral::PendingPrepayment.BatchNumber, 7);

        // With the first customer gone, the second can be ticked.
        clickCell(grid, 3, 0);
        QCOMPARE(picture(3), OrderGrid::Picture::Checked);
        QCOMPARE(w.selCustomer(), QStringLiteral("1300"));
        w.Clear_AllSelections();
        QCOMPARE(grid->Row(), 0);
        QCOMPARE(picture(3), OrderGrid::Picture::Unchecked);
        QCOMPARE(w.selCustomer(), QString());
    }

    void zeroShipmentWarningAndDeliveryCharge()
    {
        MainWindowFixture fixture(
            {order(QStringLiteral("ORD0001"), QStringLiteral("1200"), {{QStringLiteral("SH1"), 0}}),
             order(QStringLiteral("ORD0002"), QStringLiteral("1200"),
                   {{QStringLiteral("SH2"), 100}}),
             order(QStringLiteral("ORD0003"), QStringLiteral("1105"),
                   {{QStringLiteral("SH3"), 50}})});
        Setting::save(Setting::InvoiceWarning, QStringLiteral("1"));
        Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
        frmMain& w = fixture.open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        OrderGrid* grid = w.ui()->flgMain;

        // Flagged customer, total exactly 100, no code configured: the warning each time.
        clickCell(grid, 2, 0);
        QCOMPARE(fixture.boxes.shown.size(), 1);
        QCOMPARE(fixture.boxes.shown[0].title, QStringLiteral("Configuration Required"));
        QVERIFY(!w.delChargeApply());
        QVERIFY(w.ui()->cboDelCharge->isHidden());

        configureDeliveryChargeCode(w, QStringLiteral("DEL"));
        clickCell(grid, 1, 0); // total still 100: offered, "Apply" chosen
        QVERIFY(w.delChargeApply());
        QVERIFY(!w.ui()->cboDelCharge->isHidden());
        QCOMPARE(w.ui()->cboDelCharge->currentIndex(), 0);
        w.ui()->cboDelCharge->setCurrentIndex(1);
        QVERIFY(!w.delChargeApply());

        // Only ticked rows are looked at; No cancels.
        fixture.boxes.answer(modGeneral::MsgResult::No);
        QVERIFY(w.Check_ZeroShipments(false));
        const auto& question = fixture.boxes.shown.last();
        QCOMPARE(question.title, QStringLiteral("Zero Dollar Shipment Amount"));
        QCOMPARE(question.defaultButton, 2);
        QCOMPARE(
            question.text,
            QStringLiteral(
                "A shipment with a $0 amount has been detected.\r\n\nDo you wish to continue?"));
        clickCell(grid, 1, 0); // untick the zero row
        const int shown = fixture.boxes.shown.size();
        QVERIFY(!w.Check_ZeroShipments(false));
        QCOMPARE(fixture.boxes.shown.size(), shown);
        fixture.boxes.answer(modGeneral::MsgResult::Yes);
        QVERIFY(!w.Check_ZeroShipments(true));
        QCOMPARE(fixture.boxes.shown.size(), shown + 1);

        // A customer without the flag: the offer goes, the list shows no entry.
        w.Clear_AllSelections();
        clickCell(grid, 3, 0);
        QCOMPARE(w.selCustomer(), QStringLiteral("1105"));
        QVERIFY(!w.delChargeApply());
        QVERIFY(w.ui()->cboDelCharge->isHidden());
        QCOMPARE(w.ui()->cboDelCharge->currentIndex(), -1);
    }

    void engineTwoReadsThePlainNameStatementFromPostgres()
    {
        TestOrder blank =
            order(QStringLiteral("ORD0001"), QStringLiteral("1200"), {{QStringLiteral("SH1"), 42}});
        blank.shipVia = QString();
        MainWindowFixture fixture({blank, order(QStringLiteral("ORD0002"), QStringLiteral("1300"),
                                                {{QStringLiteral("SH2"), 7}})});
        PostgresServer server;
        createOrderTable(
            server, QStringLiteral(
                        "('ORD0001','1200','Mr. Ronald Black',1,0,1,'','MAIN','100','20261201',''),"
                        "('ORD0002','1300','Customer 1300',1,0,1,'9','MAIN','100','20261201','')"));
        OdbcDataSource::registerDataSource(QStringLiteral("TMPG"), OdbcTestConfig::postgresDriver(),
                                           server.odbcAttributes());
        Setting::save(Setting::DSN, QStringLiteral("TMPG"));
        Setting::save(Setting::DBEngine, QStringLiteral("2"));
        Setting::save(Setting::Auth, QStringLiteral("False"));
        Setting::save(Setting::DBUser, modCryption::EncryptPWD(server.user()));
        Setting::save(Setting::DBPWD, modCryption::EncryptPWD(server.password()));
        frmMain& w = fixture.open();
        QCOMPARE(w.statusText(), QStringLiteral("Loading Complete. 2 records Loaded."));
        QCOMPARE(rowTexts(w.ui()->flgMain, 1),
                 QStringList({"ORD0001", "12/1/2026", "SH1", "42.00", "1200", "Mr. Ronald Black",
                              "", "MAIN"}));
        QVERIFY(fixture.boxes.shown.isEmpty());

        // A refused login: the connection message once, and Refresh usable again.
        Setting::save(Setting::DBPWD, modCryption::EncryptPWD(QStringLiteral("wrong password")));
        w.Load_Grid();
        QCOMPARE(fixture.boxes.shown.size(), 1);
        QCOMPARE(fixture.boxes.shown[0].title, QStringLiteral("Database Connection Failed"));
        QVERIFY(w.mnuFileSub(0)->isEnabled());
        QVERIFY(!w.isLoading());
        QCOMPARE(w.ui()->flgMain->Rows(), 1);
    }

    void badInputLeavesTheGridUsable()
    {
        // An order number holding quotes still finds its shipment.
        MainWindowFixture fixture(
            {order(QStringLiteral("O\"R'1"), QStringLiteral("1200"), {{QStringLiteral("SHQ"), 3}}),
             order(QStringLiteral("ORD0002"), QStringLiteral("1200"),
                   {{QStringLiteral("SH2"), 4}})});
        Setting::save(Setting::DateRange, QStringLiteral("1"));
        frmMain& w = fixture.open();
        const OrderGrid* grid = w.ui()->flgMain;
        QCOMPARE(w.statusText(),
                 QStringLiteral("Loading Complete. 0 records Loaded.")); // range: today only
        w.ui()->chkDateRange->setChecked(false);
        w.Load_Grid();
        QCOMPARE(grid->Rows(), 3);
        QCOMPARE(grid->TextMatrix(1, 1), QStringLiteral("O\"R'1"));
        QCOMPARE(grid->TextMatrix(1, 3), QStringLiteral("SHQ"));
        QVERIFY(fixture.boxes.shown.isEmpty());

        // A date box that holds no date: the load ends with the generic box, Refresh works.
        w.ui()->chkDateRange->setChecked(true);
        w.ui()->vreFrom->setText(QStringLiteral("not a date"));
        w.Load_Grid();
        QCOMPARE(fixture.boxes.shown.size(), 1);
        QCOMPARE(fixture.boxes.shown[0].title, QStringLiteral("Tallymerge Error"));
        QVERIFY(fixture.boxes.shown[0].text.startsWith(QStringLiteral("13; Type mismatch")));
        QVERIFY(fixture.boxes.shown[0].text.contains(QStringLiteral("frmMain.Load_Grid")));
        QVERIFY(!w.isLoading());
        QVERIFY(w.mnuFileSub(0)->isEnabled());

        // A stored engine that is neither 1 nor 2 loads nothing and keeps the window usable.
        w.ui()->chkDateRange->setChecked(false);
        Setting::save(Setting::DBEngine, QStringLiteral("3"));
        w.Load_Grid();
        QCOMPARE(grid->Rows(), 1);
        QVERIFY(!w.isLoading());
        QVERIFY(w.mnuFileSub(0)->isEnabled());
        QCOMPARE(fixture.boxes.shown.size(), 1);
    }

    void captionNewShipmentsDateBoxesAndExit()
    {
        MainWindowFixture fixture({order(QStringLiteral("ORD0001"), QStringLiteral("1300"),
                                         {{QStringLiteral("*** NEW ***"), 12}}),
                                   order(QStringLiteral("ORD0002"), QStringLiteral("1300"),
                                         {{QStringLiteral("SH2"), 7.25}})});
        Setting::save(Setting::DateRange, QStringLiteral("1"));
        frmMain& w = fixture.open();
        auto* ui = w.ui();
        QCOMPARE(w.windowTitle(), QStringLiteral("Tallymerge:  Sample Company Inc."));

        // The range applied at the first activation and listed nothing of the early orders.
        ui->chkDateRange->setChecked(false);
        w.Load_Grid();
        OrderGrid* grid = ui->flgMain;
        QCOMPARE(grid->Rows(), 3);
        // A "*** NEW ***" row has no amount: it is ticked and adds nothing.
        grid->setCol(0);
        grid->setRow(1);
        w.flgMain_Click();
        QCOMPARE(grid->CellPicture(), OrderGrid::Picture::Checked);
        QCOMPARE(w.selCustomer(), QStringLiteral("1300"));
        QCOMPARE(ui->lblInvoice->text(), QStringLiteral("0.00"));
        grid->setRow(2);
        w.flgMain_Click();
        QCOMPARE(ui->lblInvoice->text(), QStringLiteral("7.25"));
        QVERIFY(fixture.boxes.shown.isEmpty());

        // "t" in a date box opens the calendar for that box.
        ui->chkDateRange->setChecked(true);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* toText = ui->vreTo->findChild<QLineEdit*>();
        QVERIFY(toText);
        QTest::keyClick(toText, Qt::Key_T);
        QVERIFY(!ui->mvwMain->isHidden());
        QVERIFY(!w.calendarForFrom());
        ui->mvwMain->hide();

        // Leaving a box that was typed into keeps the range ordered; untouched, it does not.
        ui->vreFrom->setText(QStringLiteral("12/1/2026"));
        ui->vreTo->setText(QStringLiteral("12/5/2026"));
        bool cancel = false;
        emit ui->vreFrom->GotFocus();
        ui->vreFrom->setText(QStringLiteral("12/9/2026"));
        QVERIFY(w.dateEdited());
        emit ui->vreFrom->Validate(cancel);
        QCOMPARE(ui->vreTo->text(), QStringLiteral("12/9/2026"));
        emit ui->vreTo->GotFocus();
        QVERIFY(!w.dateEdited());
        ui->vreFrom->setText(QStringLiteral("12/10/2026"));
        emit ui->vreTo->GotFocus();
        emit ui->vreTo->Validate(cancel);
        QCOMPARE(ui->vreFrom->text(), QStringLiteral("12/10/2026"));
        QCOMPARE(ui->vreTo->text(), QStringLiteral("12/9/2026"));
        emit ui->vreTo->GotFocus();
        ui->vreTo->setText(QStringLiteral("12/3/2026"));
        emit ui->vreTo->Validate(cancel);
        QCOMPARE(ui->vreFrom->text(), QStringLiteral("12/3/2026"));
        QVERIFY(!cancel);

        // Exit closes the window and the Accpac session.
        w.mnuFileSub_Click(13);
        QVERIFY(!w.isVisible());
        QCOMPARE(modGeneral::AppSession, nullptr);
        QVERIFY(fixture.boxes.shown.isEmpty());
    }

    void dateBoxesTypedIntoKeepTheRangeOrdered_data()
    {
        QTest::addColumn<QString>("locale");
        for (const char* name : {"en_US", "de_DE", "C"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    // The same in each locale: the boxes show and take the locale's short date.
    void dateBoxesTypedIntoKeepTheRangeOrdered()
    {
        QFETCH(QString, locale);
        SystemLocale::setLocale(QLocale(locale));
        const auto restore = qScopeGuard(
            [] { SystemLocale::setLocale(QLocale(QLocale::English, QLocale::UnitedStates)); });
        const auto december = [](int day) { return SystemLocale::shortDate(QDate(2026, 12, day)); };
        MainWindowFixture fixture({});
        Setting::save(Setting::DateRange, QStringLiteral("1"));
        frmMain& w = fixture.open();
        auto* ui = w.ui();
        ui->chkDateRange->setChecked(true);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(ui->vreFrom->text(), december(6));
        QCOMPARE(ui->vreTo->text(), december(8));
        const auto enter = [](VrexEditbox* box) {
            box->innerEdit()->setFocus(Qt::TabFocusReason);
            QCoreApplication::processEvents();
        };
        const auto type = [&](VrexEditbox* box, const QString& text) {
            enter(box);
            box->HighlightText();
            QTest::keyClick(box->innerEdit(), Qt::Key_Backspace);
            QTest::keyClicks(box->innerEdit(), text);
            QTest::keyClick(box->innerEdit(), Qt::Key_Tab);
            QCoreApplication::processEvents();
        };

        // A From typed later than To carries To along; a To typed earlier than From, From.
        type(ui->vreFrom, december(10));
        QCOMPARE(ui->vreFrom->text(), december(10));
        QCOMPARE(ui->vreTo->text(), december(10));
        type(ui->vreTo, december(2));
        QCOMPARE(ui->vreFrom->text(), december(2));
        QCOMPARE(ui->vreTo->text(), december(2));

        // A text that is no date, or none, is refused with a message; the focus stays in
        // its box and the other is left alone.
        const QString refusal = QStringLiteral("The entered date is not a valid date.\r\n"
                                               "Please enter a valid date or use the calendar.");
        for (const QString& bad :
             {QStringLiteral("12/99/2026"), QStringLiteral("abc"), QString()}) {
            fixture.boxes.shown.clear();
            type(ui->vreTo, bad);
            QCOMPARE(fixture.boxes.texts(), QStringList{refusal});
            QVERIFY(ui->vreTo->innerEdit()->hasFocus());
            QCOMPARE(ui->vreFrom->text(), december(2));
        }
        fixture.boxes.shown.clear();
        QCOMPARE(ui->vreFrom->text(), december(2));
        ui->vreTo->HighlightText();
        QTest::keyClick(ui->vreTo->innerEdit(), Qt::Key_Backspace);
        QTest::keyClicks(ui->vreTo->innerEdit(), december(4));
        QTest::keyClick(ui->vreTo->innerEdit(), Qt::Key_Tab);
        QCOMPARE(ui->vreTo->text(), december(4));
        QCOMPARE(ui->vreFrom->text(), december(2));

        // "t" in the From box opens the calendar for From; the date clicked goes into From,
        // and the range stays ordered.
        enter(ui->vreFrom);
        QTest::keyClick(ui->vreFrom->innerEdit(), Qt::Key_T);
        QVERIFY(!ui->mvwMain->isHidden());
        QVERIFY(w.calendarForFrom());
        emit ui->mvwMain->clicked(QDate(2026, 12, 7));
        QVERIFY(ui->mvwMain->isHidden());
        QCOMPARE(ui->vreFrom->text(), december(7));
        QCOMPARE(ui->vreTo->text(), december(7));
        QVERIFY(fixture.boxes.shown.isEmpty());
    }

    void timerReloadsEveryIntervalPlusOneTicks()
    {
        MainWindowFixture fixture({order(QStringLiteral("ORD0001"), QStringLiteral("1200"),
                                         {{QStringLiteral("SH1"), 5}})});
        frmMain& w = fixture.open();
        w.ui()->cboInterval->setCurrentIndex(0); // 30 seconds: 1 tick
        QCOMPARE(w.refreshInterval(), std::int16_t(1));
        w.setStatusText(QStringLiteral("marker"));
        w.tmrMain_Timer();
        QCOMPARE(w.statusText(), QStringLiteral("marker"));
        w.tmrMain_Timer();
        QCOMPARE(w.statusText(), QStringLiteral("Loading Complete. 1 records Loaded."));
        QCOMPARE(w.refreshTicks(), std::int16_t(0));

        w.ui()->cboInterval->setCurrentIndex(9); // 1 hour
        int loads = 0;
        for (int tick = 1; tick <= 242; ++tick) {
            w.setStatusText(QStringLiteral("marker"));
            w.tmrMain_Timer();
            if (w.statusText() != QLatin1String("marker"))
                ++loads;
            if (tick == 121)
                QCOMPARE(loads, 1);
        }
        QCOMPARE(loads, 2);
        QCOMPARE(Setting::read(Setting::Interval), QStringLiteral("9"));

        // All customers make a slow fetch: the timer does not count while it runs.
        w.ui()->cboCustomer->setCurrentIndex(0);
        w.tmrMain_Timer();
        const std::int16_t ticks = w.refreshTicks();
        QCOMPARE(ticks, std::int16_t(1));
        std::int16_t ticksDuringFetch = -1;
        std::function<void()> tickDuringFetch = [&] {
            if (w.statusText().startsWith(QLatin1String("Fetching of Orders may take"))) {
                w.tmrMain_Timer();
                ticksDuringFetch = w.refreshTicks();
            } else if (!w.statusText().startsWith(QLatin1String("Loading Complete."))) {
                QTimer::singleShot(0, &w, tickDuringFetch);
            }
        };
        w.setStatusText(QStringLiteral("marker"));
        QTimer::singleShot(0, &w, tickDuringFetch);
        w.mnuFileSub_Click(0);
        QCOMPARE(ticksDuringFetch, ticks);
        QCOMPARE(w.statusText(), QStringLiteral("Loading Complete. 1 records Loaded."));

        w.setLoading(true);
        w.setStatusText(QStringLiteral("marker"));
        tickUntilRefresh(w);
        QCOMPARE(w.statusText(), QStringLiteral("marker")); // no second load while loading
        w.setLoading(false);
    }
};

QTEST_MAIN(FrmMainTest)
#include "frmmain_test.moc"
