// What a clerk types into the prepayment window, in each locale: dates in the locale's
// forms, amounts in its number format, and the entries the window refuses.
#include "prepaywindow.h"

#include <settings/settings.h>

#include <accpac/standin.h>

#include <QRegularExpression>

namespace {

const QString InvalidDate = QStringLiteral("The entered Receipt Date is not a valid date.\r\n"
                                           "Please enter a valid date or use the calendar.");

// The short date with the given day and month texts put in place of a date's own.
QString withParts(const QString& day, const QString& month, const QString& year)
{
    QString format = SystemLocale::shortDateFormat();
    format.replace(QLatin1String("yyyy"), QStringLiteral("'%1'").arg(year));
    format.replace(QRegularExpression(QStringLiteral("d+")), QStringLiteral("'%1'").arg(day));
    format.replace(QRegularExpression(QStringLiteral("M+")), QStringLiteral("'%1'").arg(month));
    return QDate(2000, 1, 1).toString(format);
}

} // namespace

// The receipt date box takes the form it shows and the locale's other short forms, and
// shows what it took in the short form; anything else is refused with a message, the focus
// stays in the box and the window stores nothing.
TEST_P(PrepayWindowTest, TheReceiptDateTakesTheLocalesForms)
{
    openPrepay();
    type(ui().vreBatch, QStringLiteral("1"));
    type(ui().txtRecNumber, QStringLiteral("D-1"));
    type(ui().vreRecAmount, typed("5"));
    const QDate date(2026, 12, 6);
    const QString shortForm = modGeneral::Display_Date(date);
    QStringList accepted = {shortForm, QLocale::c().toString(date, QStringLiteral("yyyy-MM-dd"))};
    // Without leading zeros and with a two-digit year, in the locale's own order.
    QString loose = SystemLocale::shortDateFormat();
    loose.replace(QLatin1String("dd"), QLatin1String("d"));
    accepted << SystemLocale::locale().toString(date, loose)
             << SystemLocale::locale().toString(date, QString(loose).replace("yyyy", "yy"));
    for (const QString& text : accepted) {
        type(ui().vreRecDate, text);
        EXPECT_TRUE(fixture->boxes.shown.isEmpty()) << text.toStdString();
        EXPECT_EQ(ui().vreRecDate->text(), shortForm) << text.toStdString();
    }
    // The locale's short date typed afresh is taken too (the box shows "8 Dec 2026" in C).
    type(ui().vreRecDate, today());
    EXPECT_EQ(ui().vreRecDate->text(), today());
    EXPECT_TRUE(fixture->boxes.shown.isEmpty());

    // Another locale's order: day first where the month leads, and the reverse.
    const bool german = SystemLocale::locale().language() == QLocale::German;
    const QString otherLocale = german ? QStringLiteral("12/6/2026") : QStringLiteral("6.12.2026");
    for (const QString& bad :
         {withParts(QStringLiteral("31"), QStringLiteral("2"), QStringLiteral("2026")),
          QStringLiteral("31 Feb 2026"), QStringLiteral("0/0/0"),
          withParts(QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("10000")),
          QStringLiteral("abc"), otherLocale, QString()}) {
        fixture->boxes.shown.clear();
        type(ui().vreRecDate, bad);
        EXPECT_EQ(fixture->boxes.texts(), QStringList{InvalidDate}) << bad.toStdString();
        EXPECT_TRUE(hasFocus(ui().vreRecDate)) << bad.toStdString();
        QTest::mouseClick(ui().btnOK, Qt::LeftButton);
        settle();
        EXPECT_TRUE(isOpen()) << bad.toStdString();
        EXPECT_FALSE(modGeneral::PendingPrepayment.Present);
    }
    fixture->boxes.shown.clear();
    type(ui().vreRecDate, shortForm);
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(modGeneral::PendingPrepayment.ReceiptDate, date);
    EXPECT_TRUE(fixture->boxes.shown.isEmpty());
}

