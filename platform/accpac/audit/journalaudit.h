#pragma once

#include "storage.h"

#include <QSet>
#include <QStringList>

namespace Accpac {

// What the auditor learns from the journal of the program's decisions.
struct JournalAudit
{
    QStringList problems; // one sentence per entry or invoice that breaks a rule
    QStringList notes;    // what could not be judged by the journal, said once
    // The invoices judged by the settings their entries record, not by today's.
    QSet<QString> judgedByEntry;
};

// Verifies the journal's chain, checks the books against it (every invoice made since the
// journal began has its entry, with the same customer, shipments and totals) and re-derives
// each recorded decision (delivery charge, credit approval, prepayment limit) from its
// recorded inputs. Throws StorageError when the journal cannot be read.
JournalAudit auditJournal(Database& db);

} // namespace Accpac
