#include "oerules.h"

#include "invoicerelease.h"
#include "journal.h"
#include "rights.h"
#include "viewimpl.h"
#include "viewrules.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>
#include <map>
#include <optional>

namespace Accpac {

// An invoice being entered: what the header view has been given before its Insert. Nothing of
// it reaches the company file until the header is inserted, and then all of it at once.
struct InvoiceDraft
{
    struct Shipment
    {
        int shiUniq = 0;
        QString shiNumber;
        int ordUniq = 0;
        QString ordNumber;
        int shiDate = 0;
    };
    struct Line
    {
        int lineType = 1; // 1 item, 2 miscellaneous charge
        QString item;
        QString miscCharge;
        QString desc;
        int shiUniq = 0;
        double quantity = 0;
        double unitPrice = 0;
        double amount = 0;
    };
    int provisionalUniq = 0;
    std::vector<Shipment> shipments;
    std::vector<Line> chargeLines; // lines the caller inserted into "OE0400"
    std::optional<std::vector<std::pair<QString, QVariant>>> prepayment; // "OE0278" values
    QJsonObject decisions; // what the caller decided, for the invoice's journal entry ("TM0001")
};

double roundAmount(double amount)
{
    return std::round(amount * 100.0) / 100.0;
}

namespace {

using Draft = std::shared_ptr<InvoiceDraft>;
constexpr int MayGoOn = Priority::Information;

int today()
{
    const QDate d = QDate::currentDate();
    return d.year() * 10000 + d.month() * 100 + d.day();
}

QString text(const ViewImpl& view, const char* field)
{
    return view.value(QLatin1String(field)).toString();
}

int number(const ViewImpl& view, const char* field)
{
    return view.value(QLatin1String(field)).toInt();
}

double amount(const ViewImpl& view, const char* field)
{
    return view.value(QLatin1String(field)).toDouble();
}

// The draft of a header view, made on first use and listed in the session.
Draft draftOf(ViewImpl& header)
{
    // ClearRecord blanks INVUNIQ: the draft of the record cleared away is dropped with it.
    if (auto* draft = std::any_cast<Draft>(&header.ruleState());
        draft && *draft &&
        (*draft)->provisionalUniq == header.value(QStringLiteral("INVUNIQ")).toInt())
        return *draft;
    auto draft = std::make_shared<InvoiceDraft>();
    Statement st = header.db().prepare("SELECT COALESCE(MAX(INVUNIQ),0)+1 FROM OEINVH");
    st.step();
    int uniq = int(st.columnInt(0));
    auto& drafts = header.core().invoiceDrafts;
    for (auto it = drafts.begin(); it != drafts.end();)
        it = it->expired() ? drafts.erase(it) : std::next(it);
    while (drafts.contains(uniq))
        ++uniq;
    draft->provisionalUniq = uniq;
    drafts.insert(uniq, draft);
    header.ruleState() = draft;
    header.set(QStringLiteral("INVUNIQ"), uniq);
    return draft;
}

// The header an invoice detail view was composed with.
ViewImpl& headerOf(ViewImpl& view)
{
    ViewImpl* header = view.composed(QStringLiteral("OE0420"));
    if (!header)
        view.fail(QStringLiteral("View %1 must be composed with the invoice header (OE0420) "
                                 "before records can be added.")
                      .arg(view.def().id));
    if (header->hasCurrentRecord())
        view.fail(QStringLiteral("Invoice %1 has been created already; start a new invoice with "
                                 "ClearRecord and InitRecord on the header.")
                      .arg(text(*header, "INVNUMBER").trimmed()));
    return *header;
}

struct CustomerInfo
{
    QString name;
    QString currency;
    QString terms;
    int active = 0;
    int onHold = 0;
};

std::optional<CustomerInfo> findCustomer(Database& db, const QString& id)
{
    Statement st =
        db.prepare("SELECT NAMECUST, CODECURN, CODETERM, SWACTV, SWHOLD FROM ARCUS WHERE IDCUST=?");
    st.bindText(1, id);
    if (!st.step())
        return std::nullopt;
    return CustomerInfo{st.columnText(0), st.columnText(1), st.columnText(2), int(st.columnInt(3)),
                        int(st.columnInt(4))};
}

CustomerInfo checkedCustomer(ViewImpl& header)
{
    const QString id = text(header, "CUSTOMER").trimmed();
    if (id.isEmpty())
        header.fail(QStringLiteral("Enter the customer number of the invoice first."));
    const auto customer = findCustomer(header.db(), id);
    if (!customer)
        header.fail(
            QStringLiteral("Customer \"%1\" does not exist in Accounts Receivable.").arg(id));
    if (!customer->active)
        header.fail(QStringLiteral("Customer \"%1\" is inactive and cannot be invoiced.").arg(id));
    if (customer->onHold)
        header.fail(QStringLiteral("Customer \"%1\" is on hold and cannot be invoiced.").arg(id));
    return *customer;
}

// The terms discount in percent: terms codes such as "2/10N30" give 2 percent.
double discountPercent(const QString& terms)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+(?:\\.\\d+)?)/"));
    const auto m = pattern.match(terms.trimmed());
    return m.hasMatch() ? m.captured(1).toDouble() : 0.0;
}

