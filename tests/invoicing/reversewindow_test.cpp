// The Reverse Invoice window through the main window's command, over a real company: who is
// offered the command, a number refused with nothing written, a reversal with the choice
// "the goods came back" that writes one credit note the auditor accepts, and one that releases
// the shipments, which the grid lists again and the program invoices again.
#include "invoicetesting.h"

#include "ui_frmmain.h"
#include "ui_frmreverseinvoice.h"

#include <invoicing/frmreverseinvoice.h>
#include <selection/gridcommand.h>

#include <core/appstate.h>
#include <core/displaydate.h>
#include <core/systemlocale.h>
#include <settings/settings.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace InvoiceTesting;
using modGeneral::MsgResult;

namespace {

QAction* reverseCommand(frmMain& w)
{
    return w.findChild<QAction*>(QStringLiteral("mnuFileReverseInvoice"));
}

int creditNotes()
{
    return records(QStringLiteral("OE0240"), {QStringLiteral("CRDNUMBER")}).size();
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Types the number into the box and leaves it, as the clerk does.
void typeNumber(frmReverseInvoice& window, const QString& number)
{
    VrexEditbox* box = window.ui()->vreInvoice;
    box->innerEdit()->setFocus(Qt::TabFocusReason);
    settle();
    box->HighlightText();
    QTest::keyClick(box->innerEdit(), Qt::Key_Backspace);
    QTest::keyClicks(box->innerEdit(), number);
    QTest::keyClick(box->innerEdit(), Qt::Key_Tab);
    settle();
}

QStringList column(QTreeWidget* list, int col)
{
    QStringList texts;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        texts << list->topLevelItem(row)->text(col);
    return texts;
}

// The details the window shows: customer, date, delivery line, prepayment and total.
QStringList details(const Ui::frmReverseInvoice& ui)
{
    return {ui.lblCustomer->text(), ui.lblDate->text(), ui.lblDelivery->text(),
            ui.lblPrepayment->text(), ui.lblTotal->text()};
}

// Runs the command and hands the modal window it opens to `work`; the window is closed
// afterwards if `work` left it open. Returns how many windows opened.
int runCommand(frmMain& w, const std::function<void(frmReverseInvoice&)>& work)
{
    int opened = 0;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* window = qobject_cast<frmReverseInvoice*>(QApplication::activeModalWidget());
        if (!window || !window->isVisible())
            return;
        poll.stop();
        ++opened;
        work(*window);
        if (window->isVisible())
            window->reject();
    });
    poll.start();
    reverseCommand(w)->trigger();
    return opened;
}

class ReverseInvoiceWindow : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override { SystemLocale::setLocale(QLocale(QLatin1String(GetParam()))); }
    void TearDown() override
    {
        SystemLocale::setLocale(QLocale(QLatin1String("en_US")));
        modGeneral::PendingPrepayment = {};
    }
};

} // namespace

TEST(ReverseInvoiceCommand, IsOfferedToThoseWhoMayApproveCreditAndNeverWhileTheGridIsInUse)
{
    for (const auto& [user, offered] :
         {std::pair{QStringLiteral("CLERK"), false}, std::pair{QStringLiteral("SUPER"), true},
          std::pair{QStringLiteral("ADMIN"), true}}) {
        SCOPED_TRACE(user.toStdString());
        MainWindowFixture fixture(reversalOrders(), user);
        frmMain& w = fixture.open();
        QAction* command = reverseCommand(w);
        ASSERT_NE(command, nullptr);
        EXPECT_EQ(command->isVisible(), offered);
        // Right after the preview of the batch, before the print commands.
        const QList<QAction*> items = w.ui()->mnuFile->actions();
        EXPECT_EQ(items.indexOf(command), items.indexOf(w.mnuFileSub(5)) - 1);
        if (user == QLatin1String("CLERK")) {
            // Past the menu the books refuse the clerk: one box, nothing written.
            const QString number = invoiceForReversal(w);
            ASSERT_FALSE(number.isEmpty());
            ASSERT_FALSE(number.isEmpty());
            frmReverseInvoice window(&w);
            window.show();
            typeNumber(window, number);
            window.ui()->optGoodsBack->click();
            fixture.boxes.answer(MsgResult::Yes);
            fixture.boxes.shown.clear();
            window.btnReverse_Click();
            ASSERT_EQ(fixture.boxes.shown.size(), 2)
                << fixture.boxes.texts().join(u'|').toStdString();
            EXPECT_EQ(fixture.boxes.shown[1].title, QStringLiteral("Invoice Not Reversed"));
            EXPECT_EQ(fixture.boxes.shown[1].text,
                      QStringLiteral("User CLERK may not reverse invoices in company %1: only a "
                                     "user who may approve credit can.")
                          .arg(modGeneral::Session().Company().ID().trimmed()));
            EXPECT_TRUE(window.isVisible());
            EXPECT_EQ(creditNotes(), 0);
        }
        if (offered) {
            // Held by another command, the command opens nothing.
            {
                const GridCommand other(w);
                EXPECT_EQ(runCommand(w, [](frmReverseInvoice&) {}), 0);
            }
            EXPECT_EQ(runCommand(w, [](frmReverseInvoice&) {}), 1);
        }
        EXPECT_EQ(fixture.auditProblems(), QStringList());
    }
}

