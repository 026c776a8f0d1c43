// tallymerge-admin: looks after the users of a site and the machine's shared folder.
//   tallymerge-admin [--site FOLDER] add-user ID [NAME]     a new user (asks for a password)
//   tallymerge-admin [--site FOLDER] set-password ID        a new password for a user
//   tallymerge-admin [--site FOLDER] disable ID             the user can no longer sign on
//   tallymerge-admin [--site FOLDER] unlock ID              enabled again and not locked out
//   tallymerge-admin [--site FOLDER] grant ID COMPANY PROGRAM PROFILE
//                                                           e.g. grant CLERK SAMINC OE OECLERK
//   tallymerge-admin [--site FOLDER] revoke ID COMPANY PROGRAM PROFILE   the grant taken back
//   tallymerge-admin [--site FOLDER] delete-user ID         the user, its rights and its role
//   tallymerge-admin [--site FOLDER] upgrade                brings the site's files up to date
//   tallymerge-admin [--site FOLDER] journal COMPANY [--from DATE]
//                                                           prints the journal of the program's
//                                                           decisions in the company
//   tallymerge-admin create-site CONNINFO [SITE]            a site on a database server; SITE
//                                                           is the workstations' connection
//                                                           string (its login: the sign-on)
//   tallymerge-admin copy-company SOURCE COMPANY CONNINFO   a company of an SQLite site (its
//                                                           folder) or file into the server
//                                                           site, then its books checked
//   tallymerge-admin --site CONNINFO odbc-source [--user|--system] COMPANY DSN
//                                                           the workstation's ODBC data source
//                                                           of a company of a server site
//   tallymerge-admin secure [--group NAME] [FOLDER]         gives the shared folder to the
//                                                           group: folders at most 2770, files
//                                                           at most 0660, never loosened
// The site is /var/lib/tallymerge/site and the shared folder /var/lib/tallymerge unless
// given; --site also takes a site on a database server (a libpq connection string), whose
// users are the server's login roles: there the connection string's login makes and changes
// them, so it needs the right to create roles. Passwords are read from the terminal without
// echo (one line from a pipe).
#include "passwordprompt.h"

#include <commandline.h>

#include <accpac/standin.h>
#include <odbc/datasource.h>
#include <registry/hivelocations.h>
#include <system/comerror.h>
#include <system/sitefiles.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <sys/stat.h>

