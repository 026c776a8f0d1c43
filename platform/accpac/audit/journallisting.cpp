// The journal of a company as the admin tool prints it (see accpac/standin.h).
#include "journal.h"
#include "store.h"

#include <accpac/standin.h>
#include <system/comerror.h>

#include <QDateTime>
#include <QFileInfo>

namespace Accpac::Admin {

QStringList journalListing(const QString& folder, const QString& companyId, const QDate& from)
{
    const QString id = companyId.trimmed().toUpper();
    const QString store = companyDatabaseFile(folder, id);
    const auto refuse = [&](const QString& why) {
        return ComError(
            ComErrorNumber::E_Fail,
            QStringLiteral("The journal of company %1 cannot be read: %2.").arg(id, why));
    };
    QStringList lines;
    try {
        const StoreLocation location(store);
        if (!location.onServer() && !QFileInfo(store).isFile())
            throw refuse(QStringLiteral("its file %1 does not exist").arg(store));
        const std::unique_ptr<Database> db = location.open(StoreAccess::ReadOnly);
        if (!db->hasTable(QLatin1String(JournalTable)))
            throw refuse(QStringLiteral("its tables are of an older version, which keeps none; "
                                        "bring the site up to date (tallymerge-admin upgrade)"));
        for (const JournalEntry& entry : readJournal(*db)) {
            const QDateTime at = QDateTime::fromString(entry.time, Qt::ISODateWithMs);
            if (from.isValid() && at.date() < from)
                continue;
            lines << QStringLiteral("%1 %2 %3 %4 %5")
                         .arg(entry.seq)
                         .arg(entry.time, entry.user.isEmpty() ? QStringLiteral("-") : entry.user,
                              entry.kind, entry.body);
        }
    } catch (const StorageError& e) {
        throw refuse(e.message());
    }
    return lines;
}

} // namespace Accpac::Admin
