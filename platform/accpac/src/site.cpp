#include "site.h"

#include "schema.h"

#include <accpac/standin.h>
#include <system/comerror.h>

#include <QDir>
#include <QFileInfo>

#include <sodium.h>

namespace Accpac {

namespace {

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

template <class F> void adminGuard(F&& f)
{
    try {
        f();
    } catch (const StorageError& e) {
        adminFail(describeStorageError(e));
    }
}

std::unique_ptr<Database> openSystem(const QString& folder)
{
    return std::make_unique<Database>(systemDatabaseFile(folder), false);
}

} // namespace

QString systemDatabaseFile(const QString& siteFolder)
{
    return QDir(siteFolder).filePath(QStringLiteral("system.db"));
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
    if (!st.step())
        return false;
    const QByteArray verifier = st.columnText(0).toLatin1();
    const QByteArray pw = passwordKey(password);
    return !verifier.isEmpty() && verifier.size() < crypto_pwhash_STRBYTES &&
           crypto_pwhash_str_verify(verifier.constData(), pw.constData(),
                                    static_cast<unsigned long long>(pw.size())) == 0;
}

QList<CompanyEntry> listCompanies(const QString& siteFolder)
{
    if (!QFileInfo::exists(systemDatabaseFile(siteFolder)))
        throw SignonRefused{QStringLiteral("No site is set up in the folder \"%1\".")
                                .arg(QDir::toNativeSeparators(siteFolder))};
    try {
        auto db = openSystem(siteFolder);
        QList<CompanyEntry> result;
        Statement st = db->prepare("SELECT ID, NAME FROM COMPANIES ORDER BY ID");
        while (st.step())
            result.append({st.columnText(0), st.columnText(1)});
        return result;
    } catch (const StorageError& e) {
        throw SignonRefused{QStringLiteral("The site's system database cannot be read: %1")
                                .arg(describeStorageError(e))};
    }
}

std::shared_ptr<SessionCore> openSession(const QString& siteFolder, const QString& companyId,
                                         const QString& userId, const QString& password)
{
    const QString user = normalUserId(userId);
    const QString company = companyId.trimmed().toUpper();
    if (user.isEmpty())
        throw SignonRefused{QStringLiteral("Please enter a user ID.")};
    if (!QFileInfo::exists(systemDatabaseFile(siteFolder)))
        throw SignonRefused{QStringLiteral("No site is set up in the folder \"%1\".")
                                .arg(QDir::toNativeSeparators(siteFolder))};
    auto core = std::make_shared<SessionCore>();
    core->siteFolder = siteFolder;
    QString step = QStringLiteral("the site's system database");
    try {
        core->systemDb = openSystem(siteFolder);
        if (!verifyPassword(*core->systemDb, user, password))
            throw SignonRefused{QStringLiteral("Invalid user ID or password.")};
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
        QString file;
        {
            Statement st = core->systemDb->prepare("SELECT FILE FROM COMPANIES WHERE ID=?");
            st.bindText(1, company);
            if (!st.step())
                throw SignonRefused{
                    QStringLiteral("The company \"%1\" is not set up in this site.").arg(company)};
            file = QDir(siteFolder).filePath(st.columnText(0));
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
        if (!QFileInfo::exists(file))
            throw SignonRefused{QStringLiteral("The database of company %1 is missing (%2).")
                                    .arg(company, QDir::toNativeSeparators(file))};
        core->companyDb = std::make_unique<Database>(file, false);
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
        throw SignonRefused{QStringLiteral("Sign-on failed: %1 cannot be read (%2).")
                                .arg(step, describeStorageError(e))};
    }
    core->companyId = company;
    core->userId = user;
    core->opened = true;
    return core;
}

// Administration ---------------------------------------------------------------------------

namespace Admin {

void createSite(const QString& folder)
{
    if (!QDir().mkpath(folder))
        adminFail(QStringLiteral("The folder \"%1\" cannot be created.").arg(folder));
    adminGuard([&] {
        Database db(systemDatabaseFile(folder), true);
        createSchema(db, Store::System);
    });
}

void createCompany(const QString& folder, const CompanySetup& company)
{
    const QString id = company.id.trimmed().toUpper();
    if (id.isEmpty() || id.size() > 6)
        adminFail(QStringLiteral("A company ID has 1 to 6 characters."));
    const QString fileName = id + QStringLiteral(".db");
    const QString file = QDir(folder).filePath(fileName);
    if (QFileInfo::exists(file))
        adminFail(QStringLiteral("The company database \"%1\" exists already.").arg(file));
    adminGuard([&] {
        auto system = openSystem(folder);
        {
            Database db(file, true);
            createSchema(db, Store::Company);
            Transaction tx(db);
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
        Database db(companyDatabaseFile(folder, companyId), false);
        Statement st = db.prepare("INSERT OR REPLACE INTO CSCCD (CODE, DESCRIPTION, SYMBOL, "
                                  "DECIMALS, SYMBOLPOS, NEGDISP, THOUSANDSEP, DECIMALSEP) VALUES "
                                  "(?,?,?,?,?,?,?,?)");
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

void addUser(const QString& folder, const QString& userId, const QString& userName,
             const QString& password, HashStrength strength)
{
    const QString id = normalUserId(userId);
    if (id.isEmpty() || id.size() > 8)
        adminFail(QStringLiteral("A user ID has 1 to 8 characters."));
    initSodium();
    char verifier[crypto_pwhash_STRBYTES];
    const QByteArray pw = passwordKey(password);
    const bool minimal = strength == HashStrength::Minimal;
    if (crypto_pwhash_str(verifier, pw.constData(), static_cast<unsigned long long>(pw.size()),
                          minimal ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          minimal ? crypto_pwhash_MEMLIMIT_MIN
                                  : crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        adminFail(QStringLiteral("The password verifier cannot be made (out of memory)."));
    adminGuard([&] {
        auto db = openSystem(folder);
        Statement st = db->prepare("INSERT INTO USERS (USERID, USERNAME, PWVERIFIER) VALUES "
                                   "(?,?,?)");
        st.bindText(1, id);
        st.bindText(2, userName);
        st.bindText(3, QString::fromLatin1(verifier));
        st.exec();
    });
}

void setUserFlags(const QString& folder, const QString& userId, bool disabled, bool lockedOut)
{
    adminGuard([&] {
        auto db = openSystem(folder);
        Statement st = db->prepare("UPDATE USERS SET DISABLED=?, LOCKEDOUT=?, ACCTSTATUS=? "
                                   "WHERE USERID=?");
        st.bindInt(1, disabled ? 1 : 0);
        st.bindInt(2, lockedOut ? 1 : 0);
        st.bindInt(3, disabled || lockedOut ? 1 : 0);
        st.bindText(4, normalUserId(userId));
        st.exec();
    });
}

void addAuthorisation(const QString& folder, const QString& userId, const QString& companyId,
                      const QString& programId, const QString& profileId)
{
    adminGuard([&] {
        auto db = openSystem(folder);
        Statement st = db->prepare("INSERT INTO AUTHS (USERID, COMPANYID, PGMID, PROFILEID) "
                                   "VALUES (?,?,?,?)");
        st.bindText(1, normalUserId(userId));
        st.bindText(2, companyId.trimmed().toUpper());
        st.bindText(3, programId);
        st.bindText(4, profileId);
        st.exec();
    });
}

void addProfileResource(const QString& folder, const QString& programId, const QString& profileId,
                        const QString& resourceId)
{
    adminGuard([&] {
        auto db = openSystem(folder);
        Statement st = db->prepare("INSERT INTO PROFRES (PGMID, PROFILEID, RESOURCEID) VALUES "
                                   "(?,?,?)");
        st.bindText(1, programId);
        st.bindText(2, profileId);
        st.bindText(3, resourceId);
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

QString companyDatabaseFile(const QString& folder, const QString& companyId)
{
    QString file;
    adminGuard([&] {
        auto db = openSystem(folder);
        Statement st = db->prepare("SELECT FILE FROM COMPANIES WHERE ID=?");
        st.bindText(1, companyId.trimmed().toUpper());
        if (!st.step())
            adminFail(
                QStringLiteral("The company \"%1\" is not set up in this site.").arg(companyId));
        file = QDir(folder).filePath(st.columnText(0));
    });
    return file;
}

} // namespace Admin
} // namespace Accpac
