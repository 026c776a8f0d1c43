#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The books' auditor: reads a company file (never writing it) and reports every document
// that breaks a rule of the books, one sentence each.
namespace Accpac {

// The program's settings that some rules depend on, as the machine's settings store holds
// them: "DeliveryCharge" converted to a number equal to 1, and the trimmed "DelCharge".
struct AuditSettings
{
    bool deliveryChargeOn = false;
    QString deliveryChargeCode;
};

struct AuditOptions
{
    // The settings, or nothing: the rules that need them are then skipped, and
    // `settingsMissing` says why (empty: no settings were given).
    std::optional<AuditSettings> settings;
    QString settingsMissing;
    // The site whose users and rights the approvals are checked against; empty: the
    // company file's own folder.
    QString siteFolder;
    // Passwords known to the caller (the ones a test typed): a column holding one of them,
    // whole and in any case, is reported. Columns that hold user IDs are not searched.
    QStringList knownPasswords;
};

struct AuditReport
{
    QStringList problems; // one sentence per document that breaks a rule
    QStringList skipped;  // one sentence per group of rules that could not run, and why
};

// Checks the books of the company file. Throws ComError with one sentence when the file is
// no company file, is locked by another program, or was made by a newer program.
AuditReport auditCompanyFile(const QString& companyFile, const AuditOptions& options = {});

// The problems alone (the tests that expect none).
QStringList checkCompanyFile(const QString& companyFile, const AuditOptions& options = {});

} // namespace Accpac
