// A prepayment from the window to the invoice and its receipt batch, through the main
// window's commands, ending with the company's integrity check.
#include "faultyaccpac.h"
#include "prepaywindow.h"

#include <core/session.h>
#include <settings/settings.h>

#include <accpac/standin.h>
#include <accpac/view.h>

using InvoiceTesting::records;

namespace {

QString accpacBox(const QString& message)
{
    return message + QStringLiteral("\r\n\nIn procedure frmMain.Create_Invoice56.");
}

} // namespace

// Tick rows, Prepayment, a new batch with the bank of the settings, type, date, cheque
// number and amount, OK, Invoice: the invoice carries the prepayment, the batch holds the
// receipt, the amount due is the total less the prepayment, and the books agree.
TEST_P(PrepayWindowTest, EndToEndThePrepaymentLandsOnTheInvoiceAndInItsBatch)
{
    Setting::save(Setting::BankCode, QStringLiteral("SPRINGBK"));
    Setting::save(Setting::RecType, QStringLiteral("CASH"));
    openPrepay();
    QTest::mouseClick(ui().btnNewBatch, Qt::LeftButton);
    settle();
    QTest::keyClicks(ui().txtBatchDesc, QStringLiteral("Prepayments of the day"));
    leave(ui().txtBatchDesc);
    type(ui().vreRecType, QStringLiteral("check"));
    pickDate(ui().btnRecDate, QDate::currentDate().addDays(-1));
    type(ui().txtRecNumber, QStringLiteral("CHQ-5521"));
    type(ui().vreRecAmount, typed("20.5"));
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    ASSERT_FALSE(isOpen());
    EXPECT_EQ(main().ui()->lblPrepayment->text(), shown(20.5, 2));

    main().toolbarButton(QStringLiteral("Invoice"))->trigger();
    settle();
    EXPECT_TRUE(fixture->boxes.shown.isEmpty()) << fixture->boxes.texts().join('|').toStdString();
    const QString number = modGeneral::LastInvoiceNumber;
    ASSERT_FALSE(number.isEmpty());
    const auto headers =
        records(QStringLiteral("OE0420"),
                {"REBATCHNUM", "BANKRECTYP", "CHECKNUM", "BANKCODE", "BANKPAYMNT", "CHECKDATE",
                 "APPLYTO", "INVPAYMENT", "INVNETWTX", "INVDUE", "INVUNIQ"},
                QStringLiteral("INVNUMBER = \"%1\"").arg(number));
    ASSERT_EQ(headers.size(), 1);
    const QVariantList& h = headers.first();
    EXPECT_EQ(h.at(0).toInt(), 6);
    EXPECT_EQ(h.at(1).toString(), QStringLiteral("CHECK"));
    EXPECT_EQ(h.at(2).toString(), QStringLiteral("CHQ-5521"));
    EXPECT_EQ(h.at(3).toString(), QStringLiteral("SPRINGBK"));
    EXPECT_DOUBLE_EQ(h.at(4).toDouble(), 20.5);
    EXPECT_EQ(h.at(5).toDate(), QDate::currentDate().addDays(-1));
    EXPECT_EQ(h.at(6).toInt(), 2);
    EXPECT_DOUBLE_EQ(h.at(7).toDouble(), 20.5);
    EXPECT_DOUBLE_EQ(h.at(8).toDouble(), 50.0);
    EXPECT_DOUBLE_EQ(h.at(9).toDouble(), 50.0 - 20.5);

    const auto receipts =
        records(QStringLiteral("AR0042"), {"IDCUST", "IDRMIT", "AMTRMIT", "IDINVC", "RECPTYPE"},
                QStringLiteral("CNTBTCH = 6"));
    ASSERT_EQ(receipts.size(), 1);
    EXPECT_EQ(receipts.first().at(0).toString(), QStringLiteral("1200"));
    EXPECT_EQ(receipts.first().at(1).toString(), QStringLiteral("CHQ-5521"));
    EXPECT_DOUBLE_EQ(receipts.first().at(2).toDouble(), 20.5);
    EXPECT_EQ(receipts.first().at(3).toString(), number);
    EXPECT_EQ(receipts.first().at(4).toString(), QStringLiteral("CHECK"));
    EXPECT_EQ(batchField(6, "CNTENTER").toInt(), 1);
    EXPECT_DOUBLE_EQ(batchField(6, "AMTENTER").toDouble(), 20.5);
    EXPECT_EQ(batchField(6, "BATCHDESC").toString(), QStringLiteral("Prepayments of the day"));
    EXPECT_EQ(fixture->auditProblems(), QStringList());
}

