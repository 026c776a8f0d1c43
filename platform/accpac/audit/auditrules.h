#pragma once

#include "storage.h"

#include <QString>

#include <span>

namespace Accpac {

// One rule of the books: a query that returns the documents breaking it, and the sentence
// that names each of them.
struct AuditRule
{
    const char* sql;
    QString (*describe)(const Statement&);
};

// The rules that need nothing but the company file.
std::span<const AuditRule> bookRules();

// The delivery-charge rules; each query takes the charge code as ?1 and, as ?2, 1 when the
// delivery charge is switched on, and returns the invoice's number first.
std::span<const AuditRule> deliveryChargeRules();

// A column's text, trimmed; an amount with two decimals.
inline QString auditText(const Statement& st, int column)
{
    return st.columnText(column).trimmed();
}

inline QString auditMoney(const Statement& st, int column)
{
    return QString::number(st.columnDouble(column), 'f', 2);
}

} // namespace Accpac

namespace Accpac {

// Passwords kept in the company file, in any column of any table: a value in a column
// named for a password, a password verifier (which allows guessing offline), or one of
// the known passwords (whole, in any case; columns of user IDs are not searched, as a
// user ID may equal its password). One sentence per value; the password is never shown.
QStringList storedPasswords(Database& company, const QStringList& knownPasswords);

// Invoices approved by a user who does not hold the right to approve credit in the company.
QStringList unauthorisedApprovals(Database& company, Database& system, const QString& companyId);

} // namespace Accpac
