// The Accounts Receivable views' rules, and the rules of every view ID (see ledgerrules.h).
#include "ledgerrules.h"

#include "creditnoterules.h"
#include "oerules.h"
#include "storage.h"
#include "viewimpl.h"
#include "viewrules.h"

#include <QDate>
#include <QHash>

namespace Accpac {

namespace {

int today()
{
    const QDate d = QDate::currentDate();
    return d.year() * 10000 + d.month() * 100 + d.day();
}

class PlainRules final : public ViewRules
{
};

// The stored status of the batch the view has read; 0 when it is gone.
int storedBatchStatus(ViewImpl& view)
{
    Statement st = view.db().prepare("SELECT BATCHSTAT FROM ARBTA WHERE ROWKEY=?");
    st.bindInt(1, view.rowId());
    return st.step() ? int(st.columnInt(0)) : 0;
}

void requireOpenBatch(ViewImpl& view, const char* what)
{
    if (!view.hasCurrentRecord())
        view.fail(
            QStringLiteral("Read the receipt batch before it can be %1.").arg(QLatin1String(what)));
    const int status = storedBatchStatus(view);
    if (status != BatchOpen)
        view.fail(QStringLiteral("Receipt batch %1 is %2 and cannot be %3.")
                      .arg(view.value(QStringLiteral("CNTBTCH")).toInt())
                      .arg(status == BatchPosted ? QStringLiteral("posted")
                           : status == 0         ? QStringLiteral("gone")
                                                 : QStringLiteral("deleted"),
                           QLatin1String(what)));
}

// Receipt batches: NewRecord opens the next batch of the payment type at once (number,
// today's date, open status), so that Update can save what the caller sets next. Only an
// open batch can be changed; its status changes only by posting.
class ReceiptBatchRules final : public ViewRules
{
public:
    void beforeUpdate(ViewImpl& view) const override
    {
        requireOpenBatch(view, "changed");
        view.set(QStringLiteral("BATCHSTAT"), BatchOpen);
    }

    void post(ViewImpl& view) const override
    {
        requireOpenBatch(view, "posted");
        Transaction tx(view.db());
        Statement st =
            view.db().prepare("UPDATE ARBTA SET BATCHSTAT=? WHERE ROWKEY=? AND BATCHSTAT=?");
        st.bindInt(1, BatchPosted);
        st.bindInt(2, view.rowId());
        st.bindInt(3, BatchOpen);
        st.exec();
        if (view.db().changes() != 1)
            view.fail(QStringLiteral("Receipt batch %1 was posted or deleted by another user "
                                     "meanwhile.")
                          .arg(view.value(QStringLiteral("CNTBTCH")).toInt()));
        tx.commit();
        view.set(QStringLiteral("BATCHSTAT"), BatchPosted);
    }

    void initRecord(ViewImpl& view) const override
    {
        view.set(QStringLiteral("CODEPYMTYP"), QStringLiteral("CA"));
        view.set(QStringLiteral("BATCHSTAT"), 1);
    }

    void newRecord(ViewImpl& view) const override
    {
        QString type = view.value(QStringLiteral("CODEPYMTYP")).toString().trimmed();
        if (type.isEmpty())
            type = QStringLiteral("CA");
        view.blank();
        view.set(QStringLiteral("CODEPYMTYP"), type);
        view.set(QStringLiteral("CNTBTCH"), 0);
        view.set(QStringLiteral("BATCHSTAT"), 1);
        view.set(QStringLiteral("DATEBTCH"), today());
        view.set(QStringLiteral("CODECURN"), view.core().company.HomeCurrency());
        view.set(QStringLiteral("RATETYPE"), QStringLiteral("SP"));
        view.set(QStringLiteral("RATEEXCHHC"), 1.0);
        view.set(QStringLiteral("DATERATE"), today());
        view.insertRecord();
    }
};

// Customers: a new customer is active and takes the home currency; the balance it is
// entered with is its balance brought forward (invoices and receipts move it from there).
class CustomerRules final : public ViewRules
{
public:
    void initRecord(ViewImpl& view) const override
    {
        view.set(QStringLiteral("SWACTV"), 1);
        view.set(QStringLiteral("CODECURN"), view.core().company.HomeCurrency());
    }

    void beforeInsert(ViewImpl& view) const override
    {
        view.set(QStringLiteral("AMTOPENBAL"), view.value(QStringLiteral("AMTBALDUET")));
    }
};

// Receipt types and banks start active.
class ActiveSwitchRules final : public ViewRules
{
public:
    void initRecord(ViewImpl& view) const override { view.set(QStringLiteral("ACTVSW"), 1); }
};

} // namespace

const ViewRules& rulesFor(const QString& viewId)
{
    static const PlainRules plain;
    static const ReceiptBatchRules batches;
    static const CustomerRules customers;
    static const ActiveSwitchRules activeSwitch;
    static const QHash<QString, const ViewRules*> rules = {
        {QStringLiteral("AR0041"), &batches},
        {QStringLiteral("AR0024"), &customers},
        {QStringLiteral("AR0012"), &activeSwitch},
    };
    if (const ViewRules* orderEntry = orderEntryRules(viewId))
        return *orderEntry;
    if (const ViewRules* creditNotes = creditNoteRules(viewId))
        return *creditNotes;
    return *rules.value(viewId, &plain);
}

} // namespace Accpac