namespace {

const char* const Description =
    "Looks after the users of a site and the machine's shared folder.\n"
    "\n"
    "Commands:\n"
    "  add-user ID [NAME]                a new user (asks for a password)\n"
    "  set-password ID                   a new password for a user\n"
    "  disable ID                        the user can no longer sign on (never ADMIN)\n"
    "  unlock ID                         enabled again and not locked out\n"
    "  grant ID COMPANY PROGRAM PROFILE  e.g. grant CLERK SAMINC OE OECLERK\n"
    "  revoke ID COMPANY PROGRAM PROFILE takes the grant back\n"
    "  delete-user ID                    the user, its rights and, on a server, its role\n"
    "  upgrade                           brings the site's files to this schema version\n"
    "  journal COMPANY [--from DATE]     prints the journal of the program's decisions in\n"
    "                                    the company, from DATE (YYYY-MM-DD, UTC) on\n"
    "  create-site CONNINFO [SITE]       a site on a database server (a libpq connection\n"
    "                                    string, e.g. \"host=db1 dbname=books user=admin\");\n"
    "                                    SITE is the workstations' string, whose login may\n"
    "                                    then list the companies and nothing more\n"
    "  copy-company SOURCE COMPANY CONNINFO\n"
    "                                    copies a company of an SQLite site (its folder) or\n"
    "                                    a company file into the server site, then checks\n"
    "                                    its books there\n"
    "  odbc-source [--user|--system] COMPANY DSN\n"
    "                                    with --site CONNINFO: the workstation's ODBC data\n"
    "                                    source DSN for the grid of COMPANY (a system one\n"
    "                                    unless --user); no password is written\n"
    "  secure [--group NAME] [FOLDER]    gives the shared folder to the group";

int usage()
{
    std::fputs("usage: tallymerge-admin [--site FOLDER] add-user ID [NAME]\n"
               "       tallymerge-admin [--site FOLDER] set-password ID\n"
               "       tallymerge-admin [--site FOLDER] disable ID\n"
               "       tallymerge-admin [--site FOLDER] unlock ID\n"
               "       tallymerge-admin [--site FOLDER] grant ID COMPANY PROGRAM PROFILE\n"
               "       tallymerge-admin [--site FOLDER] revoke ID COMPANY PROGRAM PROFILE\n"
               "       tallymerge-admin [--site FOLDER] delete-user ID\n"
               "       tallymerge-admin [--site FOLDER] upgrade\n"
               "       tallymerge-admin [--site FOLDER] journal COMPANY [--from DATE]\n"
               "       tallymerge-admin create-site CONNINFO [SITE]\n"
               "       tallymerge-admin copy-company SOURCE COMPANY CONNINFO\n"
               "       tallymerge-admin --site CONNINFO odbc-source [--user|--system] COMPANY "
               "DSN\n"
               "       tallymerge-admin secure [--group NAME] [FOLDER]\n",
               stderr);
    return CommandLine::BadUsage;
}

void say(const QString& text)
{
    std::printf("%s\n", qPrintable(text));
}

int fail(const QString& text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    return 1;
}

// The shared folder to the group: made if missing, then every folder and file closed to
// other accounts and given to the group, never more open than it was.
int secure(QStringList args)
{
    QString groupName = QString::fromLatin1(SiteFiles::GroupName);
    if (!args.isEmpty() && args.first() == QLatin1String("--group")) {
        args.removeFirst();
        if (args.isEmpty() || args.first().isEmpty())
            return fail(QStringLiteral("--group needs the name of a group."));
        groupName = args.takeFirst();
    }
    // An option is never taken for a folder's name.
    if (args.size() > 1 || (!args.isEmpty() && args.first().startsWith(u'-')))
        return usage();
    const QString folder =
        args.isEmpty() ? Registry::defaultHiveLocations().machineFolder : args.first();
    const auto group = SiteFiles::groupId(groupName);
    if (!group)
        return fail(QStringLiteral("The group %1 does not exist; create it first (as root: "
                                   "groupadd --system %1).")
                        .arg(groupName));
    if (!SiteFiles::makeFolder(folder, SiteFiles::SharedFolderMode))
        return fail(QStringLiteral("The folder %1 cannot be made.").arg(folder));
    QStringList notes;
    const QStringList problems = SiteFiles::secureTree(folder, *group, &notes);
    for (const QString& note : notes)
        say(note);
    for (const QString& problem : problems)
        std::fprintf(stderr, "%s\n", qPrintable(problem));
    if (!problems.isEmpty())
        return 1;
    say(QStringLiteral("%1 belongs to the group %2: only its members may read or change it.")
            .arg(folder, groupName));
    return 0;
}

// The site's system file and company files to this program's schema version, each told.
int upgrade(const QString& site)
{
    bool refused = false;
    for (const Accpac::SchemaUpgrade& file : Accpac::Admin::upgradeSite(site)) {
        refused = refused || !file.refusal.isEmpty();
        std::fprintf(file.refusal.isEmpty() ? stdout : stderr, "%s\n",
                     qPrintable(Accpac::describeUpgrade(file)));
        std::fflush(stdout); // in order with stderr
    }
    return refused ? 1 : 0;
}

// A site on a database server, or one brought up to date there.
int createSite(const QString& conninfo, const QString& signOnSite)
{
    if (!Accpac::isServerSite(conninfo))
        return fail(QStringLiteral("create-site takes a connection string of a database server, "
                                   "such as \"host=db1 dbname=books user=admin\"."));
    if (!signOnSite.isEmpty() && !Accpac::isServerSite(signOnSite))
        return fail(QStringLiteral("The workstations' site is a connection string of the same "
                                   "server, such as \"host=db1 dbname=books user=books_signon\"."));
    Accpac::Admin::createSite(conninfo, signOnSite);
    say(QStringLiteral("The site is set up on the database server (%1).")
            .arg(Accpac::shownSite(conninfo)));
    if (!signOnSite.isEmpty())
        say(QStringLiteral("Workstations name the site as %1 (its password in ~/.pgpass).")
                .arg(Accpac::shownSite(signOnSite)));
    return 0;
}

// The company copied, then its books checked where they now are; 1 when the auditor finds
// a problem.
int copyCompany(const QString& source, const QString& companyId, const QString& conninfo)
{
    int rows = 0;
    const auto tables = Accpac::Admin::copyCompanyToServer(source, companyId, conninfo);
    for (const auto& [table, count] : tables)
        rows += count;
    const QString id = companyId.trimmed().toUpper();
    say(QStringLiteral("Company %1 was copied to the database server: %2 tables, %3 rows.")
            .arg(id)
            .arg(tables.size())
            .arg(rows));
    Accpac::AuditOptions options;
    options.siteFolder = conninfo;
    options.settingsMissing = QStringLiteral("the copy does not read the machine's settings");
    const Accpac::AuditReport report =
        Accpac::auditCompanyFile(Accpac::Admin::companyDatabaseFile(conninfo, id), options);
    for (const QString& problem : report.problems)
        std::fprintf(stderr, "%s\n", qPrintable(problem));
    if (!report.problems.isEmpty())
        return fail(QStringLiteral("The books of %1 on the server break %2 rules (above); they "
                                   "were copied as they were.")
                        .arg(id)
                        .arg(report.problems.size()));
    say(QStringLiteral("The books of %1 on the server pass the auditor's checks.").arg(id));
    return 0;
}

// The data source through which the grid of a workstation reads a company of a server site:
// psqlODBC's driver, the server, port, database, user and the company's schema. The password
// is never written; the configuration window asks for it (or the server trusts the
// workstation).
int odbcSource(const QString& site, QStringList args)
{
    auto scope = OdbcDataSource::Scope::System;
    if (!args.isEmpty() &&
        (args.first() == QLatin1String("--user") || args.first() == QLatin1String("--system")))
        scope = args.takeFirst() == QLatin1String("--user") ? OdbcDataSource::Scope::User
                                                            : OdbcDataSource::Scope::System;
    if (args.size() != 2)
        return usage();
    if (!Accpac::isServerSite(site))
        return fail(QStringLiteral("odbc-source writes the data source of a company on a "
                                   "database server; name the site with --site and its "
                                   "connection string."));
    const QString company = args[0].trimmed().toUpper();
    const QString dsn = args[1].trimmed();
    if (!OdbcDataSource::driverInstalled(Accpac::ServerOdbcDriver))
        return fail(QStringLiteral("The ODBC driver \"%1\" is not installed on this workstation "
                                   "(Debian package odbc-postgresql).")
                        .arg(Accpac::ServerOdbcDriver));
    auto attributes =
        Accpac::serverOdbcAttributes(Accpac::Admin::companyDatabaseFile(site, company));
    attributes.prepend(
        {QStringLiteral("Description"), QStringLiteral("Tallymerge company %1").arg(company)});
    OdbcDataSource::registerDataSource(dsn, Accpac::ServerOdbcDriver, attributes, scope);
    say(QStringLiteral("The %1 data source \"%2\" reads company %3 on %4. Its password is not "
                       "written: each login gives it.")
            .arg(scope == OdbcDataSource::Scope::User ? QStringLiteral("user")
                                                      : QStringLiteral("system"),
                 dsn, company, Accpac::shownSite(site)));
    return 0;
}

// The company's journal, one entry a line.
int journal(const QString& site, const QStringList& args)
{
    QDate from;
    if (args.size() == 3 && args[1] == QLatin1String("--from")) {
        from = QDate::fromString(args[2], Qt::ISODate);
        if (!from.isValid())
            return fail(QStringLiteral("\"%1\" is no date; give it as YYYY-MM-DD.").arg(args[2]));
    } else if (args.size() != 1) {
        return usage();
    }
    for (const QString& line : Accpac::Admin::journalListing(site, args[0], from))
        say(line);
    return 0;
}

constexpr int MaxUserName = 60;

int users(const QString& site, const QString& command, const QStringList& args)
{
    using namespace Accpac::Admin;
    static const QStringList commands = {
        QStringLiteral("upgrade"), QStringLiteral("add-user"),    QStringLiteral("set-password"),
        QStringLiteral("disable"), QStringLiteral("unlock"),      QStringLiteral("grant"),
        QStringLiteral("revoke"),  QStringLiteral("delete-user"), QStringLiteral("journal")};
    if (!commands.contains(command))
        return usage();
    if (!Accpac::isServerSite(site) &&
        !QFile::exists(QDir(site).filePath(QStringLiteral("system.db"))))
        return fail(QStringLiteral("No site is set up in the folder %1.").arg(site));
    // A new ID is checked against the rule for IDs; one to look up must not be blank.
    if (command != QLatin1String("add-user") && !args.isEmpty() && args[0].trimmed().isEmpty())
        return fail(QStringLiteral("A user ID cannot be blank."));
    const auto needs = [&](int least, int most) {
        return args.size() >= least && args.size() <= most;
    };
    if (command == QLatin1String("upgrade") && needs(0, 0)) {
        return upgrade(site);
    } else if (command == QLatin1String("journal")) {
        return journal(site, args);
    } else if (command == QLatin1String("add-user") && needs(1, 2)) {
        checkNewUser(site, args[0]);
        if (args.size() == 2 && args[1].trimmed().isEmpty())
            return fail(QStringLiteral("A user's name cannot be blank; leave it out to name the "
                                       "user by the ID."));
        if (args.value(1).size() > MaxUserName)
            return fail(
                QStringLiteral("A user's name has at most %1 characters.").arg(MaxUserName));
        const auto password = readNewPassword(args[0].trimmed().toUpper());
        if (!password)
            return 1;
        addUser(site, args[0], args.value(1, args[0]), *password);
        say(QStringLiteral("User %1 added.").arg(args[0].trimmed().toUpper()));
    } else if (command == QLatin1String("set-password") && needs(1, 1)) {
        checkUser(site, args[0]);
        const auto password = readNewPassword(args[0].trimmed().toUpper());
        if (!password)
            return 1;
        setPassword(site, args[0], *password);
        say(QStringLiteral("The password of %1 was changed.").arg(args[0].trimmed().toUpper()));
    } else if (command == QLatin1String("disable") && needs(1, 1)) {
        setUserFlags(site, args[0], true, false);
        say(QStringLiteral("User %1 is disabled.").arg(args[0].trimmed().toUpper()));
    } else if (command == QLatin1String("unlock") && needs(1, 1)) {
        setUserFlags(site, args[0], false, false);
        say(QStringLiteral("User %1 may sign on again.").arg(args[0].trimmed().toUpper()));
    } else if (command == QLatin1String("grant") && needs(4, 4)) {
        checkAuthorisation(site, args[0], args[1], args[2].toUpper(), args[3].toUpper());
        addAuthorisation(site, args[0], args[1], args[2].toUpper(), args[3].toUpper());
        say(QStringLiteral("User %1 has the profile %2 of %3 in company %4.")
                .arg(args[0].trimmed().toUpper(), args[3].toUpper(), args[2].toUpper(),
                     args[1].toUpper()));
    } else if (command == QLatin1String("revoke") && needs(4, 4)) {
        const QString what = QStringLiteral("the profile %1 of %2 in company %3")
                                 .arg(args[3].toUpper(), args[2].toUpper(), args[1].toUpper());
        const QString user = args[0].trimmed().toUpper();
        say(revokeAuthorisation(site, args[0], args[1], args[2].toUpper(), args[3].toUpper())
                ? QStringLiteral("User %1 no longer has %2.").arg(user, what)
                : QStringLiteral("User %1 did not have %2; nothing changed.").arg(user, what));
    } else if (command == QLatin1String("delete-user") && needs(1, 1)) {
        deleteUser(site, args[0]);
        say(QStringLiteral("User %1 was deleted.").arg(args[0].trimmed().toUpper()));
    } else {
        return usage();
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Whatever the caller's umask, nothing made here is open to other accounts.
    ::umask(::umask(0) | 007);
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(Description));
    const QCommandLineOption siteOption(
        QStringLiteral("site"),
        QStringLiteral("The site's folder (%1 unless given).").arg(Accpac::defaultSiteFolder()),
        QStringLiteral("FOLDER"), Accpac::defaultSiteFolder());
    parser.addOption(siteOption);
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("One of the commands above."),
                                 QStringLiteral("COMMAND [ARGUMENTS]"));
    // What follows the command is the command's own (secure takes --group).
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (const auto status = CommandLine::parse(
            parser, QCoreApplication::arguments(),
            QStringLiteral("tallymerge-admin [--site FOLDER] COMMAND [ARGUMENTS] (see --help)")))
        return *status;
    QStringList args = parser.positionalArguments();
    const QString site = parser.value(siteOption);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    if (command == QLatin1String("secure"))
        return secure(args);
    try {
        if (command == QLatin1String("create-site"))
            return args.size() == 1 || args.size() == 2 ? createSite(args[0], args.value(1))
                                                        : usage();
        if (command == QLatin1String("copy-company"))
            return args.size() == 3 ? copyCompany(args[0], args[1], args[2]) : usage();
        if (command == QLatin1String("odbc-source"))
            return odbcSource(site, args);
        return users(site, command, args);
    } catch (const ComError& e) {
        return fail(e.description());
    }
}
