// The prepayment window through its real widgets, over a fresh sample company (batches 1
// and 3 open, 2 and 5 posted, 4 deleted).
#include "prepaywindow.h"

#include <core/stylebuttons.h>
#include <core/twips.h>
#include <settings/settings.h>

#include <accpac/standin.h>

using InvoiceTesting::readField;
using modGeneral::MsgIcon;

namespace {

const QString InvalidBatch = QStringLiteral("The entered AR Batch Number is not a valid open "
                                            "Batch.\r\nPlease enter a valid batch number or use "
                                            "the finder.");

// Picks the finder row whose first value is `code`; records the first values offered.
struct Picker
{
    explicit Picker(QString code) : m_code(std::move(code))
    {
        Accpac::Testing::setFinderPicker([this](const QList<QVariantList>& rows) {
            offered.clear();
            for (int i = 0; i < rows.size(); ++i)
                offered.append(rows[i].value(0).toString());
            return int(offered.indexOf(m_code));
        });
    }
    ~Picker() { Accpac::Testing::setFinderPicker({}); }
    void pick(const QString& code) { m_code = code; }
    QStringList offered;

private:
    QString m_code;
};

} // namespace

// The window as designed, opened with no batch ever chosen: the receipt part waits for a
// valid open batch; a posted or unknown one is refused in its box.
TEST_P(PrepayWindowTest, TheReceiptWaitsForAValidOpenBatch)
{
    Setting::save(Setting::RecType, QStringLiteral("CHECK"));
    openPrepay();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tallymerge - O/E Invoice Prepayments"));
    EXPECT_EQ(window->height(), Twips::toPixels(4230, window->logicalDpiY()));
    EXPECT_EQ(window->parentWidget(), &main());
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(ui().lblHeading->text(), QStringLiteral("Enter the Invoice Prepayment information."));
    // Batch descriptions, bank and receipt type names show as they are, never as markup; so
    // do the main window's labels of the prepayment.
    for (const QLabel* label : window->findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    EXPECT_EQ(main().ui()->lblPrepay->textFormat(), Qt::PlainText);
    const std::pair<QWidget*, const char*> tips[] = {
        {ui().btnBatch, "AR Receipt Batch Finder"},
        {ui().btnNewBatch, "Create New AR Receipt Batch"},
        {ui().btnBatchDate, "Select Batch Date"},
        {ui().btnBankCode, "Bank Code Finder"},
        {ui().btnRecType, "Receipt Type Finder"},
        {ui().btnRecDate, "Select Receipt Date"}};
    for (const auto& [button, tip] : tips)
        EXPECT_EQ(button->toolTip(), QLatin1String(tip)) << tip;
    const std::pair<VrexEditbox*, VrexEditbox::enmEditType> types[] = {
        {ui().vreBatch, VrexEditbox::Numeric},      {ui().vreBatchDate, VrexEditbox::Date_Sys},
        {ui().vreBankCode, VrexEditbox::Uppercase}, {ui().vreRecType, VrexEditbox::Uppercase},
        {ui().vreRecDate, VrexEditbox::Date_Sys},   {ui().vreRecAmount, VrexEditbox::Numeric}};
    for (const auto& [box, editType] : types)
        EXPECT_EQ(box->editType(), editType) << box->objectName().toStdString();
    EXPECT_EQ(ui().vreRecAmount->decimals(), VrexEditbox::Decimals_3_Three);
    EXPECT_EQ(ui().btnOK->text(), QStringLiteral("O&K"));
    EXPECT_EQ(ui().btnCancel->text(), QStringLiteral("&Cancel"));
    EXPECT_EQ(ui().lblRecAmountCaption->text(), QStringLiteral("Receipt Amount"));
    EXPECT_EQ(ui().lblRecNumberCaption->text(), QStringLiteral("Check/Receipt No."));
    // The labels of the batch, not its boxes, until a new batch is set up.
    EXPECT_FALSE(ui().txtBatchDesc->isVisible());
    EXPECT_FALSE(ui().vreBankCode->isVisible());
    EXPECT_TRUE(ui().lblBankCode->isVisible());

    for (QWidget* receipt : std::initializer_list<QWidget*>{
             ui().vreRecType, ui().btnRecType, ui().vreRecDate, ui().btnRecDate, ui().txtRecNumber,
             ui().vreRecAmount, ui().lblRecAmountCaption})
        EXPECT_FALSE(receipt->isEnabled()) << receipt->objectName().toStdString();
    EXPECT_EQ(ui().vreRecAmount->backColor(), modGeneral::SystemButtonFace);
    EXPECT_EQ(ui().vreRecType->text(), QStringLiteral("CHECK"));
    EXPECT_EQ(ui().lblRecType->text(), QStringLiteral("Cheque"));
    EXPECT_EQ(ui().vreRecDate->text(), today());

    for (const char* refused : {"2", "4", "99"}) {
        fixture->boxes.shown.clear();
        type(ui().vreBatch, QLatin1String(refused));
        ASSERT_EQ(fixture->boxes.shown.size(), 1) << refused;
        const auto& box = fixture->boxes.shown.first();
        EXPECT_EQ(box.text, InvalidBatch);
        EXPECT_EQ(box.title, QStringLiteral("Invalid Entry"));
        EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        EXPECT_TRUE(hasFocus(ui().vreBatch)) << refused;
        EXPECT_EQ(ui().vreBatch->selLength(), ui().vreBatch->text().size());
        EXPECT_TRUE(ui().lblBatchDesc->text().isEmpty());
        EXPECT_FALSE(ui().vreRecAmount->isEnabled());
    }

    fixture->boxes.shown.clear();
    type(ui().vreBatch, QStringLiteral("1"));
    EXPECT_TRUE(fixture->boxes.shown.isEmpty());
    EXPECT_EQ(ui().lblBatchDesc->text(), QStringLiteral("Prepayments - week"));
    EXPECT_EQ(ui().lblBankCode->text(), QStringLiteral("SPRINGBK"));
    EXPECT_EQ(ui().lblBatchDate->text(),
              modGeneral::Display_Date(QDate::currentDate().addDays(-3)));
    EXPECT_TRUE(ui().vreRecAmount->isEnabled());
    EXPECT_EQ(ui().vreRecAmount->backColor(), 0x80000005u);

    type(ui().txtRecNumber, QStringLiteral("CHQ-77"));
    type(ui().vreRecAmount, typed("25"));
    EXPECT_EQ(ui().vreRecAmount->text(), shown(25, 3));
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    EXPECT_FALSE(isOpen());
    const auto& pending = modGeneral::PendingPrepayment;
    EXPECT_TRUE(pending.Present);
    EXPECT_EQ(pending.BatchNumber, 1);
    EXPECT_EQ(pending.BatchDate, QDate::currentDate().addDays(-3));
    EXPECT_EQ(pending.BankCode, QStringLiteral("SPRINGBK"));
    EXPECT_EQ(pending.ReceiptType, QStringLiteral("CHECK"));
    EXPECT_EQ(pending.ReceiptDate, QDate::currentDate());
    EXPECT_EQ(pending.ReceiptNumber, QStringLiteral("CHQ-77"));
    EXPECT_DOUBLE_EQ(pending.Amount, 25.0);
    EXPECT_TRUE(main().ui()->lblPrepay->isVisible());
    EXPECT_EQ(main().ui()->lblPrepayment->text(), shown(25, 2));
    EXPECT_TRUE(fixture->boxes.shown.isEmpty());
}

// OK without a change keeps what was pending; the close box keeps new entries like OK;
// Cancel drops even a prepayment pending before; an emptied batch number drops it too.
TEST_P(PrepayWindowTest, ClosingKeepsOrDropsThePrepayment)
{
    auto& pending = modGeneral::PendingPrepayment;
    pending.Present = true;
    pending.BatchNumber = 3;
    pending.BatchDate = QDate::currentDate().addDays(-1);
    pending.BankCode = QStringLiteral("SPRINGBK");
    pending.ReceiptType = QStringLiteral("VISA");
    pending.ReceiptDate = QDate(2026, 11, 30);
    pending.ReceiptNumber = QStringLiteral("V-1");
    pending.Amount = 10.5;
    main().ui()->lblPrepay->show();
    main().ui()->lblPrepayment->setText(shown(10.5, 2));
    main().ui()->lblPrepayment->show();

    openPrepay();
    EXPECT_EQ(ui().vreBatch->text(), QStringLiteral("3"));
    EXPECT_EQ(ui().lblBatchDesc->text(), QStringLiteral("Counter receipts"));
    EXPECT_EQ(ui().vreRecType->text(), QStringLiteral("VISA"));
    EXPECT_EQ(ui().vreRecDate->text(), modGeneral::Display_Date(QDate(2026, 11, 30)));
    EXPECT_EQ(ui().txtRecNumber->text(), QStringLiteral("V-1"));
    EXPECT_EQ(ui().vreRecAmount->text(), typed("10.5"));
    EXPECT_FALSE(window->changed());
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    EXPECT_FALSE(isOpen());
    EXPECT_TRUE(pending.Present);
    EXPECT_DOUBLE_EQ(pending.Amount, 10.5);
    EXPECT_EQ(main().ui()->lblPrepayment->text(), shown(10.5, 2));
    EXPECT_TRUE(main().ui()->lblPrepayment->isVisible());

    // The close box after an edit keeps it.
    openPrepay();
    type(ui().vreRecAmount, typed("12.25"));
    window->close();
    settle();
    EXPECT_FALSE(isOpen());
    EXPECT_TRUE(pending.Present);
    EXPECT_DOUBLE_EQ(pending.Amount, 12.25);
    EXPECT_EQ(pending.ReceiptNumber, QStringLiteral("V-1"));
    EXPECT_EQ(main().ui()->lblPrepayment->text(), shown(12.25, 2));

    // Cancel drops it, without touching the batch.
    openPrepay();
    QTest::mouseClick(ui().btnCancel, Qt::LeftButton);
    settle();
    EXPECT_FALSE(isOpen());
    EXPECT_FALSE(pending.Present);
    EXPECT_EQ(pending.BatchNumber, 3);
    EXPECT_FALSE(main().ui()->lblPrepay->isVisible());
    EXPECT_TRUE(main().ui()->lblPrepayment->text().isEmpty());

    // An emptied batch number drops a pending prepayment, and OK then stores nothing.
    pending.Present = true;
    openPrepay();
    type(ui().vreBatch, QString());
    EXPECT_FALSE(pending.Present);
    EXPECT_FALSE(ui().vreRecAmount->isEnabled());
    EXPECT_TRUE(ui().vreRecAmount->text().isEmpty());
    EXPECT_TRUE(ui().lblBatchDesc->text().isEmpty());
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    EXPECT_FALSE(isOpen());
    EXPECT_FALSE(pending.Present);
    EXPECT_FALSE(main().ui()->lblPrepay->isVisible());
    EXPECT_TRUE(fixture->boxes.shown.isEmpty());
}

// A new batch is created at once with today's date and the "BankCode" setting, and saved
// again as its description, date and bank are edited; with no bank setting it is not
// updated until a valid bank code is entered.
TEST_P(PrepayWindowTest, ANewBatchIsSavedAsItIsEdited)
{
    Setting::save(Setting::BankCode, QStringLiteral("SPRINGBK"));
    openPrepay();
    QTest::mouseClick(ui().btnNewBatch, Qt::LeftButton);
    settle();
    EXPECT_EQ(ui().vreBatch->text(), QStringLiteral("6"));
    EXPECT_EQ(modGeneral::PendingPrepayment.BatchNumber, 6);
    EXPECT_EQ(batchField(6, "BATCHSTAT").toInt(), 1);
    EXPECT_EQ(batchField(6, "DATEBTCH").toDate(), QDate::currentDate());
    EXPECT_EQ(batchField(6, "IDBANK").toString(), QStringLiteral("SPRINGBK"));
    EXPECT_TRUE(ui().txtBatchDesc->isVisible());
    EXPECT_FALSE(ui().lblBatchDesc->isVisible());
    EXPECT_EQ(ui().vreBatchDate->text(), today());
    EXPECT_EQ(ui().vreBankCode->text(), QStringLiteral("SPRINGBK"));
    EXPECT_TRUE(hasFocus(ui().txtBatchDesc));
    EXPECT_TRUE(ui().vreRecAmount->isEnabled());

    QTest::keyClicks(ui().txtBatchDesc, QStringLiteral("Morning receipts "));
    leave(ui().txtBatchDesc);
    EXPECT_EQ(batchField(6, "BATCHDESC").toString(), QStringLiteral("Morning receipts"));
    EXPECT_EQ(ui().lblBatchDesc->text(), QStringLiteral("Morning receipts"));
    pickDate(ui().btnBatchDate, QDate::currentDate().addDays(-2));
    EXPECT_EQ(ui().vreBatchDate->text(),
              modGeneral::Display_Date(QDate::currentDate().addDays(-2)));
    EXPECT_EQ(batchField(6, "DATEBTCH").toDate(), QDate::currentDate().addDays(-2));

    // Without a bank setting the next batch waits for its bank.
    Setting::save(Setting::BankCode, QString());
    QTest::mouseClick(ui().btnNewBatch, Qt::LeftButton);
    settle();
    EXPECT_EQ(ui().vreBatch->text(), QStringLiteral("7"));
    EXPECT_TRUE(batchField(7, "IDBANK").toString().isEmpty());
    EXPECT_FALSE(ui().vreRecAmount->isEnabled());
    QTest::keyClicks(ui().txtBatchDesc, QStringLiteral("Afternoon"));
    leave(ui().txtBatchDesc);
    EXPECT_TRUE(batchField(7, "BATCHDESC").toString().isEmpty());

    type(ui().vreBankCode, QStringLiteral("nosuch"));
    ASSERT_EQ(fixture->boxes.texts(),
              QStringList{QStringLiteral("The entered Bank Code is not a valid Bank Code.\r\n"
                                         "Please enter a valid Bank Code or use the finder.")});
    EXPECT_TRUE(hasFocus(ui().vreBankCode));
    EXPECT_TRUE(batchField(7, "IDBANK").toString().isEmpty());
    type(ui().vreBankCode, QStringLiteral("tdcad"));
    EXPECT_EQ(fixture->boxes.shown.size(), 1);
    EXPECT_EQ(batchField(7, "IDBANK").toString(), QStringLiteral("TDCAD"));
    EXPECT_EQ(batchField(7, "BATCHDESC").toString(), QStringLiteral("Afternoon"));
    EXPECT_EQ(ui().lblBankCode->text(), QStringLiteral("TDCAD"));
    EXPECT_TRUE(ui().vreRecAmount->isEnabled());
    // Batch 6 kept what it was given.
    EXPECT_EQ(batchField(6, "BATCHDESC").toString(), QStringLiteral("Morning receipts"));
}

// The three finders (buttons and F5) fill their boxes; the batch finder offers open batches
// only; the receipt date comes from the calendar.
TEST_P(PrepayWindowTest, FindersAndTheCalendarFillTheBoxes)
{
    openPrepay();
    Picker picker(QStringLiteral("3"));
    QTest::mouseClick(ui().btnBatch, Qt::LeftButton);
    settle();
    EXPECT_EQ(picker.offered, QStringList({"1", "3"}));
    EXPECT_EQ(ui().vreBatch->text(), QStringLiteral("3"));
    EXPECT_EQ(ui().lblBatchDesc->text(), QStringLiteral("Counter receipts"));
    EXPECT_EQ(ui().lblBankCode->text(), QStringLiteral("SPRINGBK"));
    EXPECT_TRUE(ui().vreRecType->isEnabled());
    EXPECT_TRUE(window->changed());

    picker.pick(QStringLiteral("VISA"));
    enter(ui().vreRecType);
    QTest::keyClick(ui().vreRecType->innerEdit(), Qt::Key_F5);
    settle();
    EXPECT_TRUE(picker.offered.contains(QStringLiteral("CASH")));
    EXPECT_EQ(ui().vreRecType->text(), QStringLiteral("VISA"));
    EXPECT_EQ(ui().lblRecType->text(), QStringLiteral("Visa"));
    leave(ui().vreRecType);
    EXPECT_EQ(ui().lblRecType->text(), QStringLiteral("Visa"));

    pickDate(ui().btnRecDate, QDate(2026, 12, 3));
    EXPECT_EQ(ui().vreRecDate->text(), modGeneral::Display_Date(QDate(2026, 12, 3)));

    // In a new batch, the bank finder offers active banks and saves the pick at once.
    QTest::mouseClick(ui().btnNewBatch, Qt::LeftButton);
    settle();
    picker.pick(QStringLiteral("EUROBK"));
    QTest::mouseClick(ui().btnBankCode, Qt::LeftButton);
    settle();
    EXPECT_FALSE(picker.offered.contains(QStringLiteral("OLDBANK")));
    EXPECT_EQ(ui().vreBankCode->text(), QStringLiteral("EUROBK"));
    EXPECT_EQ(batchField(6, "IDBANK").toString(), QStringLiteral("EUROBK"));
    EXPECT_TRUE(fixture->boxes.shown.isEmpty());
}

// Bad entries are refused in their boxes with the focus kept there, and a window holding
// one does not close and stores nothing.
TEST_P(PrepayWindowTest, BadEntriesAreRefusedAndNothingIsStored)
{
    openPrepay();
    type(ui().vreBatch, QStringLiteral("1"));
    type(ui().vreRecType, QStringLiteral("nope"));
    EXPECT_EQ(fixture->boxes.texts(),
              QStringList{QStringLiteral("The entered Receipt Type is not a valid Receipt Type.\r\n"
                                         "Please enter a valid Receipt Type or use the finder.")});
    EXPECT_TRUE(hasFocus(ui().vreRecType));
    EXPECT_TRUE(ui().lblRecType->text().isEmpty());
    // OK while it stands refused: the window stays, the box keeps the focus.
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    EXPECT_TRUE(isOpen());
    EXPECT_TRUE(hasFocus(ui().vreRecType));
    type(ui().vreRecType, QStringLiteral("oldcard")); // inactive
    EXPECT_EQ(fixture->boxes.shown.size(), 3);
    type(ui().vreRecType, QStringLiteral("cash"));
    EXPECT_EQ(ui().lblRecType->text(), QStringLiteral("Cash"));

    fixture->boxes.shown.clear();
    type(ui().vreRecAmount, typed("0"));
    type(ui().vreRecAmount, typed("50.01"));
    EXPECT_EQ(fixture->boxes.texts(),
              QStringList({QStringLiteral("The entered Receipt Amount is not a valid amount.\r\n"
                                          "Please enter an amount greater than zero."),
                           QStringLiteral("The entered Receipt Amount is more than the invoice "
                                          "total of %1.\r\nPlease enter an amount no larger "
                                          "than the invoice total.")
                               .arg(shown(50, 2))}));
    EXPECT_TRUE(hasFocus(ui().vreRecAmount));
    // The whole invoice may be prepaid; with the delivery charge it is 10.00 more.
    type(ui().vreRecAmount, typed("50"));
    main().setDelChargeApply(true);
    type(ui().vreRecAmount, typed("60"));
    EXPECT_EQ(fixture->boxes.shown.size(), 2);

    // A cheque number longer than its field cannot be typed.
    type(ui().txtRecNumber, QStringLiteral("1234567890123456789012345"));
    EXPECT_EQ(ui().txtRecNumber->text(), QStringLiteral("1234567890123456789012"));

    // A receipt date the box does not take is refused as the box is left, and the window
    // does not close on it.
    type(ui().vreRecDate, QStringLiteral("13/45/2026"));
    EXPECT_EQ(fixture->boxes.texts().value(2),
              QStringLiteral("The entered Receipt Date is not a valid date.\r\n"
                             "Please enter a valid date or use the calendar."));
    EXPECT_TRUE(hasFocus(ui().vreRecDate));
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    EXPECT_TRUE(isOpen());
    EXPECT_TRUE(hasFocus(ui().vreRecDate));
    EXPECT_FALSE(modGeneral::PendingPrepayment.Present);

    // An amount emptied is refused on closing too; Cancel always closes.
    type(ui().vreRecDate, today());
    type(ui().vreRecAmount, QString());
    fixture->boxes.shown.clear();
    window->close();
    settle();
    EXPECT_TRUE(isOpen());
    EXPECT_EQ(fixture->boxes.shown.size(), 1);
    // Exit while the window holds that entry: the program stays, and the window comes back
    // from the task bar, active, to be answered.
    window->showMinimized();
    main().activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&main()));
    EXPECT_FALSE(main().close());
    settle();
    EXPECT_TRUE(main().isVisible());
    EXPECT_TRUE(isOpen());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_EQ(fixture->boxes.shown.size(), 2);
    QTest::mouseClick(ui().btnCancel, Qt::LeftButton);
    settle();
    EXPECT_FALSE(isOpen());
    // Nothing of the refused entries reached the pending record.
    const auto& pending = modGeneral::PendingPrepayment;
    EXPECT_FALSE(pending.Present);
    EXPECT_DOUBLE_EQ(pending.Amount, 0);
    EXPECT_TRUE(pending.ReceiptNumber.isEmpty());
    EXPECT_TRUE(pending.ReceiptType.isEmpty());
}