// Amounts are read in the locale's number format and must fit the currency's decimals and
// the invoice; a refused amount keeps the focus and nothing is stored.
TEST_P(PrepayWindowTest, AmountsAreReadInTheLocale)
{
    openPrepay();
    type(ui().vreBatch, QStringLiteral("1"));
    const QString tooPrecise = QStringLiteral("The entered Receipt Amount has more decimals than "
                                              "the currency.\r\nPlease enter an amount with at "
                                              "most 2 decimals.");
    const QString notAnAmount = QStringLiteral("The entered Receipt Amount is not a valid "
                                               "amount.\r\nPlease enter an amount greater than "
                                               "zero.");
    const bool commaPoint = SystemLocale::locale().decimalPoint() == QLatin1String(",");
    // The other locale's grouped amount: its separators are not this locale's.
    const QString grouped = commaPoint ? QStringLiteral("1,234.56") : QStringLiteral("1.234,56");
    const std::pair<QString, QString> refused[] = {
        {grouped, tooPrecise}, {typed("10.005"), tooPrecise}, {typed("0"), notAnAmount}};
    for (const auto& [text, message] : refused) {
        fixture->boxes.shown.clear();
        type(ui().vreRecAmount, text);
        EXPECT_EQ(fixture->boxes.texts(), QStringList{message}) << text.toStdString();
        EXPECT_TRUE(hasFocus(ui().vreRecAmount)) << text.toStdString();
        QTest::mouseClick(ui().btnOK, Qt::LeftButton);
        settle();
        EXPECT_TRUE(isOpen());
        EXPECT_FALSE(modGeneral::PendingPrepayment.Present);
        EXPECT_DOUBLE_EQ(modGeneral::PendingPrepayment.Amount, 0);
    }
    // The box takes no minus sign: "-5" is typed as 5.
    fixture->boxes.shown.clear();
    type(ui().vreRecAmount, QStringLiteral("-5"));
    EXPECT_EQ(ui().vreRecAmount->text(), shown(5, 3));
    type(ui().vreRecAmount, typed("12.5"));
    EXPECT_EQ(ui().vreRecAmount->text(), shown(12.5, 3));
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    EXPECT_FALSE(isOpen());
    EXPECT_TRUE(modGeneral::PendingPrepayment.Present);
    EXPECT_DOUBLE_EQ(modGeneral::PendingPrepayment.Amount, 12.5);
    EXPECT_EQ(main().ui()->lblPrepayment->text(), shown(12.5, 2));
    EXPECT_TRUE(fixture->boxes.shown.isEmpty());
}

// A whole invoice larger than single precision holds to the cent may be prepaid.
TEST_P(PrepayWindowTest, ALargeInvoiceMayBePrepaidInFull)
{
    main().Clear_AllSelections();
    fixture->addOrders({lined(InvoiceTesting::order("ORD9", "SH9", 1500000.05))});
    main().Load_Grid();
    const int rows = main().ui()->flgMain->Rows();
    clickCell(rows - 1, 0);
    ASSERT_EQ(main().selCustomer(), QStringLiteral("1200"));
    openPrepay();
    type(ui().vreBatch, QStringLiteral("1"));
    type(ui().vreRecAmount, typed("1500000.05"));
    EXPECT_TRUE(fixture->boxes.shown.isEmpty()) << fixture->boxes.texts().join('|').toStdString();
    type(ui().vreRecAmount, typed("1500000.06"));
    EXPECT_EQ(fixture->boxes.shown.size(), 1);
    EXPECT_TRUE(fixture->boxes.texts().value(0).contains(shown(1500000.05, 2)));
}

