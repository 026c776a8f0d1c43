// The failure paths of the look-ups, the completion routines and the grid's shipment look-up,
// reached through the faulty double of the view interface: each failure is reported once,
// with its routine's source text, and the caller goes on.
#include "faultyaccpac.h"
#include "invoicetesting.h"

#include "ui_frmmain.h"

#include <core/lookups.h>

#include <functional>

using namespace InvoiceTesting;

namespace {

constexpr std::int32_t E_FAIL = -2147467259;

QString reported(const QString& source)
{
    return QStringLiteral("Injected failure.\r\nIn procedure ") + source + QLatin1Char('.');
}

} // namespace

TEST(FailurePaths, EveryLookUpReportsUnderItsOwnName)
{
    MainWindowFixture fixture({order("ORD1", "SH1", 20)});
    fixture.open();
    struct LookUp
    {
        const char* source;
        const char* viewId;
        std::function<QVariant()> call;
        QVariant fallback;
    };
    using namespace modGeneral;
    const QList<LookUp> lookUps = {
        {"Return_RecTypeDesc", "AR0012", [] { return Return_RecTypeDesc(QStringLiteral("CA")); },
         QString()},
        {"Valid_RecType", "AR0012", [] { return Valid_RecType(QStringLiteral("CA")); }, false},
        {"Return_BankCodeDesc", "BK0001",
         [] { return Return_BankCodeDesc(QStringLiteral("SPBANK")); }, QString()},
        {"Valid_BankCode", "BK0001", [] { return Valid_BankCode(QStringLiteral("SPBANK")); },
         false},
        {"Return_MiscChargeDesc", "OE0440",
         [] { return Return_MiscChargeDesc(QStringLiteral("DEL")); }, QString()},
        {"Valid_MiscCharge", "OE0440", [] { return Valid_MiscCharge(QStringLiteral("DEL")); },
         false},
        {"Return_UserName", "AS0003", [] { return Return_UserName(QStringLiteral("ADMIN")); },
         QString()},
        {"Valid_DeliveryCustomer", "AR0400",
         [] { return Valid_DeliveryCustomer(QStringLiteral("1200")); }, false},
        {"Return_CustCurCode", "AR0024", [] { return Return_CustCurCode(QStringLiteral("1200")); },
         QString()},
    };
    for (const LookUp& lookUp : lookUps) {
        FaultyAccpac faults;
        faults.fail({QString::fromLatin1(lookUp.viewId), QStringLiteral("Read")});
        fixture.boxes.shown.clear();
        EXPECT_EQ(lookUp.call(), lookUp.fallback) << lookUp.source;
        ASSERT_EQ(fixture.boxes.shown.size(), 1) << lookUp.source;
        EXPECT_EQ(fixture.boxes.shown[0].title, QStringLiteral("Sage Accpac Error"));
        EXPECT_EQ(fixture.boxes.shown[0].text,
                  reported(QStringLiteral("modGeneral.") + QLatin1String(lookUp.source)));
    }
    // The user name look-up drops E_FAIL silently; another failure is reported.
    {
        FaultyAccpac faults;
        FaultyAccpac::Fault eFail{QStringLiteral("AS0003"), QStringLiteral("Read")};
        eFail.number = E_FAIL;
        faults.fail(eFail);
        fixture.boxes.shown.clear();
        EXPECT_EQ(modGeneral::Return_UserName(QStringLiteral("ADMIN")), QString());
        EXPECT_TRUE(fixture.boxes.shown.isEmpty());
    }
    EXPECT_TRUE(
        modGeneral::Return_UserName(QStringLiteral("ADMIN")).startsWith(QStringLiteral(" - ")));
}

