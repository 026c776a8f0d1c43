// The books' rules on passwords and approvals (see auditrules.h).
#include "auditrules.h"
#include "dictionary.h"

#include "rights.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace Accpac {

namespace {

// Columns whose values are user IDs, and column names that say "password".
bool holdsUserIds(const QString& column)
{
    return column.compare(QLatin1String("APPROVEBY"), Qt::CaseInsensitive) == 0 ||
           column.compare(QLatin1String("USERID"), Qt::CaseInsensitive) == 0;
}

bool namedForPassword(const QString& column)
{
    const QString name = column.toUpper();
    return name.contains(QLatin1String("PASSW")) || name.contains(QLatin1String("PWD"));
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
    for (const QString& table : company.tableNames()) {
        const QStringList columns = company.columnNames(table);
        for (const QString& column : columns) {
            const QByteArray value = "CAST(" + quoted(column) + " AS TEXT)";
            const QByteArray kind =
                "CASE WHEN " + value + " LIKE '$argon2%' OR " + value + " LIKE '$scrypt%' OR " +
                value + " LIKE '$7$%' THEN 'a password verifier' " +
                (namedForPassword(column) ? "WHEN TRIM(" + value + ") <> '' THEN 'a password' "
                                          : QByteArray()) +
                (holdsUserIds(column)
                     ? QByteArray()
                     : "WHEN UPPER(TRIM(" + value + "))" + company.dialect().inTextsOfJsonArray +
                           " THEN 'a known password' ") +
                "END";
            // Tables of the views are keyed by their row key, the others by their order.
            const QByteArray row = columns.contains(QLatin1String(RowKeyColumn))
                                       ? QByteArray(RowKeyColumn)
                                       : QByteArray("ROW_NUMBER() OVER ()");
            Statement st = company.prepare("SELECT * FROM (SELECT " + row + " AS rowno, " + kind +
                                           " AS kind FROM " + quoted(table) +
                                           ") found WHERE kind IS NOT NULL");
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
