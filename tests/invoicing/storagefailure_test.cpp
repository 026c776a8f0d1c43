// Storage failing in the middle of the grid's load and of a keyed read: the failure reaches
// the user as the one message box it always gave, the rows read before it stay listed, and
// the window goes on working once the storage is back.
#include "faultyaccpac.h"
#include "invoicetesting.h"

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/lookups.h>

#include <odbc/connection.h>
#include <system/comerror.h>

#include <teststore.h>

using namespace InvoiceTesting;

namespace {

// Renames a table of the company's store through a connection of its own: to the views
// reading it, the table is gone from the storage, as with a file replaced under a running
// program or a table dropped on the server.
void renameTable(const QString& store, const char* from, const char* to)
{
    EXPECT_EQ(TestStore::execute(store, QStringLiteral("ALTER TABLE %1 RENAME TO %2")
                                            .arg(QLatin1String(from), QLatin1String(to))),
              QString());
}

// The storage's words for a table that is not there.
QString noSuchTable(const QString& table)
{
    return TestStore::onServer()
               ? QStringLiteral("relation \"%1\" does not exist").arg(table.toLower())
               : QStringLiteral("no such table: ") + table;
}

QStringList listedShipments(const OrderGrid& grid)
{
    QStringList shipments;
    for (int row = 1; row < grid.Rows(); ++row)
        shipments << grid.TextMatrix(row, 1) + QLatin1Char(' ') + grid.TextMatrix(row, 3);
    return shipments;
}

// The window after a failure: not loading, its load commands back, and a new load lists every
// order with its shipment and shows no box.
void expectUsable(MainWindowFixture& fixture, frmMain& w)
{
    EXPECT_FALSE(w.isLoading());
    EXPECT_TRUE(w.mnuFileSub(0)->isEnabled());
    fixture.boxes.shown.clear();
    w.Load_Grid();
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
    EXPECT_EQ(listedShipments(*w.ui()->flgMain),
              QStringList({QStringLiteral("ORD1 SH1"), QStringLiteral("ORD2 SH2"),
                           QStringLiteral("ORD3 SH3")}));
    EXPECT_EQ(w.statusText(), QStringLiteral("Loading Complete. 3 records Loaded."));
}

const QList<TestOrder> ThreeOrders = {order("ORD1", "SH1", 20), order("ORD2", "SH2", 30),
                                      order("ORD3", "SH3", 40)};

} // namespace

