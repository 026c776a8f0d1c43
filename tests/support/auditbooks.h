#pragma once

#include <QString>
#include <QStringList>

// The books' auditor as the end-to-end tests end with it: the company file, its site's users
// and rights, the settings of the machine hive in `machineHiveFolder` (their defaults when
// the program saved none there), and the sample users' passwords as known passwords.
// Returns every problem and every rule that could not run (none when all is well).
QStringList auditBooks(const QString& companyFile, const QString& machineHiveFolder);