TEST(FailurePaths, EachCompletionRoutineReportsUnderItsOwnNameAndReturns)
{
    MainWindowFixture fixture({order("ORD1", "SH1", 20)});
    frmMain& w = fixture.open();
    struct Routine
    {
        const char* source;
        const char* viewId;
        std::function<void()> call;
    };
    const QList<Routine> routines = {
        {"Clear_BackOrders", "OE0520", [&] { w.Clear_BackOrders(QStringLiteral("ORD1")); }},
        {"Clear_BackOrders56", "OE0520", [&] { w.Clear_BackOrders56(QStringLiteral("ORD1")); }},
        {"Update_OrderComplete", "OE0520", [&] { w.Update_OrderComplete(QStringLiteral("ORD1")); }},
        {"Update_OrderComplete56", "OE0520",
         [&] { w.Update_OrderComplete56(QStringLiteral("ORD1")); }},
        {"Update_ShipmentComplete", "OE0692",
         [&] { w.Update_ShipmentComplete(QStringLiteral("SH1")); }},
    };
    for (const Routine& routine : routines) {
        FaultyAccpac faults;
        faults.fail({QString::fromLatin1(routine.viewId), QStringLiteral("Read")});
        fixture.boxes.shown.clear();
        routine.call();
        ASSERT_EQ(fixture.boxes.shown.size(), 1) << routine.source;
        EXPECT_EQ(fixture.boxes.shown[0].title, QStringLiteral("Sage Accpac Error"));
        EXPECT_EQ(fixture.boxes.shown[0].text,
                  reported(QStringLiteral("frmMain.") + QLatin1String(routine.source)));
    }
}

TEST(FailurePaths, TheZeroAmountCommandGoesOnAfterAFailure)
{
    MainWindowFixture fixture({order("ORD1", "SH1", 0), order("ORD2", "SH2", 0)});
    frmMain& w = fixture.open();
    ASSERT_EQ(w.ui()->flgMain->Rows(), 3);
    {
        // The first shipment cannot be read: reported, and its order is still completed,
        // then the second row is handled.
        FaultyAccpac faults;
        faults.fail({QStringLiteral("OE0692"), QStringLiteral("Read")});
        w.Complete_ZeroAmountShipments();
    }
    ASSERT_EQ(fixture.boxes.shown.size(), 1);
    EXPECT_EQ(fixture.boxes.shown[0].text,
              reported(QStringLiteral("frmMain.Update_ShipmentComplete")));
    const auto complete = [](const char* viewId, const char* key, const char* number) {
        return readField(QString::fromLatin1(viewId), 1,
                         {{QString::fromLatin1(key), QString::fromLatin1(number)}},
                         QStringLiteral("COMPLETE"))
            .toInt();
    };
    EXPECT_EQ(complete("OE0692", "SHINUMBER", "SH1"), 1);
    EXPECT_EQ(complete("OE0520", "ORDNUMBER", "ORD1"), 3);
    EXPECT_EQ(complete("OE0692", "SHINUMBER", "SH2"), 3);
    EXPECT_EQ(complete("OE0520", "ORDNUMBER", "ORD2"), 3);
}

TEST(FailurePaths, AShipmentLookUpFailingDuringALoadIsReportedAndTheLoadGoesOn)
{
    MainWindowFixture fixture(
        {order("ORD1", "SH1", 20), order("ORD2", "SH2", 30), order("ORD3", "SH3", 40)});
    frmMain& w = fixture.open();
    FaultyAccpac faults;
    faults.fail({QStringLiteral("OE0692"), QStringLiteral("Fetch"), 2});
    w.Load_Grid();
    ASSERT_EQ(fixture.boxes.shown.size(), 1);
    EXPECT_EQ(fixture.boxes.shown[0].text, reported(QStringLiteral("frmMain.Fetch_ShipmentInfo")));
    const OrderGrid* grid = w.ui()->flgMain;
    // The order whose look-up failed is listed without a shipment, the others with theirs.
    ASSERT_EQ(grid->Rows(), 4);
    EXPECT_EQ(grid->TextMatrix(1, 3), QStringLiteral("SH1"));
    EXPECT_EQ(grid->TextMatrix(2, 1), QStringLiteral("ORD2"));
    EXPECT_EQ(grid->TextMatrix(2, 3), QString());
    EXPECT_EQ(grid->TextMatrix(3, 3), QStringLiteral("SH3"));
    EXPECT_FALSE(w.isLoading());
    EXPECT_TRUE(w.mnuFileSub(0)->isEnabled());
}
