#pragma once

// The auditor's tests' company: one fresh sample site for each suite, copied for each case,
// and the tallymerge-check program itself.
#include "testsite.h"

#include <auditsettings.h>
#include <invoicesequence.h>

#include <system/comerror.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace AuditFixture {

inline const QString Company = QStringLiteral("SAMINC.db");

// One fresh sample site for the whole suite, with one invoice that uses every feature the
// rules look at: customer 1200 (flagged for the delivery charge), one shipment of 50.00,
// the delivery charge of 10.00, a prepayment of 20.00 by cheque in batch 1, and an
// approval by the supervisor; the order completed as the program completes it.
struct Books
{
    Books()
    {
        auto session = site.signOn();
        if (!session)
            throw ComError(ComErrorNumber::E_Fail, QStringLiteral("no sign-on"));
        auto link = session->OpenDBLink(1, 0);
        shipment =
            Sample::addShippedOrder(*link, QStringLiteral("ORD-AUDIT"), QStringLiteral("1200"), 1)
                .first();
        Sample::InvoiceRequest request;
        request.customer = QStringLiteral("1200");
        request.shipments = {shipment};
        request.deliveryCharge = QStringLiteral("DEL");
        request.prepayment =
            Sample::InvoiceRequest::Prepayment::cheque(1, 20.0, QStringLiteral("CHK77"));
        request.approverId = Sample::SupervisorId;
        request.approverPassword = Sample::SupervisorPassword;
        invoice = Sample::createInvoice(*link, request).invoiceNumber;
        auto header = link->OpenView(QStringLiteral("OE0420"));
        header->SetOrder(1);
        header->Field(QStringLiteral("INVNUMBER")).SetValue(invoice);
        if (header->Read())
            invoiceUniq = header->Field(QStringLiteral("INVUNIQ")).GetValue().toString();
        header->Close();
        Sample::completeInvoicedOrder(*link, QStringLiteral("ORD-AUDIT"));
        link->Close();
        session->Close();
    }

    TestSite site;
    QString shipment;
    QString invoice;
    QString invoiceUniq;
};

inline Books* books = nullptr;

// Whether the list holds the line; the list is shown when it does not.
inline ::testing::AssertionResult holds(const QStringList& lines, const QString& line)
{
    if (lines.contains(line))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "\"" << line.toStdString() << "\" is not among: " << lines.join(u'|').toStdString();
}

class AuditTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { books = new Books; }
    static void TearDownTestSuite()
    {
        delete books;
        books = nullptr;
    }

    // Each case works on its own copy of the site: its files, or a copy of its database.
    void SetUp() override
    {
        ASSERT_FALSE(books->invoiceUniq.isEmpty());
        copyBooks();
        hive = dir.filePath(QStringLiteral("HKEY_LOCAL_MACHINE.reg"));
        writeHive(QStringLiteral("\"DeliveryCharge\"=\"1\"\n\"DelCharge\"=\"DEL\"\n"));
    }

    // A fresh copy of the suite's site in place of the case's.
    void copyBooks()
    {
        if (TestStore::onServer()) {
            site = TestStore::copySite(books->site.folder);
            return;
        }
        site = dir.path();
        for (const QString& file : {Company, Company + QStringLiteral("-wal"),
                                    Company + QStringLiteral("-shm"), QStringLiteral("system.db")})
            QFile::remove(folder() + u'/' + file);
        for (const QString& file : {Company, QStringLiteral("system.db")})
            ASSERT_TRUE(QFile::copy(books->site.folder + u'/' + file, folder() + u'/' + file));
    }

    QString folder() const { return dir.path(); }
    QString companyFile() const
    {
        return TestStore::onServer() ? Accpac::Admin::companyDatabaseFile(site, Sample::CompanyId)
                                     : folder() + u'/' + Company;
    }

    // The machine's hive with the given values under the program's settings key.
    void writeHive(const QString& values) const
    {
        QFile file(hive);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("Windows Registry Editor Version 5.00\n\n"
                   "[HKEY_LOCAL_MACHINE\\Software\\Norvane\\Tallymerge]\n" +
                   values.toUtf8());
    }

    // Runs statements on the copy, as another program would have.
    void plant(const QString& sql) const
    {
        ASSERT_EQ(TestStore::execute(companyFile(), sql), QString()) << sql.toStdString();
    }

    // The first column of the first row of a query on the copy.
    QString value(const QString& sql) const
    {
        return TestStore::query(companyFile(), sql).value(0).section(u'|', 0, 0);
    }

    Accpac::AuditReport audit(const QStringList& knownPasswords = {}) const
    {
        Accpac::AuditOptions options;
        readAuditSettings(hive, options);
        options.knownPasswords = knownPasswords;
        return Accpac::auditCompanyFile(companyFile(), options);
    }

    QStringList problems() const { return audit().problems; }
    // The problems the delivery-charge rules report.
    QStringList deliveryProblems() const
    {
        return problems().filter(QStringLiteral("the delivery charge"));
    }

    const QString& invoice() const { return books->invoice; }
    const QString& shipment() const { return books->shipment; }
    // Our invoice's INVUNIQ.
    QString ours() const { return books->invoiceUniq; }

    QTemporaryDir dir;
    QString site;
    QString hive;
};

// One run of the program.
struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs tallymerge-check with the arguments.
inline Outcome check(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(TALLYMERGE_CHECK), arguments);
    Outcome run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace AuditFixture
