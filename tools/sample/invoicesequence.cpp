#include "invoicesequence.h"

#include <accpac/errors.h>
#include <accpac/view.h>
#include <system/comerror.h>

#include <map>
#include <memory>

namespace Sample {

namespace {

class Run
{
public:
    Run(AccpacDBLink& link, InvoiceResult& result) : m_link(link), m_result(result) {}

    // One step of the program's failure rule: warnings and information let the run go on
    // (false), anything else ends it.
    template <class F> bool step(F&& f)
    {
        try {
            f();
            return true;
        } catch (const ComError&) {
            AccpacErrors& errors = m_link.Session().Errors();
            bool mayGoOn = false;
            QStringList messages;
            for (int i = 0; i < errors.Count(); ++i) {
                const auto [message, priority] = errors.Get(i);
                messages << message;
                mayGoOn = mayGoOn || priority == 1 || priority == 2;
            }
            if (!mayGoOn)
                throw;
            m_result.skippedMessages << messages;
            errors.Clear();
            return false;
        }
    }

    AccpacView& open(const QString& id)
    {
        m_views.push_back(m_link.OpenView(id));
        m_byId.emplace(id, m_views.back().get());
        return *m_views.back();
    }

    AccpacView& operator[](const char* id) { return *m_byId.find(QLatin1String(id))->second; }