// A list of values as one parameter of a set statement (Dialect::inTextsOfJsonArray and
// inIntegersOfJsonArray): an invoice of many shipments costs one statement, not one each.
template <class T> QString jsonList(const std::vector<InvoiceDraft::Shipment>& shipments, T value)
{
    QJsonArray list;
    for (const auto& shipment : shipments)
        list.append(value(shipment));
    return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
}

QString shipmentKeys(const InvoiceDraft& draft)
{
    return jsonList(draft.shipments, [](const auto& s) { return s.shiUniq; });
}

// The invoice lines: the lines of every attached shipment, then the inserted charge lines.
std::vector<InvoiceDraft::Line> invoiceLines(Database& db, const InvoiceDraft& draft)
{
    std::map<int, std::vector<InvoiceDraft::Line>> byShipment;
    if (!draft.shipments.empty()) {
        Statement st =
            db.prepare("SELECT SHIUNIQ, ITEM, \"DESC\", QTYSHIPPED, UNITPRICE, "
                       "EXTSHIMISC FROM OESHID WHERE SHIUNIQ" +
                       db.dialect().inIntegersOfJsonArray + " ORDER BY SHIUNIQ, LINENUM");
        st.bindText(1, shipmentKeys(draft));
        while (st.step()) {
            InvoiceDraft::Line line;
            line.shiUniq = int(st.columnInt(0));
            line.item = st.columnText(1);
            line.desc = st.columnText(2);
            line.quantity = st.columnDouble(3);
            line.unitPrice = st.columnDouble(4);
            line.amount = roundAmount(st.columnDouble(5));
            byShipment[line.shiUniq].push_back(line);
        }
    }
    std::vector<InvoiceDraft::Line> lines;
    for (const auto& shipment : draft.shipments)
        if (const auto found = byShipment.find(shipment.shiUniq); found != byShipment.end())
            lines.insert(lines.end(), found->second.begin(), found->second.end());
    lines.insert(lines.end(), draft.chargeLines.begin(), draft.chargeLines.end());
    return lines;
}

// Fills INVNETWTX, DISCAVAIL and INVDUE from the invoice's lines.
void computeTotals(ViewImpl& header, const std::vector<InvoiceDraft::Line>& lines,
                   const CustomerInfo& customer)
{
    double total = 0;
    for (const auto& line : lines)
        total += line.amount;
    total = roundAmount(total);
    header.set(QStringLiteral("INVNETWTX"), total);
    header.set(QStringLiteral("DISCAVAIL"),
               roundAmount(total * discountPercent(customer.terms) / 100.0));
    header.set(QStringLiteral("INVDUE"), total);
}

struct StoredShipment
{
    int shiUniq = 0;
    int ordUniq = 0;
    QString ordNumber;
    QString customer;
    int shiDate = 0;
    int complete = 0;
    int invUniq = 0;
    QString invNumber;
};

const QByteArray StoredShipmentColumns =
    "SHIUNIQ, ORDUNIQ, ORDNUMBER, CUSTOMER, SHIDATE, COMPLETE, INVUNIQ, INVNUMBER, SHINUMBER";