// A grid reload clears the pending receipt but keeps the batch: the window opens on the
// last batch with the "RecType" setting and today's date.
TEST_P(PrepayWindowTest, AGridReloadKeepsTheBatch)
{
    Setting::save(Setting::RecType, QStringLiteral("WIRE"));
    openPrepay();
    Picker picker(QStringLiteral("3"));
    QTest::mouseClick(ui().btnBatch, Qt::LeftButton);
    type(ui().vreRecType, QStringLiteral("VISA"));
    type(ui().vreRecDate, modGeneral::Display_Date(QDate(2026, 12, 1)));
    type(ui().txtRecNumber, QStringLiteral("V-9"));
    type(ui().vreRecAmount, typed("5"));
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    ASSERT_TRUE(modGeneral::PendingPrepayment.Present);

    main().Load_Grid();
    const auto& pending = modGeneral::PendingPrepayment;
    EXPECT_FALSE(pending.Present);
    EXPECT_EQ(pending.BatchNumber, 3);
    EXPECT_TRUE(pending.ReceiptType.isEmpty());
    EXPECT_FALSE(main().ui()->lblPrepay->isVisible());

    for (const int row : {1, 2})
        clickCell(row, 0);
    openPrepay();
    EXPECT_EQ(ui().vreBatch->text(), QStringLiteral("3"));
    EXPECT_EQ(ui().lblBatchDesc->text(), QStringLiteral("Counter receipts"));
    EXPECT_EQ(ui().lblBankCode->text(), QStringLiteral("SPRINGBK"));
    EXPECT_EQ(ui().vreRecType->text(), QStringLiteral("WIRE"));
    EXPECT_EQ(ui().lblRecType->text(), QStringLiteral("Wire transfer"));
    EXPECT_EQ(ui().vreRecDate->text(), today());
    EXPECT_TRUE(ui().txtRecNumber->text().isEmpty());
    EXPECT_TRUE(ui().vreRecAmount->text().isEmpty());
    EXPECT_TRUE(ui().vreRecAmount->isEnabled());
    // The command brings the open window forward rather than opening a second one.
    main().mnuFileSub(2)->trigger();
    EXPECT_EQ(main().findChildren<frmPrepay*>().size(), 1);
}
