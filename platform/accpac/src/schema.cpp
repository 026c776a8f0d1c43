#include "schema.h"

namespace Accpac {

namespace {

QByteArray columnType(FieldType type)
{
    switch (type) {
    case FieldType::Text:
        return "TEXT NOT NULL DEFAULT ''";
    case FieldType::Double:
        return "REAL NOT NULL DEFAULT 0";
    default:
        return "INTEGER NOT NULL DEFAULT 0";
    }
}

QByteArray q(const QString& name)
{
    return '"' + name.toLatin1() + '"';
}

} // namespace

void createSchema(Database& db, Store store)
{
    Transaction tx(db);
    for (const ViewDef* def : allTables()) {
        if (def->store != store)
            continue;
        QByteArray sql = "CREATE TABLE IF NOT EXISTS " + q(def->table) + " (";
        for (size_t n = 0; n < def->storedFields.size(); ++n) {
            const FieldDef& f = def->fields[def->storedFields[n]];
            sql += (n ? ", " : "") + q(f.column) + ' ' + columnType(f.type);
        }
        // The password verifier stays out of the users' view.
        if (def->table == QLatin1String("USERS"))
            sql += ", \"PWVERIFIER\" TEXT NOT NULL DEFAULT ''";
        sql += ')';
        db.exec(sql);
        for (size_t k = 0; k < def->orders.size(); ++k) {
            QByteArray columns;
            for (int i : (k == 0 ? def->keys[0] : def->orders[k]))
                columns += (columns.isEmpty() ? "" : ",") + q(def->fields[i].column);
            const QByteArray name = q(def->table + QStringLiteral("_K%1").arg(k));
            db.exec(
                (k == 0 ? "CREATE UNIQUE INDEX IF NOT EXISTS " : "CREATE INDEX IF NOT EXISTS ") +
                name + " ON " + q(def->table) + " (" + columns + ")");
        }
    }
    if (store == Store::Company) {
        // A shipment goes on one invoice only: the file itself refuses a second one, whatever
        // a writer checked before.
        db.exec("CREATE UNIQUE INDEX IF NOT EXISTS \"OEINVS_SHIPMENT\" ON \"OEINVS\" "
                "(\"SHIUNIQ\")");
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
    tx.commit();
}

} // namespace Accpac
