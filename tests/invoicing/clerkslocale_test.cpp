// The amounts the main window writes and compares in the clerk's number format: the total
// after a batch run leaves nothing selected, and the zero-amount shipments that the warning
// and the completion command find.
#include "invoicetesting.h"

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/systemlocale.h>
#include <settings/settings.h>

using namespace InvoiceTesting;

namespace {

class ClerksNumberFormat : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override { SystemLocale::setLocale(QLocale(QLatin1String(GetParam()))); }
    void TearDown() override { SystemLocale::setLocale(QLocale(QLatin1String("en_US"))); }

    static QString zero() { return SystemLocale::locale().toString(0.0, 'f', 2); }
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
    EXPECT_TRUE(w.SelCustomer.isEmpty());
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