TEST(StorageFailure, TheOrderFetchFailingMidLoadKeepsTheRowsReadAndTheWindowWorks)
{
    MainWindowFixture fixture(ThreeOrders);
    frmMain& w = fixture.open();
    fixture.boxes.shown.clear();
    // The third order cannot be fetched: the driver's failure is the one message of a load
    // that cannot reach its database.
    OdbcTesting::failFetchAfter(2, ComErrorNumber::E_Fail,
                                QStringLiteral("[unixODBC][SQLite]disk I/O error (10)"));
    w.Load_Grid();
    OdbcTesting::clearFetchFault();
    ASSERT_EQ(fixture.boxes.shown.size(), 1);
    EXPECT_EQ(fixture.boxes.shown[0].title, QStringLiteral("Database Connection Failed"));
    EXPECT_EQ(listedShipments(*w.ui()->flgMain),
              QStringList({QStringLiteral("ORD1 SH1"), QStringLiteral("ORD2 SH2")}));
    expectUsable(fixture, w);
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

TEST(StorageFailure, AShipmentTableGoneMidLoadIsReportedAsItsViewSaysAndTheLoadGoesOn)
{
    MainWindowFixture fixture(ThreeOrders);
    frmMain& w = fixture.open();
    fixture.boxes.shown.clear();
    const QString file = fixture.companyFile();
    // The storage loses the shipments just before the second look-up and has them again
    // before the third.
    FaultyAccpac faults;
    FaultyAccpac::Fault gone{QStringLiteral("OE0692"), QStringLiteral("Fetch"), 2};
    gone.before = [&](AccpacView&) { renameTable(file, "OESHIH", "OESHIH_away"); };
    faults.fail(gone);
    FaultyAccpac::Fault back{QStringLiteral("OE0692"), QStringLiteral("Fetch"), 3};
    back.before = [&](AccpacView&) { renameTable(file, "OESHIH_away", "OESHIH"); };
    faults.fail(back);
    w.Load_Grid();
    ASSERT_EQ(fixture.boxes.shown.size(), 1);
    EXPECT_EQ(fixture.boxes.shown[0].title, QStringLiteral("Sage Accpac Error"));
    EXPECT_EQ(fixture.boxes.shown[0].text, QStringLiteral("View OE0692: ") +
                                               noSuchTable(QStringLiteral("OESHIH")) +
                                               QStringLiteral("\r\nIn procedure "
                                                              "frmMain.Fetch_ShipmentInfo."));
    // The order whose look-up failed is listed without a shipment, the others with theirs.
    EXPECT_EQ(listedShipments(*w.ui()->flgMain),
              QStringList({QStringLiteral("ORD1 SH1"), QStringLiteral("ORD2 "),
                           QStringLiteral("ORD3 SH3")}));
    expectUsable(fixture, w);
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

TEST(StorageFailure, ACustomerTableGoneAtAKeyedReadIsReportedAndTheNextReadWorks)
{
    MainWindowFixture fixture(ThreeOrders);
    frmMain& w = fixture.open();
    fixture.boxes.shown.clear();
    const QString file = fixture.companyFile();
    const QString currency = modGeneral::Return_CustCurCode(QStringLiteral("1200"));
    ASSERT_FALSE(currency.isEmpty());
    {
        FaultyAccpac faults;
        FaultyAccpac::Fault gone{QStringLiteral("AR0024"), QStringLiteral("Read")};
        gone.before = [&](AccpacView&) { renameTable(file, "ARCUS", "ARCUS_away"); };
        faults.fail(gone);
        EXPECT_EQ(modGeneral::Return_CustCurCode(QStringLiteral("1200")), QString());
    }
    ASSERT_EQ(fixture.boxes.shown.size(), 1);
    EXPECT_EQ(fixture.boxes.shown[0].title, QStringLiteral("Sage Accpac Error"));
    EXPECT_EQ(fixture.boxes.shown[0].text, QStringLiteral("View AR0024: ") +
                                               noSuchTable(QStringLiteral("ARCUS")) +
                                               QStringLiteral("\r\nIn procedure "
                                                              "modGeneral.Return_CustCurCode."));
    renameTable(file, "ARCUS_away", "ARCUS");
    fixture.boxes.shown.clear();
    EXPECT_EQ(modGeneral::Return_CustCurCode(QStringLiteral("1200")), currency);
    EXPECT_TRUE(fixture.boxes.shown.isEmpty());
    expectUsable(fixture, w);
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}

// The journal failing at the invoice's entry fails the whole invoice: nothing of it is kept,
// not the header, the lines, the shipments' marks, the balance nor the order's completion.
// With the journal back, the same shipments make one invoice.
TEST(StorageFailure, AJournalThatCannotBeWrittenFailsTheWholeInvoice)
{
    MainWindowFixture fixture(ThreeOrders);
    frmMain& w = fixture.open();
    const QString store = fixture.companyFile();
    const QString books = QStringLiteral(
        "SELECT (SELECT COUNT(*) FROM OEINVH) || ' ' || (SELECT COUNT(*) FROM OEINVD) || ' ' || "
        "(SELECT COUNT(*) FROM OESHIH WHERE INVUNIQ <> 0) || ' ' || (SELECT AMTBALDUET FROM "
        "ARCUS WHERE IDCUST = '1200') || ' ' || (SELECT COMPLETE FROM OEORDH WHERE ORDNUMBER = "
        "'ORD1')");
    const QStringList before = TestStore::query(store, books);
    tick(w, {1, 2});
    w.setSelCustomer(QStringLiteral("1200"));
    modGeneral::PendingPrepayment = {};
    renameTable(store, "TMJOURNAL", "TMJOURNAL_GONE");

    EXPECT_FALSE(w.Create_Invoice(QStringLiteral("1200")));
    ASSERT_EQ(fixture.boxes.shown.size(), 1);
    EXPECT_TRUE(fixture.boxes.shown[0].text.contains(noSuchTable(QStringLiteral("TMJOURNAL"))))
        << fixture.boxes.shown[0].text.toStdString();
    EXPECT_EQ(TestStore::query(store, books), before);

    renameTable(store, "TMJOURNAL_GONE", "TMJOURNAL");
    fixture.boxes.shown.clear();
    EXPECT_TRUE(w.Create_Invoice(QStringLiteral("1200")));
    EXPECT_TRUE(fixture.boxes.shown.isEmpty()) << fixture.boxes.texts().join(u'|').toStdString();
    EXPECT_EQ(TestStore::query(store, QStringLiteral("SELECT COUNT(*) FROM OEINVH")),
              QStringList(QStringLiteral("1")));
    EXPECT_EQ(fixture.auditProblems(), QStringList());
}