StoredShipment storedShipment(const Statement& st)
{
    return StoredShipment{int(st.columnInt(0)), int(st.columnInt(1)), st.columnText(2),
                          st.columnText(3),     int(st.columnInt(4)), int(st.columnInt(5)),
                          int(st.columnInt(6)), st.columnText(7)};
}

std::optional<StoredShipment> findShipment(Database& db, const QString& shiNumber)
{
    Statement st = db.prepare("SELECT " + StoredShipmentColumns + " FROM OESHIH WHERE SHINUMBER=?");
    st.bindText(1, shiNumber);
    if (!st.step())
        return std::nullopt;
    return storedShipment(st);
}

// The stored shipments of an invoice's draft, by number (those that no longer exist missing).
std::map<QString, StoredShipment> findShipments(Database& db, const InvoiceDraft& draft)
{
    Statement st = db.prepare("SELECT " + StoredShipmentColumns + " FROM OESHIH WHERE SHINUMBER" +
                              db.dialect().inTextsOfJsonArray);
    st.bindText(1, jsonList(draft.shipments, [](const auto& s) { return s.shiNumber; }));
    std::map<QString, StoredShipment> found;
    while (st.step())
        found.emplace(st.columnText(8), storedShipment(st));
    return found;
}

// Why a shipment cannot go on an invoice for `customer` ("" when it can).
QString shipmentProblem(const std::optional<StoredShipment>& s, const QString& shiNumber,
                        const QString& customer)
{
    if (!s)
        return QStringLiteral("Shipment \"%1\" does not exist.").arg(shiNumber);
    if (s->customer.trimmed() != customer)
        return QStringLiteral("Shipment \"%1\" belongs to customer \"%2\", not to \"%3\".")
            .arg(shiNumber, s->customer.trimmed(), customer);
    if (s->invUniq != 0)
        return QStringLiteral("Shipment \"%1\" is on invoice %2 already.")
            .arg(shiNumber, s->invNumber.trimmed());
    if (s->complete >= 3)
        return QStringLiteral("Shipment \"%1\" is complete and cannot be invoiced.").arg(shiNumber);
    return {};
}

struct Batch
{
    int status = 0;
};

std::optional<Batch> findBatch(Database& db, int batchNumber)
{
    Statement st = db.prepare("SELECT BATCHSTAT FROM ARBTA WHERE CODEPYMTYP='CA' AND CNTBTCH=?");
    st.bindInt(1, batchNumber);
    if (!st.step())
        return std::nullopt;
    return Batch{int(st.columnInt(0))};
}

QString batchProblem(Database& db, int batchNumber)
{
    const auto batch = findBatch(db, batchNumber);
    if (!batch)
        return QStringLiteral("Receipt batch %1 does not exist.").arg(batchNumber);
    if (batch->status != 1)
        return QStringLiteral("Receipt batch %1 is not open; a prepayment cannot be added to it.")
            .arg(batchNumber);
    return {};
}

QVariant prepaymentValue(const InvoiceDraft& draft, const QString& field)
{
    for (const auto& [name, value] : *draft.prepayment)
        if (name == field)
            return value;
    return {};
}

void exec(Database& db, const QByteArray& sql, const QVariantList& params)
{
    Statement st = db.prepare(sql);
    for (int i = 0; i < params.size(); ++i)
        st.bind(i + 1, params[i]);
    st.exec();
}

// Invoice header ------------------------------------------------------------------------------

class InvoiceHeaderRules final : public ViewRules
{
public:
    void initRecord(ViewImpl& view) const override
    {
        view.ruleState().reset();
        view.set(QStringLiteral("INVDATE"), today());
        view.set(QStringLiteral("INRATE"), 1.0);
        view.set(QStringLiteral("INRATEREP"), 1);
        draftOf(view);
    }

