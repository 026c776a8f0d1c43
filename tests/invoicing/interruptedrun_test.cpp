// A batch run killed at several moments: inside the insert of an invoice, inside the insert
// of an invoice's shipment, inside the completion of an invoiced order (the first and the
// last), after an announced invoice and in the middle of the run. Each moment is proved: the
// child names the write it was killed in, and the invoices announced before the kill are
// those its name says. Afterwards the books agree, every announced invoice is whole, a
// restarted window lists exactly the shipments still to invoice, a second run invoices those,
// each once, and completes every invoiced order, also one whose completion the kill cut.
#include "batchtesting.h"

#include <core/appstate.h>
#include <core/session.h>

#include <accpac/standin.h>
#include <accpac/view.h>

#include <QElapsedTimer>

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

#include <gtest/gtest.h>

using namespace BatchTesting;

namespace {

// Four customers, each with two base orders of two revisions: eight invoices of two
// shipments when revisions share an invoice.
QList<Row> revisionRows()
{
    QList<Row> rows;
    const char* customers[] = {"1210", "1840", "1100", "1830"};
    int shipment = 0;
    for (int c = 0; c < 4; ++c) {
        for (int base = 1; base <= 2; ++base) {
            for (int revision = 1; revision <= 2; ++revision) {
                const QString order = QStringLiteral("K%1%2-%3").arg(c).arg(base).arg(revision);
                rows << Row{order, QString::fromLatin1(customers[c]),
                            QStringLiteral("SH%1").arg(++shipment, 2, 10, QLatin1Char('0'))};
            }
        }
    }
    return rows;
}

struct Interruption
{
    const char* name;
    QString selfKill;       // "insert:TABLE:N" / "update:TABLE:N", or empty
    int killAfterAnnounced; // the test kills the child after this many announcements; 0: not
    int killAfterMs;        // the test kills the child this long after the first announcement
    // Invoices announced before the kill; -1: at least killAfterAnnounced (1 at least) and
    // fewer than all 8 (the child may announce more before the kill reaches it).
    int announcedBefore;
};

// Invoiced orders (with a last invoice number) whose completion is not done.
QStringList incompleteInvoicedOrders()
{
    auto orders = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0520"));
    orders->Browse(QStringLiteral("LASTINVNUM <> \"\" AND COMPLETE < 3"), true);
    QStringList list;
    while (orders->Fetch())
        list << orders->Field(QStringLiteral("ORDNUMBER")).GetValue().toString();
    orders->Close();
    return list;
}

// Shipment numbers on invoices, each as often as it is attached.
QStringList invoicedShipments()
{
    QStringList list;
    for (const Invoice& invoice : invoices())
        list += invoice.shipments;
    list.sort();
    return list;
}

} // namespace