TEST_P(ReverseInvoiceWindow, ANumberThatCannotBeReversedIsRefusedWithNothingWritten)
{
    MainWindowFixture fixture(reversalOrders(), QStringLiteral("SUPER"));
    frmMain& w = fixture.open();
    const QString number = invoiceForReversal(w);
    ASSERT_FALSE(number.isEmpty());
    const int opened = runCommand(w, [&](frmReverseInvoice& window) {
        Ui::frmReverseInvoice& ui = *window.ui();
        const QString company = modGeneral::Session().Company().ID().trimmed();
        fixture.boxes.shown.clear();
        typeNumber(window, QStringLiteral("in9999999"));
        ASSERT_EQ(fixture.boxes.shown.size(), 1);
        EXPECT_EQ(fixture.boxes.shown[0].text,
                  QStringLiteral("Invoice IN9999999 does not exist in company %1.").arg(company));
        EXPECT_EQ(fixture.boxes.shown[0].icon, modGeneral::MsgIcon::Exclamation);
        EXPECT_EQ(details(ui), QStringList(5));
        EXPECT_EQ(ui.lvwShipments->topLevelItemCount(), 0);

        // A good number fills the details; a bad one after it empties them again.
        typeNumber(window, number);
        EXPECT_EQ(ui.lvwShipments->topLevelItemCount(), 2);
        ui.optGoodsBack->click();
        EXPECT_TRUE(ui.btnReverse->isEnabled());
        fixture.boxes.shown.clear();
        typeNumber(window, QStringLiteral("IN8888888"));
        EXPECT_EQ(
            fixture.boxes.texts(),
            QStringList{
                QStringLiteral("Invoice IN8888888 does not exist in company %1.").arg(company)});
        EXPECT_EQ(details(ui), QStringList(5));
        EXPECT_EQ(ui.lvwShipments->topLevelItemCount(), 0);
        EXPECT_FALSE(ui.btnReverse->isEnabled());
        EXPECT_FALSE(ui.optGoodsBack->isChecked());
    });
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(creditNotes(), 0);
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

TEST_P(ReverseInvoiceWindow, TheGoodsCameBackWritesOneCreditNoteAfterTheChoiceAndYes)
{
    MainWindowFixture fixture(reversalOrders(), QStringLiteral("SUPER"));
    frmMain& w = fixture.open();
    const QString number = invoiceForReversal(w);
    ASSERT_FALSE(number.isEmpty());
    const auto money = [](double amount) {
        return SystemLocale::formatMoney(Books::Money::of(amount));
    };
    QString total;
    const int opened = runCommand(w, [&](frmReverseInvoice& window) {
        Ui::frmReverseInvoice& ui = *window.ui();
        EXPECT_FALSE(ui.btnReverse->isEnabled());
        typeNumber(window, QStringLiteral(" ") + number.toLower());
        EXPECT_EQ(ui.lblCustomer->text(), QStringLiteral("1200  Mr. Ronald Black"));
        EXPECT_EQ(ui.lblDate->text(), modGeneral::Display_Date(QDate::currentDate()));
        EXPECT_EQ(column(ui.lvwShipments, 0), (QStringList{"SH1", "SH2"}));
        EXPECT_EQ(column(ui.lvwShipments, 2), (QStringList{money(20), money(30)}));
        EXPECT_TRUE(ui.lblDelivery->text().startsWith(QStringLiteral("DEL  ")));
        EXPECT_EQ(ui.lblPrepayment->text(), money(25));
        total = ui.lblTotal->text();
        const auto charge = SystemLocale::parseMoney(ui.lblDelivery->text().mid(5));
        ASSERT_TRUE(charge.has_value());
        EXPECT_EQ(total, SystemLocale::formatMoney(Books::Money::of(50) + *charge));

        // Shown, no choice yet: Reverse waits.
        EXPECT_FALSE(ui.btnReverse->isEnabled());
        EXPECT_TRUE(ui.optInvoiceAgain->isEnabled());
        EXPECT_FALSE(ui.optInvoiceAgain->isChecked());
        EXPECT_FALSE(ui.optGoodsBack->isChecked());
        ui.optGoodsBack->click();
        EXPECT_TRUE(ui.btnReverse->isEnabled());

        // "No" to the question writes nothing and leaves the window as it was.
        fixture.boxes.shown.clear();
        fixture.boxes.answer(MsgResult::No);
        QTest::mouseClick(ui.btnReverse, Qt::LeftButton);
        ASSERT_EQ(fixture.boxes.shown.size(), 1);
        EXPECT_EQ(fixture.boxes.shown[0].buttons, modGeneral::MsgButtons::YesNo);
        EXPECT_EQ(fixture.boxes.shown[0].defaultButton, 2);
        EXPECT_TRUE(fixture.boxes.shown[0].text.contains(number));
        EXPECT_TRUE(fixture.boxes.shown[0].text.contains(total));
        EXPECT_EQ(creditNotes(), 0);
        EXPECT_TRUE(window.isVisible());

        fixture.boxes.shown.clear();
        fixture.boxes.answer(MsgResult::Yes);
        QTest::mouseClick(ui.btnReverse, Qt::LeftButton);
        EXPECT_FALSE(window.isVisible());
    });
    EXPECT_EQ(opened, 1);
    ASSERT_EQ(fixture.boxes.shown.size(), 2) << fixture.boxes.texts().join(u'|').toStdString();
    EXPECT_EQ(fixture.boxes.shown[1].title, QStringLiteral("Invoice Reversed"));
    EXPECT_EQ(fixture.boxes.shown[1].text,
              QStringLiteral("Invoice %1 was reversed by credit note CN0000001.\r\nThe prepayment "
                             "of %2 stays on the account of Mr. Ronald Black (1200) as a payment "
                             "applied to no invoice.")
                  .arg(number, money(25)));
    const QList<QVariantList> written = records(
        QStringLiteral("OE0240"), {QStringLiteral("CRDNUMBER"), QStringLiteral("INVNUMBER")});
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(written[0][0].toString().trimmed(), QStringLiteral("CN0000001"));
    EXPECT_EQ(written[0][1].toString().trimmed(), number);
    // The window is not left behind, and the grid works again.
    EXPECT_TRUE(w.findChildren<frmReverseInvoice*>().isEmpty());
    EXPECT_FALSE(w.gridInUse());
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

TEST_P(ReverseInvoiceWindow, ReleasedShipmentsAreListedAgainAndInvoicedAgain)
{
    MainWindowFixture fixture(reversalOrders(), QStringLiteral("SUPER"));
    frmMain& w = fixture.open();
    const auto listedShipments = [&] {
        w.Load_Grid();
        const OrderGrid* grid = w.orderGrid();
        QStringList shipments;
        for (int row = 1; row < grid->Rows(); ++row)
            shipments << grid->orderRow(row).shipment.trimmed();
        return shipments;
    };
    const QStringList before = listedShipments();
    ASSERT_TRUE(before.contains(QStringLiteral("SH1")));
    const QString number = invoiceForReversal(w);
    ASSERT_FALSE(number.isEmpty());
    EXPECT_FALSE(listedShipments().contains(QStringLiteral("SH1")));

    fixture.boxes.shown.clear();
    const int opened = runCommand(w, [&](frmReverseInvoice& window) {
        Ui::frmReverseInvoice& ui = *window.ui();
        typeNumber(window, number);
        ui.optInvoiceAgain->click();
        EXPECT_TRUE(ui.btnReverse->isEnabled());
        fixture.boxes.answer(MsgResult::Yes);
        QTest::mouseClick(ui.btnReverse, Qt::LeftButton);
        EXPECT_FALSE(window.isVisible());
    });
    EXPECT_EQ(opened, 1);
    ASSERT_EQ(fixture.boxes.shown.size(), 2) << fixture.boxes.texts().join(u'|').toStdString();
    EXPECT_TRUE(fixture.boxes.shown[0].text.contains(
        QStringLiteral("The shipments can be invoiced again.")));
    EXPECT_TRUE(fixture.boxes.shown[1].text.contains(
        QStringLiteral("Its shipments can be invoiced again: they are listed once the order "
                       "list is refreshed.")));
    EXPECT_EQ(fixture.auditProblems(), QStringList());

    // After Refresh the grid lists the orders as before the invoice, and the program invoices
    // the shipments again.
    EXPECT_EQ(listedShipments(), before);
    const QString again = invoiceForReversal(w);
    ASSERT_FALSE(again.isEmpty());
    EXPECT_NE(again, number);
    EXPECT_FALSE(listedShipments().contains(QStringLiteral("SH1")));
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(LocalesOfTheWindows, ReverseInvoiceWindow,
                         ::testing::Values("en_US", "de_DE", "C"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });
