#include "mainwindowfixture.h"

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/clock.h>
#include <selection/gridcommand.h>

#include <core/displaydate.h>
#include <core/session.h>
#include <core/systemlocale.h>
#include <resources/resources.h>
#include <system/windows.h>

#include <vrexeditbox/vrexeditbox.h>
#include <windows/frmbatchopts.h>
#include <windows/frmconfigure.h>

#include <QTimer>

#include <accpac/standin.h>
#include <accpac/view.h>

#include <QApplication>
#include <QCalendarWidget>
#include <QHelpEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

namespace {

TestOrder shipped(const QString& number)
{
    TestOrder o;
    o.number = number;
    o.shipments = {{QStringLiteral("SH") + number, 12.5}};
    return o;
}

QString shortDate(const QDate& date)
{
    return modGeneral::Display_Date(date);
}

} // namespace

class CommandsTest : public QObject
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

    void dateRangeControlsFollowTheSettingAndTheClass()
    {
        MainWindowFixture fixture({shipped(QStringLiteral("1"))});
        Setting::save(Setting::DateRange, QStringLiteral("1"));
        frmMain& w = fixture.open();
        auto* ui = w.ui();
        // Activation with "DateRange" 1 and "0 - All": the range is offered, checked and
        // filled with the two days before today up to today.
        QVERIFY(!ui->chkDateRange->isHidden());
        QVERIFY(ui->chkDateRange->isChecked());
        QVERIFY(!ui->vreFrom->isHidden());
        QCOMPARE(ui->vreFrom->text(), shortDate(Clock::today().addDays(-2)));
        QCOMPARE(ui->vreTo->text(), shortDate(Clock::today()));
        QVERIFY(!ui->ChkOne->isHidden());
        QVERIFY(!ui->lblGUI_4->isHidden());

        ui->cboCustomer->setCurrentIndex(2); // "3 - Hotels & Restaurants"
        QVERIFY(ui->chkDateRange->isHidden());
        QVERIFY(!ui->chkDateRange->isChecked());
        QVERIFY(ui->vreFrom->isHidden());
        QVERIFY(ui->btnTo->isHidden());
        QVERIFY(ui->ChkOne->isHidden());
        QVERIFY(!ui->ChkOne->isEnabled());
        QVERIFY(!ui->chkNine->isEnabled());

        ui->cboCustomer->setCurrentIndex(0);
        QVERIFY(!ui->chkDateRange->isHidden());
        QVERIFY(!ui->chkDateRange->isChecked());
        QVERIFY(ui->ChkOne->isEnabled());
        QVERIFY(ui->ChkOne->isHidden()); // shown only with the range checked
        QCOMPARE(Setting::read(Setting::ShipVia), QStringLiteral("0"));
    }

    void withoutTheSettingTheRangeIsNeverOffered()
    {
        MainWindowFixture fixture({});
        frmMain& w = fixture.open();
        for (int position : {0, 1, 2, 3, 0}) {
            w.ui()->cboCustomer->setCurrentIndex(position);
            w.Form_Activate();
            QVERIFY(w.ui()->chkDateRange->isHidden());
            QVERIFY(w.ui()->vreFrom->isHidden());
            QVERIFY(w.ui()->lblGUI_4->isHidden());
        }
    }

    void theCalendarKeepsTheRangeOrdered()
    {
        MainWindowFixture fixture({});
        Setting::save(Setting::DateRange, QStringLiteral("1"));
        frmMain& w = fixture.open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* ui = w.ui();
        ui->vreFrom->setText(QStringLiteral("12/1/2026"));
        ui->vreTo->setText(QStringLiteral("12/5/2026"));

        QTest::mouseClick(ui->btnFrom, Qt::LeftButton);
        QVERIFY(w.calendarForFrom());
        QVERIFY(!ui->mvwMain->isHidden());
        QCOMPARE(ui->mvwMain->selectedDate(), QDate(2026, 12, 1));
        const QPoint boxTop = ui->vreFrom->mapTo(ui->centralwidget, QPoint(0, 0));
        QCOMPARE(ui->mvwMain->y(), boxTop.y() + ui->vreFrom->height());
        QCOMPARE(ui->mvwMain->x(), ui->lblFrom->mapTo(ui->centralwidget, QPoint(0, 0)).x());
        emit ui->mvwMain->clicked(QDate(2026, 12, 9)); // From after To: To follows
        QCOMPARE(ui->vreFrom->text(), QStringLiteral("12/9/2026"));
        QCOMPARE(ui->vreTo->text(), QStringLiteral("12/9/2026"));
        QVERIFY(ui->mvwMain->isHidden());

        QTest::mouseClick(ui->btnTo, Qt::LeftButton);
        QVERIFY(!w.calendarForFrom());
        emit ui->mvwMain->clicked(QDate(2026, 12, 3)); // To before From: From follows
        QCOMPARE(ui->vreTo->text(), QStringLiteral("12/3/2026"));
        QCOMPARE(ui->vreFrom->text(), QStringLiteral("12/3/2026"));

        // A box that holds no date opens the calendar on today.
        ui->vreTo->setText(QString());
        QTest::mouseClick(ui->btnTo, Qt::LeftButton);
        QCOMPARE(ui->mvwMain->selectedDate(), Clock::today());
        ui->mvwMain->hide();
    }

    void filtersAreRestoredAndBadStoredPositionsReported()
    {
        {
            MainWindowFixture fixture({});
            frmMain& w = fixture.open();
            QCOMPARE(w.ui()->cboInterval->currentText(), QStringLiteral("2 Minutes"));
            QCOMPARE(w.refreshInterval(), std::int16_t(4));
            w.ui()->cboCustomer->setCurrentIndex(3);
            w.ui()->cboLocation->setCurrentIndex(4);
            w.ui()->cboInterval->setCurrentIndex(5);
            QCOMPARE(Setting::read(Setting::Warehouse), QStringLiteral("4"));
            w.close();
            fixture.boxes.shown.clear();
            frmMain& again = fixture.open();
            QCOMPARE(again.ui()->cboCustomer->currentText(), QStringLiteral("9 - Regular"));
            QCOMPARE(again.ui()->cboLocation->currentText(),
                     QStringLiteral("South Warehouse & Freezer"));
            QCOMPARE(again.ui()->cboInterval->currentText(), QStringLiteral("15 Minutes"));
            QCOMPARE(again.refreshInterval(), std::int16_t(30));
        }
        {
            MainWindowFixture fixture({});
            Setting::save(Setting::ShipVia, QStringLiteral("7"));
            Setting::save(Setting::Interval, QStringLiteral("soon"));
            frmMain& w = fixture.open();
            QCOMPARE(w.ui()->cboCustomer->currentIndex(), 0);
            QCOMPARE(w.ui()->cboInterval->currentIndex(), 0);
            QCOMPARE(fixture.boxes.shown.size(), 2);
            for (const auto& box : fixture.boxes.shown) {
                QCOMPARE(box.title, QStringLiteral("Tallymerge Error"));
                QVERIFY(box.text.contains(QStringLiteral("In Procedure: frmMain.Form_Load.")));
            }
            QVERIFY(w.statusText().startsWith(QStringLiteral("Loading Complete.")));
        }
    }

    void toolbarMenusAndKeys()
    {
        MainWindowFixture fixture({shipped(QStringLiteral("1")), shipped(QStringLiteral("2"))});
        frmMain& w = fixture.open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        // Captions padded to one width; tooltips as given.
        const QStringList keys = {"Refresh", "Prepayment", "Invoice", "Batch",
                                  "Clear",   "Config",     "Help",    "PrintBatch"};
        for (const QString& key : keys) {
            QAction* button = w.toolbarButton(key);
            QVERIFY2(button, qPrintable(key));
            QCOMPARE(button->text().size(),
                     w.toolbarButton(QStringLiteral("Refresh"))->text().size());
        }
        QCOMPARE(w.toolbarButton(QStringLiteral("Clear"))->text().trimmed(),
                 QStringLiteral("Clear  All"));
        QCOMPARE(w.toolbarButton(QStringLiteral("Invoice"))->toolTip(),
                 QStringLiteral("Invoice the selected OE Shipments."));

        // The pointer over a button puts its tooltip into panel 1; off the buttons a blank.
        QWidget* invoice =
            w.ui()->tlbMain->widgetForAction(w.toolbarButton(QStringLiteral("Invoice")));
        w.tlbMain_MouseMove(invoice->x() + 2);
        QCOMPARE(w.statusText(), QStringLiteral("Invoice the selected OE Shipments."));
        QWidget* printBatch =
            w.ui()->tlbMain->widgetForAction(w.toolbarButton(QStringLiteral("PrintBatch")));
        w.tlbMain_MouseMove(printBatch->x() + 2);
        QCOMPARE(w.statusText(),
                 QStringLiteral("Invoice the selected OE Shipments.")); // no tooltip
        // Nor does the pointer resting on it show a tip, where the other buttons show theirs.
        const auto restOn = [](QWidget* button) {
            QHelpEvent rest(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(button, &rest);
        };
        restOn(printBatch);
        QVERIFY(!QToolTip::isVisible());
        restOn(invoice);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("Invoice the selected OE Shipments."));
        QToolTip::hideText();
        w.tlbMain_MouseMove(w.ui()->tlbMain->width() + 50);
        QCOMPARE(w.statusText(), QStringLiteral(" "));

        // Help does nothing; Clear clears.
        w.setStatusText(QStringLiteral("marker"));
        w.tlbMain_ButtonClick(QStringLiteral("Help"));
        QCOMPARE(w.statusText(), QStringLiteral("marker"));
        OrderGrid* grid = w.ui()->flgMain;
        grid->setRow(1);
        grid->setCol(0);
        w.flgMain_Click();
        QCOMPARE(w.selCustomer(), QStringLiteral("1200"));
        w.tlbMain_ButtonClick(QStringLiteral("Clear"));
        QCOMPARE(w.selCustomer(), QString());

        // F5 reloads; while a load runs, Refresh starts none.
        w.setStatusText(QStringLiteral("marker"));
        QTest::keyClick(&w, Qt::Key_F5);
        QCOMPARE(w.statusText(), QStringLiteral("Loading Complete. 2 records Loaded."));
        w.setLoading(true);
        w.setStatusText(QStringLiteral("marker"));
        w.tlbMain_ButtonClick(QStringLiteral("Refresh"));
        QCOMPARE(w.statusText(), QStringLiteral("marker"));
        w.setLoading(false);
        QCOMPARE(w.mnuFileSub(6)->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
        QCOMPARE(w.ui()->mnuFile->title(), QStringLiteral("&File"));
        QCOMPARE(w.ui()->mnuComplete->title(), QStringLiteral("&Complete"));
        QCOMPARE(w.ui()->mnuHelp->title(), QStringLiteral("&Help"));
        for (int separator : {1, 5, 9, 12})
            QVERIFY(w.mnuFileSub(separator)->isSeparator());
    }

    void configurationComesFirstOnTheFirstRunAndFromTheMenuLater()
    {
        MainWindowFixture fixture({shipped(QStringLiteral("1"))});
        Setting::save(Setting::Configure, QString());
        // The modal configuration window is closed by its user as soon as it shows.
        QString shownTitle;
        QTimer::singleShot(0, [&] {
            if (auto* window = qobject_cast<frmConfigure*>(QApplication::activeModalWidget())) {
                shownTitle = window->windowTitle();
                window->close();
            }
        });
        frmMain& w = fixture.open();
        QVERIFY(!shownTitle.isEmpty());
        QCOMPARE(Setting::read(Setting::Configure), QStringLiteral("True"));
        QCOMPARE(w.statusText(), QStringLiteral("Loading Complete. 1 records Loaded."));

        // From the menu: modeless, and the next activation re-reads the two settings.
        w.mnuFileSub_Click(11);
        QVERIFY(w.configChanged());
        auto* configure = w.findChild<frmConfigure*>();
        QVERIFY(configure);
        QVERIFY(!configure->isModal());
        Setting::save(Setting::DelCharge, QStringLiteral(" DEL "));
        Setting::save(Setting::BatchInv, QStringLiteral("1"));
        configure->close();
        w.Form_Activate();
        QVERIFY(!w.configChanged());
        QCOMPARE(w.delChargeCode(), QStringLiteral("DEL"));
        QVERIFY(w.mnuFileSub(4)->isVisible());
        QVERIFY(w.toolbarButton(QStringLiteral("Batch"))->isVisible());
    }

    void exitWithTheConfigurationOpenRunsItsClosingRoutine()
    {
        MainWindowFixture fixture({shipped(QStringLiteral("1"))});
        frmMain& w = fixture.open();
        w.show();
        w.mnuFileSub_Click(11);
        QPointer<frmConfigure> configure = w.findChild<frmConfigure*>();
        QVERIFY(configure);
        QVERIFY(configure->isVisible());
        // The window carries the program's icon, as the main window does.
        const QImage icon = Resources::ProgramIcon().pixmap(32).toImage();
        QVERIFY(!icon.isNull());
        QCOMPARE(configure->windowIcon().pixmap(32).toImage(), icon);
        QCOMPARE(w.windowIcon().pixmap(32).toImage(), icon);

        // What the window stores when it closes is stored when the program ends with it open.
        Setting::save(Setting::Configure, QStringLiteral("False"));
        Setting::save(Setting::OrderNum, QStringLiteral("1"));
        Setting::save(Setting::SuffixLocked, QString());
        w.mnuFileSub_Click(13);
        QVERIFY(!w.isVisible());
        QVERIFY(!configure || !configure->isVisible());
        QCOMPARE(Setting::read(Setting::Configure), QStringLiteral("True"));
        QCOMPARE(Setting::read(Setting::SuffixLocked), QStringLiteral("True"));
    }

    void invoiceBatchAsksForTheOptionsThenWarnsOfZeroShipments()
    {
        TestOrder zero;
        zero.number = QStringLiteral("Z1");
        zero.shipments = {{QStringLiteral("SHZ1"), 0}};
        MainWindowFixture fixture({zero});
        Setting::save(Setting::BatchInv, QStringLiteral("1"));
        Setting::save(Setting::InvoiceWarning, QStringLiteral("1"));
        frmMain& w = fixture.open();
        bool optionsShown = false;
        QTimer::singleShot(0, [&] {
            if (auto* options = qobject_cast<frmBatchOpts*>(QApplication::activeModalWidget())) {
                optionsShown = true;
                options->close();
            }
        });
        auto invoiceCount = [] {
            auto invoices = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0420"));
            invoices->Browse(QString(), true);
            int count = 0;
            while (invoices->Fetch())
                ++count;
            invoices->Close();
            return count;
        };
        const QString status = w.statusText();
        fixture.boxes.answer(modGeneral::MsgResult::No);
        w.mnuFileSub_Click(4);
        QVERIFY(optionsShown);
        QCOMPARE(fixture.boxes.shown.size(), 1);
        QCOMPARE(fixture.boxes.shown[0].title, QStringLiteral("Zero Dollar Shipment Amount"));
        // "No" cancels the run: no invoice, no status text.
        QCOMPARE(invoiceCount(), 0);
        QCOMPARE(w.statusText(), status);

        // "Yes" goes on: the zero shipment is invoiced.
        optionsShown = false;
        QTimer::singleShot(0, [&] {
            if (auto* options = qobject_cast<frmBatchOpts*>(QApplication::activeModalWidget())) {
                optionsShown = true;
                options->close();
            }
        });
        fixture.boxes.answer(modGeneral::MsgResult::Yes);
        w.mnuFileSub_Click(4);
        QVERIFY(optionsShown);
        QCOMPARE(fixture.boxes.shown.size(), 2);
        QCOMPARE(invoiceCount(), 1);
        QVERIFY2(w.statusText().endsWith(QStringLiteral(" have been created.")),
                 qPrintable(w.statusText()));
    }

    void realInputDuringACommandStartsNothing()
    {
        TestOrder zero = shipped(QStringLiteral("Z1"));
        zero.shipments = {{QStringLiteral("SHZ1"), 0}};
        zero.withLines = true;
        MainWindowFixture fixture({zero, shipped(QStringLiteral("P1"))});
        Setting::save(Setting::InvoiceWarning, QStringLiteral("1"));
        frmMain& w = fixture.open();
        w.show();
        w.activateWindow();
        QTRY_VERIFY(QApplication::activeWindow() == &w);
        OrderGrid* grid = w.ui()->flgMain;
        grid->setCol(0);
        grid->setRow(2); // Z1, the zero shipment (P1 sorts first)
        w.flgMain_Click();

        // While the question is open the user presses F5 and Ctrl+P, double-clicks a row and
        // clicks the toolbar's Invoice and Refresh: the rows and the selection stay.
        int questions = 0;
        QString statusDuring;
        modGeneral::setMsgBoxAnswerer([&](const modGeneral::ShownBox& box) {
            fixture.boxes.shown.append(box);
            if (++questions == 1) {
                w.setStatusText(QStringLiteral("marker"));
                QTest::keyClick(&w, Qt::Key_F5);
                QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier);
                const QRect cell = grid->visualRect(grid->model()->index(0, 0));
                QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
                for (const char* key : {"Invoice", "Refresh"}) {
                    QWidget* button =
                        w.ui()->tlbMain->widgetForAction(w.toolbarButton(QString::fromLatin1(key)));
                    QTest::mouseClick(button, Qt::LeftButton);
                }
                statusDuring = w.statusText();
            }
            return modGeneral::MsgResult::No;
        });
        w.mnuFileSub_Click(3);
        ScriptedBoxes::refuseUnexpectedBoxes();
        QCOMPARE(questions, 1);
        QCOMPARE(statusDuring, QStringLiteral("marker"));
        QCOMPARE(grid->Rows(), 3);
        QCOMPARE(w.selCustomer(), QStringLiteral("1200"));
        grid->setRow(1);
        QCOMPARE(grid->CellPicture(), OrderGrid::Picture::Unchecked);
        grid->setRow(2);
        QCOMPARE(grid->CellPicture(), OrderGrid::Picture::Checked);
        // Afterwards F5 reloads again.
        QTest::keyClick(&w, Qt::Key_F5);
        QTRY_VERIFY(w.statusText().startsWith(QStringLiteral("Loading Complete.")));
    }

    void nothingStartsWhileTheZeroAmountQuestionIsOpen()
    {
        TestOrder zero = shipped(QStringLiteral("Z1"));
        zero.shipments = {{QStringLiteral("SHZ1"), 0}};
        zero.withLines = true;
        TestOrder paid = shipped(QStringLiteral("P1"));
        paid.withLines = true;
        MainWindowFixture fixture({zero, paid});
        Setting::save(Setting::InvoiceWarning, QStringLiteral("1"));
        frmMain& w = fixture.open();
        OrderGrid* grid = w.ui()->flgMain;
        grid->setCol(0);
        for (int row : {1, 2}) {
            grid->setRow(row);
            w.flgMain_Click();
        }
        QCOMPARE(w.selCustomer(), QStringLiteral("1200"));

        // While the question is on screen the user clicks Invoice again, Refresh and Exit,
        // and the refresh timer comes due: none of it may start, and the grid keeps its rows.
        int questions = 0;
        bool closed = true;
        bool heldDuringQuestion = false;
        modGeneral::setMsgBoxAnswerer([&](const modGeneral::ShownBox& box) {
            fixture.boxes.shown.append(box);
            if (box.title != QLatin1String("Zero Dollar Shipment Amount"))
                return modGeneral::MsgResult::OK;
            if (++questions == 1) {
                heldDuringQuestion =
                    w.gridInUse() && !w.menuBar()->isEnabled() && !w.ui()->tlbMain->isEnabled();
                w.mnuFileSub_Click(3);
                w.tlbMain_ButtonClick(QStringLiteral("Refresh"));
                tickUntilRefresh(w);
                closed = w.close();
                grid->setRow(1);
                emit grid->Click();
            }
            return modGeneral::MsgResult::Yes;
        });
        w.mnuFileSub_Click(3);
        ScriptedBoxes::refuseUnexpectedBoxes();

        QCOMPARE(questions, 1);
        QVERIFY(heldDuringQuestion);
        QVERIFY(!closed);
        QVERIFY(!w.gridInUse());
        QVERIFY(w.menuBar()->isEnabled());
        QVERIFY(w.ui()->tlbMain->isEnabled());
        // "Yes" invoiced the two ticked shipments, once.
        QVERIFY2(w.statusText().endsWith(QStringLiteral(" created successfully.")),
                 qPrintable(w.statusText()));
        QCOMPARE(fixture.boxes.shown.size(), 1);
        // The refresh that came due was held back: the invoiced rows are still listed.
        QCOMPARE(grid->Rows(), 3);
    }

    void refreshAndExitDuringACommandHappenWhenItEnds()
    {
        MainWindowFixture fixture({shipped(QStringLiteral("1"))});
        frmMain& w = fixture.openShown();
        {
            GridCommand command(w);
            // The refresh comes due: not now, over the command's grid.
            w.setStatusText(QStringLiteral("held"));
            tickUntilRefresh(w);
            QCoreApplication::processEvents();
            QCOMPARE(w.statusText(), QStringLiteral("held"));
        }
        // The command has ended: the refresh runs.
        QTRY_VERIFY2(w.statusText().startsWith(QStringLiteral("Loading Complete.")),
                     qPrintable(w.statusText()));

        {
            GridCommand command(w);
            // Exit waits, and says why where the user sees it.
            QVERIFY(!w.close());
            QCOMPARE(w.statusText(), QStringLiteral("Please wait: the program ends when the "
                                                    "current command is done."));
            QCoreApplication::processEvents();
            QVERIFY(w.isVisible());
        }
        QTRY_VERIFY(!w.isVisible());
    }

    void invoiceAndCompletionFollowTheOrderEntryVersion()
    {
        for (const QString version : {"55A", "56A", "60A"}) {
            const bool newer = version != QLatin1String("55A");
            TestOrder first = shipped(QStringLiteral("1"));
            TestOrder second = shipped(QStringLiteral("2"));
            TestOrder zero = shipped(QStringLiteral("3"));
            zero.shipments = {{QStringLiteral("SH3"), 0}};
            for (TestOrder* order : {&first, &second, &zero})
                order->withLines = true;
            MainWindowFixture fixture({first, second, zero}, QStringLiteral("ADMIN"), version);
            frmMain& w = fixture.open();
            OrderGrid* grid = w.ui()->flgMain;
            QCOMPARE(grid->Rows(), 4);
            AccpacSession& session = *modGeneral::AppSession;
            Accpac::Testing::setCallLogEnabled(session, true);
            const auto opened = [&session] {
                QStringList views;
                for (const auto& call : Accpac::Testing::callLog(session)) {
                    if (call.operation == QLatin1String("OpenView"))
                        views << call.viewId;
                }
                Accpac::Testing::clearCallLog(session);
                return views;
            };

            // The interactive invoice, with the completion of its order.
            grid->setRow(1);
            grid->setCol(0);
            w.flgMain_Click();
            w.mnuFileSub_Click(3);
            QVERIFY2(w.statusText().endsWith(QStringLiteral(" created successfully.")),
                     qPrintable(version + QLatin1Char(' ') + w.statusText()));
            QStringList views = opened();
            QVERIFY(views.contains(QStringLiteral("OE0420")));
            QCOMPARE(views.contains(QStringLiteral("OE0405")), newer);
            QCOMPARE(views.contains(QStringLiteral("OE0508")), newer);
            QCOMPARE(views.contains(QStringLiteral("OE0680")), !newer);

            // The zero-amount command completes the order of SH3 in the same layout.
            w.Load_Grid();
            QCOMPARE(grid->Rows(), 3);
            QCOMPARE(grid->TextMatrix(2, 4), QStringLiteral("0.00"));
            w.Complete_ZeroAmountShipments();
            views = opened();
            QVERIFY(views.contains(QStringLiteral("OE0692")));
            QCOMPARE(views.contains(QStringLiteral("OE0508")), newer);
            QCOMPARE(views.contains(QStringLiteral("OE0680")), !newer);

            // The batch run invoices what is left through the batch routines of the version.
            QCOMPARE(grid->Rows(), 2);
            modGeneral::BatchOption = 1;
            w.Check_Orders();
            views = opened();
            QCOMPARE(views.contains(QStringLiteral("OE0405")), newer);
            QVERIFY(views.contains(QStringLiteral("AR0024"))); // the credit check
            // One invoice: the run's first and last are the same.
            static const QRegularExpression oneInvoice(
                QStringLiteral("^Invoices (\\S+) to \\1 have been created\\.$"));
            QVERIFY2(oneInvoice.match(w.statusText()).hasMatch(), qPrintable(w.statusText()));
            QVERIFY2(fixture.boxes.shown.isEmpty(),
                     qPrintable(fixture.boxes.texts().join(QStringLiteral(" | "))));
            QCOMPARE(fixture.auditProblems(), QStringList());
        }
    }

    void theTypicalRequestEndToEnd()
    {
        QList<TestOrder> orders;
        for (const char* number : {"1", "2", "3"}) {
            TestOrder order = shipped(QString::fromLatin1(number));
            order.withLines = true;
            orders << order;
        }
        TestOrder other = shipped(QStringLiteral("4"));
        other.customer = QStringLiteral("1300");
        other.name = QStringLiteral("Coastal Hardware");
        other.withLines = true;
        orders << other;
        MainWindowFixture fixture(orders);
        Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
        Setting::save(Setting::DelCharge, QStringLiteral("DEL"));
        frmMain& w = fixture.open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        OrderGrid* grid = w.ui()->flgMain;
        for (int row : {1, 2, 3}) {
            const QRect cell = grid->visualRect(grid->model()->index(row - 1, 0));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        }
        QCOMPARE(w.ui()->lblInvoice->text(), QStringLiteral("37.50"));
        QVERIFY(w.delChargeApply()); // customer 1200 is flagged and 37.50 is a small order
        QCOMPARE(w.ui()->cboDelCharge->currentText(), QStringLiteral("Apply - $10.00"));

        w.tlbMain_ButtonClick(QStringLiteral("Invoice"));
        const QString number = modGeneral::LastInvoiceNumber;
        QVERIFY(number.startsWith(QStringLiteral("IN")));
        QCOMPARE(w.statusText(),
                 QStringLiteral("Invoice ") + number + QStringLiteral(" created successfully."));
        QCOMPARE(fixture.auditProblems(), QStringList());

        // The invoiced orders are complete: a refresh lists only the other customer's.
        w.tlbMain_ButtonClick(QStringLiteral("Refresh"));
        QCOMPARE(grid->Rows(), 2);
        QCOMPARE(grid->TextMatrix(1, 5), QStringLiteral("1300"));
        QVERIFY(fixture.boxes.shown.isEmpty());
    }

    void everyMenuItemHasAnAccessKey()
    {
        MainWindowFixture fixture({});
        frmMain& w = fixture.open();
        for (QMenu* menu : {w.ui()->mnuFile, w.ui()->mnuComplete, w.ui()->mnuHelp}) {
            QVERIFY(!QKeySequence::mnemonic(menu->title()).isEmpty());
            for (QAction* item : menu->actions()) {
                if (!item->isSeparator())
                    QVERIFY2(!QKeySequence::mnemonic(item->text()).isEmpty(),
                             qPrintable(item->text()));
            }
        }
        // Reached from the keyboard: Help, then "V" opens the web site.
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QStringList opened;
        SystemStandIn::setShellOpener([&](const QString& target) {
            opened << target;
            return true;
        });
        w.ui()->mnuHelp->popup(w.mapToGlobal(QPoint(0, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(w.ui()->mnuHelp));
        QTest::keyClick(w.ui()->mnuHelp, Qt::Key_V);
        SystemStandIn::setShellOpener({});
        QCOMPARE(opened.size(), 1);
    }

    void batchModeKeepsTheLowestInvoiceNumber()
    {
        QList<TestOrder> orders;
        for (const char* number : {"1", "2"}) {
            TestOrder order = shipped(QString::fromLatin1(number));
            order.withLines = true;
            orders << order;
        }
        MainWindowFixture fixture(orders);
        frmMain& w = fixture.open();
        modGeneral::BatchFirstInvoice.clear();
        w.setBatchInvoiced(false);
        w.setSelCustomer(QStringLiteral("1200"));
        w.invoiceBatchRows({1});
        QVERIFY(w.batchInvoiced());
        const QString first = modGeneral::LastInvoiceNumber;
        QCOMPARE(modGeneral::BatchFirstInvoice, first);
        w.invoiceBatchRows({2});
        QVERIFY(modGeneral::LastInvoiceNumber > first);
        QCOMPARE(modGeneral::BatchFirstInvoice,
                 first); // the later, higher number does not replace it
        QVERIFY(!w.batchMode());
        modGeneral::BatchFirstInvoice.clear();
        QVERIFY(fixture.boxes.shown.isEmpty());
    }

    void helpOpensTheWebsiteThroughTheShell()
    {
        MainWindowFixture fixture({});
        frmMain& w = fixture.open();
        QStringList opened;
        SystemStandIn::setShellOpener([&](const QString& target) {
            opened << target;
            return true;
        });
        w.mnuHelpSub_Click(0); // Contents: nothing
        w.mnuHelpSub_Click(2);
        SystemStandIn::setShellOpener({});
        QCOMPARE(opened, QStringList({Resources::LoadResString(Resources::Entry::WebAddress)}));
        QVERIFY(opened.first().startsWith(QStringLiteral("https://")));
    }
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
