// The delivery-charge offer: the feature switch, the total's bounds, the customer, the cash
// sale row, the customer's flag, the unconfigured code and a switch that is no number.
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
        window = &fixture.open();
        window->DelChargeCode = QStringLiteral("DEL");
        select(1, QStringLiteral("1200"), 50);
    }

    static QList<TestOrder> orders()
    {
        TestOrder cash = order("ORD2", "SH2", 20);
        cash.shipVia = QStringLiteral("1");
        return {order("ORD1", "SH1", 20), cash, order("ORD3", "SH3", 20, "1105")};
    }

    // The selection as the tick rule leaves it: the row just clicked, customer and total.
    void select(int row, const QString& customer, double total)
    {
        window->ui()->flgMain->setRow(row);
        window->SelCustomer = customer;
        window->SelTotal = total;
    }

    bool offered() const
    {
        const auto* ui = window->ui();
        return window->DelChargeApply && !ui->cboDelCharge->isHidden() &&
               !ui->lblDelCharge->isHidden() && ui->cboDelCharge->currentIndex() == 0;
    }
    bool off() const
    {
        const auto* ui = window->ui();
        return !window->DelChargeApply && ui->cboDelCharge->isHidden() &&
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

TEST_F(DeliveryCharge, TheTotalMustBeAboveZeroAndAtMostOneHundred)
{
    Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
    const QList<std::pair<double, bool>> totals = {{0, false},      {0.01, true}, {100, true},
                                                   {100.01, false}, {-5, false},  {99.99, true}};
    for (const auto& [total, qualifies] : totals) {
        select(1, QStringLiteral("1200"), total);
        window->Check_DeliveryCharge();
        EXPECT_EQ(offered(), qualifies) << total;
        EXPECT_EQ(off(), !qualifies) << total;
    }
    // A blank customer, a cash sale row and a customer without the flag: no offer.
    select(1, QStringLiteral("   "), 50);
    window->Check_DeliveryCharge();
    EXPECT_TRUE(off());
    select(2, QStringLiteral("1200"), 50);
    window->Check_DeliveryCharge();
    EXPECT_TRUE(off());
    select(3, QStringLiteral("1105"), 50);
    window->Check_DeliveryCharge();
    EXPECT_TRUE(off());
    select(1, QStringLiteral(" 1200 "), 50);
    window->Check_DeliveryCharge();
    EXPECT_TRUE(offered());
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
}

TEST_F(DeliveryCharge, AnUnconfiguredCodeWarnsAtEveryQualifyingCheckAndChangesNothing)
{
    Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
    window->Check_DeliveryCharge();
    ASSERT_TRUE(offered());
    window->ui()->cboDelCharge->setCurrentIndex(1); // the user chose "Omit"
    EXPECT_FALSE(window->DelChargeApply);
    window->DelChargeCode = QStringLiteral("  ");
    for (int check = 1; check <= 3; ++check) {
        window->Check_DeliveryCharge();
        ASSERT_EQ(fixture.boxes.shown.size(), check);
        const auto& box = fixture.boxes.shown.last();
        EXPECT_EQ(box.title, QStringLiteral("Configuration Required"));
        EXPECT_EQ(box.text, Unconfigured);
        EXPECT_EQ(box.icon, modGeneral::MsgIcon::Exclamation);
        EXPECT_EQ(box.buttons, modGeneral::MsgButtons::OK);
        EXPECT_FALSE(window->DelChargeApply);
        EXPECT_FALSE(window->ui()->cboDelCharge->isHidden());
        EXPECT_EQ(window->ui()->cboDelCharge->currentIndex(), 1);
    }
    // A selection that does not qualify asks nothing.
    select(1, QStringLiteral("1200"), 150);
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