// Boxes that went away no longer hold the window open; a batch without a bank and a receipt
// type picked inactive in the finder are refused when the window closes.
TEST_P(PrepayWindowTest, ClosingChecksTheBatchBankAndTheReceiptType)
{
    Setting::save(Setting::BankCode, QString());
    openPrepay();
    QTest::mouseClick(ui().btnNewBatch, Qt::LeftButton);
    settle();
    type(ui().vreBankCode, QStringLiteral("nosuch"));
    ASSERT_EQ(fixture->boxes.shown.size(), 1);
    // Another batch from the finder: the bank box is gone, and OK closes.
    {
        Accpac::Testing::setFinderPicker([](const QList<QVariantList>& rows) {
            for (int i = 0; i < rows.size(); ++i)
                if (rows[i].value(0).toInt() == 3)
                    return i;
            return -1;
        });
        QTest::mouseClick(ui().btnBatch, Qt::LeftButton);
        settle();
        Accpac::Testing::setFinderPicker({});
    }
    EXPECT_FALSE(ui().vreBankCode->isVisible());
    type(ui().txtRecNumber, QStringLiteral("F-3"));
    type(ui().vreRecAmount, typed("5"));
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(modGeneral::PendingPrepayment.BatchNumber, 3);
    // The finder's click left the refused box, which was checked once more.
    const QString invalidBank = QStringLiteral("The entered Bank Code is not a valid Bank Code.\r\n"
                                               "Please enter a valid Bank Code or use the finder.");
    EXPECT_EQ(fixture->boxes.texts(), QStringList({invalidBank, invalidBank}));

    // A new batch without a bank: the receipt still in the boxes cannot be stored for it.
    openPrepay();
    EXPECT_EQ(ui().txtRecNumber->text(), QStringLiteral("F-3"));
    QTest::mouseClick(ui().btnNewBatch, Qt::LeftButton);
    settle();
    fixture->boxes.shown.clear();
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    EXPECT_TRUE(isOpen());
    EXPECT_EQ(fixture->boxes.texts(),
              QStringList{QStringLiteral("The Batch has no Bank Code.\r\n"
                                         "Please enter a valid Bank Code or use the finder.")});
    EXPECT_TRUE(hasFocus(ui().vreBankCode));
    EXPECT_EQ(modGeneral::PendingPrepayment.ReceiptNumber, QString());

    // A bank, then an inactive receipt type from the unfiltered finder.
    type(ui().vreBankCode, QStringLiteral("springbk"));
    Accpac::Testing::setFinderPicker([](const QList<QVariantList>& rows) {
        for (int i = 0; i < rows.size(); ++i)
            if (rows[i].value(0).toString() == QLatin1String("OLDCARD"))
                return i;
        return -1;
    });
    QTest::mouseClick(ui().btnRecType, Qt::LeftButton);
    settle();
    Accpac::Testing::setFinderPicker({});
    ASSERT_EQ(ui().vreRecType->text(), QStringLiteral("OLDCARD"));
    fixture->boxes.shown.clear();
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    EXPECT_TRUE(isOpen());
    EXPECT_EQ(fixture->boxes.texts(),
              QStringList{QStringLiteral("The entered Receipt Type is not a valid Receipt Type.\r\n"
                                         "Please enter a valid Receipt Type or use the finder.")});
    EXPECT_TRUE(hasFocus(ui().vreRecType));
    EXPECT_NE(modGeneral::PendingPrepayment.ReceiptType, QStringLiteral("OLDCARD"));
    type(ui().vreRecType, QStringLiteral("cash"));
    QTest::mouseClick(ui().btnOK, Qt::LeftButton);
    settle();
    EXPECT_FALSE(isOpen());
    EXPECT_TRUE(modGeneral::PendingPrepayment.Present);
    EXPECT_EQ(modGeneral::PendingPrepayment.BankCode, QStringLiteral("SPRINGBK"));
}

INSTANTIATE_TEST_SUITE_P(LocalesOfTheWindows, PrepayWindowTest,
                         ::testing::Values("en_US", "de_DE", "C"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });
