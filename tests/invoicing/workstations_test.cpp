// Several workstations on one company: each a real program signed on as a user of its own,
// all invoicing the same customers' shipments at once, with invoices, prepayments and batch
// runs, and faults at rounds the seed picks: a workstation killed inside its invoice's write
// and, on a server, the server's connections ended in the middle of the work and a clerk's
// grant taken away for a round. After every round the books are audited and every grid is
// compared with the company's open orders. Then workstations are killed in the middle of
// their work, and one runs with a clock hours away from the others'.
//
// TALLYMERGE_WORKSTATIONS, TALLYMERGE_ROUNDS and TALLYMERGE_SEED change the size and the
// seed of the rounds (tools/workstations.sh runs the long version); a failure names its
// round and seed.
#include "workstations.h"

#include <teststore.h>

#include <accpac/standin.h>
#include <accpac/view.h>

#include <QDateTime>
#include <QTimeZone>

#include <cstdio>

#include <gtest/gtest.h>

using namespace Workstations;

namespace {

int fromEnvironment(const char* name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

std::string joined(const QStringList& lines)
{
    return lines.join(QStringLiteral("\n  ")).toStdString();
}

QDate invoiceDate(const QString& number)
{
    auto view = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0420"));
    view->Browse(QStringLiteral("INVNUMBER = \"%1\"").arg(number), true);
    QDate date;
    if (view->Fetch())
        date = view->Field(QStringLiteral("INVDATE")).GetValue().toDate();
    view->Close();
    return date;
}

} // namespace

TEST(Workstations, ClerksBillingTheSameShipmentsAtOnceNeverDoubleAnInvoice)
{
    const int count = fromEnvironment("TALLYMERGE_WORKSTATIONS", 4);
    const int rounds = fromEnvironment("TALLYMERGE_ROUNDS", 25);
    const quint32 seed = seedOfRun();
    SCOPED_TRACE(QStringLiteral("seed %1 (TALLYMERGE_SEED=%1 repeats it)").arg(seed).toStdString());
    // Each kind of fault once in the test command's rounds, once in every 50 of a long run.
    const QMultiMap<int, Fault> faults =
        planFaults(seed, rounds, std::max(1, rounds / 50), TestStore::onServer());
    std::printf("faults: %s\n", qPrintable(describe(faults)));
    Harness harness(count, seed);
    QString why;
    ASSERT_TRUE(harness.startAll(&why)) << why.toStdString();
    for (int round = 1; round <= rounds; ++round) {
        const QStringList problems = harness.playRound(faults.values(round));
        ASSERT_TRUE(problems.isEmpty())
            << "round " << round << " of seed " << seed << " (" << qPrintable(describe(faults))
            << "):\n  " << joined(problems);
        // A long run stopped early still has its figures.
        if (round % 100 == 0) {
            std::printf("after round %d:\n%s\n", round, qPrintable(harness.figures.report()));
            std::fflush(stdout);
        }
    }
    const QStringList lastKills = harness.fireArmedKills();
    ASSERT_TRUE(lastKills.isEmpty()) << "seed " << seed << ":\n  " << joined(lastKills);
    std::printf("%d workstations, seed %u, site %s\n%s\n", count, seed,
                qPrintable(Accpac::shownSite(harness.company().site)),
                qPrintable(harness.figures.report()));
    EXPECT_EQ(harness.figures.doubleInvoices, 0);
    EXPECT_GT(harness.figures.invoices, rounds);
    EXPECT_GT(harness.figures.receiptBatches, 0);
    // Every fault planned was made (a kill once its workstation wrote an invoice).
    int made = 0;
    for (int times : std::as_const(harness.figures.faults))
        made += times;
    EXPECT_EQ(made, faults.size()) << harness.figures.report().toStdString();
}

// A workstation killed inside an invoice's insert, inside the completion that follows an
// invoice, inside a batch run and inside the two writes of a prepayment (its new receipt
// batch, its receipt), while the others work at the same moment.
TEST(Workstations, AKilledWorkstationLeavesNothingLostDoubledOrLocked)
{
    enum class Work
    {
        Invoice,
        Prepayment,
        BatchRun
    };
    struct Moment
    {
        const char* name;
        QString arm; // the write the workstation is killed in
        Work work;   // the victim's command: two shipments of one customer, or a batch run
    };
    const QList<Moment> moments = {
        {"inside the insert of an invoice's second shipment", QStringLiteral("insert:OEINVS:2"),
         Work::Invoice},
        // The invoice marks its orders in its insert (updates 1 and 2); the completion follows.
        {"inside the completion of an invoiced order", QStringLiteral("update:OEORDH:3"),
         Work::Invoice},
        {"inside the insert of a batch run's third invoice", QStringLiteral("insert:OEINVH:3"),
         Work::BatchRun},
        {"inside the saving of a new receipt batch", QStringLiteral("update:ARBTA:1"),
         Work::Prepayment},
        {"inside the receipt of a prepaid invoice", QStringLiteral("insert:ARTCR:1"),
         Work::Prepayment},
    };
    const quint32 seed = seedOfRun();
    SCOPED_TRACE(QStringLiteral("seed %1").arg(seed).toStdString());
    Harness harness(3, seed);
    QString why;
    ASSERT_TRUE(harness.startAll(&why)) << why.toStdString();
    for (const Moment& moment : moments) {
        SCOPED_TRACE(moment.name);
        harness.addOrders(3);
        ASSERT_EQ(harness.checkGrids(), QStringList());
        QStringList problems;
        harness.runAtOnce({{0, QStringLiteral("arm ") + moment.arm}}, problems);

        // The victim invoices two shipments of one customer (or runs a batch); the survivors
        // invoice the other customers' shipments at the same moment.
        const QList<Shipment> open = harness.openShipments();
        QStringList victims;
        QMap<QString, QStringList> others;
        for (const Shipment& shipment : open) {
            if (shipment.customer == open.first().customer && victims.size() < 2)
                victims << shipment.number;
            else
                others[shipment.customer] << shipment.number;
        }
        QMap<int, QString> commands;
        const QString shipments = victims.join(u' ');
        commands.insert(0, moment.work == Work::Invoice ? QStringLiteral("invoice ") + shipments
                           : moment.work == Work::Prepayment
                               ? QStringLiteral("prepay 5 ") + shipments
                               : QStringLiteral("batch"));
        int survivor = 1;
        for (auto it = others.begin(); it != others.end() && survivor < harness.size(); ++it)
            commands.insert(survivor++, QStringLiteral("invoice ") + it->join(u' '));
        const QMap<int, Answer> answers = harness.runAtOnce(commands, problems);
        const Answer victim = answers.value(0);
        ASSERT_TRUE(victim.died) << victim.lines.join(u'|').toStdString();
        EXPECT_EQ(victim.killedIn, moment.arm.section(u':', 1, 1))
            << victim.lines.join(u'|').toStdString();
        for (int n = 1; n < harness.size(); ++n)
            EXPECT_FALSE(answers.value(n).died) << answers.value(n).lines.join(u'|').toStdString();
        EXPECT_EQ(problems, QStringList());

        // Nothing is left locked; the books agree but for a completion the kill cut short.
        EXPECT_TRUE(companyIsFree(harness.fixture().companyFile()));
        QStringList audit = harness.checkBooks();
        audit.removeIf(isCutCompletion);
        EXPECT_EQ(audit, QStringList());

        // The killed workstation starts again and reruns the batch alone: it invoices exactly
        // the shipments still open, each once, and completes what the kill cut short.
        ASSERT_TRUE(harness.restart(0, &why)) << why.toStdString();
        QStringList rest;
        for (const Shipment& shipment : harness.openShipments())
            rest << shipment.number;
        rest.sort();
        ASSERT_FALSE(rest.isEmpty());
        const Answer rerun = harness.runAtOnce({{0, QStringLiteral("batch")}}, problems).value(0);
        EXPECT_EQ(rerun.boxes, QStringList());
        EXPECT_EQ(shipmentsOn(rerun.invoices), rest);
        EXPECT_EQ(harness.openShipments().size(), 0);
        EXPECT_EQ(harness.checkBooks(), QStringList());

        // Everyone carries on.
        harness.addOrders(2);
        EXPECT_EQ(harness.checkGrids(), QStringList());
        EXPECT_EQ(harness.playRound(), QStringList());
    }
}

// One workstation's clock is hours away from the others', far enough that its date is
// another day: what it invoices is dated by its own clock, and nothing is lost or doubled.
TEST(Workstations, AWorkstationWhoseClockIsHoursOffDoublesNothing)
{
    const quint32 seed = seedOfRun();
    SCOPED_TRACE(QStringLiteral("seed %1").arg(seed).toStdString());
    Harness harness(3, seed);
    QString why;
    ASSERT_TRUE(harness.startAll(&why)) << why.toStdString();
    // A zone 14 hours ahead of this machine's or 12 behind it, whichever changes the date.
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc() / 3600;
    const int hours = now.time().hour() < 10 ? -12 : 14;
    const int zone = offset + hours; // hours east of UTC
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // POSIX TZ counts hours west of UTC.
    environment.insert(QStringLiteral("TZ"), QStringLiteral("SKEW%1").arg(-zone));
    ASSERT_NE(now.toOffsetFromUtc(zone * 3600).date(), now.date());
    harness.workstation(2).kill();
    ASSERT_TRUE(harness.restart(2, &why, environment)) << why.toStdString();
    for (int round = 1; round <= 4; ++round) {
        const QStringList problems = harness.playRound();
        ASSERT_TRUE(problems.isEmpty()) << "round " << round << ":\n  " << joined(problems);
    }
    EXPECT_EQ(harness.figures.doubleInvoices, 0);
    // Each invoice carries the date of the workstation that made it.
    const QDate skewed = now.toOffsetFromUtc(zone * 3600).date();
    int bySkewed = 0;
    for (auto it = harness.announcedBy.begin(); it != harness.announcedBy.end(); ++it) {
        const bool skewedMadeIt = it.value() == QLatin1String("WS3");
        bySkewed += skewedMadeIt;
        EXPECT_EQ(invoiceDate(it.key()), skewedMadeIt ? skewed : now.date())
            << it.key().toStdString();
    }
    RecordProperty("InvoicesOfTheSkewedWorkstation", bySkewed);
}

// A workstation hangs inside the write of an invoice, holding the company's write lock: a
// clerk who invoices meanwhile is told in the program's words that the company is busy, and
// nothing is made. Once the hung workstation is killed the company is free; the clerk's
// second try and the restarted workstation's own invoice go through, each once.
TEST(Workstations, AWorkstationHungInItsWriteIsToldAndKillingItFreesTheCompany)
{
    const quint32 seed = seedOfRun();
    SCOPED_TRACE(QStringLiteral("seed %1").arg(seed).toStdString());
    Harness harness(3, seed);
    QString why;
    ASSERT_TRUE(harness.startAll(&why)) << why.toStdString();
    harness.workstation(2).kill();
    QMap<QString, QStringList> byCustomer;
    for (const Shipment& shipment : harness.openShipments())
        byCustomer[shipment.customer] << shipment.number;
    ASSERT_GE(byCustomer.size(), 2);
    const QString hungInvoice = QStringLiteral("invoice ") + byCustomer.first().join(u' ');
    const QString clerkInvoice = QStringLiteral("invoice ") + byCustomer.last().join(u' ');

    const qsizetype openBefore = harness.openShipments().size();
    QStringList problems;
    harness.runAtOnce({{0, QStringLiteral("arm insert:OEINVS:1:stop")}}, problems);
    harness.workstation(0).send(hungInvoice);
    const Answer hung = harness.workstation(0).answer(60000, QStringLiteral("stopped"));
    ASSERT_EQ(hung.killedIn, QStringLiteral("OEINVS")) << hung.lines.join(u'|').toStdString();
    harness.setHung(0);
    EXPECT_FALSE(companyIsFree(harness.fixture().companyFile()));

    // Reading goes on meanwhile: a third clerk signs on, and every grid still lists the open
    // orders.
    ASSERT_TRUE(harness.restart(2, &why)) << why.toStdString();
    EXPECT_EQ(harness.checkGrids(), QStringList());

    const Answer refused = harness.runAtOnce({{1, clerkInvoice}}, problems).value(1);
    EXPECT_EQ(problems, QStringList());
    EXPECT_EQ(refused.invoices, QStringList());
    EXPECT_FALSE(refused.boxes.isEmpty()) << refused.lines.join(u'|').toStdString();
    EXPECT_EQ(harness.openShipments().size(), openBefore);

    harness.workstation(0).kill();
    EXPECT_TRUE(companyIsFree(harness.fixture().companyFile()));
    EXPECT_EQ(harness.checkBooks(), QStringList());
    const Answer retried = harness.runAtOnce({{1, clerkInvoice}}, problems).value(1);
    EXPECT_EQ(retried.invoices.size(), 1) << retried.lines.join(u'|').toStdString();
    ASSERT_TRUE(harness.restart(0, &why)) << why.toStdString();
    const Answer again = harness.runAtOnce({{0, hungInvoice}}, problems).value(0);
    EXPECT_EQ(again.invoices.size(), 1) << again.lines.join(u'|').toStdString();
    EXPECT_EQ(problems, QStringList());
    EXPECT_EQ(shipmentsOn(retried.invoices + again.invoices).size(),
              byCustomer.first().size() + byCustomer.last().size());
    EXPECT_EQ(harness.checkBooks(), QStringList());
    EXPECT_EQ(harness.checkGrids(), QStringList());
}

// A clerk is disabled (tallymerge-admin disable) in the middle of the work. On an SQLite site
// the user's rights are checked at the sign-on: the program already signed on finishes its
// round with the others. On a server site the user's role may no longer log in, so the
// program's next connection, its grid's load, is refused there with the program's box.
// Nothing is lost or doubled, the next sign-on is refused, and the others carry on.
TEST(Workstations, AClerkDisabledMeanwhileIsRefusedAtTheNextSignOn)
{
    const quint32 seed = seedOfRun();
    SCOPED_TRACE(QStringLiteral("seed %1").arg(seed).toStdString());
    Harness harness(3, seed);
    QString why;
    ASSERT_TRUE(harness.startAll(&why)) << why.toStdString();
    Accpac::Admin::setUserFlags(harness.company().site, QStringLiteral("WS2"), true, false);
    const QStringList refused = harness.playRound();
    if (Accpac::isServerSite(harness.company().site)) {
        ASSERT_EQ(refused.size(), 1) << refused.join(u'\n').toStdString();
        EXPECT_TRUE(refused[0].startsWith(QLatin1String("the grid of WS2 lists 0 orders")) &&
                    refused[0].contains(QLatin1String("box Database Connection Failed|")))
            << refused[0].toStdString();
    } else {
        EXPECT_EQ(refused, QStringList());
    }

    harness.workstation(1).kill();
    ASSERT_FALSE(harness.restart(1, &why));
    // The sign-on dialog says why ("User WS2 has been disabled."); answered by script, the
    // refusal ends in the program's termination box.
    EXPECT_TRUE(why.contains(QStringLiteral("box Program Termination|"))) << why.toStdString();
    EXPECT_FALSE(isRawDatabaseText(why)) << why.toStdString();
    for (int round = 1; round <= 2; ++round)
        EXPECT_EQ(harness.playRound(), QStringList());
}
