// The prepayment window open while a batch run creates invoices: nothing the clerk does
// there reaches a batch invoice; a cancel is what the clerk's selection has after the run,
// and a new cheque waits until the run has ended.
#include "prepaywindow.h"

#include <core/text.h>

namespace {

const QString CreatingInvoice = QStringLiteral("Creating Invoice for selected shipments...");

// The customers of the prepayment records stored with invoices.
QStringList receiptCustomers()
{
    auto view = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0278"));
    view->Browse(QString(), true);
    QStringList customers;
    while (view->Fetch())
        customers << Text::trim(view->Field(QStringLiteral("CUSTOMER")).GetValue().toString());
    view->Close();
    return customers;
}

// Customer 1300, whom the run invoices, has credit enough: no approval window waits.
void enoughCreditFor1300()
{
    InvoiceTesting::updateRecord(QStringLiteral("AR0024"), 0,
                                 {{QStringLiteral("IDCUST"), QStringLiteral("1300")}},
                                 {{QStringLiteral("AMTCRLIMT"), 1000000.0}});
}

// Clicks the button once, at the first pause of the run that shows the invoice's own
// status text: the moment between the run setting up an invoice and the invoice reading the
// clerk's prepayment.
class PressWhileCreating
{
public:
    PressWhileCreating(frmMain& window, QAbstractButton* button)
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this, &window, button] {
            if (window.statusText() != CreatingInvoice)
                return;
            m_timer.stop();
            QTest::mouseClick(button, Qt::LeftButton);
            pressed = true;
        });
        m_timer.start();
    }
    bool pressed = false;

private:
    QTimer m_timer;
};

} // namespace

// The clerk has ticked customer 1200's rows and is entering a cheque when the batch run
// starts; OK is pressed while the run invoices customer 1300. The cheque cannot be checked
// against the clerk's invoice while the run holds the selection: it is refused with a box,
// the window stays open, and no batch invoice carries it. OK after the run stores it for the
// clerk's rows, which the run passed over, and their invoice takes it.
TEST_P(PrepayWindowTest, AChequeConfirmedDuringARunWaitsForTheClerksInvoice)
{
    enoughCreditFor1300();
    openPrepay();
    type(ui().vreBatch, QStringLiteral("1"));
    type(ui().txtRecNumber, QStringLiteral("CHQ-9"));
    type(ui().vreRecAmount, typed("10"));

    PressWhileCreating ok(main(), ui().btnOK);
    main().Check_Orders();
    ASSERT_TRUE(ok.pressed);
    settle();
    // An amount the batch invoice could hold: only the run keeps it off that invoice.
    EXPECT_EQ(receiptCustomers(), QStringList());
    ASSERT_EQ(fixture->boxes.shown.size(), 1) << fixture->boxes.texts().join(u'|').toStdString();
    EXPECT_EQ(fixture->boxes.shown[0].title, QStringLiteral("Invoice Batch"));
    EXPECT_EQ(fixture->boxes.shown[0].text,
              QStringLiteral("A batch run is creating invoices.\r\n"
                             "The prepayment can be stored when it has ended."));
    EXPECT_TRUE(isOpen());
    EXPECT_FALSE(modGeneral::PendingPrepayment.Present);
    EXPECT_EQ(main().selCustomer(), QStringLiteral("1200"));

    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    EXPECT_FALSE(isOpen());
    const auto& pending = modGeneral::PendingPrepayment;
    EXPECT_TRUE(pending.Present);
    EXPECT_EQ(pending.ReceiptNumber, QStringLiteral("CHQ-9"));
    EXPECT_TRUE(main().ui()->lblPrepayment->isVisible());
    EXPECT_EQ(main().ui()->lblPrepayment->text(), shown(10, 2));

    main().mnuFileSub_Click(3);
    EXPECT_EQ(receiptCustomers(), QStringList{QStringLiteral("1200")});
    EXPECT_EQ(fixture->boxes.shown.size(), 1) << fixture->boxes.texts().join(u'|').toStdString();
    EXPECT_EQ(fixture->auditProblems(), QStringList());
}

// A cheque confirmed before the run and cancelled while it runs stays cancelled: the run
// does not put it back, and the clerk's next invoice records no receipt.
TEST_P(PrepayWindowTest, AChequeCancelledDuringARunStaysCancelled)
{
    enoughCreditFor1300();
    openPrepay();
    type(ui().vreBatch, QStringLiteral("1"));
    type(ui().vreRecAmount, typed("25"));
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    ASSERT_TRUE(modGeneral::PendingPrepayment.Present);

    openPrepay();
    PressWhileCreating cancel(main(), ui().btnCancel);
    main().Check_Orders();
    ASSERT_TRUE(cancel.pressed);
    settle();
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(main().selCustomer(), QStringLiteral("1200"));
    EXPECT_FALSE(modGeneral::PendingPrepayment.Present);
    EXPECT_FALSE(main().ui()->lblPrepay->isVisible());
    EXPECT_FALSE(main().ui()->lblPrepayment->isVisible());
    // The batch the clerk chose stays for the next prepayment.
    EXPECT_EQ(modGeneral::PendingPrepayment.BatchNumber, 1);

    main().mnuFileSub_Click(3);
    EXPECT_TRUE(receiptCustomers().isEmpty());
    EXPECT_TRUE(fixture->boxes.shown.isEmpty()) << fixture->boxes.texts().join(u'|').toStdString();
    EXPECT_EQ(fixture->auditProblems(), QStringList());
}
