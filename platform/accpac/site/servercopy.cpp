// A company of an SQLite site copied into a site on a database server (see accpac/standin.h).
#include "dictionary.h"
#include "schema.h"
#include "site.h"
#include "siteroles.h"
#include "store.h"

#include <accpac/standin.h>
#include <system/comerror.h>

#include <QFileInfo>

namespace Accpac::Admin {

namespace {

[[noreturn]] void refuse(const QString& sentence)
{
    throw ComError(ComErrorNumber::E_Fail, sentence);
}

// The company file of the source: the file itself, or the company's file of a site folder.
QString sourceFile(const QString& source, const QString& companyId)
{
    const QString file =
        QFileInfo(source).isDir() ? companyDatabaseFile(source, companyId) : source;
    if (!QFileInfo(file).isFile())
        refuse(QStringLiteral("The company file \"%1\" does not exist.").arg(file));
    const int version = readSchemaVersion(file, SiteFileKind::Company);
    if (version != programSchemaVersion(SiteFileKind::Company))
        refuse(QStringLiteral("The company file \"%1\" has schema version %2; bring it up to "
                              "date first (tallymerge-admin --site FOLDER upgrade).")
                   .arg(file)
                   .arg(version));
    return file;
}

// Every row of the table, in the order it was stored; returns how many.
int copyTable(Database& from, Database& to, const QString& table)
{
    const QStringList target = to.columnNames(table);
    QByteArray columns;
    QByteArray marks;
    bool keyed = false;
    for (const QString& column : from.columnNames(table)) {
        if (column.toUpper() == QLatin1String(RowKeyColumn)) {
            keyed = true; // the server numbers the rows anew, in the same order
            continue;
        }
        if (!target.contains(column.toUpper()))
            refuse(QStringLiteral("The column %1 of table %2 is not one this program knows; "
                                  "nothing was copied.")
                       .arg(column, table));
        columns += (columns.isEmpty() ? "" : ",") + quoted(column);
        marks += marks.isEmpty() ? "?" : ",?";
    }
    Statement read = from.prepare("SELECT " + columns + " FROM " + quoted(table) +
                                  (keyed ? " ORDER BY " + quoted(RowKeyColumn) : QByteArray()));
    int rows = 0;
    while (read.step()) {
        Statement write = to.prepare("INSERT INTO " + quoted(table) + " (" + columns +
                                     ") VALUES (" + marks + ')');
        for (int c = 0; c < read.columnCount(); ++c)
            write.bind(c + 1, read.columnValue(c));
        write.exec();
        ++rows;
    }
    return rows;
}

} // namespace

QList<std::pair<QString, int>> copyCompanyToServer(const QString& source, const QString& companyId,
                                                   const QString& serverSite)
{
    if (!StoreLocation(serverSite).onServer())
        refuse(QStringLiteral("The copy goes to a site on a database server, named by its "
                              "connection string (for example \"host=db1 dbname=books\")."));
    const QString id = companyId.trimmed().toUpper();
    const QString file = sourceFile(source, id);
    QList<std::pair<QString, int>> copied;
    try {
        const auto opened = openFile(file, StoreAccess::ReadOnly);
        Database& from = *opened;
        from.exec(from.dialect().beginRead);
        {
            Statement st = from.prepare("SELECT TRIM(ID), NAME FROM CSCOM");
            if (!st.step() || st.columnText(0).toUpper() != id)
                refuse(QStringLiteral("The file \"%1\" holds no company %2.").arg(file, id));
        }
        // The target site must be there, at this program's version, without the company.
        for (const QString& listed : companyIds(serverSite))
            if (listed == id)
                refuse(QStringLiteral("The site on the database server has a company %1 "
                                      "already; nothing was copied.")
                           .arg(id));
        const QString schema = serverCompanySchema(id);
        const auto target = StoreLocation(serverSite).openWithin(schema);
        Database& to = *target;
        if (to.server()->schemaExists())
            refuse(QStringLiteral("The schema %1 exists already on the database server; nothing "
                                  "was copied.")
                       .arg(schema));
        // The tables, their rows and the company's place in the site's list: all or nothing.
        Transaction tx(to);
        to.exec("CREATE SCHEMA " + quoted(schema));
        createSchema(to, Store::Company);
        QString name;
        for (const QString& table : from.tableNames()) {
            if (table == QLatin1String("SCHEMAVERSION"))
                continue;
            if (!to.hasTable(table))
                refuse(QStringLiteral("The company file has a table %1 that this program does "
                                      "not know; nothing was copied.")
                           .arg(table));
            copied.append({table, copyTable(from, to, table)});
        }
        {
            Statement st = from.prepare("SELECT NAME FROM CSCOM");
            st.step();
            name = st.columnText(0);
        }
        Statement list = to.prepare(QByteArray("INSERT INTO ") + serverSiteSchema() +
                                    ".COMPANIES (ID, NAME, FILE) VALUES (?,?,?)");
        list.bindText(1, id);
        list.bindText(2, name);
        list.bindText(3, schema);
        list.exec();
        SiteRoles::setUpCompany(to, serverSite, id, schema);
        tx.commit();
    } catch (const StorageError& e) {
        refuse(QStringLiteral("Company %1 was not copied: %2").arg(id, e.message()));
    }
    return copied;
}

} // namespace Accpac::Admin
