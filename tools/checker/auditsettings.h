#pragma once

#include <accpac/audit.h>

#include <QString>

// Fills the auditor's settings from a machine settings hive (a .reg text file, as the
// program keeps HKEY_LOCAL_MACHINE), read as the program reads them: absent values take
// their defaults. A hive that cannot be read or parsed leaves the settings unset, with the
// reason, so that the rules needing them are skipped. The file is never changed.
void readAuditSettings(const QString& hiveFile, Accpac::AuditOptions& options);