    void process(ViewImpl& view) const override
    {
        if (view.hasCurrentRecord())
            view.fail(QStringLiteral("Invoice %1 has been created already and cannot be "
                                     "processed again.")
                          .arg(text(view, "INVNUMBER").trimmed()));
        const Draft draft = draftOf(view);
        const CustomerInfo customer = checkedCustomer(view);
        if (number(view, "PROCESSCMD") == 1) {
            // The customer's defaults.
            view.set(QStringLiteral("CUSTOMER"), text(view, "CUSTOMER").trimmed());
            view.set(QStringLiteral("BILNAME"), customer.name.left(60));
            view.set(QStringLiteral("INSOURCURR"), customer.currency);
            view.set(QStringLiteral("INRATE"), 1.0);
            view.set(QStringLiteral("INRATEDATE"), today());
            view.set(QStringLiteral("INRATETYPE"), QStringLiteral("SP"));
            view.set(QStringLiteral("INRATEREP"), 1);
            view.set(QStringLiteral("PROCESSCMD"), 0);
        }
        if (number(view, "INVSHIPMTS") == 1) {
            computeTotals(view, invoiceLines(view.db(), *draft), customer);
            view.set(QStringLiteral("INVSHIPMTS"), 0);
        }
    }

    bool update(ViewImpl& view) const override
    {
        view.fail(QStringLiteral("An invoice cannot be changed once it has been created."));
    }

