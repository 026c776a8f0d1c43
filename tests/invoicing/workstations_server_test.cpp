// Faults of the database server under several workstations: the server restarted in the
// middle of a batch run, a workstation's connections cut in the middle of an invoice, and a
// clerk's role losing its company in the middle of the work.
// The interrupted workstation is stopped at a chosen write (inside its transaction), the
// fault is made while it waits, and then it goes on. Afterwards the books pass the auditor,
// every workstation says clearly what failed or carries on, and the interrupted work done
// again makes exactly what is missing. These run only with the company on a server
// (TALLYMERGE_TEST_BACKEND=postgres, the _postgres ctest entry).
#include "workstations.h"

#include <pgserver.h>
#include <teststore.h>

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QScopeGuard>

using namespace Workstations;

namespace {

std::string said(const Answer& answer)
{
    return answer.lines.join(u'|').toStdString();
}

// Ends every server session of one workstation, as a cut network would; returns how many
// there were. (The grid's data source connects only while the grid loads.)
int cutConnectionsOf(const QString& user)
{
    return TestStore::runningServer()
        .execute(QStringLiteral("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity "
                                "WHERE application_name = %1")
                     .arg(PostgresServer::quoteLiteral(user)),
                 QStringLiteral("postgres"))
        .trimmed()
        .toInt();
}

// The server's login role of a workstation's user: the site's role prefix (kept as the
// comment of the site's schema, the database's name otherwise) and the user in small letters.
QString roleOf(const QString& companyStore, const QString& user)
{
    const QStringList prefix = TestStore::query(
        companyStore, QStringLiteral("SELECT COALESCE(obj_description(oid, 'pg_namespace'), "
                                     "current_database()) FROM pg_namespace WHERE nspname = "
                                     "'tallymerge_site'"));
    return prefix.value(0) + u'.' + user.toLower();
}

// The company group roles `role` is a member of, as the server's superuser reads them.
QStringList companyGroupsOf(const QString& role)
{
    return TestStore::runningServer()
        .execute(QStringLiteral("SELECT g.rolname FROM pg_auth_members a JOIN pg_roles g ON "
                                "g.oid = a.roleid JOIN pg_roles u ON u.oid = a.member WHERE "
                                "u.rolname = %1 AND g.rolname LIKE '%\\_company\\_%'")
                     .arg(PostgresServer::quoteLiteral(role)),
                 QStringLiteral("postgres"))
        .split(u'\n', Qt::SkipEmptyParts);
}

// Grants or revokes the groups to or from the role, as the site's administrator would.
void setMember(const QString& role, const QStringList& groups, bool member)
{
    for (const QString& group : groups)
        TestStore::runningServer().execute(
            (member ? QStringLiteral("GRANT %1 TO %2") : QStringLiteral("REVOKE %1 FROM %2"))
                .arg(PostgresServer::quoteIdentifier(group), PostgresServer::quoteIdentifier(role)),
            QStringLiteral("postgres"));
}

class ServerFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!TestStore::onServer())
            GTEST_SKIP() << "the company is on a server only with TALLYMERGE_TEST_BACKEND=postgres";
        if (TestStore::onSharedServer())
            GTEST_SKIP() << "these restart the server and change roles as its superuser: the "
                            "test's own server only";
        harness = std::make_unique<Harness>(3, seed);
        QString why;
        ASSERT_TRUE(harness->startAll(&why)) << why.toStdString();
    }

    // Workstation 1 stops at `write` in the middle of `command`; true once it has.
    bool stopAt(const QString& write, const QString& command)
    {
        QStringList problems;
        harness->runAtOnce({{0, QStringLiteral("arm ") + write + QStringLiteral(":stop")}},
                           problems);
        harness->workstation(0).send(command);
        const Answer stopped = harness->workstation(0).answer(60000, QStringLiteral("stopped"));
        return stopped.killedIn == write.section(u':', 1, 1);
    }

    // Every shipment not on an invoice, sorted.
    QStringList openNumbers() const
    {
        QStringList open;
        for (const Shipment& shipment : harness->openShipments())
            open << shipment.number;
        open.sort();
        return open;
    }

    // Work for three workstations at once: an invoice of two shipments of one customer for
    // workstation 1 (`victims`, sorted), and one of all the shipments of another customer
    // each for workstations 2 and 3.
    struct Work
    {
        QStringList victims;
        QString invoice;
        QString second;
        QString third;
    };
    Work work() const
    {
        QMap<QString, QStringList> byCustomer;
        for (const Shipment& shipment : harness->openShipments())
            byCustomer[shipment.customer] << shipment.number;
        EXPECT_GE(byCustomer.size(), 3);
        Work work;
        work.victims = byCustomer.first().mid(0, 2);
        work.victims.sort();
        work.invoice = QStringLiteral("invoice ") + work.victims.join(u' ');
        work.second = QStringLiteral("invoice ") + byCustomer.values().value(1).join(u' ');
        work.third = QStringLiteral("invoice ") + byCustomer.last().join(u' ');
        return work;
    }

    quint32 seed = seedOfRun();
    std::unique_ptr<Harness> harness;
};

} // namespace