// With the delivery charge applied the whole invoice, charge included, may be prepaid: the
// invoice is made with nothing due. Rows unticked afterwards make the prepayment larger than
// the invoice: Invoice then says so and makes nothing.
TEST_P(PrepayWindowTest, EndToEndTheWholeInvoiceWithItsDeliveryChargeIsPrepaid)
{
    const double enteredBefore = batchField(1, "AMTENTER").toDouble();
    // The charge as the window offers it: switched on, for the flagged customer.
    Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
    main().setDelChargeApply(true);
    openPrepay();
    type(ui().vreBatch, QStringLiteral("1"));
    type(ui().txtRecNumber, QStringLiteral("ALL-1"));
    type(ui().vreRecAmount, typed("60"));
    EXPECT_TRUE(fixture->boxes.shown.isEmpty()) << fixture->boxes.texts().join('|').toStdString();
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    ASSERT_FALSE(isOpen());

    // The second row unticked: 20.00 and the charge are less than the prepayment.
    clickCell(2, 0);
    main().setDelChargeApply(true);
    ASSERT_TRUE(modGeneral::PendingPrepayment.Present);
    main().toolbarButton(QStringLiteral("Invoice"))->trigger();
    settle();
    EXPECT_EQ(fixture->boxes.texts(),
              QStringList{QStringLiteral("The prepayment of %1 is more than the invoice total of "
                                         "%2.\r\nPlease change the prepayment before creating "
                                         "the invoice.")
                              .arg(shown(60, 2), shown(30, 2))});
    EXPECT_TRUE(records(QStringLiteral("OE0420"), {"INVNUMBER"}, QString()).isEmpty());

    clickCell(2, 0);
    main().setDelChargeApply(true);
    fixture->boxes.shown.clear();
    main().toolbarButton(QStringLiteral("Invoice"))->trigger();
    settle();
    EXPECT_TRUE(fixture->boxes.shown.isEmpty()) << fixture->boxes.texts().join('|').toStdString();
    const QString number = modGeneral::LastInvoiceNumber;
    ASSERT_FALSE(number.isEmpty());
    const auto headers = records(QStringLiteral("OE0420"), {"INVPAYMENT", "INVNETWTX", "INVDUE"},
                                 QStringLiteral("INVNUMBER = \"%1\"").arg(number));
    ASSERT_EQ(headers.size(), 1);
    EXPECT_DOUBLE_EQ(headers.first().at(0).toDouble(), 60.0);
    EXPECT_DOUBLE_EQ(headers.first().at(1).toDouble(), 60.0);
    EXPECT_DOUBLE_EQ(headers.first().at(2).toDouble(), 0.0);
    EXPECT_DOUBLE_EQ(batchField(1, "AMTENTER").toDouble(), enteredBefore + 60.0);
    EXPECT_EQ(Accpac::checkCompanyFile(fixture->companyFile()), QStringList());
}

