// The delivery-charge offer: the feature switch, the total's bounds, the customer, the cash
// sale rows, the customer's flag, the unconfigured code and a switch that is no number. The
// selection is made as the clerk makes it, by ticking rows.
#include "invoicetesting.h"

#include "ui_frmmain.h"

#include <settings/settings.h>

using namespace InvoiceTesting;

namespace {

const QString Unconfigured = QStringLiteral("The Delivery Charge has not yet been configured.\r\n"
                                            "No delivery charges can be applied until it has "
                                            "been\r\nproperly configured.");

class DeliveryCharge : public ::testing::Test
{
protected:
    DeliveryCharge() : fixture(orders())
    {
        Setting::save(Setting::DelCharge, QStringLiteral("DEL"));
        window = &fixture.open();
        select({"ORD01"});
    }

    // Customer 1200 is flagged for the charge, 1105 is not; ORD02 and ORD12 are cash sales.
    static QList<TestOrder> orders()
    {
        TestOrder cash = order("ORD02", "SH02", 20);
        cash.shipVia = QStringLiteral("1");
        TestOrder smallCash = order("ORD12", "SH12", 5);
        smallCash.shipVia = QStringLiteral("1");
        return {order("ORD01", "SH01", 20),         cash,
                order("ORD03", "SH03", 20, "1105"), order("ORD04", "SH04", 0.01),
                order("ORD05", "SH05", 100),        order("ORD06", "SH06", 100.01),
                order("ORD07", "SH07", -5),         order("ORD08", "SH08", 99.99),
                order("ORD09", "SH09", 12.34),      order("ORD10", "SH10", 87.66),
                order("ORD11", "SH11", 0),          smallCash};
    }

    // Unticks everything, then ticks the orders' rows in the given order through the click
    // rule, as the clerk does.
    void select(const QStringList& orderNumbers)
    {
        window->Clear_AllSelections();
        OrderGrid* grid = window->ui()->flgMain;
        for (const QString& number : orderNumbers) {
            int row = 1;
            while (row < grid->Rows() && grid->TextMatrix(row, 1).trimmed() != number)
                ++row;
            ASSERT_LT(row, grid->Rows()) << number.toStdString();
            grid->setRow(row);
            grid->setCol(0);
            window->flgMain_Click();
        }
    }

    bool offered() const
    {
        const auto* ui = window->ui();
        return window->delChargeApply() && !ui->cboDelCharge->isHidden() &&
               !ui->lblDelCharge->isHidden() && ui->cboDelCharge->currentIndex() == 0;
    }
    bool off() const
    {
        const auto* ui = window->ui();
        return !window->delChargeApply() && ui->cboDelCharge->isHidden() &&
               ui->lblDelCharge->isHidden() && ui->cboDelCharge->currentIndex() == -1;
    }

    MainWindowFixture fixture;
    frmMain* window = nullptr;
};

} // namespace

TEST_F(DeliveryCharge, OnlyTheSwitchValueOneOffersTheCharge)
{
    // Absent: counts as 0.
    window->Check_DeliveryCharge();
    EXPECT_TRUE(off());
    for (const char* value : {"0", "2", "1.0", "1"}) {
        Setting::save(Setting::DeliveryCharge, QString::fromLatin1(value));
        window->Check_DeliveryCharge();
        EXPECT_EQ(offered(), QByteArray(value) == "1" || QByteArray(value) == "1.0") << value;
        EXPECT_EQ(off(), !offered()) << value;
    }
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
}

// The total is the ticked rows' amounts in cents: 12.34 + 87.66 is exactly 100.00 and
// qualifies, although the single-precision running total shown is a little above it.
TEST_F(DeliveryCharge, TheTotalMustBeAboveZeroAndAtMostOneHundred)
{
    Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
    const QList<std::pair<QStringList, bool>> selections = {{{"ORD11"}, false},
                                                            {{"ORD04"}, true},
                                                            {{"ORD05"}, true},
                                                            {{"ORD06"}, false},
                                                            {{"ORD07"}, false},
                                                            {{"ORD08"}, true},
                                                            {{"ORD09", "ORD10"}, true},
                                                            {{"ORD10", "ORD09"}, true},
                                                            {{"ORD09", "ORD10", "ORD04"}, false},
                                                            {{"ORD05", "ORD07"}, true}};
    for (const auto& [rows, qualifies] : selections) {
        select(rows);
        EXPECT_EQ(offered(), qualifies) << rows.join(u'+').toStdString();
        EXPECT_EQ(off(), !qualifies) << rows.join(u'+').toStdString();
    }
    // A customer without the flag: no offer.
    select({"ORD03"});
    EXPECT_TRUE(off());
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
}

