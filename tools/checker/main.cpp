// tallymerge-check: verifies the books of a company file.
//   tallymerge-check <company file>            e.g. /var/lib/tallymerge/site/SAMINC.db
//   tallymerge-check --site <folder> <company> the company of a site
// Prints every problem found; exit code 0 when the books agree, 1 when they do not, 2 for
// bad arguments or a file that cannot be read.
#include <accpac/standin.h>
#include <system/comerror.h>

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QString file;
    if (args.size() == 1 && !args[0].startsWith(QLatin1String("--")))
        file = args[0];
    else if (args.size() == 3 && args[0] == QLatin1String("--site"))
        file = Accpac::Admin::companyDatabaseFile(args[1], args[2].trimmed().toUpper());
    if (file.isEmpty()) {
        std::fprintf(stderr, "usage: tallymerge-check <company file>\n"
                             "       tallymerge-check --site <folder> <company>\n");
        return 2;
    }
    try {
        const QStringList problems = Accpac::checkCompanyFile(file);
        for (const QString& problem : problems)
            std::printf("%s\n", qPrintable(problem));
        if (problems.isEmpty())
            std::printf("%s: the books agree.\n", qPrintable(file));
        return problems.isEmpty() ? 0 : 1;
    } catch (const ComError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
}