// A pending prepayment whose batch was posted, or deleted, after it was chosen: the
// invoice is refused with the company's reason and nothing is stored.
TEST_P(PrepayWindowTest, ABatchPostedOrDeletedMeanwhileStopsTheInvoice)
{
    openPrepay();
    type(ui().vreBatch, QStringLiteral("3"));
    type(ui().txtRecNumber, QStringLiteral("C-1"));
    type(ui().vreRecAmount, typed("15"));
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    ASSERT_TRUE(modGeneral::PendingPrepayment.Present);
    {
        // Another clerk posts the batch.
        auto batch = modGeneral::AppDBLink->OpenView(QStringLiteral("AR0041"));
        batch->Field(QStringLiteral("CODEPYMTYP")).SetValue(QStringLiteral("CA"));
        batch->Field(QStringLiteral("CNTBTCH")).SetValue(3);
        ASSERT_TRUE(batch->Read());
        batch->Post();
    }
    for (const int batch : {3, 4}) {
        fixture->boxes.shown.clear();
        modGeneral::PendingPrepayment.BatchNumber = batch;
        modGeneral::LastInvoiceNumber.clear();
        main().toolbarButton(QStringLiteral("Invoice"))->trigger();
        settle();
        EXPECT_EQ(fixture->boxes.texts(),
                  QStringList{accpacBox(QStringLiteral("Receipt batch %1 is not open; a "
                                                       "prepayment cannot be added to it.")
                                            .arg(batch))});
        EXPECT_TRUE(modGeneral::LastInvoiceNumber.isEmpty());
        EXPECT_TRUE(records(QStringLiteral("OE0420"), {"INVNUMBER"}, QString()).isEmpty());
        EXPECT_EQ(batchField(batch, "CNTENTER").toInt(), 0);
    }
    EXPECT_EQ(fixture->auditProblems(), QStringList());
}

// A warning of priority 1 or 2 on the batch read is shown once, and the run copies the batch
// fields as if the batch had been found: the receipt still lands in the chosen batch.
TEST_P(PrepayWindowTest, AWarningOnTheBatchReadLetsTheInvoiceGoOn)
{
    for (const int priority : {1, 2}) {
        SCOPED_TRACE(priority);
        if (priority == 2) {
            // The first invoice took both rows; a fresh row of the customer for the second.
            fixture->addOrders({lined(InvoiceTesting::order("ORD4", "SH4", 40))});
            main().Load_Grid();
            clickCell(2, 0);
            ASSERT_EQ(main().selCustomer(), QStringLiteral("1200"));
        }
        openPrepay();
        type(ui().vreBatch, QStringLiteral("1"));
        type(ui().txtRecNumber, QStringLiteral("W-%1").arg(priority));
        type(ui().vreRecAmount, typed("10"));
        QTest::mouseClick(ui().btnOK, Qt::LeftButton);
        settle();
        fixture->boxes.shown.clear();
        {
            FaultyAccpac faults;
            faults.fail({"AR0041", "Read", 1, QStringLiteral("Batch is being checked."), priority});
            main().toolbarButton(QStringLiteral("Invoice"))->trigger();
            settle();
        }
        EXPECT_EQ(fixture->boxes.texts(),
                  QStringList{accpacBox(QStringLiteral("Batch is being checked."))});
        const QString number = modGeneral::LastInvoiceNumber;
        ASSERT_FALSE(number.isEmpty());
        const auto headers = records(QStringLiteral("OE0420"), {"REBATCHNUM", "INVPAYMENT"},
                                     QStringLiteral("INVNUMBER = \"%1\"").arg(number));
        ASSERT_EQ(headers.size(), 1);
        EXPECT_EQ(headers.first().at(0).toInt(), 1);
        EXPECT_DOUBLE_EQ(headers.first().at(1).toDouble(), 10.0);
        EXPECT_EQ(records(QStringLiteral("AR0042"), {"IDRMIT"},
                          QStringLiteral("CNTBTCH = 1 AND IDINVC = \"%1\"").arg(number))
                      .size(),
                  1);
    }
    EXPECT_EQ(batchField(1, "CNTENTER").toInt(), 2);
    EXPECT_EQ(fixture->auditProblems(), QStringList());
}
