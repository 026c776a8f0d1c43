// tallymerge-sample: makes a site with the sample company SAMINC.
//   tallymerge-sample --install-default          the default site, unless it exists, and
//                                                the system ODBC data source SAMINC on it
//   tallymerge-sample [options] <folder>         a site in folder (which must not exist), or
//                                                on a database server (a connection string)
// Options: --orders N, --oe 55A|56A, --ar 53A|56A, --no-oe, --fast (quick password
// verifiers, for tests and benchmarks only).
#include "sample.h"

#include <settings/settings.h>

#include <commandline.h>

#include <system/comerror.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

namespace {

const char* const Usage = "tallymerge-sample --install-default | [OPTIONS] FOLDER";

int usage(const QString& problem)
{
    return CommandLine::badUsage(problem, QString::fromLatin1(Usage));
}

// The grid reads the order headers through this data source. The program's settings get
// its name as the installer's suggestion, which the configuration window shows on the first
// start; nothing else is configured for the user.
int registerDefaultDataSource(const QString& folder)
{
    try {
        const QString file = Accpac::Admin::companyDatabaseFile(folder, Sample::CompanyId);
        Sample::registerDataSource(file);
        std::printf("ODBC data source %s points at %s.\n", qPrintable(Sample::CompanyId),
                    qPrintable(file));
        if (Setting::read(Setting::DSN).isEmpty())
            Setting::save(Setting::DSN, Sample::CompanyId);
        return 0;
    } catch (const ComError& e) {
        std::fprintf(stderr, "The ODBC data source %s could not be registered: %s\n",
                     qPrintable(Sample::CompanyId), e.what());
        return 1;
    }
}

// An existing site's files brought to this program's schema version; 1 when one was refused.
int upgradeSite(const QString& folder)
{
    int rc = 0;
    try {
        for (const Accpac::SchemaUpgrade& file : Accpac::Admin::upgradeSite(folder)) {
            if (!file.refusal.isEmpty())
                rc = 1;
            if (file.fromVersion != file.toVersion || !file.refusal.isEmpty())
                std::fprintf(file.refusal.isEmpty() ? stdout : stderr, "%s\n",
                             qPrintable(Accpac::describeUpgrade(file)));
        }
    } catch (const ComError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return rc;
}

// Last, where it is seen, on every run: the sample accounts are open to anyone who reads
// this.
void remindOfPasswords()
{
    std::printf("The sample users' passwords equal their user IDs (ADMIN, SUPER, CLERK, TEMP): "
                "change them for real use (tallymerge-admin set-password ID).\n");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Makes a site with the sample company SAMINC."));
    const QCommandLineOption installDefaultOption(
        QStringLiteral("install-default"),
        QStringLiteral("The default site, unless it exists, and the system ODBC data source "
                       "SAMINC on it."));
    const QCommandLineOption ordersOption(QStringLiteral("orders"),
                                          QStringLiteral("N open orders in the company."),
                                          QStringLiteral("N"));
    const QCommandLineOption oeOption(QStringLiteral("oe"),
                                      QStringLiteral("The Order Entry version: 55A or 56A."),
                                      QStringLiteral("VERSION"));
    const QCommandLineOption arOption(QStringLiteral("ar"),
                                      QStringLiteral("The Receivables version: 53A or 56A."),
                                      QStringLiteral("VERSION"));
    const QCommandLineOption noOeOption(QStringLiteral("no-oe"),
                                        QStringLiteral("A company without Order Entry."));
    const QCommandLineOption fastOption(
        QStringLiteral("fast"),
        QStringLiteral("Quick password verifiers, for tests and benchmarks only."));
    parser.addOptions(
        {installDefaultOption, ordersOption, oeOption, arOption, noOeOption, fastOption});
    parser.addPositionalArgument(
        QStringLiteral("folder"),
        QStringLiteral("The folder of the new site (must not exist), or the connection string "
                       "of a database on a server (the site is set up there if it is not)."));
    if (const auto status =
            CommandLine::parse(parser, QCoreApplication::arguments(), QString::fromLatin1(Usage)))
        return *status;

    Sample::Options options;
    const bool installDefault = parser.isSet(installDefaultOption);
    const QStringList args = parser.positionalArguments();
    if (parser.isSet(fastOption))
        options.strength = Accpac::Admin::HashStrength::Minimal;
    if (parser.isSet(noOeOption))
        options.withOrderEntry = false;
    if (parser.isSet(ordersOption)) {
        bool ok = false;
        options.orders = parser.value(ordersOption).toInt(&ok);
        if (!ok || options.orders < 0)
            return usage(QStringLiteral("--orders takes a number of orders"));
    }
    if (parser.isSet(oeOption)) {
        options.oeVersion = parser.value(oeOption);
        if (options.oeVersion != QLatin1String("55A") && options.oeVersion != QLatin1String("56A"))
            return usage(QStringLiteral("--oe takes 55A or 56A"));
    }
    if (parser.isSet(arOption)) {
        options.arVersion = parser.value(arOption);
        if (options.arVersion != QLatin1String("53A") && options.arVersion != QLatin1String("56A"))
            return usage(QStringLiteral("--ar takes 53A or 56A"));
    }
    if (installDefault) {
        if (!args.isEmpty())
            return usage(QStringLiteral("--install-default takes no folder"));
        options.folder = Accpac::defaultSiteFolder();
        if (QFileInfo::exists(QDir(options.folder).filePath(QStringLiteral("system.db")))) {
            std::printf("The sample site exists already in %s.\n", qPrintable(options.folder));
            const int rc =
                std::max(upgradeSite(options.folder), registerDefaultDataSource(options.folder));
            remindOfPasswords();
            return rc;
        }
    } else {
        if (args.size() != 1)
            return usage(QStringLiteral("One folder is needed"));
        options.folder = args.first();
        if (QFileInfo::exists(QDir(options.folder).filePath(QStringLiteral("system.db")))) {
            std::fprintf(stderr, "A site exists already in %s.\n", qPrintable(options.folder));
            return 1;
        }
    }
    try {
        Sample::createSampleSite(options);
    } catch (const ComError& e) {
        std::fprintf(stderr, "The sample site could not be made: %s\n", e.what());
        return 1;
    }
    std::printf("Sample site with company %s made in %s.\n", qPrintable(Sample::CompanyId),
                qPrintable(Accpac::shownSite(options.folder)));
    const int rc = installDefault ? registerDefaultDataSource(options.folder) : 0;
    remindOfPasswords();
    return rc;
}