// The server is restarted (fast: every session ended, open transactions rolled back) while a
// batch run is in the middle of its second invoice. The run tells the clerk what failed and
// stops or goes on; the first invoice stays whole, the second is absent or whole; the other
// workstations carry on; the batch run again invoices exactly the shipments still open.
TEST_F(ServerFaults, AServerRestartInTheMiddleOfABatchRunLosesNothing)
{
    SCOPED_TRACE(QStringLiteral("seed %1").arg(seed).toStdString());
    harness->addOrders(2);
    ASSERT_EQ(harness->checkGrids(), QStringList());
    ASSERT_TRUE(stopAt(QStringLiteral("insert:OEINVH:2"), QStringLiteral("batch")));
    EXPECT_FALSE(companyIsFree(harness->fixture().companyFile()));

    TestStore::runningServer().restart();
    EXPECT_TRUE(companyIsFree(harness->fixture().companyFile()));
    harness->workstation(0).resume();
    const Answer cut = harness->workstation(0).answer();
    ASSERT_FALSE(cut.died) << said(cut);
    EXPECT_FALSE(cut.boxes.isEmpty()) << said(cut);
    for (const QString& box : cut.boxes)
        EXPECT_FALSE(isRawDatabaseText(box)) << box.toStdString();
    QStringList audit = harness->checkBooks();
    audit.removeIf(isCutCompletion);
    EXPECT_EQ(audit, QStringList());
    RecordProperty("Told", cut.boxes.join(u'\n').toStdString());

    // Every grid, read again through its data source, lists the open orders; the batch
    // run again: exactly the rest, each once, and nothing left to complete.
    EXPECT_EQ(harness->checkGrids(), QStringList());
    const QStringList rest = openNumbers();
    ASSERT_FALSE(rest.isEmpty());
    QStringList problems;
    const Answer rerun = harness->runAtOnce({{0, QStringLiteral("batch")}}, problems).value(0);
    EXPECT_EQ(problems, QStringList());
    EXPECT_EQ(rerun.boxes, QStringList()) << said(rerun);
    EXPECT_EQ(shipmentsOn(rerun.invoices), rest);
    EXPECT_EQ(openNumbers(), QStringList());
    EXPECT_EQ(harness->checkBooks(), QStringList());

    // Everyone carries on: the grids are the company's, and a round passes.
    harness->addOrders(2);
    EXPECT_EQ(harness->checkGrids(), QStringList());
    EXPECT_EQ(harness->playRound(), QStringList());
}