    bool insert(ViewImpl& view) const override
    {
        if (view.hasCurrentRecord())
            view.fail(QStringLiteral("Invoice %1 has been created already.")
                          .arg(text(view, "INVNUMBER").trimmed()));
        const Draft draft = draftOf(view);
        const QVariant provisionalUniq = view.value(QStringLiteral("INVUNIQ"));
        const QVariant provisionalNumber = view.value(QStringLiteral("INVNUMBER"));
        try {
            store(view, *draft);
        } catch (...) {
            // Nothing was stored: the header keeps what the caller gave it.
            view.set(QStringLiteral("INVUNIQ"), provisionalUniq);
            view.set(QStringLiteral("INVNUMBER"), provisionalNumber);
            view.setRowId(0);
            throw;
        }
        view.core().invoiceDrafts.remove(draft->provisionalUniq);
        view.ruleState().reset();
        return true;
    }

private:
    // Everything an invoice changes, in one transaction.
    static void store(ViewImpl& view, InvoiceDraft& draft)
    {
        Database& db = view.db();
        Transaction tx(db);
        const CustomerInfo customer = checkedCustomer(view);
        const QString customerId = text(view, "CUSTOMER").trimmed();
        if (draft.shipments.empty() && draft.chargeLines.empty())
            view.fail(QStringLiteral("The invoice has no shipments and no lines; it was not "
                                     "created."));
        // Another user may have invoiced or completed a shipment since it was attached.
        const std::map<QString, StoredShipment> stored = findShipments(db, draft);
        for (const auto& shipment : draft.shipments) {
            const auto found = stored.find(shipment.shiNumber);
            const QString problem =
                shipmentProblem(found == stored.end() ? std::nullopt : std::optional(found->second),
                                shipment.shiNumber, customerId);
            if (!problem.isEmpty())
                view.fail(problem + QStringLiteral(" The invoice was not created."));
        }
        const QString approver = text(view, "APPROVEBY").trimmed();
        if (!approver.isEmpty()) {
            const QString problem =
                view.core().systemDb
                    ? creditApprovalProblem(*view.core().systemDb, view.core().siteFolder, approver,
                                            text(view, "APPPASSWRD"), view.core().companyId)
                    : QStringLiteral("the site's users cannot be read");
            if (!problem.isEmpty())
                view.fail(QStringLiteral("The credit approval by \"%1\" cannot be accepted: %2. "
                                         "The invoice was not created.")
                              .arg(approver, problem));
        }

        Statement next = db.prepare("SELECT COALESCE(MAX(INVUNIQ),0)+1 FROM OEINVH");
        next.step();
        const int invUniq = int(next.columnInt(0));
        const QString invNumber = QStringLiteral("IN%1").arg(invUniq, 7, 10, QLatin1Char('0'));
        // The lines are read once: the totals and the stored lines are of the same reading.
        const std::vector<InvoiceDraft::Line> lines = invoiceLines(db, draft);
        computeTotals(view, lines, customer);
        view.set(QStringLiteral("INVUNIQ"), invUniq);
        view.set(QStringLiteral("INVNUMBER"), invNumber);
        view.set(QStringLiteral("CUSTOMER"), customerId);
        view.set(QStringLiteral("APPROVEBY"), approver.toUpper());
        view.set(QStringLiteral("MULTISHI"),
                 draft.shipments.size() > 1 ? 1 : number(view, "MULTISHI"));

        // The prepayment receipt goes into its batch.
        double received = 0;
        if (draft.prepayment) {
            const int batch = prepaymentValue(draft, QStringLiteral("BATCHNUM")).toInt();
            const double paid = prepaymentValue(draft, QStringLiteral("RECPAMOUNT")).toDouble();
            if (batch != 0 && paid > 0) {
                if (const QString problem = batchProblem(db, batch); !problem.isEmpty())
                    view.fail(problem + QStringLiteral(" The invoice was not created."));
                received = roundAmount(paid);
                Statement item = db.prepare("SELECT COALESCE(MAX(CNTITEM),0)+1 FROM ARTCR "
                                            "WHERE CODEPYMTYP='CA' AND CNTBTCH=?");
                item.bindInt(1, batch);
                item.step();
                exec(db,
                     "INSERT INTO ARTCR (CODEPYMTYP, CNTBTCH, CNTITEM, IDCUST, IDRMIT, DATERMIT, "
                     "AMTRMIT, IDINVC, RECPTYPE, IDBANK) VALUES ('CA',?,?,?,?,?,?,?,?,?)",
                     {batch, item.columnInt(0), customerId,
                      prepaymentValue(draft, QStringLiteral("CHECKNUM")),
                      prepaymentValue(draft, QStringLiteral("RECPDATE")), received, invNumber,
                      prepaymentValue(draft, QStringLiteral("RECPTYPE")),
                      prepaymentValue(draft, QStringLiteral("BANKCODE"))});
                exec(db,
                     "UPDATE ARBTA SET CNTENTER=CNTENTER+1, AMTENTER=ROUND(AMTENTER+?,2) WHERE "
                     "CODEPYMTYP='CA' AND CNTBTCH=?",
                     {received, batch});
                view.set(QStringLiteral("INVDUE"), roundAmount(amount(view, "INVDUE") - received));
            }
            QByteArray columns, marks;
            QVariantList values;
            for (const auto& [name, value] : *draft.prepayment) {
                columns += (columns.isEmpty() ? "\"" : ",\"") + name.toLatin1() + '"';
                marks += marks.isEmpty() ? "?" : ",?";
                values << (name == QLatin1String("INVUNIQ") ? QVariant(invUniq) : value);
            }
            exec(db, "INSERT INTO OEPPAY (" + columns + ") VALUES (" + marks + ')', values);
        }

        view.insertRecord();
        int lineNumber = 0;
        for (const auto& line : lines)
            exec(db,
                 "INSERT INTO OEINVD (INVUNIQ, LINENUM, LINETYPE, ITEM, MISCCHARGE, \"DESC\", "
                 "SHIUNIQ, QTYINVC, UNITPRICE, EXTINVMISC) VALUES (?,?,?,?,?,?,?,?,?,?)",
                 {invUniq, ++lineNumber, line.lineType, line.item, line.miscCharge, line.desc,
                  line.shiUniq, line.quantity, line.unitPrice, line.amount});
        const QString orderKeys =
            jsonList(draft.shipments, [](const auto& s) { return s.ordUniq; });
        recordStateBeforeInvoice(db, invUniq, orderKeys, shipmentKeys(draft));
        if (!draft.shipments.empty()) {
            exec(db,
                 "UPDATE OESHIH SET INVUNIQ=?2, INVNUMBER=?3 WHERE INVUNIQ=0 AND SHIUNIQ" +
                     db.dialect().inIntegersOfJsonArray,
                 {shipmentKeys(draft), invUniq, invNumber});
            if (db.changes() != int(draft.shipments.size())) {
                // Which one another program took without the books' lock, for the message.
                QString taken = draft.shipments.front().shiNumber;
                for (const auto& shipment : draft.shipments)
                    if (const auto now = findShipment(db, shipment.shiNumber);
                        !now || now->invUniq != invUniq) {
                        taken = shipment.shiNumber;
                        break;
                    }
                view.fail(QStringLiteral("Shipment \"%1\" was invoiced by another user meanwhile. "
                                         "The invoice was not created.")
                              .arg(taken));
            }
            exec(db,
                 "UPDATE OEORDH SET LASTINVNUM=?2 WHERE ORDUNIQ" +
                     db.dialect().inIntegersOfJsonArray,
                 {orderKeys, invNumber});
        }
        for (const auto& shipment : draft.shipments)
            exec(db, "INSERT INTO OEINVS (INVUNIQ, SHINUMBER, SHIUNIQ, SHIDATE) VALUES (?,?,?,?)",
                 {invUniq, shipment.shiNumber, shipment.shiUniq, shipment.shiDate});
        exec(db, "UPDATE ARCUS SET AMTBALDUET=ROUND(AMTBALDUET+?,2) WHERE IDCUST=?",
             {roundAmount(amount(view, "INVNETWTX") - received), customerId});
        journal(view, draft, lines, received);
        tx.commit();
    }

