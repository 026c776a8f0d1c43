#include "siteroles.h"

#include "site.h"
#include "store.h"
#include "viewrules.h"

#include <QStringList>

#include <QHash>

namespace Accpac::SiteRoles {

namespace {

using Kind = StorageError::Kind;

// The policy that shows the site's administrators every user's rights.
const QByteArray AdministeredRights = "administered_rights";

// What a company's group (its billing clerks and supervisors) and the site's administrators
// may do with a table of the company beyond reading it. Billing adds invoices with their
// lines, shipments and prepayments, and receipts, and never changes them (the program refuses
// to); credit notes with their lines are added likewise (the guards below leave that to
// those who may approve credit); of orders, shipments, receipt batches and customers it changes
// only the columns its own statements write: completion and back orders, the invoice marks and last
// invoice number, an open batch's description, date, bank and totals, and the balance a customer
// owes (the guards below keep totals and balances to what the books give). A table not
// listed here the group only reads and the administrators may change as they like; one
// listed with its administrators' rights gets those only (UPDATE, DELETE and TRUNCATE of an
// append-only table stay the owner's).
struct TableRights
{
    const char* table;
    const char* group;
    const char* administrators;
};
constexpr TableRights CompanyTableRights[] = {
    {"oeinvh", "INSERT", "ALL"},
    {"oeinvd", "INSERT", "ALL"},
    {"oeinvs", "INSERT", "ALL"},
    {"tmrestore", "INSERT", "ALL"},
    {"oeppay", "INSERT", "ALL"},
    {"oecrdh", "INSERT", "ALL"},
    {"oecrdd", "INSERT", "ALL"},
    {"arbta", "INSERT, UPDATE (datebtch, batchdesc, idbank, cntenter, amtenter)", "ALL"},
    {"artcr", "INSERT", "ALL"},
    {"oeordh", "UPDATE (complete, lastinvnum)", "ALL"},
    {"oeordd", "UPDATE (qtyordered, qtybackord, complete)", "ALL"},
    {"oeshih", "UPDATE (complete, invuniq, invnumber)", "ALL"},
    {"oeshid", "UPDATE (ordqtyord, ordqtybkor, ordqtycomm, ordqtystd, complete)", "ALL"},
    {"arcus", "UPDATE (amtbalduet)", "ALL"},
    // The journal: entries are added, never changed.
    {"tmjournal", "INSERT", "INSERT"},
};

// The first part of the site's role names: the name of the database the site was made in,
// kept as the comment of the site's schema, so that a copy restored into another database
// of the server keeps its users' roles. Read once per site and program, by the site's own
// login (anyone may read it).
QString rolePrefix(const QString& site)
{
    static QHash<QString, QString> known;
    const QString key = withoutPassword(site);
    if (const auto found = known.constFind(key); found != known.cend())
        return *found;
    const auto db = StoreLocation(site).open();
    Statement st = db->prepare("SELECT COALESCE((SELECT obj_description(oid, 'pg_namespace') FROM "
                               "pg_namespace WHERE nspname = ?), current_database())");
    st.bindText(1, QString::fromLatin1(serverSiteSchema()));
    st.step();
    const QString prefix = st.columnText(0);
    if (prefix.toUtf8().size() > LongestDatabaseName)
        throw StorageError(Kind::Refused, 0,
                           QStringLiteral("The database name \"%1\" is too long to name the "
                                          "site's roles on the server (at most %2 bytes).")
                               .arg(prefix)
                               .arg(LongestDatabaseName));
    known.insert(key, prefix);
    return prefix;
}

QString prefixed(const QString& site, const QString& rest)
{
    return rolePrefix(site) + rest;
}

QByteArray identifier(const QString& name)
{
    return '"' + name.toUtf8().replace('"', "\"\"") + '"';
}

QByteArray literal(const QByteArray& text)
{
    return '\'' + QByteArray(text).replace('\'', "''") + '\'';
}

// The store's server, which the site's roles and grants are made on.
ServerAdministration& serverOf(Database& db)
{
    ServerAdministration* server = db.server();
    if (!server)
        throw StorageError(Kind::Other, 0,
                           QStringLiteral("%1 is not on a database server; its users have no "
                                          "roles there.")
                               .arg(db.location()));
    return *server;
}

// Role names keep their case, so the statements reach the server as written (without the
// folding of quoted identifiers that the shared SQL gets).
void run(Database& db, const QByteArray& sql)
{
    serverOf(db).execAsWritten(sql);
}

bool roleExists(Database& db, const QString& role)
{
    Statement st = db.prepare("SELECT 1 FROM pg_roles WHERE rolname = ?");
    st.bindText(1, role);
    return st.step();
}

// True when the group was made now.
bool createGroup(Database& db, const QString& role)
{
    if (roleExists(db, role))
        return false;
    run(db, "CREATE ROLE " + identifier(role) + " NOLOGIN");
    return true;
}

// The schema's write lock (ServerAdministration::WriteLockTable), its one row locked by whoever may
// change it: `writers`, and the owner.
void setUpWriteLock(Database& db, const QByteArray& schema, const QByteArray& writers)
{
    const QByteArray table = schema + '.' + ServerAdministration::WriteLockTable;
    run(db, "CREATE TABLE IF NOT EXISTS " + table +
                " (held BOOLEAN PRIMARY KEY DEFAULT TRUE CHECK (held))");
    run(db, "INSERT INTO " + table + " VALUES (TRUE) ON CONFLICT DO NOTHING");
    run(db, "REVOKE ALL ON " + table + " FROM PUBLIC");
    run(db, "GRANT SELECT, UPDATE (held) ON " + table + " TO " + writers);
}

bool schemaHasTable(Database& db, const QString& schema, const char* table)
{
    Statement present = db.prepare("SELECT 1 FROM pg_tables WHERE schemaname = ?1 AND "
                                   "tablename = ?2");
    present.bindText(1, schema);
    present.bindText(2, QLatin1String(table));
    return present.step();
}

// What the server keeps right itself in a company's schema, so that a billing role's own
// client cannot break it, unless an administrator or the owner writes: a posted receipt batch
// stays as it was posted, whoever writes; a customer's balance changes only to what the
// customer's invoices, credit notes and receipts give, and a batch's totals only to what its
// receipts give (as the auditor reckons them); a shipment's invoice marks, once set, stay;
// and only a user who may approve credit in the company adds a credit note, which reverses
// its invoice whole; such a user alone releases the shipments of a reversed invoice, and a
// shipment's invoice marks are cleared only with its release.
void setUpGuards(Database& db, const QString& site, const QString& companyId, const QString& schema)
{
    const QByteArray where = identifier(schema);
    const QByteArray adminsLiteral = literal(adminsGroup(site).toUtf8());
    const bool creditNotes = schemaHasTable(db, schema, "oecrdh");
    const bool releases = schemaHasTable(db, schema, "tmrestore");
    const QByteArray privileged =
        "pg_has_role(current_user, " + adminsLiteral +
        ", 'MEMBER') OR pg_has_role(current_user, (SELECT nspowner FROM pg_namespace WHERE "
        "nspname = TG_TABLE_SCHEMA), 'MEMBER')";
    const auto guard = [&](const QByteArray& name, const QByteArray& declare,
                           const QByteArray& check, const QByteArray& trigger) {
        run(db, "CREATE OR REPLACE FUNCTION " + where + '.' + name +
                    "() RETURNS trigger LANGUAGE plpgsql AS $$" + declare + "BEGIN " + check +
                    " RETURN CASE TG_OP WHEN 'DELETE' THEN OLD ELSE NEW END; END$$");
        run(db, "CREATE OR REPLACE TRIGGER " + name + ' ' + trigger + " EXECUTE FUNCTION " + where +
                    '.' + name + "()");
    };
    const auto refuse = [](const QByteArray& message) {
        return " RAISE EXCEPTION USING ERRCODE = '42501', MESSAGE = " + message + ';';
    };
    const QByteArray unlessPrivileged = "IF " + privileged + " THEN RETURN NEW; END IF; ";
    guard("posted_batch_stays", {},
          "IF OLD.batchstat = " + QByteArray::number(BatchPosted) + " THEN" +
              refuse("'receipt batch ' || OLD.cntbtch || ' is posted'") + " END IF;",
          "BEFORE UPDATE OR DELETE ON " + where + ".arbta FOR EACH ROW");
    guard("balance_agrees", "DECLARE expected double precision; ",
          unlessPrivileged + "expected := NEW.amtopenbal + COALESCE((SELECT SUM(invnetwtx) FROM " +
              where +
              ".oeinvh WHERE customer = NEW.idcust), 0) - COALESCE((SELECT "
              "SUM(amtrmit) FROM " +
              where + ".artcr WHERE idcust = NEW.idcust), 0)" +
              (creditNotes ? " - COALESCE((SELECT SUM(crdnetwtx) FROM " + where +
                                 ".oecrdh WHERE customer = NEW.idcust), 0)"
                           : QByteArray()) +
              "; IF "
              "abs(NEW.amtbalduet - expected) >= 0.005 THEN" +
              refuse("'the balance of customer ' || NEW.idcust || ' must agree with its "
                     "invoices and receipts'") +
              " END IF;",
          "BEFORE UPDATE OF amtbalduet ON " + where +
              ".arcus FOR EACH ROW WHEN (OLD.amtbalduet IS DISTINCT FROM NEW.amtbalduet)");
    guard("batch_totals_agree", "DECLARE receipts bigint; total double precision; ",
          unlessPrivileged +
              "SELECT count(*), COALESCE(SUM(amtrmit), 0) INTO receipts, total "
              "FROM " +
              where +
              ".artcr WHERE codepymtyp = NEW.codepymtyp AND cntbtch = "
              "NEW.cntbtch; IF NEW.cntenter <> receipts OR abs(NEW.amtenter - total) >= 0.005 "
              "THEN" +
              refuse("'the totals of receipt batch ' || NEW.cntbtch || ' must agree with its "
                     "receipts'") +
              " END IF;",
          "BEFORE UPDATE OF cntenter, amtenter ON " + where +
              ".arbta FOR EACH ROW WHEN (OLD.cntenter IS DISTINCT FROM NEW.cntenter OR "
              "OLD.amtenter IS DISTINCT FROM NEW.amtenter)");
    const QByteArray clearedByRelease =
        releases ? "IF NEW.invuniq = 0 AND NEW.invnumber = '' AND EXISTS (SELECT 1 FROM " + where +
                       ".oeinvs s WHERE s.invuniq = OLD.invuniq AND s.shiuniq = OLD.shiuniq AND "
                       "s.released = 1) THEN RETURN NEW; END IF; "
                 : QByteArray();
    guard("invoice_marks_stay", {},
          unlessPrivileged + clearedByRelease +
              refuse("'shipment ' || OLD.shinumber || ' is on invoice ' || OLD.invnumber"),
          "BEFORE UPDATE OF invuniq, invnumber ON " + where +
              ".oeshih FOR EACH ROW WHEN (OLD.invuniq <> 0 AND (OLD.invuniq, OLD.invnumber) IS "
              "DISTINCT FROM (NEW.invuniq, NEW.invnumber))");
    if (!creditNotes)
        return;
    // The user's own rights, which each user reads (the site's row security).
    const QByteArray siteSchema = serverSiteSchema();
    const QByteArray mayReverse =
        "EXISTS (SELECT 1 FROM " + siteSchema + ".auths a JOIN " + siteSchema +
        ".profres p ON p.pgmid = a.pgmid AND p.profileid = a.profileid WHERE current_user = " +
        literal(rolePrefix(site).toUtf8() + '.') +
        " || lower(a.userid) AND a.companyid = " + literal(companyId.trimmed().toUpper().toUtf8()) +
        " AND a.pgmid = 'OE' AND p.resourceid = 'OECREDIT')";
    const QByteArray needsRight =
        unlessPrivileged + "IF NOT " + mayReverse + " THEN" +
        refuse("'role ' || current_user || ' may not reverse invoices: only a user who may "
               "approve credit can'") +
        " END IF; ";
    guard("credit_note_reverses_invoice", {},
          needsRight + "IF NOT EXISTS (SELECT 1 FROM " + where +
              ".oeinvh i WHERE i.invuniq = NEW.invuniq AND i.invnumber = NEW.invnumber AND "
              "trim(i.customer) = trim(NEW.customer) AND abs(i.invnetwtx - NEW.crdnetwtx) < "
              "0.005) THEN" +
              refuse("'credit note ' || NEW.crdnumber || ' must reverse invoice ' || "
                     "NEW.invnumber || ' whole: its customer and its total'") +
              " END IF;",
          "BEFORE INSERT ON " + where + ".oecrdh FOR EACH ROW");
    guard("credit_note_line_is_invoiced", {},
          needsRight + "IF NOT EXISTS (SELECT 1 FROM " + where + ".oecrdh c JOIN " + where +
              ".oeinvd d ON d.invuniq = c.invuniq WHERE c.crduniq = NEW.crduniq AND d.linenum = "
              "NEW.linenum AND d.linetype = NEW.linetype AND d.shiuniq = NEW.shiuniq AND "
              "trim(d.misccharge) = trim(NEW.misccharge) AND abs(d.extinvmisc - NEW.extcrdmisc) "
              "< 0.005) THEN" +
              refuse("'line ' || NEW.linenum || ' of credit note ' || NEW.crduniq || ' must be "
                     "the line of its invoice'") +
              " END IF;",
          "BEFORE INSERT ON " + where + ".oecrdd FOR EACH ROW");
    if (!releases)
        return;
    guard("release_follows_credit_note", {},
          needsRight + "IF NOT (OLD.released = 0 AND NEW.released = 1 AND EXISTS (SELECT 1 FROM " +
              where + ".oecrdh c WHERE c.invuniq = OLD.invuniq)) THEN" +
              refuse("'shipment ' || OLD.shinumber || ' of invoice ' || OLD.invuniq || ' is "
                     "released only by the credit note that reverses the invoice'") +
              " END IF;",
          "BEFORE UPDATE OF released ON " + where +
              ".oeinvs FOR EACH ROW WHEN (OLD.released IS DISTINCT FROM NEW.released)");
}

// The password as the server keeps it: a SCRAM-SHA-256 verifier made here, so that the
// password itself never travels in a statement or reaches the server's log.
QByteArray verifier(Database& db, const QString& role, const QString& password)
{
    return serverOf(db).passwordVerifier(role, passwordKey(password));
}

} // namespace

QString userRole(const QString& site, const QString& userId)
{
    return prefixed(site, u'.' + normalUserId(userId).toLower());
}

QString usersGroup(const QString& site)
{
    return prefixed(site, QStringLiteral("_site_users"));
}

QString adminsGroup(const QString& site)
{
    return prefixed(site, QStringLiteral("_site_admins"));
}

QString companyGroup(const QString& site, const QString& companyId)
{
    return prefixed(site, QStringLiteral("_company_") + companyId.trimmed().toLower());
}

QString loginAs(const QString& site, const QString& userId, const QString& password)
{
    return conninfoWith(conninfoWith(site, QStringLiteral("user"), userRole(site, userId)),
                        QStringLiteral("password"), QString::fromUtf8(passwordKey(password)));
}

Login tryLogin(const QString& site, const QString& userId, const QString& password)
{
    return tryConnection(loginAs(site, userId, password));
}

QString signOnGroup(const QString& site)
{
    return prefixed(site, QStringLiteral("_site_signon"));
}

void setUpSite(Database& db, const QString& site)
{
    const QByteArray users = identifier(usersGroup(site));
    const QByteArray admins = identifier(adminsGroup(site));
    const QByteArray signOn = identifier(signOnGroup(site));
    createGroup(db, usersGroup(site));
    createGroup(db, adminsGroup(site));
    createGroup(db, signOnGroup(site));
    const QByteArray schema = serverSiteSchema();
    run(db, "COMMENT ON SCHEMA " + schema + " IS " + literal(rolePrefix(site).toUtf8()));
    // Only the site's users and its sign-on login may connect, and nobody may make
    // temporary tables; so a login of the server that is none of them can neither read the
    // site nor lock anything in it.
    Statement current = db.prepare("SELECT current_database()");
    current.step();
    const QByteArray database = identifier(current.columnText(0));
    run(db, "REVOKE ALL ON DATABASE " + database + " FROM PUBLIC");
    run(db, "GRANT CONNECT ON DATABASE " + database + " TO " + users + ", " + signOn);
    // The sign-on login lists the companies (their IDs and names) and reads the version of
    // the site's tables before anyone has signed on, and may do nothing else.
    run(db, "REVOKE ALL ON SCHEMA " + schema + " FROM PUBLIC");
    run(db, "REVOKE ALL ON ALL TABLES IN SCHEMA " + schema + " FROM PUBLIC");
    run(db, "GRANT USAGE ON SCHEMA " + schema + " TO " + users + ", " + signOn);
    run(db, "GRANT SELECT (id, name) ON " + schema + ".companies TO " + signOn);
    run(db, "GRANT SELECT ON " + schema + ".schemaversion TO " + signOn);
    setUpWriteLock(db, schema, admins);
    run(db, "GRANT SELECT ON ALL TABLES IN SCHEMA " + schema + " TO " + users);
    run(db, "GRANT INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA " + schema + " TO " + admins);
    run(db, "GRANT USAGE ON ALL SEQUENCES IN SCHEMA " + schema + " TO " + admins);
    run(db, "GRANT " + users + " TO " + admins);
    // Each user reads only their own rights (a credit approval reads the approver's through
    // the approver's own login); the administrators read and change them all.
    const QByteArray auths = schema + ".auths";
    run(db, "ALTER TABLE " + auths + " ENABLE ROW LEVEL SECURITY");
    run(db, "DROP POLICY IF EXISTS own_rights ON " + auths);
    run(db, "CREATE POLICY own_rights ON " + auths + " FOR SELECT TO " + users +
                " USING (current_user = " + literal(rolePrefix(site).toUtf8() + '.') +
                " || lower(userid))");
    run(db, "DROP POLICY IF EXISTS " + AdministeredRights + " ON " + auths);
    run(db, "CREATE POLICY " + AdministeredRights + " ON " + auths + " TO " + admins +
                " USING (true) WITH CHECK (true)");
}

bool seesEveryonesRights(Database& system)
{
    Statement st = system.prepare(
        "SELECT CASE WHEN NOT row_security_active('auths') OR EXISTS (SELECT 1 FROM pg_policy p, "
        "unnest(p.polroles) r WHERE p.polrelid = 'auths'::regclass AND p.polname = '" +
        AdministeredRights + "' AND pg_has_role(current_user, r, 'MEMBER')) THEN 1 ELSE 0 END");
    st.step();
    return st.columnInt(0) != 0;
}

QString signOnLoginProblem(Database& db, const QString& site, const QString& signOnSite)
{
    QString login;
    QString database;
    for (const auto& [key, value] : conninfoOptions(signOnSite)) {
        if (key == QLatin1String("user"))
            login = value;
        else if (key == QLatin1String("dbname"))
            database = value;
    }
    if (login.isEmpty())
        return QStringLiteral("names no login: give the sign-on login as user=NAME");
    Statement st = db.prepare(
        "SELECT r.rolsuper, r.rolcreaterole, r.rolcreatedb, r.rolreplication OR r.rolbypassrls, "
        "r.rolcanlogin, d.datdba = r.oid, d.datname, EXISTS (SELECT 1 FROM pg_namespace WHERE "
        "nspowner = r.oid) OR EXISTS (SELECT 1 FROM pg_class WHERE relowner = r.oid) OR EXISTS "
        "(SELECT 1 FROM pg_proc WHERE proowner = r.oid), (SELECT string_agg(g.rolname, ', ' ORDER "
        "BY g.rolname) "
        "FROM pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid WHERE m.member = r.oid AND "
        "g.rolname <> ?2) FROM pg_roles r, pg_database d WHERE r.rolname = ?1 AND d.datname = "
        "current_database()");
    st.bindText(1, login);
    st.bindText(2, signOnGroup(site));
    if (!st.step())
        return QStringLiteral("names the login \"%1\", which the database server does not "
                              "have; make it first (createuser --pwprompt %1)")
            .arg(login);
    const QString here = st.columnText(6);
    if (!database.isEmpty() && database != here)
        return QStringLiteral("names the database \"%1\", but the site is in \"%2\"")
            .arg(database, here);
    if (st.columnInt(4) == 0)
        return QStringLiteral("names the role \"%1\", which may not log in").arg(login);
    QStringList rights;
    if (st.columnInt(0) != 0)
        rights << QStringLiteral("is a superuser of the server");
    if (st.columnInt(1) != 0)
        rights << QStringLiteral("may create roles");
    if (st.columnInt(2) != 0)
        rights << QStringLiteral("may create databases");
    if (st.columnInt(3) != 0)
        rights << QStringLiteral("may replicate the server or pass its row security");
    if (st.columnInt(5) != 0)
        rights << QStringLiteral("owns the database %1").arg(here);
    else if (st.columnInt(7) != 0)
        rights << QStringLiteral("owns objects of the database %1").arg(here);
    if (!st.isNull(8))
        rights << QStringLiteral("is a member of %1").arg(st.columnText(8));
    if (rights.isEmpty())
        return {};
    return QStringLiteral("names the login \"%1\", which %2; every workstation holds the "
                          "password of the sign-on login, so it must be a login with no rights "
                          "of its own: make one (createuser --pwprompt NAME) and name that")
        .arg(login, rights.join(QStringLiteral(", ")));
}

void admitSignOnLogin(Database& db, const QString& site, const QString& signOnSite)
{
    if (const QString problem = signOnLoginProblem(db, site, signOnSite); !problem.isEmpty())
        throw StorageError(Kind::Refused, 0,
                           QStringLiteral("The workstations' connection string %1 %2.")
                               .arg(withoutPassword(signOnSite), problem));
    QString login;
    for (const auto& [key, value] : conninfoOptions(signOnSite))
        if (key == QLatin1String("user"))
            login = value;
    run(db, "GRANT " + identifier(signOnGroup(site)) + " TO " + identifier(login));
}

void setUpCompany(Database& db, const QString& site, const QString& companyId,
                  const QString& schema)
{
    const QString group = companyGroup(site, companyId);
    const bool newGroup = createGroup(db, group);
    createGroup(db, adminsGroup(site));
    const QByteArray clerks = identifier(group);
    const QByteArray admins = identifier(adminsGroup(site));
    const QByteArray where = identifier(schema);
    run(db, "GRANT USAGE ON SCHEMA " + where + " TO " + clerks + ", " + admins);
    // Set up anew from the table, so that a right no longer listed is gone.
    run(db, "REVOKE ALL ON ALL TABLES IN SCHEMA " + where + " FROM " + clerks + ", " + admins);
    run(db, "GRANT SELECT ON ALL TABLES IN SCHEMA " + where + " TO " + clerks);
    run(db, "GRANT ALL ON ALL TABLES IN SCHEMA " + where + " TO " + admins);
    run(db, "GRANT ALL ON ALL SEQUENCES IN SCHEMA " + where + " TO " + admins);
    for (const TableRights& rights : CompanyTableRights) {
        // A company made before the table was there lacks it.
        if (!schemaHasTable(db, schema, rights.table))
            continue;
        const QByteArray table = where + '.' + rights.table;
        run(db, "GRANT " + QByteArray(rights.group) + " ON " + table + " TO " + clerks);
        if (QByteArray(rights.administrators) != "ALL") {
            run(db, "REVOKE ALL ON " + table + " FROM " + admins);
            run(db, "GRANT SELECT, " + QByteArray(rights.administrators) + " ON " + table + " TO " +
                        admins);
        }
    }
    // A reversal releases its invoice's shipments (the guards say who may).
    if (schemaHasTable(db, schema, "tmrestore"))
        run(db, "GRANT UPDATE (released) ON " + where + ".oeinvs TO " + clerks);
    setUpWriteLock(db, where, clerks + ", " + admins);
    setUpGuards(db, site, companyId, schema);
    // The users granted the company before it was here. A group there already keeps its
    // members as they are: a membership an administrator took away stays away.
    if (!newGroup)
        return;
    Statement st = db.prepare(QByteArray("SELECT DISTINCT USERID FROM ") + serverSiteSchema() +
                              ".AUTHS WHERE COMPANYID = ?");
    st.bindText(1, companyId.trimmed().toUpper());
    while (st.step())
        grantCompany(db, site, st.columnText(0), companyId);
}

void createUser(Database& db, const QString& site, const QString& userId, const QString& password)
{
    const QString role = userRole(site, userId);
    const bool administrator = normalUserId(userId) == QLatin1String("ADMIN");
    const QByteArray group = identifier(administrator ? adminsGroup(site) : usersGroup(site));
    // A copy of the site's database on the same server (a restore, a template) shares its
    // roles: a user added in one is the same role, taken over with this password.
    if (roleExists(db, role)) {
        run(db, "ALTER ROLE " + identifier(role) + " LOGIN PASSWORD " +
                    literal(verifier(db, role, password)));
        run(db, "GRANT " + group + " TO " + identifier(role));
        return;
    }
    run(db, "CREATE ROLE " + identifier(role) + " LOGIN PASSWORD " +
                literal(verifier(db, role, password)) + " IN ROLE " + group);
}

void setPassword(Database& db, const QString& site, const QString& userId, const QString& password)
{
    const QString role = userRole(site, userId);
    if (roleExists(db, role)) {
        run(db, "ALTER ROLE " + identifier(role) + " PASSWORD " +
                    literal(verifier(db, role, password)));
        return;
    }
    // A user of a site set up before its users were roles gets the role now, with the
    // companies granted.
    createUser(db, site, userId, password);
    Statement st = db.prepare(QByteArray("SELECT DISTINCT COMPANYID FROM ") + serverSiteSchema() +
                              ".AUTHS WHERE USERID = ?");
    st.bindText(1, normalUserId(userId));
    while (st.step())
        grantCompany(db, site, userId, st.columnText(0));
}

void setLoginAllowed(Database& db, const QString& site, const QString& userId, bool allowed)
{
    run(db, "ALTER ROLE " + identifier(userRole(site, userId)) + (allowed ? " LOGIN" : " NOLOGIN"));
}

void grantCompany(Database& db, const QString& site, const QString& userId,
                  const QString& companyId)
{
    // A grant of a company the site does not have yet waits for it (setUpCompany).
    const QString group = companyGroup(site, companyId);
    const QString role = userRole(site, userId);
    if (roleExists(db, group) && roleExists(db, role))
        run(db, "GRANT " + identifier(group) + " TO " + identifier(role));
}

void revokeCompany(Database& db, const QString& site, const QString& userId,
                   const QString& companyId)
{
    const QString group = companyGroup(site, companyId);
    const QString role = userRole(site, userId);
    if (roleExists(db, group) && roleExists(db, role))
        run(db, "REVOKE " + identifier(group) + " FROM " + identifier(role));
}

void dropUser(Database& db, const QString& site, const QString& userId)
{
    run(db, "DROP ROLE IF EXISTS " + identifier(userRole(site, userId)));
}

} // namespace Accpac::SiteRoles
