#pragma once

#include "errorsimpl.h"
#include "readahead.h"
#include "storage.h"

#include <accpac/session.h>
#include <accpac/standin.h>

#include <QHash>
#include <QList>

#include <memory>

namespace Accpac {

struct InvoiceDraft;

// What a signed-on session shares with its links and views: the two databases, the
// company's data, the Errors collection and the call log. Views keep it alive.
struct SessionCore
{
    QString siteFolder;
    QString companyId;
    QString userId;
    // On a server site: the password typed at the sign-on (in capitals), which the user's
    // role logs in with. Kept in memory only, for the session's own further connections.
    QString serverPassword;
    AccpacCompany company;
    QList<AccpacActiveApplication> applications;
    std::unique_ptr<Database> companyDb;
    std::unique_ptr<Database> systemDb;
    ErrorsImpl errors;
    bool opened = false;
    // Invoices being entered on this session's header views, by their provisional INVUNIQ
    // (the prepayment view finds its invoice through it).
    QHash<int, std::weak_ptr<InvoiceDraft>> invoiceDrafts;

    // The rows read ahead for the session's run of look-ups, if any.
    ReadAhead readAhead;
    bool logEnabled = false;
    QList<Testing::ViewCall> log;

    // The version of an active application, "" when it is not active.
    QString version(const QString& appId) const;

    // Leaves the message in Errors and throws the view error.
    [[noreturn]] void fail(const QString& message, int priority = Priority::Error);

    void logCall(const QString& viewId, const char* operation, QStringList arguments = {})
    {
        if (logEnabled)
            log.append({viewId, QString::fromLatin1(operation), std::move(arguments)});
    }
};

} // namespace Accpac
