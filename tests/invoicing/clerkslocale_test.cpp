// The amounts the main window writes and compares in the clerk's number format: the total
// after a batch run leaves nothing selected, the zero-amount shipments that the warning and
// the completion command find, and the amounts refused where they enter.
#include "invoicetesting.h"

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/systemlocale.h>
#include <settings/settings.h>

#include <system/comerror.h>

#include <teststore.h>

using namespace InvoiceTesting;

namespace {

class ClerksNumberFormat : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override { SystemLocale::setLocale(QLocale(QLatin1String(GetParam()))); }
    void TearDown() override { SystemLocale::setLocale(QLocale(QLatin1String("en_US"))); }

    static QString zero() { return SystemLocale::locale().toString(0.0, 'f', 2); }
};

// The locales of the clerks' desktops, by the names the system gives them.
class ClerksDesktopLocale : public ClerksNumberFormat
{
};

} // namespace

TEST_P(ClerksNumberFormat, ATotalOfNothingReadsZero)
{
    MainWindowFixture fixture({order("ORD1", "SH1", 1234.5), order("ORD2", "SH2", 30, "1300")});
    // Credit enough for both: no approval window waits in the run.
    for (const char* customer : {"1200", "1300"})
        updateRecord(QStringLiteral("AR0024"), 0, {{QStringLiteral("IDCUST"), customer}},
                     {{QStringLiteral("AMTCRLIMT"), 1000000.0}});
    frmMain& w = fixture.open();
    w.ui()->flgMain->setRow(1);
    w.ui()->flgMain->setCol(0);
    w.flgMain_Click();
    EXPECT_EQ(w.ui()->lblInvoice->text(), SystemLocale::locale().toString(1234.5, 'f', 2));
    w.Clear_AllSelections();
    EXPECT_EQ(w.ui()->lblInvoice->text(), zero());

    // A run that invoices every row leaves nothing selected and the total at zero.
    w.Check_Orders();
    EXPECT_EQ(records(QStringLiteral("OE0420"), {QStringLiteral("INVNUMBER")}).size(), 2);
    EXPECT_TRUE(w.selCustomer().isEmpty());
    EXPECT_EQ(w.ui()->lblInvoice->text(), zero());
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join(u'|').toStdString();
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

TEST_P(ClerksNumberFormat, AZeroAmountShipmentIsFoundInAnyFormat)
{
    MainWindowFixture fixture({order("ORD1", "SH1", 0), order("ORD2", "SH2", 5)});
    frmMain& w = fixture.open();
    ASSERT_EQ(w.ui()->flgMain->TextMatrix(1, 4), zero());
    Setting::save(Setting::InvoiceWarning, QStringLiteral("1"));
    fixture.boxes.answer(modGeneral::MsgResult::No);
    EXPECT_TRUE(w.Check_ZeroShipments(true));
    ASSERT_EQ(fixture.boxes.shown.size(), 1);
    EXPECT_EQ(fixture.boxes.shown[0].title, QStringLiteral("Zero Dollar Shipment Amount"));

    w.mnuCompleteSub_Click(0);
    EXPECT_EQ(readField(QStringLiteral("OE0692"), 1, {{QStringLiteral("SHINUMBER"), "SH1"}},
                        QLatin1String("COMPLETE"))
                  .toInt(),
              3);
    EXPECT_EQ(readField(QStringLiteral("OE0692"), 1, {{QStringLiteral("SHINUMBER"), "SH2"}},
                        QLatin1String("COMPLETE"))
                  .toInt(),
              1);
    EXPECT_EQ(fixture.boxes.shown.size(), 1);
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(LocalesOfTheWindows, ClerksNumberFormat,
                         ::testing::Values("en_US", "de_DE", "fr_FR", "C"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

// An amount the database holds as no number is refused as the grid loads: one report names
// its shipment, its row shows no amount and no money rule takes it as 0. An amount typed in
// another locale's form, or no amount at all, is refused where it is entered.
TEST_P(ClerksDesktopLocale, AnAmountThatIsNoNumberIsRefusedWhereItEnters)
{
    MainWindowFixture fixture(
        {order("ORD1", "SH1", 1234.5), order("ORD2", "SH2", 0), order("ORD3", "SH3", 0)});
    const QString damaged = TestStore::execute(
        fixture.companyFile(),
        QStringLiteral("UPDATE OESHIH SET SHINETWTX = 'twelve' WHERE SHINUMBER = 'SH2'"));
    frmMain& w = fixture.open();
    OrderGrid* grid = w.ui()->flgMain;
    ASSERT_EQ(grid->Rows(), 4);
    EXPECT_EQ(grid->TextMatrix(1, 4), SystemLocale::locale().toString(1234.5, 'f', 2));
    EXPECT_EQ(grid->orderRow(1).amount, Books::Money::of(1234.5));
    if (TestStore::onServer()) {
        // The server's numeric column refuses the text itself.
        EXPECT_FALSE(damaged.isEmpty());
        EXPECT_TRUE(fixture.boxes.shown.isEmpty());
    } else {
        ASSERT_EQ(damaged, QString());
        ASSERT_EQ(fixture.boxes.shown.size(), 1);
        EXPECT_EQ(fixture.boxes.shown[0].title, QStringLiteral("Tallymerge Error"));
        EXPECT_TRUE(fixture.boxes.shown[0].text.startsWith(QStringLiteral("13; ")));
        EXPECT_TRUE(fixture.boxes.shown[0].text.contains(QStringLiteral("shipment SH2.")));
        EXPECT_TRUE(fixture.boxes.shown[0].text.contains(QStringLiteral("frmMain.Load_Grid")));
        EXPECT_EQ(grid->TextMatrix(2, 3), QStringLiteral("SH2"));
        EXPECT_EQ(grid->TextMatrix(2, 4), QString());
        EXPECT_TRUE(grid->orderRow(2).amountRefused);
        // Not a zero-amount shipment, and no tick: the click rule reports the mismatch.
        EXPECT_FALSE(w.isZeroAmountShipment(2));
        EXPECT_TRUE(w.isZeroAmountShipment(3));
        fixture.boxes.shown.clear();
        grid->setCol(0);
        grid->setRow(2);
        w.flgMain_Click();
        EXPECT_FALSE(grid->isChecked(2));
        EXPECT_TRUE(w.selCustomer().isEmpty());
        ASSERT_EQ(fixture.boxes.shown.size(), 1);
        EXPECT_TRUE(fixture.boxes.shown[0].text.startsWith(QStringLiteral("13; Type mismatch")));
        EXPECT_TRUE(fixture.boxes.shown[0].text.contains(QStringLiteral("frmMain.flgMain_Click")));
        // The completion command leaves it alone and completes the true zero.
        fixture.boxes.shown.clear();
        w.mnuCompleteSub_Click(0);
        EXPECT_EQ(readField(QStringLiteral("OE0692"), 1, {{QStringLiteral("SHINUMBER"), "SH2"}},
                            QLatin1String("COMPLETE"))
                      .toInt(),
                  1);
        EXPECT_EQ(readField(QStringLiteral("OE0692"), 1, {{QStringLiteral("SHINUMBER"), "SH3"}},
                            QLatin1String("COMPLETE"))
                      .toInt(),
                  3);
        // The reload after it reports the amount again.
        ASSERT_EQ(fixture.boxes.shown.size(), 1);
        EXPECT_TRUE(fixture.boxes.shown[0].text.contains(QStringLiteral("shipment SH2.")));
        fixture.boxes.shown.clear();
    }

    // Typed amounts: the locale's own form is read, another locale's form or no number is
    // refused with a type mismatch and the row keeps its amount.
    const QString entered = SystemLocale::formatMoney(Books::Money{123456, 2});
    grid->setTextMatrix(1, 4, entered);
    EXPECT_EQ(grid->orderRow(1).amount, (Books::Money{123456, 2}));
    EXPECT_EQ(grid->TextMatrix(1, 4), entered);
    const bool commaDecimals = SystemLocale::locale().decimalPoint() == QLatin1String(",");
    for (const QString& text :
         {commaDecimals ? QStringLiteral("1,234.56") : QStringLiteral("1.234,56"),
          QStringLiteral("12,3x"), QStringLiteral("twelve")}) {
        SCOPED_TRACE(text.toStdString());
        int number = 0;
        try {
            grid->setTextMatrix(1, 4, text);
        } catch (const ComError& error) {
            number = error.number();
        }
        EXPECT_EQ(number, ComErrorNumber::TypeMismatch);
        EXPECT_EQ(grid->orderRow(1).amount, (Books::Money{123456, 2}));
        EXPECT_EQ(SystemLocale::parseMoney(text), std::nullopt);
    }
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join(u'|').toStdString();
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(LocalesOfTheDesktops, ClerksDesktopLocale,
                         ::testing::Values("en_US.UTF-8", "de_DE.UTF-8", "C.UTF-8"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).substr(0, 5) == "C.UTF"
                                        ? std::string("C")
                                        : std::string(info.param).substr(0, 5);
                         });