    void compose(const char* id, std::initializer_list<const char*> with)
    {
        std::vector<AccpacView*> views;
        for (const char* w : with)
            views.push_back(&(*this)[w]);
        (*this)[id].Compose(views);
    }

private:
    AccpacDBLink& m_link;
    InvoiceResult& m_result;
    std::vector<std::unique_ptr<AccpacView>> m_views;
    std::multimap<QString, AccpacView*> m_byId;
};

void set(AccpacView& view, const char* field, const QVariant& value)
{
    view.Field(QLatin1String(field)).SetValue(value);
}

QVariant get(AccpacView& view, const char* field)
{
    return view.Field(QLatin1String(field)).GetValue();
}

} // namespace

InvoiceResult createInvoice(AccpacDBLink& link, const InvoiceRequest& request)
{
    InvoiceResult result;
    Run run(link, result);
    const QStringList ids =
        request.layout56
            ? QStringList{"OE0420", "OE0400", "OE0999", "OE0160", "OE0720", "OE0427", "OE0422",
                          "OE0401", "OE0403", "OE0402", "OE0404", "OE0407", "OE0406", "OE0405"}
            : QStringList{"OE0420", "OE0400", "OE0660", "OE0160", "OE0720", "OE0427",
                          "OE0422", "OE0401", "OE0403", "OE0402", "OE0404"};
    for (const QString& id : ids)
        run.step([&] { run.open(id); });
    if (request.layout56) {
        run.compose("OE0420", {"OE0400", "OE0999", "OE0160", "OE0720", "OE0427", "OE0422"});
        run.compose("OE0400", {"OE0420", "OE0401", "OE0403", "OE0402", "OE0407", "OE0406"});
        run.compose("OE0720", {"OE0420"});
        run.compose("OE0160", {"OE0420"});
        run.compose("OE0427", {"OE0420"});
        run.compose("OE0422", {"OE0420"});
        run.compose("OE0401", {"OE0400"});
        run.compose("OE0402", {"OE0400", "OE0404", "OE0405"});
        run.compose("OE0404", {"OE0402"});
        run.compose("OE0405", {"OE0402"});
        run.compose("OE0403", {"OE0400"});
        run.compose("OE0407", {"OE0400"});
        run.compose("OE0406", {"OE0400"});
    } else {
        run.compose("OE0420", {"OE0400", "OE0660", "OE0160", "OE0720", "OE0427", "OE0422"});
        run.compose("OE0400", {"OE0420", "OE0401", "OE0403", "OE0402"});
        run.compose("OE0720", {"OE0420"});
        run.compose("OE0160", {"OE0420"});
        run.compose("OE0660", {"OE0420"});
        run.compose("OE0427", {"OE0420"});
        run.compose("OE0422", {"OE0420"});
        run.compose("OE0401", {"OE0400"});
        run.compose("OE0402", {"OE0400", "OE0404"});
        run.compose("OE0404", {"OE0402"});
        run.compose("OE0403", {"OE0400"});
    }
    AccpacView& header = run["OE0420"];
    const QString customer = request.customer.trimmed();
    run.step([&] { header.ClearRecord(); });
    run.step([&] { header.InitRecord(0); });
    run.step([&] { set(header, "CUSTOMER", customer); });
    run.step(
        [&] { header.Field(QStringLiteral("PROCESSCMD")).SetValueDirect(QStringLiteral("1")); });
    run.step([&] { header.Process(); });
    run.step([&] { set(header, "MULTISHI", QStringLiteral("1")); });
    run.step(
        [&] { header.Field(QStringLiteral("PROCESSCMD")).SetValueDirect(QStringLiteral("1")); });
    run.step([&] { header.Process(); });
    AccpacView& shipments = run["OE0427"];
    for (const QString& number : request.shipments) {
        if (!run.step([&] { shipments.ClearRecord(); }))
            continue;
        if (!run.step([&] { shipments.InitRecord(0); }))
            continue;
        if (!run.step([&] {
                shipments.Field(QStringLiteral("SHINUMBER")).SetValueDirect(number.trimmed());
            }))
            continue;
        run.step([&] { shipments.Insert(); });
    }
    run.step([&] { set(header, "INVSHIPMTS", QStringLiteral("1")); });
    run.step([&] { header.Process(); });

    if (const auto& pp = request.prepayment) {
        run.step([&] { run.open(QStringLiteral("OE0278")); });
        run.step([&] { run.open(QStringLiteral("AR0041")); });
        AccpacView& prepay = run["OE0278"];
        AccpacView& batch = run["AR0041"];
        run.step([&] { prepay.NewRecord(); });
        const std::pair<const char*, const char*> copies[] = {
            {"CUSTCURN", "INSOURCURR"},  {"CRATE", "INRATE"},        {"CRATEDATE", "INRATEDATE"},
            {"CRATETYPE", "INRATETYPE"}, {"CRATEOPER", "INRATEREP"}, {"DOCTOTAL", "INVNETWTX"},
            {"DISCAVAIL", "DISCAVAIL"},  {"AMOUNTDUE", "INVDUE"}};
        run.step([&] { set(prepay, "INVUNIQ", get(header, "INVUNIQ")); });
        run.step([&] { set(prepay, "CUSTOMER", customer); });
        run.step([&] { set(prepay, "CUSTDESC", get(header, "BILNAME").toString().trimmed()); });
        for (const auto& [to, from] : copies)
            run.step([&] { set(prepay, to, get(header, from)); });
        run.step([&] { set(batch, "CODEPYMTYP", QStringLiteral("CA")); });
        run.step([&] { set(batch, "CNTBTCH", pp->batchNumber); });
        bool found = true;
        run.step([&] { found = batch.Read(); });
        if (found) {
            const std::pair<const char*, const char*> fromBatch[] = {
                {"BATCHNUM", "CNTBTCH"},  {"RECPDATE", "DATEBTCH"}, {"BANKRATE", "RATEEXCHHC"},
                {"RATEDATE", "DATERATE"}, {"RATETYPE", "RATETYPE"}, {"BANKCODE", "IDBANK"}};
            for (const auto& [to, from] : fromBatch)
                run.step([&] { set(prepay, to, get(batch, from)); });
            run.step([&] { set(prepay, "RECPTYPE", pp->receiptType); });
            run.step([&] { set(prepay, "CHECKNUM", pp->receiptNumber); });
            run.step([&] { set(prepay, "RECPDATE", pp->receiptDate); });
            run.step([&] { set(prepay, "RECPAMOUNT", pp->amount); });
        }
        run.step([&] { prepay.Insert(); });
        run.step([&] { set(header, "REBATCHNUM", get(prepay, "BATCHNUM")); });
        run.step([&] { set(header, "BANKRECTYP", get(prepay, "RECPTYPE")); });
        run.step([&] { set(header, "CHECKNUM", pp->receiptNumber); });
        run.step([&] { set(header, "BANKCODE", pp->bankCode); });
        run.step([&] { set(header, "BANKPAYMNT", pp->amount); });
        run.step([&] { set(header, "CHECKDATE", pp->receiptDate); });
        run.step([&] { set(header, "APPLYTO", 2); });
        run.step([&] { set(header, "BANKPAYMNT", pp->amount); });
        run.step([&] { set(header, "INVPAYMENT", pp->amount); });
    }
    if (!request.deliveryCharge.isEmpty()) {
        AccpacView& lines = run["OE0400"];
        run.step([&] { lines.ClearRecord(); });
        run.step([&] { lines.InitRecord(0); });
        run.step([&] { set(lines, "LINETYPE", 2); });
        run.step([&] { set(lines, "MISCCHARGE", request.deliveryCharge.trimmed()); });
        run.step([&] { lines.Insert(); });
    }
    if (!request.approverId.isEmpty()) {
        run.step([&] { set(header, "APPROVEBY", request.approverId); });
        run.step([&] { set(header, "APPPASSWRD", request.approverPassword); });
    }
    run.step([&] { header.Insert(); });
    result.invoiceNumber = get(header, "INVNUMBER").toString().trimmed();
    return result;
}

} // namespace Sample
