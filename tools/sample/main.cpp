// tallymerge-sample: makes a site with the sample company SAMINC.
//   tallymerge-sample --install-default          the default site, unless it exists, and
//                                                the system ODBC data source SAMINC on it
//   tallymerge-sample [options] <folder>         a site in folder (which must not exist)
// Options: --orders N, --oe 55A|56A, --ar 53A|56A, --no-oe, --fast (quick password
// verifiers, for tests and benchmarks only).
#include "sample.h"

#include <settings/settings.h>

#include <system/comerror.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: tallymerge-sample --install-default\n"
                         "       tallymerge-sample [--orders N] [--oe 55A|56A] [--ar 53A|56A] "
                         "[--no-oe] [--fast] <folder>\n");
    return 2;
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    Sample::Options options;
    bool installDefault = false;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString arg = args.takeFirst();
        if (arg == QLatin1String("--install-default")) {
            installDefault = true;
        } else if (arg == QLatin1String("--fast")) {
            options.strength = Accpac::Admin::HashStrength::Minimal;
        } else if (arg == QLatin1String("--no-oe")) {
            options.withOrderEntry = false;
        } else if (args.isEmpty()) {
            return usage();
        } else if (arg == QLatin1String("--orders")) {
            bool ok = false;
            options.orders = args.takeFirst().toInt(&ok);
            if (!ok || options.orders < 0)
                return usage();
        } else if (arg == QLatin1String("--oe")) {
            options.oeVersion = args.takeFirst();
            if (options.oeVersion != QLatin1String("55A") &&
                options.oeVersion != QLatin1String("56A"))
                return usage();
        } else if (arg == QLatin1String("--ar")) {
            options.arVersion = args.takeFirst();
            if (options.arVersion != QLatin1String("53A") &&
                options.arVersion != QLatin1String("56A"))
                return usage();
        } else {
            return usage();
        }
    }
    if (installDefault) {
        if (!args.isEmpty())
            return usage();
        options.folder = Accpac::defaultSiteFolder();
        if (QFileInfo::exists(QDir(options.folder).filePath(QStringLiteral("system.db")))) {
            std::printf("The sample site exists already in %s.\n", qPrintable(options.folder));
            return registerDefaultDataSource(options.folder);
        }
    } else {
        if (args.size() != 1)
            return usage();
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
                qPrintable(options.folder));
    const int rc = installDefault ? registerDefaultDataSource(options.folder) : 0;
    // Last, where it is seen: the sample accounts are open to anyone who reads this.
    std::printf("The sample users' passwords equal their user IDs (ADMIN, SUPER, CLERK, TEMP): "
                "change them for real use (tallymerge-admin set-password ID).\n");
    return rc;
}