// All of one workstation's server sessions are ended while it is in the middle of an
// invoice. The invoice is not made, the clerk is told so in the
// program's words, the company is not left locked, and the same invoice done again is made
// once with all its shipments. The others work at the same moment and carry on.
TEST_F(ServerFaults, AConnectionCutInTheMiddleOfAnInvoiceLeavesItAbsentAndARetryMakesIt)
{
    SCOPED_TRACE(QStringLiteral("seed %1").arg(seed).toStdString());
    const auto [victims, invoice, second, third] = work();
    ASSERT_EQ(victims.size(), 2);
    ASSERT_TRUE(stopAt(QStringLiteral("insert:OEINVS:2"), invoice));

    // The session of the site's system data and the company's, at least, are ended.
    EXPECT_GE(cutConnectionsOf(QStringLiteral("WS1")), 2);
    EXPECT_TRUE(companyIsFree(harness->fixture().companyFile()));
    harness->workstation(0).resume();
    QStringList problems;
    const QMap<int, Answer> others = harness->runAtOnce({{1, second}, {2, third}}, problems);
    const Answer cut = harness->workstation(0).answer();
    ASSERT_FALSE(cut.died) << said(cut);
    EXPECT_EQ(cut.invoices, QStringList()) << said(cut);
    EXPECT_FALSE(cut.boxes.isEmpty()) << said(cut);
    for (const QString& box : cut.boxes)
        EXPECT_FALSE(isRawDatabaseText(box)) << box.toStdString();
    EXPECT_EQ(problems, QStringList());
    for (const Answer& other : others)
        EXPECT_EQ(other.invoices.size(), 1) << said(other);
    RecordProperty("Told", cut.boxes.join(u'\n').toStdString());
    EXPECT_TRUE(openNumbers().contains(victims.first()));
    EXPECT_TRUE(openNumbers().contains(victims.last()));
    EXPECT_EQ(harness->checkBooks(), QStringList());

    // The clerk tries again on the same workstation: one invoice of both shipments.
    const Answer retried = harness->runAtOnce({{0, invoice}}, problems).value(0);
    EXPECT_EQ(retried.invoices.size(), 1) << said(retried);
    EXPECT_EQ(shipmentsOn(retried.invoices), victims);
    EXPECT_EQ(problems, QStringList());
    EXPECT_EQ(harness->checkBooks(), QStringList());
    EXPECT_EQ(harness->checkGrids(), QStringList());
    EXPECT_EQ(harness->playRound(), QStringList());
}

// The administrator takes the company away from one clerk's role in the middle of the work
// (the clerk signed on before). The clerk's next invoice is refused in the program's words,
// naming what the role may not do, and nothing of it is stored; the others invoice at the same
// moment. Once the company is granted again, the same invoice is made once.
TEST_F(ServerFaults, AClerkWhoseRoleLostTheCompanyIsToldAndNothingIsLostOrDoubled)
{
    SCOPED_TRACE(QStringLiteral("seed %1").arg(seed).toStdString());
    const auto [victims, invoice, second, third] = work();
    ASSERT_EQ(victims.size(), 2);

    const QString role = roleOf(harness->fixture().companyFile(), QStringLiteral("WS1"));
    const QStringList groups = companyGroupsOf(role);
    ASSERT_FALSE(groups.isEmpty()) << role.toStdString();
    // The sites of one template share their users' roles: the grant comes back whatever happens.
    const auto regrant = qScopeGuard([&] { setMember(role, groups, true); });
    setMember(role, groups, false);
    ASSERT_EQ(companyGroupsOf(role), QStringList());

    QStringList problems;
    const QMap<int, Answer> answers =
        harness->runAtOnce({{0, invoice}, {1, second}, {2, third}}, problems);
    const Answer refused = answers.value(0);
    ASSERT_FALSE(refused.died) << said(refused);
    EXPECT_EQ(refused.invoices, QStringList()) << said(refused);
    ASSERT_FALSE(refused.boxes.isEmpty()) << said(refused);
    for (const QString& box : refused.boxes)
        EXPECT_FALSE(isRawDatabaseText(box)) << box.toStdString();
    EXPECT_TRUE(refused.boxes.join(u'\n').contains(QStringLiteral("has no right to")))
        << said(refused);
    EXPECT_EQ(answers.value(1).invoices.size(), 1) << said(answers.value(1));
    EXPECT_EQ(answers.value(2).invoices.size(), 1) << said(answers.value(2));
    RecordProperty("Told", refused.boxes.join(u'\n').toStdString());
    EXPECT_TRUE(openNumbers().contains(victims.first()));
    EXPECT_TRUE(openNumbers().contains(victims.last()));
    EXPECT_TRUE(companyIsFree(harness->fixture().companyFile()));
    EXPECT_EQ(harness->checkBooks(), QStringList());

    // Granted again: the same invoice is made once, with both shipments.
    setMember(role, groups, true);
    const Answer retried = harness->runAtOnce({{0, invoice}}, problems).value(0);
    EXPECT_EQ(retried.invoices.size(), 1) << said(retried);
    EXPECT_EQ(shipmentsOn(retried.invoices), victims);
    EXPECT_EQ(harness->checkBooks(), QStringList());
    EXPECT_EQ(harness->checkGrids(), QStringList());
    EXPECT_EQ(harness->playRound(), QStringList());
}
