#include "site.h"

#include "schema.h"
#include "signonthrottle.h"
#include "siteadmin.h"
#include "siteroles.h"
#include "store.h"
#include "upgrade.h"

#include <accpac/standin.h>
#include <system/comerror.h>
#include <system/sitefiles.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sodium.h>

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

namespace Accpac {

namespace {

constexpr const char* SiteSchema = "tallymerge_site";

QString companySchema(const QString& companyId)
{
    return serverCompanySchema(companyId);
}

// The verifier of a random password nobody knows, made with the strength of real users'
// verifiers.
constexpr const char* UnknownUserVerifier =
    "$argon2id$v=19$m=65536,t=2,p=1$j1GMp2ZYppsvifjQ2HwBJg$OP+Z9mWmh1Vzh0WzvrhUkzuUZdDJwknIhFTLr"
    "DGB/HM";

// A store of a site on a server, refused with one sentence when the schema is not there or
// was made by a newer program.
std::unique_ptr<Database> openServerStore(const StoreLocation& site, const QString& schema,
                                          Store store)
{
    auto db = site.openWithin(schema);
    const QString where = site.shown();
    if (!db->server()->schemaExists())
        adminFail(store == Store::System
                      ? QStringLiteral("No site is set up in the database %1 (it has no schema "
                                       "%2); set one up with tallymerge-admin create-site.")
                            .arg(where, schema)
                      : QStringLiteral("The database of company %1 is missing (no schema %2 in "
                                       "%3).")
                            .arg(schema.section(u'_', 1).toUpper(), schema, where));
    int version = 0;
    try {
        version = schemaVersion(*db, store);
    } catch (const StorageError& e) {
        adminFail(QStringLiteral("The schema %1 of the database %2 holds no tables of this "
                                 "program (%3).")
                      .arg(schema, where, e.message()));
    }
    const int program = programSchemaVersion(store);
    if (version != program)
        adminFail(QStringLiteral("The schema %1 on the database server has schema version %2, "
                                 "this program works with version %3; it was left unchanged%4.")
                      .arg(schema)
                      .arg(version)
                      .arg(program)
                      .arg(version > program
                               ? QStringLiteral(": use the newer program")
                               : QStringLiteral(": an administrator brings it up to date with "
                                                "tallymerge-admin upgrade")));
    return db;
}

// A company's store as the site lists it: a file of the site's folder or a schema of the
// site's database.
std::unique_ptr<Database> openCompanyStore(const QString& site, const QString& companyId,
                                           const QString& listed)
{
    const StoreLocation where(site);
    if (where.onServer())
        return openServerStore(where, listed, Store::Company);
    const QString file = where.within(listed);
    if (!QFileInfo::exists(file))
        adminFail(QStringLiteral("The database of company %1 is missing (%2).")
                      .arg(companyId, QDir::toNativeSeparators(file)));
    return openCurrent(file, Store::Company);
}

bool siteExists(const QString& site)
{
    return StoreLocation(site).onServer() || QFileInfo::exists(systemDatabaseFile(site));
}

} // namespace

void initSodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw ComError(ComErrorNumber::E_Fail,
                       QStringLiteral("The password library cannot be initialised."));
}

[[noreturn]] void adminFail(const QString& message)
{
    throw ComError(ComErrorNumber::E_Fail, message);
}

std::unique_ptr<Database> openSystem(const QString& site)
{
    const StoreLocation where(site);
    if (where.onServer())
        return openServerStore(where, QLatin1String(SiteSchema), Store::System);
    return openCurrent(systemDatabaseFile(site), Store::System);
}

int passwordVerifications = 0;

QString signonTriesKey(const QString& site, const QString& userId)
{
    const StoreLocation where(site);
    const QString place = where.onServer() ? where.shown() : QDir(site).absolutePath();
    return place + u'\n' + normalUserId(userId);
}

const char* serverSiteSchema()
{
    return SiteSchema;
}