// A cash sale anywhere in the selection keeps the charge off, whichever row was ticked
// last; unticking the cash sale offers it again.
TEST_F(DeliveryCharge, ACashSaleInTheSelectionKeepsTheChargeOff)
{
    Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
    select({"ORD02"});
    EXPECT_TRUE(off());
    for (const QStringList& rows : {QStringList{"ORD02", "ORD01"}, QStringList{"ORD01", "ORD02"},
                                    QStringList{"ORD12", "ORD04", "ORD01"}}) {
        select(rows);
        EXPECT_TRUE(off()) << rows.join(u'+').toStdString();
    }
    select({"ORD02", "ORD01"});
    select({"ORD01"});
    EXPECT_TRUE(offered());

    // The invoice of a cash sale and another shipment carries no delivery line.
    select({"ORD12", "ORD04"});
    window->Invoice_Command();
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join(u'|').toStdString();
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

TEST_F(DeliveryCharge, AnUnconfiguredCodeWarnsAtEveryQualifyingCheckAndChangesNothing)
{
    Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
    window->Check_DeliveryCharge();
    ASSERT_TRUE(offered());
    window->ui()->cboDelCharge->setCurrentIndex(1); // the user chose "Omit"
    EXPECT_FALSE(window->delChargeApply());
    configureDeliveryChargeCode(*window, QStringLiteral("  "));
    for (int check = 1; check <= 3; ++check) {
        window->Check_DeliveryCharge();
        ASSERT_EQ(fixture.boxes.shown.size(), check);
        const auto& box = fixture.boxes.shown.last();
        EXPECT_EQ(box.title, QStringLiteral("Configuration Required"));
        EXPECT_EQ(box.text, Unconfigured);
        EXPECT_EQ(box.icon, modGeneral::MsgIcon::Exclamation);
        EXPECT_EQ(box.buttons, modGeneral::MsgButtons::OK);
        EXPECT_FALSE(window->delChargeApply());
        EXPECT_FALSE(window->ui()->cboDelCharge->isHidden());
        EXPECT_EQ(window->ui()->cboDelCharge->currentIndex(), 1);
    }
    // A selection that does not qualify asks nothing.
    select({"ORD06"});
    window->Check_DeliveryCharge();
    EXPECT_EQ(fixture.boxes.shown.size(), 3);
    EXPECT_TRUE(off());
}

TEST_F(DeliveryCharge, ASwitchThatIsNoNumberIsReportedAndLeavesTheOfferAsItWas)
{
    Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
    window->Check_DeliveryCharge();
    ASSERT_TRUE(offered());
    Setting::save(Setting::DeliveryCharge, QStringLiteral("yes"));
    window->Check_DeliveryCharge();
    ASSERT_EQ(fixture.boxes.shown.size(), 1);
    EXPECT_EQ(fixture.boxes.shown[0].title, QStringLiteral("Tallymerge Error"));
    EXPECT_TRUE(fixture.boxes.shown[0].text.startsWith(QStringLiteral("13; Type mismatch")))
        << fixture.boxes.shown[0].text.toStdString();
    EXPECT_TRUE(fixture.boxes.shown[0].text.contains(
        QStringLiteral("In Procedure: frmMain.Check_DeliveryCharge.")));
    EXPECT_TRUE(offered());

    // The invoice is still made, with the offer as it was; its journal entry records the
    // switch as off, and the auditor names the charge it carries.
    fixture.boxes.shown.clear();
    tick(*window, {1});
    EXPECT_TRUE(window->Create_Invoice(QStringLiteral("1200")));
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join(u'|').toStdString();
    EXPECT_EQ(fixture.auditProblems().filter(QStringLiteral("journal entry")),
              QStringList(QStringLiteral(
                  "Invoice IN0000001 carries the delivery charge, but by the inputs its journal "
                  "entry records it does not qualify: the delivery charge was switched off.")));
}
