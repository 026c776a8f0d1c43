// tallymerge-check: the books' auditor. Reads a company file, never writing it, and prints
// one line for every document that breaks a rule of the books. Exit status 0 when the
// books agree, 1 when a rule fails, 2 for bad arguments or a file it cannot check.
#include "auditsettings.h"

#include <accpac/standin.h>
#include <resources/resources.h>
#include <system/comerror.h>

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

int usageError(const QString& message)
{
    std::fprintf(stderr, "%s\nRun \"tallymerge-check --help\" for its use.\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tallymerge-check"));
    QCoreApplication::setApplicationVersion(Resources::ProgramVersion());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Audits the books of a company file: every shipment on at most one invoice, and of "
        "the invoice's customer; delivery charges only on invoices that qualify, once each; "
        "prepayments of the invoice's customer, within its total, with the amount due and "
        "their receipt batches in agreement; invoiced orders complete and naming their last "
        "invoice; approvals by users who hold the right; no password stored; invoice and "
        "receipt batch numbers given once. The file is opened read-only and never written.\n"
        "Exit status: 0 the books agree, 1 a rule fails, 2 the file cannot be checked."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption site(
        QStringLiteral("site"),
        QStringLiteral("Check the company <company> of the site in <folder> (its users and "
                       "rights are the site's); the argument is then the company ID."),
        QStringLiteral("folder"));
    const QCommandLineOption hive(
        QStringLiteral("hive"),
        QStringLiteral("Read the program's settings from the machine's settings hive <file> "
                       "(e.g. /var/lib/tallymerge/HKEY_LOCAL_MACHINE.reg); without it the "
                       "delivery-charge rules are skipped."),
        QStringLiteral("file"));
    const QCommandLineOption password(
        QStringLiteral("known-password"),
        QStringLiteral("A password that must appear nowhere in the books (may be given more "
                       "than once)."),
        QStringLiteral("password"));
    parser.addOptions({site, hive, password});
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("The company file, or with --site the company "
                                                "ID."));
    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (parser.positionalArguments().size() != 1)
        return usageError(QStringLiteral("Give one company file, or --site and a company ID."));

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
            std::printf("%s: the books agree.\n", qPrintable(file));
        return report.problems.isEmpty() ? 0 : 1;
    } catch (const ComError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
}