QString serverCompanySchema(const QString& companyId)
{
    return QStringLiteral("company_") + companyId.trimmed().toLower();
}

QString noSiteMessage(const QString& siteFolder)
{
    const QByteArray file = QFile::encodeName(systemDatabaseFile(siteFolder));
    struct stat st;
    if (::stat(file.constData(), &st) == 0 || errno != EACCES)
        return QStringLiteral("No site is set up in the folder \"%1\".")
            .arg(QDir::toNativeSeparators(siteFolder));
    // Closed to this account: the group of the nearest folder it can see keeps it out.
    QString groupName = QString::fromLatin1(SiteFiles::GroupName);
    for (QString folder = siteFolder; !folder.isEmpty() && folder != QFileInfo(folder).path();
         folder = QFileInfo(folder).path()) {
        if (::stat(QFile::encodeName(folder).constData(), &st) == 0) {
            if (const ::group* g = ::getgrgid(st.st_gid))
                groupName = QString::fromLocal8Bit(g->gr_name);
            break;
        }
    }
    const passwd* me = ::getpwuid(::geteuid());
    const QString user = me ? QString::fromLocal8Bit(me->pw_name) : QStringLiteral("your account");
    return QStringLiteral("The site in the folder \"%1\" is open only to the members of the "
                          "group %2, and %3 is not one of them in this session: ask the "
                          "administrator to add it (as root: adduser %3 %2), then log out and "
                          "log in again.")
        .arg(QDir::toNativeSeparators(siteFolder), groupName, user);
}

QString systemDatabaseFile(const QString& siteFolder)
{
    return QDir(siteFolder).filePath(QLatin1String(SiteSystemFile));
}

QString normalUserId(const QString& userId)
{
    return userId.trimmed().toUpper();
}

QByteArray passwordKey(const QString& password)
{
    return password.toUpper().toUtf8();
}

bool verifyPassword(Database& systemDb, const QString& userId, const QString& password)
{
    initSodium();
    Statement st = systemDb.prepare("SELECT PWVERIFIER FROM USERS WHERE USERID=?");
    st.bindText(1, normalUserId(userId));
    const bool known = st.step();
    // An unknown user ID costs the same work as a known one, so the time of the answer
    // does not tell which IDs exist.
    const QByteArray verifier =
        known ? st.columnText(0).toLatin1() : QByteArray(UnknownUserVerifier);
    const QByteArray pw = passwordKey(password);
    if (verifier.isEmpty() || verifier.size() >= crypto_pwhash_STRBYTES)
        return false;
    ++passwordVerifications;
    const bool matches = crypto_pwhash_str_verify(verifier.constData(), pw.constData(),
                                                  static_cast<unsigned long long>(pw.size())) == 0;
    return known && matches;
}

QList<CompanyEntry> listCompanies(const QString& siteFolder)
{
    if (!siteExists(siteFolder))
        throw SignonRefused{noSiteMessage(siteFolder)};
    try {
        auto db = openSystem(siteFolder);
        QList<CompanyEntry> result;
        Statement st = db->prepare("SELECT ID, NAME FROM COMPANIES ORDER BY ID");
        while (st.step())
            result.append({st.columnText(0), st.columnText(1)});
        return result;
    } catch (const StorageError& e) {
        throw SignonRefused{
            QStringLiteral("The site's system database cannot be read: %1").arg(e.message())};
    } catch (const ComError& e) {
        throw SignonRefused{e.description()};
    }
}

