#include "auditbooks.h"

#include <auditsettings.h>
#include <sample.h>

#include <QFileInfo>

QStringList auditBooks(const QString& companyFile, const QString& machineHiveFolder)
{
    Accpac::AuditOptions options;
    const QString hive = machineHiveFolder + QStringLiteral("/HKEY_LOCAL_MACHINE.reg");
    if (QFileInfo::exists(hive))
        readAuditSettings(hive, options);
    else
        options.settings = Accpac::AuditSettings{};
    options.knownPasswords = {Sample::AdminPassword, Sample::SupervisorPassword,
                              Sample::ClerkPassword};
    const Accpac::AuditReport report = Accpac::auditCompanyFile(companyFile, options);
    return report.problems + report.skipped;
}
