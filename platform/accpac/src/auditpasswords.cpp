// The books' rules on passwords and approvals (see auditrules.h).
#include "auditrules.h"

#include "rights.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace Accpac {

namespace {

// Columns whose values are user IDs, and column names that say "password".
bool holdsUserIds(const QString& column)
{
    return column.compare(QLatin1String("APPROVEBY"), Qt::CaseInsensitive) == 0;
}

bool namedForPassword(const QString& column)
{
    const QString name = column.toUpper();
    return name.contains(QLatin1String("PASSW")) || name.contains(QLatin1String("PWD"));
}

QByteArray quoted(const QString& name)
{
    return '"' + QString(name).replace(u'"', QLatin1String("\"\"")).toUtf8() + '"';
}

QStringList tables(Database& db)
{
    QStringList names;
    Statement st = db.prepare("SELECT name FROM sqlite_schema WHERE type = 'table' "
                              "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name");
    while (st.step())
        names << st.columnText(0);
    return names;
}

QStringList columns(Database& db, const QString& table)
{
    QStringList names;
    Statement st = db.prepare("SELECT name FROM pragma_table_info(?)");
    st.bindText(1, table);
    while (st.step())
        names << st.columnText(0);
    return names;
}

} // namespace

QStringList storedPasswords(Database& company, const QStringList& knownPasswords)
{
    // Passwords compare in capitals, as the site's verifiers are made.
    QJsonArray known;
    for (const QString& password : knownPasswords)
        if (!password.trimmed().isEmpty())
            known.append(password.trimmed().toUpper());
    const QString knownJson =
        QString::fromUtf8(QJsonDocument(known).toJson(QJsonDocument::Compact));

    QStringList problems;
    for (const QString& table : tables(company)) {
        for (const QString& column : columns(company, table)) {
            const QByteArray value = "CAST(" + quoted(column) + " AS TEXT)";
            const QByteArray kind =
                "CASE WHEN " + value + " LIKE '$argon2%' OR " + value + " LIKE '$scrypt%' OR " +
                value + " LIKE '$7$%' THEN 'a password verifier' " +
                (namedForPassword(column) ? "WHEN TRIM(" + value + ") <> '' THEN 'a password' "
                                          : QByteArray()) +
                (holdsUserIds(column) ? QByteArray()
                                      : "WHEN UPPER(TRIM(" + value +
                                            ")) IN (SELECT value FROM json_each(?1)) THEN 'a "
                                            "known password' ") +
                "END";
            Statement st = company.prepare("SELECT rowid, " + kind + " AS kind FROM " +
                                           quoted(table) + " WHERE kind IS NOT NULL");
            if (!holdsUserIds(column))
                st.bindText(1, knownJson);
            while (st.step())
                problems << QStringLiteral("Row %1 of table %2 holds %3 in column %4.")
                                .arg(st.columnText(0), table, st.columnText(1), column);
        }
    }
    return problems;
}

QStringList unauthorisedApprovals(Database& company, Database& system, const QString& companyId)
{
    QStringList problems;
    Statement st = company.prepare("SELECT INVNUMBER, APPROVEBY FROM OEINVH "
                                   "WHERE TRIM(APPROVEBY) <> '' ORDER BY INVNUMBER");
    while (st.step()) {
        const QString approver = auditText(st, 1);
        if (!holdsCreditApprovalRight(system, approver, companyId))
            problems << QStringLiteral("Invoice %1 was approved by \"%2\", who holds no right to "
                                       "approve credit in company %3.")
                            .arg(auditText(st, 0), approver, companyId);
    }
    return problems;
}

} // namespace Accpac
