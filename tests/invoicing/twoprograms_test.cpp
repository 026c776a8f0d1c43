// Two programs invoice the same shipments at once, each through the program's own main
// window and Invoice command: every shipment ends on exactly one invoice.
#include "invoicetesting.h"

#include <accpac/standin.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>

using namespace InvoiceTesting;

namespace {

struct Outcome
{
    QMap<QString, QString> invoices; // shipment → invoice number
    int refused = 0;
    int gone = 0;
};

void readOutcome(QProcess& program, Outcome& outcome)
{
    for (const QString& line :
         QString::fromUtf8(program.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        const QString shipment = line.section(' ', 0, 0);
        const QString result = line.section(' ', 1, 1);
        if (result == QLatin1String("refused"))
            ++outcome.refused;
        else if (result == QLatin1String("gone"))
            ++outcome.gone;
        else if (result.startsWith(QLatin1String("IN"))) {
            EXPECT_FALSE(outcome.invoices.contains(shipment))
                << shipment.toStdString() << " invoiced twice";
            outcome.invoices.insert(shipment, result);
        } else
            ADD_FAILURE() << "unexpected line: " << line.toStdString();
    }
}

// A settings folder for a program of its own, with the fixture's machine settings (the data
// source, its engine and login).
QString settingsFolder(const MainWindowFixture& fixture, const QTemporaryDir& dir,
                       const QString& name)
{
    const QString machine = dir.filePath(name + QStringLiteral("/machine"));
    const QString hive = QStringLiteral("/HKEY_LOCAL_MACHINE.reg");
    EXPECT_TRUE(QDir().mkpath(machine));
    EXPECT_TRUE(QFile::copy(fixture.hiveLocations().machineFolder + hive, machine + hive));
    return dir.filePath(name);
}

} // namespace

TEST(TwoPrograms, EachShipmentGoesOnOneInvoiceWhenTwoProgramsInvoiceAtOnce)
{
    constexpr int Rounds = 3;
    constexpr int Shipments = 12;
    int contested = 0;
    for (int round = 0; round < Rounds; ++round) {
        QList<TestOrder> orders;
        QStringList shipments;
        for (int n = 1; n <= Shipments; ++n) {
            TestOrder o = order(QStringLiteral("ORD%1").arg(n), QStringLiteral("SH%1").arg(n),
                                10 + n, n % 2 ? QStringLiteral("1200") : QStringLiteral("1300"));
            o.withLines = true;
            orders << o;
            shipments << o.shipments.first().first;
        }
        MainWindowFixture fixture(orders);
        QStringList reversed = shipments;
        std::reverse(reversed.begin(), reversed.end());

        QTemporaryDir dir;
        const QString go = dir.filePath(QStringLiteral("go"));
        QProcess first, second;
        first.start(QStringLiteral(INVOICE_PROGRAM),
                    QStringList{fixture.siteFolder(),
                                settingsFolder(fixture, dir, QStringLiteral("first")), go} +
                        shipments);
        second.start(QStringLiteral(INVOICE_PROGRAM),
                     QStringList{fixture.siteFolder(),
                                 settingsFolder(fixture, dir, QStringLiteral("second")), go} +
                         (round % 2 ? shipments : reversed));
        for (QProcess* p : {&first, &second}) {
            while (!p->canReadLine())
                ASSERT_TRUE(p->waitForReadyRead(60000)) << p->readAllStandardError().toStdString();
            ASSERT_EQ(p->readLine().trimmed(), "ready") << p->readAllStandardError().toStdString();
        }
        QFile(go).open(QIODevice::WriteOnly);
        ASSERT_TRUE(first.waitForFinished(120000));
        ASSERT_TRUE(second.waitForFinished(120000));
        EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
        EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();

        Outcome one, other;
        readOutcome(first, one);
        readOutcome(second, other);
        // Together they invoiced every shipment once; what one made the other could not.
        QSet<QString> numbers;
        for (const QString& shipment : shipments) {
            const bool byOne = one.invoices.contains(shipment);
            const bool byOther = other.invoices.contains(shipment);
            EXPECT_NE(byOne, byOther) << shipment.toStdString();
            numbers.insert(byOne ? one.invoices.value(shipment) : other.invoices.value(shipment));
        }
        EXPECT_EQ(numbers.size(), Shipments);
        EXPECT_EQ(one.invoices.size() + one.refused + one.gone, Shipments);
        EXPECT_EQ(other.invoices.size() + other.refused + other.gone, Shipments);
        contested += one.refused + other.refused;
        EXPECT_EQ(fixture.auditProblems(), QStringList());
    }
    RecordProperty("RefusedAttempts", contested);
}
