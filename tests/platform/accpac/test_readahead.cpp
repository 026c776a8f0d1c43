// Look-ups of an order's first shipment, order after order, as the order grid makes them.
// On a server a run of them is read ahead; every answer must be the one a look-up alone
// gives, and a change written by this program or by another must not be missed.
#include "testsite.h"

#include <pgserver.h>
#include <system/comerror.h>

#include <gtest/gtest.h>

#include <QProcess>

#include <algorithm>
#include <map>
#include <thread>

namespace {

// The first shipment of every order under key 2 (order number, then SHIUNIQ), read from the
// store with SQL of the test's own: "number|amount" by order number.
std::map<QString, QString> firstShipments(const QString& store)
{
    std::map<QString, std::pair<int, QString>> first;
    for (const QString& row :
         TestStore::query(store, "SELECT ORDNUMBER, SHIUNIQ, SHINUMBER, SHINETWTX FROM OESHIH")) {
        const QStringList c = row.split(u'|');
        const int uniq = c[1].toInt();
        auto [at, added] = first.try_emplace(c[0], uniq, c[2] + u'|' + c[3]);
        if (!added && uniq < at->second.first)
            at->second = {uniq, c[2] + u'|' + c[3]};
    }
    std::map<QString, QString> answers;
    for (const auto& [order, shipment] : first)
        answers[order] = shipment.second;
    return answers;
}

// One look-up as the grid makes it: open, order 2, browse the order number, fetch once;
// "number|amount" of the shipment found.
std::string lookUp(AccpacDBLink& link, const QString& order)
{
    auto view = link.OpenView(QStringLiteral("OE0692"));
    view->SetOrder(2);
    view->Browse(QStringLiteral("ORDNUMBER = \"") + order + u'"', true);
    QString found;
    if (view->Fetch())
        found = view->Field(QStringLiteral("SHINUMBER")).GetValue().toString() + u'|' +
                QString::number(view->Field(QStringLiteral("SHINETWTX")).GetValue().toDouble());
    view->Close();
    return found.toStdString();
}

// A statement run by a program other than this one: psql on the server, sqlite3 on a file.
void writeFromAnotherProgram(const QString& store, const QString& sql)
{
    if (TestStore::onServer()) {
        const QStringList where =
            TestStore::query(store, QStringLiteral("SELECT current_database(), current_schema()"));
        ASSERT_EQ(where.size(), 1);
        const QStringList names = where[0].split(u'|');
        TestStore::runningServer().execute(
            QStringLiteral("SET search_path TO %1; %2").arg(names[1], sql), names[0]);
        return;
    }
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"), {store, sql});
    ASSERT_TRUE(sqlite.waitForFinished());
    ASSERT_EQ(sqlite.exitCode(), 0) << sqlite.readAllStandardError().toStdString();
}

TEST(AccpacLookUps, ARunOfLookUpsAnswersAsEachAloneAndMissesNoChange)
{
    Sample::Options options;
    options.orders = 400; // more shipments than one batch holds
    TestSite site(options);
    auto session = site.signOn();
    ASSERT_TRUE(session);
    auto link = session->OpenDBLink(1, 0);
    const QString store = Accpac::Admin::companyDatabaseFile(site.folder, Sample::CompanyId);
    const std::map<QString, QString> expected = firstShipments(store);
    ASSERT_GT(expected.size(), 300u);

    // Every order, and keys without shipments between, before, after and beside them.
    QStringList probes = TestStore::query(store, QStringLiteral("SELECT ORDNUMBER FROM OEORDH"));
    ASSERT_GE(probes.size(), 400);
    probes << QString() << QStringLiteral("ORD000000") << QStringLiteral("ORD0010005")
           << QStringLiteral("ORD001") << QStringLiteral("ORD001000 ")
           << QStringLiteral("ord001000") << QStringLiteral("ORD9") << QStringLiteral("ZZZ")
           << QStringLiteral("ÖRD001000");
    // In the order the server sorts them (byte by byte, the grid's order on such a site).
    std::sort(probes.begin(), probes.end(),
              [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
    const auto answer = [&](const QString& order) {
        const auto at = expected.find(order);
        return at == expected.end() ? std::string() : at->second.toStdString();
    };
    int found = 0;
    for (const QString& order : probes) {
        const std::string got = lookUp(*link, order);
        ASSERT_EQ(got, answer(order)) << order.toStdString();
        found += got.empty() ? 0 : 1;
    }
    EXPECT_EQ(found, int(expected.size()));
    // Backwards: each key before the batch read last.
    std::reverse(probes.begin(), probes.end());
    for (const QString& order : probes)
        ASSERT_EQ(lookUp(*link, order), answer(order)) << order.toStdString();
    const int readAhead = Accpac::Testing::lookUpsReadAhead(*session);
    if (TestStore::onServer())
        EXPECT_GT(readAhead, int(probes.size())) << "a run on a server is read ahead";
    else
        EXPECT_EQ(readAhead, 0) << "an SQLite file answers each look-up at once";

    // A fetch answered from the batch leaves the view on its record: MoveNext goes on to
    // the order's second shipment, then to none.
    const auto two = std::find_if(probes.begin(), probes.end(), [&](const QString& order) {
        return TestStore::query(store, "SELECT COUNT(*) FROM OESHIH WHERE ORDNUMBER='" + order +
                                           "'") == QStringList{QStringLiteral("2")};
    });
    ASSERT_NE(two, probes.end());
    for (const QString& order : probes.mid(0, 3))
        lookUp(*link, order);
    auto view = link->OpenView(QStringLiteral("OE0692"));
    view->SetOrder(2);
    view->Browse(QStringLiteral("ORDNUMBER = \"") + *two + u'"', true);
    ASSERT_TRUE(view->Fetch());
    const auto current = [&] {
        return (view->Field(QStringLiteral("SHINUMBER")).GetValue().toString() + u'|' +
                QString::number(view->Field(QStringLiteral("SHINETWTX")).GetValue().toDouble()))
            .toStdString();
    };
    EXPECT_EQ(current(), answer(*two));
    ASSERT_TRUE(view->MoveNext());
    EXPECT_NE(current(), answer(*two));
    EXPECT_EQ(view->Field(QStringLiteral("ORDNUMBER")).GetValue().toString(), *two);
    EXPECT_FALSE(view->MoveNext());
    view->Close();

    // A change this program writes (here on another connection) is seen by the next look-up
    // of the run, however soon.
    const QString first = QStringLiteral("SH1100-1");
    const QString order =
        TestStore::query(store, "SELECT ORDNUMBER FROM OESHIH WHERE SHINUMBER='" + first + "'")
            .value(0);
    ASSERT_FALSE(order.isEmpty());
    for (const QString& o :
         {QStringLiteral("ORD001097"), QStringLiteral("ORD001098"), QStringLiteral("ORD001099")})
        lookUp(*link, o);
    EXPECT_EQ(TestStore::execute(store, "UPDATE OESHIH SET SHINETWTX = 4321.5 WHERE SHINUMBER='" +
                                            first + "'"),
              QString());
    EXPECT_EQ(lookUp(*link, order), first.toStdString() + "|4321.5");

    // Another program's change is seen once a batch read before it has had its time.
    for (const QString& o :
         {QStringLiteral("ORD001097"), QStringLiteral("ORD001098"), QStringLiteral("ORD001099")})
        lookUp(*link, o);
    writeFromAnotherProgram(store, "UPDATE OESHIH SET SHINETWTX = 8765.25 WHERE SHINUMBER='" +
                                       first + "'");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(lookUp(*link, order), first.toStdString() + "|8765.25");
}

} // namespace