    // The invoice's journal entry: the caller's decisions and what was stored, and the entry
    // of its prepayment receipt; inside the invoice's transaction, so that neither is kept
    // without the other.
    static void journal(ViewImpl& view, const InvoiceDraft& draft,
                        const std::vector<InvoiceDraft::Line>& lines, double received)
    {
        Database& db = view.db();
        const QString invNumber = text(view, "INVNUMBER");
        const QString customer = text(view, "CUSTOMER");
        QJsonObject entry = draft.decisions;
        QJsonArray shipments, orders, charges;
        double merchandise = 0;
        for (const auto& shipment : draft.shipments) {
            shipments.append(shipment.shiNumber);
            if (!orders.contains(shipment.ordNumber.trimmed()))
                orders.append(shipment.ordNumber.trimmed());
        }
        for (const auto& line : lines) {
            if (line.shiUniq != 0)
                merchandise += line.amount;
            else if (line.lineType == 2)
                charges.append(QJsonObject{{QStringLiteral("code"), line.miscCharge},
                                           {QStringLiteral("amount"), line.amount}});
        }
        entry.insert(QStringLiteral("invoice"), invNumber);
        entry.insert(QStringLiteral("customer"), customer);
        entry.insert(QStringLiteral("shipments"), shipments);
        entry.insert(QStringLiteral("orders"), orders);
        entry.insert(QStringLiteral("charges"), charges);
        entry.insert(QStringLiteral("merchandise"), roundAmount(merchandise));
        entry.insert(QStringLiteral("total"), amount(view, "INVNETWTX"));
        entry.insert(QStringLiteral("due"), amount(view, "INVDUE"));
        if (auto charge = entry.value(QStringLiteral("deliveryCharge")).toObject();
            !charge.isEmpty()) {
            // The charge's amount and the customer's flag as the books hold them now.
            Statement st = db.prepare(
                "SELECT COALESCE((SELECT AMOUNT FROM OEMISC WHERE MISCCHARGE=?1), 0), EXISTS "
                "(SELECT 1 FROM ARCUSO WHERE IDCUST=?2 AND OPTFIELD='DELCHARGE' AND "
                "VALIFBOOL<>0)");
            st.bindText(1, charge.value(QStringLiteral("code")).toString().trimmed());
            st.bindText(2, customer);
            st.step();
            charge.insert(QStringLiteral("amount"), roundAmount(st.columnDouble(0)));
            charge.insert(QStringLiteral("customerFlagged"), st.columnInt(1) != 0);
            entry.insert(QStringLiteral("deliveryCharge"), charge);
        }
        const QString user = view.core().userId;
        appendJournalEntry(db, JournalKind::Invoice, entry, user);
        if (received > 0)
            appendJournalEntry(
                db, JournalKind::Prepayment,
                {{QStringLiteral("invoice"), invNumber},
                 {QStringLiteral("customer"), customer},
                 {QStringLiteral("batch"),
                  prepaymentValue(draft, QStringLiteral("BATCHNUM")).toInt()},
                 {QStringLiteral("receipt"),
                  prepaymentValue(draft, QStringLiteral("CHECKNUM")).toString().trimmed()},
                 {QStringLiteral("amount"), received}},
                user);
    }
};

