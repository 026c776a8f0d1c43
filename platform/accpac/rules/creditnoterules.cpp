#include "creditnoterules.h"

#include "invoicerelease.h"
#include "journal.h"
#include "oerules.h"
#include "rights.h"
#include "viewimpl.h"
#include "viewrules.h"

#include <QDate>
#include <QHash>
#include <QJsonArray>

namespace Accpac {

namespace {

struct InvoiceToReverse
{
    int invUniq = 0;
    QString customer;
    QString billTo;
    int invDate = 0;
    double total = 0;
};

struct Line
{
    int lineNumber = 0;
    int lineType = 0;
    QString item;
    QString miscCharge;
    QString desc;
    int shiUniq = 0;
    double quantity = 0;
    double unitPrice = 0;
    double amount = 0;
};

std::vector<Line> invoiceLines(Database& db, int invUniq)
{
    Statement st = db.prepare("SELECT LINENUM, LINETYPE, ITEM, MISCCHARGE, \"DESC\", SHIUNIQ, "
                              "QTYINVC, UNITPRICE, EXTINVMISC FROM OEINVD WHERE INVUNIQ=? "
                              "ORDER BY LINENUM");
    st.bindInt(1, invUniq);
    std::vector<Line> lines;
    while (st.step())
        lines.push_back({int(st.columnInt(0)), int(st.columnInt(1)), st.columnText(2),
                         st.columnText(3), st.columnText(4), int(st.columnInt(5)),
                         st.columnDouble(6), st.columnDouble(7), st.columnDouble(8)});
    return lines;
}

// The credit note header ("OE0240"): the caller gives INVNUMBER, and RELEASE 1 when the
// invoice's shipments are to be invoiced again, and inserts; the rules write the whole credit
// note in one transaction, or nothing.
class CreditNoteHeaderRules final : public ViewRules
{
public:
    void initRecord(ViewImpl& view) const override
    {
        const QDate d = QDate::currentDate();
        view.set(QStringLiteral("CRDDATE"), d.year() * 10000 + d.month() * 100 + d.day());
    }

    bool insert(ViewImpl& view) const override
    {
        if (view.hasCurrentRecord())
            view.fail(QStringLiteral("Credit note %1 has been created already.")
                          .arg(view.value(QStringLiteral("CRDNUMBER")).toString().trimmed()));
        try {
            store(view);
        } catch (...) {
            // Nothing was stored: the record keeps only what the caller gave it, so that a
            // try run again starts from it.
            for (const char* field : {"CRDUNIQ", "INVUNIQ"})
                view.set(QLatin1String(field), 0);
            for (const char* field : {"CRDNUMBER", "CUSTOMER", "BILNAME"})
                view.set(QLatin1String(field), QString());
            view.setRowId(0);
            throw;
        }
        return true;
    }