namespace {

// The server takes the user's role with the password, or the sign-on is refused.
void checkServerLogin(const QString& site, const QString& user, const QString& password,
                      const QString& tries)
{
    ++passwordVerifications;
    SiteRoles::Login answer = SiteRoles::Login::WrongPassword;
    try {
        answer = SiteRoles::tryLogin(site, user, password);
    } catch (const StorageError& e) {
        throw SignonRefused{e.message()};
    }
    if (answer == SiteRoles::Login::WrongPassword) {
        signonThrottle().failed(tries);
        throw SignonRefused{QStringLiteral("Invalid user ID or password.")};
    }
    signonThrottle().succeeded(tries);
    // The role's state is the server's: it says only that the role may not log in.
    if (answer == SiteRoles::Login::NotPermitted)
        throw SignonRefused{
            QStringLiteral("User %1 has been disabled or is locked out.").arg(user)};
}

// Opens the company for the user; checks the password when one is given. On a server site
// the work goes through the user's role, logged in with `serverPassword` (the password of
// a live sign-on when none is given).
std::shared_ptr<SessionCore> openCompany(const QString& siteFolder, const QString& companyId,
                                         const QString& userId, const QString* password,
                                         QString serverPassword = {})
{
    const QString user = normalUserId(userId);
    const QString company = companyId.trimmed().toUpper();
    if (user.isEmpty())
        throw SignonRefused{QStringLiteral("Please enter a user ID.")};
    if (!siteExists(siteFolder))
        throw SignonRefused{noSiteMessage(siteFolder)};
    auto core = std::make_shared<SessionCore>();
    core->siteFolder = siteFolder;
    const bool server = StoreLocation(siteFolder).onServer();
    QString step = QStringLiteral("the site's system database");
    try {
        // A session opened for a user signed on already (the printing screen's) brings no
        // password; every other sign-on is checked, and counted per site and user ID. A try
        // during the wait after failed ones is refused here and never reaches a server.
        if (password) {
            const QString tries = signonTriesKey(siteFolder, user);
            if (const int wait = signonThrottle().secondsToWait(tries); wait > 0)
                throw SignonRefused{
                    QStringLiteral("Too many failed sign-ons for user %1. Please wait %2 and "
                                   "try again.")
                        .arg(user, wait == 1 ? QStringLiteral("1 second")
                                             : QStringLiteral("%1 seconds").arg(wait))};
            if (server) {
                checkServerLogin(siteFolder, user, *password, tries);
                serverPassword = *password;
            } else {
                core->systemDb = openSystem(siteFolder);
                if (!verifyPassword(*core->systemDb, user, *password)) {
                    signonThrottle().failed(tries);
                    throw SignonRefused{QStringLiteral("Invalid user ID or password.")};
                }
                signonThrottle().succeeded(tries);
            }
        }
        const QString login =
            server ? SiteRoles::loginAs(siteFolder, user, serverPassword) : siteFolder;
        if (server)
            core->serverPassword = QString::fromUtf8(passwordKey(serverPassword));
        if (!core->systemDb)
            core->systemDb = openSystem(login);
        {
            Statement st =
                core->systemDb->prepare("SELECT DISABLED, LOCKEDOUT FROM USERS WHERE USERID=?");
            st.bindText(1, user);
            st.step();
            if (st.columnInt(0) != 0)
                throw SignonRefused{QStringLiteral("User %1 has been disabled.").arg(user)};
            if (st.columnInt(1) != 0)
                throw SignonRefused{QStringLiteral("User %1 is locked out.").arg(user)};
        }
        QString listed;
        {
            Statement st = core->systemDb->prepare("SELECT FILE FROM COMPANIES WHERE ID=?");
            st.bindText(1, company);
            if (!st.step())
                throw SignonRefused{
                    QStringLiteral("The company \"%1\" is not set up in this site.").arg(company)};
            listed = st.columnText(0);
        }
        if (user != QLatin1String("ADMIN")) {
            Statement st =
                core->systemDb->prepare("SELECT 1 FROM AUTHS WHERE USERID=? AND COMPANYID=?");
            st.bindText(1, user);
            st.bindText(2, company);
            if (!st.step())
                throw SignonRefused{
                    QStringLiteral("User %1 has no access to company %2.").arg(user, company)};
        }
        step = QStringLiteral("the database of company %1").arg(company);
        core->companyDb = openCompanyStore(login, company, listed);
        {
            Statement st = core->companyDb->prepare("SELECT ID, NAME, HOMECUR FROM CSCOM");
            if (!st.step())
                throw SignonRefused{
                    QStringLiteral("The database of company %1 holds no company profile.")
                        .arg(company)};
            core->company = AccpacCompany(st.columnText(0), st.columnText(1), st.columnText(2));
        }
        {
            Statement st =
                core->companyDb->prepare("SELECT APPID, VERSION FROM CSAPP ORDER BY SEQ");
            while (st.step())
                core->applications.append({st.columnText(0), st.columnText(1)});
        }
    } catch (const StorageError& e) {
        throw SignonRefused{
            QStringLiteral("Sign-on failed: %1 cannot be read (%2).").arg(step, e.message())};
    } catch (const ComError& e) {
        throw SignonRefused{e.description()};
    }
    core->companyId = company;
    core->userId = user;
    core->opened = true;
    return core;
}

} // namespace

