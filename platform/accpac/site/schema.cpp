#include "schema.h"

#include "journal.h"

#include <algorithm>

namespace Accpac {

namespace {

QByteArray columnType(const Dialect& dialect, FieldType type)
{
    switch (type) {
    case FieldType::Text:
        return "TEXT NOT NULL DEFAULT ''";
    case FieldType::Double:
        return dialect.realType + " NOT NULL DEFAULT 0";
    default:
        return dialect.integerType + " NOT NULL DEFAULT 0";
    }
}

QByteArray q(const QString& name)
{
    return '"' + name.toLatin1() + '"';
}

// The shipments listed on more than one invoice, each with the invoices that list it.
QString shipmentsOnTwoInvoices(Database& db)
{
    Statement st = db.prepare(
        "SELECT s.SHINUMBER, s.SHIUNIQ, COALESCE(i.INVNUMBER, ''), s.INVUNIQ FROM OEINVS s "
        "LEFT JOIN OEINVH i ON i.INVUNIQ = s.INVUNIQ WHERE s.SHIUNIQ IN "
        "(SELECT SHIUNIQ FROM OEINVS GROUP BY SHIUNIQ HAVING COUNT(*) > 1) "
        "ORDER BY s.SHIUNIQ, i.INVNUMBER");
    QStringList shipments;
    qint64 current = -1;
    QString shipment;
    QStringList invoices;
    const auto flush = [&] {
        if (!invoices.isEmpty())
            shipments << QStringLiteral("shipment %1 is on invoices %2")
                             .arg(shipment, invoices.join(QStringLiteral(" and ")));
        invoices.clear();
    };
    while (st.step()) {
        if (st.columnInt(1) != current) {
            flush();
            current = st.columnInt(1);
            shipment = st.columnText(0).trimmed();
        }
        // An invoice listed without its header is named by its key.
        const QString number = st.columnText(2).trimmed();
        invoices << (number.isEmpty() ? QStringLiteral("(key %1)").arg(st.columnInt(3)) : number);
    }
    flush();
    return shipments.join(QStringLiteral("; "));
}

QString noObstacle(Database&)
{
    return {};
}

// A view's table under the given name: its own row key first, then the stored fields.
void createTable(Database& db, const ViewDef& def, const QString& name)
{
    const Dialect& dialect = db.dialect();
    QByteArray sql = "CREATE TABLE IF NOT EXISTS " + q(name) + " (" + q(RowKeyColumn) + ' ' +
                     dialect.rowKeyColumn;
    for (int i : def.storedFields) {
        const FieldDef& f = def.fields[i];
        sql += ", " + q(f.column) + ' ' + columnType(dialect, f.type);
    }
    // The password verifier stays out of the users' view.
    if (def.table == QLatin1String("USERS"))
        sql += ", \"PWVERIFIER\" TEXT NOT NULL DEFAULT ''";
    sql += ')';
    db.exec(sql);
}

// A view's table with a unique index on key 0 and an index for every other key.
void createViewTable(Database& db, const ViewDef& def)
{
    createTable(db, def, def.table);
    for (size_t k = 0; k < def.orders.size(); ++k) {
        QByteArray columns;
        for (int i : (k == 0 ? def.keys[0] : def.orders[k]))
            columns += (columns.isEmpty() ? "" : ",") + q(def.fields[i].column);
        const QByteArray name = q(def.table + QStringLiteral("_K%1").arg(k));
        db.exec((k == 0 ? "CREATE UNIQUE INDEX IF NOT EXISTS " : "CREATE INDEX IF NOT EXISTS ") +
                name + " ON " + q(def.table) + " (" + columns + ")");
    }
}

// The journal of an older file: its table, its guards, and a first entry that names the
// last invoice made before it (those have no entries).
void addJournal(Database& db)
{
    createViewTable(db, *findView(QLatin1String(JournalViewId), QString()));
    protectJournal(db);
    Statement last = db.prepare("SELECT COALESCE(MAX(INVUNIQ), 0), COALESCE((SELECT INVNUMBER "
                                "FROM OEINVH ORDER BY INVUNIQ DESC LIMIT 1), '') FROM OEINVH");
    last.step();
    appendJournalEntry(db, JournalKind::Begun,
                       {{QStringLiteral("invoicesBefore"), last.columnInt(0)},
                        {QStringLiteral("lastInvoiceBefore"), last.columnText(1).trimmed()}},
                       QString());
}

// Files made before the row key column kept their rows by SQLite's rowid: each view's table
// is built anew with the key column holding the old rowid, so the rows keep their order
// and numbers, and with the indexes the old table had.
void addRowKeys(Database& db, Store store)
{
    for (const ViewDef* def : allTables()) {
        if (def->store != store || !db.hasTable(def->table))
            continue;
        const QString rebuilt = def->table + QStringLiteral("_REKEYED");
        createTable(db, *def, rebuilt);
        const QStringList kept = db.columnNames(rebuilt);
        QByteArray columns;
        for (const QString& column : db.columnNames(def->table))
            if (kept.contains(column) && column != QLatin1String(RowKeyColumn))
                columns += ", " + q(column);
        std::vector<QByteArray> indexes;
        {
            Statement st = db.prepare("SELECT sql FROM sqlite_schema WHERE type = 'index' AND "
                                      "tbl_name = ? AND sql IS NOT NULL");
            st.bindText(1, def->table);
            while (st.step())
                indexes.push_back(st.columnText(0).toUtf8());
        }
        db.exec("INSERT INTO " + q(rebuilt) + " (" + q(RowKeyColumn) + columns + ") SELECT rowid" +
                columns + " FROM " + q(def->table));
        db.exec("DROP TABLE " + q(def->table));
        db.exec("ALTER TABLE " + q(rebuilt) + " RENAME TO " + q(def->table));
        for (const QByteArray& index : indexes)
            db.exec(index);
    }
}

void addCompanyRowKeys(Database& db)
{
    addRowKeys(db, Store::Company);
}

void addSystemRowKeys(Database& db)
{
    addRowKeys(db, Store::System);
}

// At most one credit note reverses an invoice, whoever writes.
void addCreditNoteIndex(Database& db)
{
    db.exec("CREATE UNIQUE INDEX IF NOT EXISTS \"OECRDH_INVOICE\" ON \"OECRDH\" (\"INVUNIQ\")");
}

// The credit-note tables of an older file (it has none to keep).
void addCreditNotes(Database& db)
{
    for (const char* viewId : {"OE0240", "OE0220"})
        createViewTable(db, *findView(QLatin1String(viewId), QString()));
    addCreditNoteIndex(db);
}

// A shipment released by a reversal may go on another invoice: the link to the reversed invoice
// stays, marked released, and only links not released count. What completing an invoice's
// orders changes is kept as it was before the invoice, so that a release can undo it.
const std::vector<QByteArray> ReleasableShipments = {
    "ALTER TABLE \"OEINVS\" ADD COLUMN \"RELEASED\" INTEGER NOT NULL DEFAULT 0",
    "DROP INDEX IF EXISTS \"OEINVS_SHIPMENT\"",
    "CREATE UNIQUE INDEX \"OEINVS_SHIPMENT\" ON \"OEINVS\" (\"SHIUNIQ\") WHERE \"RELEASED\" = 0",
    "CREATE TABLE IF NOT EXISTS \"TMRESTORE\" (\"INVUNIQ\" INTEGER PRIMARY KEY, \"BODY\" TEXT NOT "
    "NULL)"};

const QByteArray VersionTable = "CREATE TABLE SCHEMAVERSION (VERSION INTEGER NOT NULL)";
const QByteArray ShipmentIndex =
    "CREATE UNIQUE INDEX \"OEINVS_SHIPMENT\" ON \"OEINVS\" (\"SHIUNIQ\")";

} // namespace

const std::vector<SchemaStep>& schemaSteps()
{
    static const std::vector<SchemaStep> steps = {
        {Store::Company,
         2,
         QStringLiteral("a shipment can be on one invoice only (unique index OEINVS_SHIPMENT)"),
         shipmentsOnTwoInvoices,
         {VersionTable, ShipmentIndex},
         nullptr},
        {Store::System,
         2,
         QStringLiteral("the file carries its schema version"),
         noObstacle,
         {VersionTable},
         nullptr},
        {Store::Company,
         3,
         QStringLiteral("each record is keyed by a column of its own (ROWKEY)"),
         noObstacle,
         {},
         addCompanyRowKeys},
        {Store::System,
         3,
         QStringLiteral("each record is keyed by a column of its own (ROWKEY)"),
         noObstacle,
         {},
         addSystemRowKeys},
        {Store::Company,
         4,
         QStringLiteral("the program keeps a journal of its decisions (TMJOURNAL); the invoices "
                        "made before have no entries"),
         noObstacle,
         {},
         addJournal},
        {Store::Company,
         5,
         QStringLiteral("an invoice can be reversed by one credit note (OECRDH, OECRDD)"),
         noObstacle,
         {},
         addCreditNotes},
        {Store::Company, 6,
         QStringLiteral("a reversal can release an invoice's shipments to be invoiced again "
                        "(OEINVS.RELEASED, TMRESTORE); the invoices made before cannot release "
                        "theirs"),
         noObstacle, ReleasableShipments, nullptr},
    };
    return steps;
}

int programSchemaVersion(Store store)
{
    int version = 1;
    for (const SchemaStep& step : schemaSteps())
        if (step.store == store)
            version = std::max(version, step.version);
    return version;
}

int schemaVersion(Database& db, Store store)
{
    if (db.hasTable(QStringLiteral("SCHEMAVERSION"))) {
        Statement st = db.prepare("SELECT MAX(VERSION) FROM SCHEMAVERSION");
        if (st.step() && !st.isNull(0))
            return int(st.columnInt(0));
    } else if (db.hasTable(store == Store::Company ? QStringLiteral("CSCOM")
                                                   : QStringLiteral("USERS"))) {
        return 1;
    }
    throw StorageError(
        StorageError::Kind::NotADatabase, 0,
        QStringLiteral("it holds no %1 tables")
            .arg(store == Store::Company ? QStringLiteral("company") : QStringLiteral("site")));
}

void setSchemaVersion(Database& db, int version)
{
    db.exec("DELETE FROM SCHEMAVERSION");
    Statement st = db.prepare("INSERT INTO SCHEMAVERSION (VERSION) VALUES (?)");
    st.bindInt(1, version);
    st.exec();
}

void createSchema(Database& db, Store store)
{
    Transaction tx(db);
    for (const QByteArray& sql : db.dialect().storeSetup)
        db.exec(sql);
    for (const ViewDef* def : allTables())
        if (def->store == store)
            createViewTable(db, *def);
    if (store == Store::Company) {
        protectJournal(db);
        addCreditNoteIndex(db);
        db.exec("CREATE TABLE IF NOT EXISTS CSCOM (ID TEXT NOT NULL, NAME TEXT NOT NULL, "
                "HOMECUR TEXT NOT NULL)");
        db.exec("CREATE TABLE IF NOT EXISTS CSAPP (SEQ INTEGER PRIMARY KEY, APPID TEXT NOT NULL "
                "UNIQUE, VERSION TEXT NOT NULL)");
        db.exec("CREATE TABLE IF NOT EXISTS CSCCD (CODE TEXT PRIMARY KEY, DESCRIPTION TEXT NOT "
                "NULL, SYMBOL TEXT NOT NULL, DECIMALS INTEGER NOT NULL, SYMBOLPOS INTEGER NOT "
                "NULL, NEGDISP INTEGER NOT NULL, THOUSANDSEP INTEGER NOT NULL, DECIMALSEP "
                "INTEGER NOT NULL)");
    } else {
        db.exec("CREATE TABLE IF NOT EXISTS COMPANIES (ID TEXT PRIMARY KEY, NAME TEXT NOT NULL, "
                "FILE TEXT NOT NULL)");
    }
    // What the steps add to older files, a new file gets at once.
    for (const SchemaStep& step : schemaSteps())
        if (step.store == store)
            for (const QByteArray& sql : step.sql)
                db.exec(sql);
    setSchemaVersion(db, programSchemaVersion(store));
    tx.commit();
}

} // namespace Accpac