// Shipments of the invoice ("OE0427"): each insert attaches one shipment to the draft.
class InvoiceShipmentRules final : public ViewRules
{
public:
    bool insert(ViewImpl& view) const override
    {
        ViewImpl& header = headerOf(view);
        const Draft draft = draftOf(header);
        const QString customer = text(header, "CUSTOMER").trimmed();
        if (customer.isEmpty())
            view.fail(QStringLiteral("Set and process the invoice's customer before adding "
                                     "shipments."));
        const QString shiNumber = text(view, "SHINUMBER").trimmed();
        if (shiNumber.isEmpty())
            view.fail(QStringLiteral("A shipment without a number cannot be invoiced; it was left "
                                     "out."),
                      MayGoOn);
        for (const auto& s : draft->shipments)
            if (s.shiNumber == shiNumber)
                view.fail(
                    QStringLiteral("Shipment \"%1\" is on this invoice already.").arg(shiNumber),
                    MayGoOn);
        if (!draft->shipments.empty() && number(header, "MULTISHI") != 1)
            view.fail(QStringLiteral("Shipment \"%1\" was left out: set MULTISHI of the invoice "
                                     "to 1 to invoice several shipments at once.")
                          .arg(shiNumber),
                      MayGoOn);
        const auto stored = findShipment(view.db(), shiNumber);
        if (const QString problem = shipmentProblem(stored, shiNumber, customer);
            !problem.isEmpty())
            view.fail(problem + QStringLiteral(" It was left out of the invoice."), MayGoOn);
        draft->shipments.push_back(
            {stored->shiUniq, shiNumber, stored->ordUniq, stored->ordNumber, stored->shiDate});
        view.set(QStringLiteral("INVUNIQ"), draft->provisionalUniq);
        view.set(QStringLiteral("SHINUMBER"), shiNumber);
        view.set(QStringLiteral("SHIUNIQ"), stored->shiUniq);
        view.set(QStringLiteral("SHIDATE"), stored->shiDate);
        return true;
    }

    bool update(ViewImpl& view) const override
    {
        view.fail(QStringLiteral("The shipments of an invoice cannot be changed."));
    }
};

// Invoice lines ("OE0400"): miscellaneous charges (and item lines) the caller adds.
class InvoiceLineRules final : public ViewRules
{
public:
    bool insert(ViewImpl& view) const override
    {
        ViewImpl& header = headerOf(view);
        const Draft draft = draftOf(header);
        const CustomerInfo customer = checkedCustomer(header);
        InvoiceDraft::Line line;
        line.lineType = number(view, "LINETYPE");
        if (line.lineType == 2) {
            line.miscCharge = text(view, "MISCCHARGE").trimmed();
            Statement st =
                view.db().prepare("SELECT \"DESC\", AMOUNT FROM OEMISC WHERE MISCCHARGE=?");
            st.bindText(1, line.miscCharge);
            if (line.miscCharge.isEmpty() || !st.step())
                view.fail(QStringLiteral("Miscellaneous charge \"%1\" does not exist; the line was "
                                         "not added.")
                              .arg(line.miscCharge),
                          MayGoOn);
            line.desc = st.columnText(0);
            line.amount = roundAmount(st.columnDouble(1));
            line.quantity = 1;
            line.unitPrice = line.amount;
        } else if (line.lineType == 1) {
            line.item = text(view, "ITEM").trimmed();
            if (line.item.isEmpty())
                view.fail(QStringLiteral("An item line needs an item number."));
            line.desc = text(view, "DESC");
            line.quantity = amount(view, "QTYINVC");
            line.unitPrice = amount(view, "UNITPRICE");
            line.amount = roundAmount(line.quantity * line.unitPrice);
        } else {
            view.fail(QStringLiteral("Line type %1 is not known: 1 is an item line, 2 a "
                                     "miscellaneous charge.")
                          .arg(line.lineType));
        }
        draft->chargeLines.push_back(line);
        view.set(QStringLiteral("INVUNIQ"), draft->provisionalUniq);
        view.set(QStringLiteral("DESC"), line.desc);
        view.set(QStringLiteral("QTYINVC"), line.quantity);
        view.set(QStringLiteral("UNITPRICE"), line.unitPrice);
        view.set(QStringLiteral("EXTINVMISC"), line.amount);
        computeTotals(header, invoiceLines(header.db(), *draft), customer);
        return true;
    }
};