TEST(InterruptedRun, NothingIsLostOrInvoicedTwice)
{
    // Each invoice marks its two orders as invoiced (order updates 1 and 2 of the invoice)
    // in its own insert; the completion of each order follows (one update each).
    const QList<Interruption> moments = {
        {"DuringTheFirstInvoiceInsert", QStringLiteral("insert:OEINVH:1"), 0, 0, 0},
        {"DuringAShipmentInsertOfTheThirdInvoice", QStringLiteral("insert:OEINVS:5"), 0, 0, 2},
        {"DuringTheCompletionOfTheFirstInvoicedOrder", QStringLiteral("update:OEORDH:3"), 0, 0, 1},
        {"DuringTheOrderMarksOfTheSecondInvoice", QStringLiteral("update:OEORDH:6"), 0, 0, 1},
        {"DuringTheCompletionOfTheLastInvoice", QStringLiteral("update:OEORDH:32"), 0, 0, 8},
        {"AfterTheSecondAnnouncedInvoice", {}, 2, 0, -1},
        {"InTheMiddleOfTheRun", {}, 0, 15, -1},
    };
    const QList<Row> rows = revisionRows();
    QStringList allShipments;
    for (const Row& row : rows)
        allShipments << row.shipment;
    allShipments.sort();

    for (const Interruption& moment : moments) {
        SCOPED_TRACE(moment.name);
        MainWindowFixture fixture(ordersOf(rows));
        save({QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("1"), 1});

        QProcess child;
        QStringList args = {fixture.siteFolder(), fixture.hiveLocations().machineFolder,
                            fixture.hiveLocations().userFolder};
        if (!moment.selfKill.isEmpty())
            args << moment.selfKill;
        else if (moment.killAfterMs > 0)
            args << QStringLiteral("pace:5"); // a kill by time must find the run still going
        child.start(QStringLiteral(BATCH_RUNNER), args);
        ASSERT_TRUE(child.waitForStarted());
        QStringList announced;
        QStringList output;
        bool loaded = false;
        QElapsedTimer sinceFirst;
        while (child.state() != QProcess::NotRunning) {
            child.waitForReadyRead(5);
            while (child.canReadLine()) {
                const QString text = QString::fromUtf8(child.readLine()).trimmed();
                output << text;
                if (text.startsWith(QStringLiteral("loaded")))
                    loaded = true;
                if (text.startsWith(QStringLiteral("announced "))) {
                    announced << text.section(u' ', 1);
                    if (!sinceFirst.isValid())
                        sinceFirst.start();
                }
            }
            const bool enough =
                moment.killAfterAnnounced > 0 && announced.size() >= moment.killAfterAnnounced;
            const bool late = moment.killAfterMs > 0 && sinceFirst.isValid() &&
                              sinceFirst.elapsed() >= moment.killAfterMs;
            if (enough || late) {
                child.kill();
                child.waitForFinished();
            }
        }
        output += QString::fromUtf8(child.readAll()).split(u'\n', Qt::SkipEmptyParts);
        SCOPED_TRACE(output.join(u'|').toStdString());
        ASSERT_TRUE(loaded);
        // The kill came where the moment's name says.
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << "the run ended before the kill";
        EXPECT_TRUE(output.filter(QRegularExpression(QStringLiteral("^done"))).isEmpty());
        if (!moment.selfKill.isEmpty()) {
            EXPECT_TRUE(
                output.contains(QStringLiteral("killed ") + moment.selfKill.section(u':', 1, 1)));
        }
        if (moment.announcedBefore >= 0) {
            EXPECT_EQ(announced.size(), moment.announcedBefore);
        } else {
            EXPECT_GE(announced.size(), std::max(1, moment.killAfterAnnounced));
            EXPECT_LT(announced.size(), 8);
        }

        // The books agree, but for the completion a kill may have cut off (the rerun below
        // finishes it); each announced invoice is there with its two shipments.
        QStringList problems = fixture.auditProblems();
        problems.removeIf([](const QString& problem) {
            return problem.contains(QStringLiteral("is invoiced with nothing left to ship or on "
                                                   "back order, but it is not complete"));
        });
        EXPECT_EQ(problems, QStringList());
        const QList<Invoice> before = invoices();
        for (const QString& number : announced) {
            const auto found = std::find_if(before.begin(), before.end(),
                                            [&](const Invoice& i) { return i.number == number; });
            ASSERT_NE(found, before.end()) << number.toStdString();
            EXPECT_EQ(found->shipments.size(), 2) << number.toStdString();
        }
        QStringList stillToInvoice = allShipments;
        const QStringList invoicedBefore = invoicedShipments();
        for (const QString& shipment : invoicedBefore)
            stillToInvoice.removeOne(shipment);

        // A restart lists exactly the shipments still to invoice; a second run invoices them.
        frmMain& w = fixture.open();
        EXPECT_EQ(gridShipments(w), stillToInvoice);
        w.Check_Orders();
        EXPECT_EQ(invoicedShipments(), allShipments);
        EXPECT_EQ(incompleteInvoicedOrders(), QStringList());
        EXPECT_EQ(fixture.auditProblems(), QStringList());
        EXPECT_TRUE(fixture.boxes.shown.isEmpty())
            << fixture.boxes.texts().join(u'|').toStdString();
        w.Load_Grid();
        EXPECT_EQ(gridShipments(w), QStringList());
    }
}