std::shared_ptr<SessionCore> openSession(const QString& siteFolder, const QString& companyId,
                                         const QString& userId, const QString& password)
{
    return openCompany(siteFolder, companyId, userId, &password);
}

std::shared_ptr<SessionCore> openSessionFor(const SessionCore& signedOn)
{
    return openCompany(signedOn.siteFolder, signedOn.companyId, signedOn.userId, nullptr,
                       signedOn.serverPassword);
}

std::unique_ptr<Database> openSiteSystemToRead(const QString& site)
{
    const StoreLocation where(site);
    return where.openWithin(QLatin1String(where.onServer() ? SiteSchema : SiteSystemFile),
                            StoreAccess::ReadOnly);
}

std::unique_ptr<Database> openListedCompany(const QString& site, const QString& companyId)
{
    const QString id = companyId.trimmed().toUpper();
    auto system = openSystem(site);
    Statement st = system->prepare("SELECT FILE FROM COMPANIES WHERE ID=?");
    st.bindText(1, id);
    if (!st.step())
        adminFail(QStringLiteral("The company \"%1\" is not set up in this site.").arg(companyId));
    return openCompanyStore(site, id, st.columnText(0));
}

// Administration ---------------------------------------------------------------------------

namespace Admin {

void createSite(const QString& folder, const QString& signOnSite)
{
    const StoreLocation site(folder);
    if (site.onServer()) {
        adminGuard([&] {
            const auto db = site.openWithin(QLatin1String(SiteSchema));
            // Made again on a site that exists: its roles and grants are set up anew.
            const bool exists = db->server()->schemaExists();
            if (exists)
                openSystem(folder);
            Transaction tx(*db);
            if (!exists) {
                db->exec(QByteArray("CREATE SCHEMA ") + SiteSchema);
                createSchema(*db, Store::System);
                addStandardProfiles(*db);
            }
            SiteRoles::setUpSite(*db, folder);
            if (!signOnSite.isEmpty())
                SiteRoles::admitSignOnLogin(*db, folder, signOnSite);
            Statement st = db->prepare("SELECT ID, FILE FROM COMPANIES");
            while (st.step())
                SiteRoles::setUpCompany(*db, folder, st.columnText(0), st.columnText(1));
            tx.commit();
        });
        return;
    }
    // The site's group (inherited from a set-group-ID parent) may make files there.
    if (!SiteFiles::makeFolder(folder, SiteFiles::SharedFolderMode))
        adminFail(QStringLiteral("The folder \"%1\" cannot be created.").arg(folder));
    adminGuard([&] {
        if (QFileInfo::exists(systemDatabaseFile(folder))) {
            openSystem(folder);
            return;
        }
        const auto db = site.openWithin(QLatin1String(SiteSystemFile), StoreAccess::Create);
        Transaction tx(*db);
        createSchema(*db, Store::System);
        addStandardProfiles(*db);
        tx.commit();
    });
}

namespace {

// The company's tables, its profile and its applications, in one transaction.
void fillCompany(Database& db, const QString& id, const CompanySetup& company,
                 const QByteArray& createFirst = {})
{
    Transaction tx(db);
    if (!createFirst.isEmpty())
        db.exec(createFirst);
    createSchema(db, Store::Company);
    Statement st = db.prepare("INSERT INTO CSCOM (ID, NAME, HOMECUR) VALUES (?,?,?)");
    st.bindText(1, id);
    st.bindText(2, company.name);
    st.bindText(3, company.homeCurrency);
    st.exec();
    int seq = 0;
    for (const auto& [app, version] : company.applications) {
        Statement a = db.prepare("INSERT INTO CSAPP (SEQ, APPID, VERSION) VALUES (?,?,?)");
        a.bindInt(1, ++seq);
        a.bindText(2, app);
        a.bindText(3, version);
        a.exec();
    }
    tx.commit();
}

} // namespace

void createCompany(const QString& folder, const CompanySetup& company)
{
    const QString id = company.id.trimmed().toUpper();
    if (id.isEmpty() || id.size() > 6)
        adminFail(QStringLiteral("A company ID has 1 to 6 characters."));
    const StoreLocation site(folder);
    const bool server = site.onServer();
    const QString fileName = server ? companySchema(id) : id + QStringLiteral(".db");
    const QString file = QDir(folder).filePath(fileName);
    if (!server && QFileInfo::exists(file))
        adminFail(QStringLiteral("The company database \"%1\" exists already.").arg(file));
    adminGuard([&] {
        auto system = openSystem(folder);
        const auto db = site.openWithin(fileName, StoreAccess::Create);
        if (ServerAdministration* onServer = db->server()) {
            if (onServer->schemaExists())
                adminFail(QStringLiteral("The company schema %1 exists already on the database "
                                         "server.")
                              .arg(fileName));
            fillCompany(*db, id, company, "CREATE SCHEMA \"" + fileName.toUtf8() + '"');
            SiteRoles::setUpCompany(*db, folder, id, fileName);
        } else {
            fillCompany(*db, id, company);
        }
        Statement st = system->prepare("INSERT INTO COMPANIES (ID, NAME, FILE) VALUES (?,?,?)");
        st.bindText(1, id);
        st.bindText(2, company.name);
        st.bindText(3, fileName);
        st.exec();
    });
}

void addCurrency(const QString& folder, const QString& companyId, const CurrencySetup& c)
{
    adminGuard([&] {
        auto db = openListedCompany(folder, companyId);
        Statement st = db->prepare(
            "INSERT INTO CSCCD (CODE, DESCRIPTION, SYMBOL, DECIMALS, SYMBOLPOS, NEGDISP, "
            "THOUSANDSEP, DECIMALSEP) VALUES (?,?,?,?,?,?,?,?) ON CONFLICT (CODE) DO UPDATE SET "
            "DESCRIPTION=excluded.DESCRIPTION, SYMBOL=excluded.SYMBOL, "
            "DECIMALS=excluded.DECIMALS, SYMBOLPOS=excluded.SYMBOLPOS, "
            "NEGDISP=excluded.NEGDISP, THOUSANDSEP=excluded.THOUSANDSEP, "
            "DECIMALSEP=excluded.DECIMALSEP");
        st.bindText(1, c.code);
        st.bindText(2, c.description);
        st.bindText(3, c.symbol);
        st.bindInt(4, c.decimals);
        st.bindInt(5, c.symbolPosition);
        st.bindInt(6, c.negativeDisplay);
        st.bindInt(7, c.thousandSeparator);
        st.bindInt(8, c.decimalSeparator);
        st.exec();
    });
}

QStringList companyIds(const QString& folder)
{
    QStringList ids;
    try {
        for (const CompanyEntry& c : listCompanies(folder))
            ids << c.id;
    } catch (const SignonRefused& e) {
        adminFail(e.message);
    }
    return ids;
}

QList<SchemaUpgrade> upgradeSite(const QString& folder)
{
    QList<SchemaUpgrade> done;
    const StoreLocation site(folder);
    if (site.onServer()) {
        // The site's own schema is made at this program's version (openSystem refuses
        // another); each company's schema is brought up to date in a transaction of its own
        // (the server undoes a step that fails), and its rights are set up again for the
        // tables the steps added. A server keeps no backup copy: dump it first.
        adminGuard([&] { openSystem(folder); });
        SchemaUpgrade current;
        current.file = site.shown();
        current.fromVersion = current.toVersion = programSchemaVersion(Store::System);
        done << current;
        adminGuard([&] {
            const auto system = site.openWithin(QLatin1String(SiteSchema));
            QList<std::pair<QString, QString>> companies;
            Statement st = system->prepare("SELECT ID, FILE FROM COMPANIES ORDER BY ID");
            while (st.step())
                companies.append({st.columnText(0), st.columnText(1)});
            for (const auto& [id, schema] : companies) {
                SchemaUpgrade company;
                company.file = QStringLiteral("%1, company %2 (schema %3)")
                                   .arg(site.shown(), id.trimmed(), schema);
                try {
                    const auto store = site.openWithin(schema);
                    Transaction tx(*store);
                    company.fromVersion = company.toVersion = schemaVersion(*store, Store::Company);
                    if (company.fromVersion > programSchemaVersion(Store::Company))
                        adminFail(QStringLiteral("%1 was made by a newer version of the program "
                                                 "(schema version %2); it was left unchanged.")
                                      .arg(company.file)
                                      .arg(company.fromVersion));
                    if (company.fromVersion < programSchemaVersion(Store::Company)) {
                        company.changes = applySchemaSteps(*store, Store::Company,
                                                           company.fromVersion, company.file);
                        tx.commit();
                        company.toVersion = programSchemaVersion(Store::Company);
                        Transaction rights(*system);
                        SiteRoles::setUpCompany(*system, folder, id, schema);
                        rights.commit();
                    }
                } catch (const ComError& e) {
                    company.refusal = e.description();
                } catch (const StorageError& e) {
                    company.refusal = QStringLiteral("%1 cannot be brought up to date: %2; it "
                                                     "was left unchanged.")
                                          .arg(company.file, e.message());
                }
                done << company;
            }
        });
        return done;
    }
    if (!QFileInfo::exists(systemDatabaseFile(folder)))
        adminFail(QStringLiteral("No site is set up in the folder \"%1\".")
                      .arg(QDir::toNativeSeparators(folder)));
    const auto upgrade = [&](const QString& file, SiteFileKind kind) {
        try {
            done << upgradeFile(file, kind);
        } catch (const ComError& e) {
            SchemaUpgrade refused;
            refused.file = file;
            refused.refusal = e.description();
            done << refused;
        }
    };
    upgrade(systemDatabaseFile(folder), SiteFileKind::System);
    if (!done.first().refusal.isEmpty())
        return done;
    for (const QString& id : companyIds(folder))
        upgrade(companyDatabaseFile(folder, id), SiteFileKind::Company);
    return done;
}

QString companyDatabaseFile(const QString& folder, const QString& companyId)
{
    QString file;
    adminGuard([&] {
        // Only read: naming a company's file never brings the site's system file up to date
        // (a server's schema is only ever checked, never upgraded, on opening).
        if (!siteExists(folder))
            adminFail(noSiteMessage(folder));
        const StoreLocation site(folder);
        auto db = site.onServer() ? openSystem(folder) : openSiteSystemToRead(folder);
        Statement st = db->prepare("SELECT FILE FROM COMPANIES WHERE ID=?");
        st.bindText(1, companyId.trimmed().toUpper());
        if (!st.step())
            adminFail(
                QStringLiteral("The company \"%1\" is not set up in this site.").arg(companyId));
        file = site.within(st.columnText(0));
    });
    return file;
}

} // namespace Admin
} // namespace Accpac