// The prepayment of an invoice ("OE0278"): kept with the invoice until it is inserted.
class PrepaymentRules final : public ViewRules
{
public:
    bool insert(ViewImpl& view) const override
    {
        const int invUniq = number(view, "INVUNIQ");
        const Draft draft = view.core().invoiceDrafts.value(invUniq).lock();
        if (!draft)
            view.fail(QStringLiteral("Invoice %1 is not being entered in this session; a "
                                     "prepayment can only be added to an invoice before it is "
                                     "created.")
                          .arg(invUniq));
        if (draft->prepayment)
            view.fail(QStringLiteral("The invoice has a prepayment already."));
        const int batch = number(view, "BATCHNUM");
        if (batch != 0)
            if (const QString problem = batchProblem(view.db(), batch); !problem.isEmpty())
                view.fail(problem);
        const double due = amount(view, "AMOUNTDUE");
        if (amount(view, "RECPAMOUNT") > due + 0.005)
            view.fail(QStringLiteral("The prepayment of %1 is more than the %2 due on the "
                                     "invoice.")
                          .arg(amount(view, "RECPAMOUNT"), 0, 'f', 2)
                          .arg(due, 0, 'f', 2));
        std::vector<std::pair<QString, QVariant>> values;
        for (int i : view.def().storedFields)
            values.emplace_back(view.def().fields[i].column, view.value(view.def().fields[i].name));
        draft->prepayment = std::move(values);
        return true;
    }
};

// The journal ("TM0001"): an entry with INVUNIQ set goes with the invoice being entered and
// is written in the invoice's transaction; any other is written at once in one of its own.
class JournalRules final : public ViewRules
{
public:
    bool insert(ViewImpl& view) const override
    {
        const QString kind = text(view, "KIND").trimmed();
        if (kind.isEmpty())
            view.fail(QStringLiteral("A journal entry needs its kind."));
        const QJsonDocument body = QJsonDocument::fromJson(text(view, "BODY").toUtf8());
        if (!body.isObject())
            view.fail(QStringLiteral("The body of a journal entry must be a JSON object."));
        if (const int invUniq = number(view, "INVUNIQ"); invUniq != 0) {
            const Draft draft = view.core().invoiceDrafts.value(invUniq).lock();
            if (!draft || kind != JournalKind::Invoice)
                view.fail(QStringLiteral("Only the entry of kind \"%1\" goes with an invoice, "
                                         "and only before the invoice is created.")
                              .arg(JournalKind::Invoice));
            draft->decisions = body.object();
            return true;
        }
        if (kind == JournalKind::Invoice || kind == JournalKind::Prepayment)
            view.fail(
                QStringLiteral("An entry of kind \"%1\" is written with its invoice.").arg(kind));
        Transaction tx(view.db());
        const JournalEntry entry =
            appendJournalEntry(view.db(), kind, body.object(), view.core().userId);
        tx.commit();
        view.set(QStringLiteral("SEQ"), entry.seq);
        view.set(QStringLiteral("ENTRYTIME"), entry.time);
        view.set(QStringLiteral("HASH"), entry.hash);
        return true;
    }

    bool update(ViewImpl& view) const override
    {
        view.fail(QStringLiteral("Journal entries cannot be changed."));
    }
};

// Order and shipment lines: the completion routines test and write the current line even
// when their selection was empty; a blank record is no line, so there is nothing to write.
class CompletionLineRules final : public ViewRules
{
public:
    bool update(ViewImpl& view) const override { return !view.hasCurrentRecord(); }
};

} // namespace

const ViewRules* orderEntryRules(const QString& viewId)
{
    static const InvoiceHeaderRules header;
    static const InvoiceShipmentRules shipments;
    static const InvoiceLineRules lines;
    static const PrepaymentRules prepayment;
    static const CompletionLineRules completionLines;
    static const JournalRules journal;
    static const QHash<QString, const ViewRules*> rules = {
        {QStringLiteral("OE0420"), &header},          {QStringLiteral("OE0427"), &shipments},
        {QStringLiteral("OE0400"), &lines},           {QStringLiteral("OE0278"), &prepayment},
        {QStringLiteral("OE0500"), &completionLines}, {QStringLiteral("OE0691"), &completionLines},
        {QLatin1String(JournalViewId), &journal},
    };
    return rules.value(viewId);
}

} // namespace Accpac
