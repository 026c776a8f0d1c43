// tallymerge-check: the books' auditor. Reads a company file, never writing it, and prints
// one line for every document that breaks a rule of the books. Exit status 0 when the
// books agree, 1 when a rule fails, 2 for a bad command line or a file it cannot check.
#include "auditsettings.h"

#include <commandline.h>

#include <accpac/standin.h>
#include <system/comerror.h>

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

const char* const Usage = "tallymerge-check [--hive FILE] [--known-password TEXT]... "
                          "{COMPANY-FILE | --site FOLDER COMPANY}";

const char* const Description =
    "Audits the books of a company file: every shipment on at most one invoice, and of the "
    "invoice's customer, billed line for line at its amounts; charges at their amounts; "
    "delivery charges only on invoices that qualify, none of a cash sale, once each; "
    "prepayments of the invoice's customer, within its total, with the invoice's header, "
    "prepayment record, receipts, amount due and receipt batches in agreement; receipts "
    "applied to invoices that exist; invoiced orders complete and naming their last invoice, "
    "and no order complete with none of its shipments invoiced; "
    "approvals by users who hold the right; no password stored; invoice and receipt batch "
    "numbers given once. The company file and the site's system file are opened read-only "
    "and never written; a company file of an older version is checked after "
    "tallymerge-admin upgrade.\n"
    "\n"
    "Exit status: 0 the books agree, 1 a rule fails, 2 a bad command line or a file that "
    "cannot be checked (not a company file, locked, or made by an older or a newer "
    "program).";

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tallymerge-check"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(Description));
    const QCommandLineOption site(
        QStringLiteral("site"),
        QStringLiteral("Check the company COMPANY of the site in <folder>; its users and rights "
                       "are that site's. Without it, the site is the company file's folder."),
        QStringLiteral("folder"));
    const QCommandLineOption hive(
        QStringLiteral("hive"),
        QStringLiteral("Read the program's settings from the machine's settings hive <file> "
                       "(/var/lib/tallymerge/HKEY_LOCAL_MACHINE.reg). Without it the "
                       "delivery-charge rules are skipped."),
        QStringLiteral("file"));
    const QCommandLineOption password(
        QStringLiteral("known-password"),
        QStringLiteral("A password that must appear nowhere in the books; may be given more "
                       "than once."),
        QStringLiteral("text"));
    parser.addOptions({site, hive, password});
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("The company file, or with --site the company "
                                                "ID."));
    const QString usage = QLatin1String(Usage);
    if (const auto done = CommandLine::parse(parser, app.arguments(), usage))
        return *done;
    if (parser.positionalArguments().size() != 1)
        return CommandLine::badUsage(QStringLiteral("One company file, or --site and one company "
                                                    "ID, is needed"),
                                     usage);

    Accpac::AuditOptions options;
    QString file = parser.positionalArguments().first();
    try {
        if (parser.isSet(site)) {
            options.siteFolder = parser.value(site);
            file = Accpac::Admin::companyDatabaseFile(options.siteFolder, file.trimmed().toUpper());
        }
        if (parser.isSet(hive))
            readAuditSettings(parser.value(hive), options);
        options.knownPasswords = parser.values(password);
        const Accpac::AuditReport report = Accpac::auditCompanyFile(file, options);
        for (const QString& sentence : report.skipped)
            std::printf("%s\n", qPrintable(sentence));
        for (const QString& problem : report.problems)
            std::printf("%s\n", qPrintable(problem));
        if (report.problems.isEmpty())
            // A server's connection string is shown without its password.
            std::printf("%s: the books agree.\n", qPrintable(Accpac::shownSite(file)));
        return report.problems.isEmpty() ? 0 : 1;
    } catch (const ComError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
}