    bool update(ViewImpl& view) const override
    {
        view.fail(QStringLiteral("A credit note cannot be changed once it has been created."));
    }

private:
    static void store(ViewImpl& view)
    {
        Database& db = view.db();
        const QString invNumber =
            view.value(QStringLiteral("INVNUMBER")).toString().trimmed().toUpper();
        if (invNumber.isEmpty())
            view.fail(QStringLiteral("Enter the number of the invoice to reverse."));
        const QString user = view.core().userId;
        const QString company = view.core().companyId.trimmed().toUpper();
        if (!holdsCreditApprovalRight(*view.core().systemDb, user, company))
            view.fail(QStringLiteral("User %1 may not reverse invoices in company %2: only a "
                                     "user who may approve credit can.")
                          .arg(user, company));
        Transaction tx(db);
        const InvoiceToReverse invoice = findInvoice(view, invNumber, company);
        const bool release = view.value(QStringLiteral("RELEASE")).toInt() != 0;
        if (release)
            if (const QString problem = releaseProblem(db, invoice.invUniq, invNumber);
                !problem.isEmpty())
                view.fail(problem);
        Statement next = db.prepare("SELECT COALESCE(MAX(CRDUNIQ),0)+1 FROM OECRDH");
        next.step();
        const int crdUniq = int(next.columnInt(0));
        const QString crdNumber = QStringLiteral("CN%1").arg(crdUniq, 7, 10, QLatin1Char('0'));
        // A prepayment receipt stays what it is, a payment on the customer's account.
        Statement receipts = db.prepare("SELECT COALESCE(SUM(AMTRMIT),0) FROM ARTCR WHERE "
                                        "CODEPYMTYP='CA' AND IDINVC=?");
        receipts.bindText(1, invNumber);
        receipts.step();
        const double onAccount = roundAmount(receipts.columnDouble(0));

        view.set(QStringLiteral("CRDUNIQ"), crdUniq);
        view.set(QStringLiteral("CRDNUMBER"), crdNumber);
        view.set(QStringLiteral("INVUNIQ"), invoice.invUniq);
        view.set(QStringLiteral("INVNUMBER"), invNumber);
        view.set(QStringLiteral("CUSTOMER"), invoice.customer);
        view.set(QStringLiteral("BILNAME"), invoice.billTo);
        view.set(QStringLiteral("INVDATE"), invoice.invDate);
        view.set(QStringLiteral("CRDNETWTX"), invoice.total);
        view.set(QStringLiteral("ONACCOUNT"), onAccount);
        view.insertRecord();

        QJsonArray shipments;
        for (const Line& line : invoiceLines(db, invoice.invUniq)) {
            Statement st = db.prepare(
                "INSERT INTO OECRDD (CRDUNIQ, LINENUM, LINETYPE, ITEM, MISCCHARGE, \"DESC\", "
                "SHIUNIQ, QTYCRDT, UNITPRICE, EXTCRDMISC) VALUES (?,?,?,?,?,?,?,?,?,?)");
            const QVariantList values = {
                crdUniq,   line.lineNumber, line.lineType, line.item,      line.miscCharge,
                line.desc, line.shiUniq,    line.quantity, line.unitPrice, line.amount};
            for (int i = 0; i < values.size(); ++i)
                st.bind(i + 1, values[i]);
            st.exec();
        }
        {
            Statement st = db.prepare("SELECT SHINUMBER FROM OEINVS WHERE INVUNIQ=? ORDER BY "
                                      "SHINUMBER");
            st.bindInt(1, invoice.invUniq);
            while (st.step())
                shipments.append(st.columnText(0).trimmed());
        }
        Statement balance =
            db.prepare("UPDATE ARCUS SET AMTBALDUET=ROUND(AMTBALDUET-?,2) WHERE IDCUST=?");
        balance.bind(1, invoice.total);
        balance.bindText(2, invoice.customer);
        balance.exec();
        if (db.changes() != 1)
            view.fail(QStringLiteral("Customer %1 of invoice %2 does not exist in Accounts "
                                     "Receivable; the invoice was not reversed.")
                          .arg(invoice.customer, invNumber));
        if (release)
            releaseShipments(db, invoice.invUniq);
        appendJournalEntry(db, JournalKind::CreditNote,
                           {{QStringLiteral("creditNote"), crdNumber},
                            {QStringLiteral("invoice"), invNumber},
                            {QStringLiteral("customer"), invoice.customer},
                            {QStringLiteral("shipments"), shipments},
                            {QStringLiteral("total"), invoice.total},
                            {QStringLiteral("onAccount"), onAccount},
                            {QStringLiteral("released"), release}},
                           user);
        tx.commit();
    }

    // The invoice to reverse, refused when it does not exist or has been reversed already.
    static InvoiceToReverse findInvoice(ViewImpl& view, const QString& invNumber,
                                        const QString& company)
    {
        Database& db = view.db();
        InvoiceToReverse invoice;
        {
            Statement st = db.prepare("SELECT INVUNIQ, CUSTOMER, BILNAME, INVDATE, INVNETWTX "
                                      "FROM OEINVH WHERE INVNUMBER=?");
            st.bindText(1, invNumber);
            if (!st.step())
                view.fail(QStringLiteral("Invoice %1 does not exist in company %2.")
                              .arg(invNumber, company));
            invoice = {int(st.columnInt(0)), st.columnText(1).trimmed(), st.columnText(2),
                       int(st.columnInt(3)), roundAmount(st.columnDouble(4))};
        }
        Statement st = db.prepare("SELECT CRDNUMBER FROM OECRDH WHERE INVUNIQ=?");
        st.bindInt(1, invoice.invUniq);
        if (st.step())
            view.fail(QStringLiteral("Invoice %1 was reversed already by credit note %2; it "
                                     "cannot be reversed again.")
                          .arg(invNumber, st.columnText(0).trimmed()));
        return invoice;
    }
};

// Credit note lines ("OE0220") are written with their header only.
class CreditNoteLineRules final : public ViewRules
{
public:
    bool insert(ViewImpl& view) const override
    {
        view.fail(QStringLiteral("The lines of a credit note are those of its invoice; they are "
                                 "written when the credit note is inserted."));
    }

    bool update(ViewImpl& view) const override
    {
        view.fail(QStringLiteral("A credit note cannot be changed once it has been created."));
    }
};

} // namespace

const ViewRules* creditNoteRules(const QString& viewId)
{
    static const CreditNoteHeaderRules header;
    static const CreditNoteLineRules lines;
    static const QHash<QString, const ViewRules*> rules = {
        {QStringLiteral("OE0240"), &header},
        {QStringLiteral("OE0220"), &lines},
    };
    return rules.value(viewId);
}

} // namespace Accpac
