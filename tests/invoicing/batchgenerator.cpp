// The randomized grids of the batch runs and the batch rules worked out on their plain rows:
// the oracle the seeds are checked against.
#include "batchgenerator.h"

#include <QRandomGenerator>

#include <algorithm>
#include <map>

namespace BatchGenerator {

using BatchTesting::Row;

namespace {

// The sample company's customers, and whether it flags them for the delivery charge (the
// seed's check reads the flags from the company itself); the generator takes 1 to 20.
struct SampleCustomer
{
    const char* id;
    bool flagged;
};
const SampleCustomer SampleCustomers[] = {
    {"1100", true},  {"1105", false}, {"1200", true},  {"1210", false}, {"1300", true},
    {"1310", false}, {"1400", true},  {"1410", false}, {"1420", false}, {"1500", true},
    {"1510", false}, {"1600", true},  {"1610", false}, {"1700", false}, {"1800", true},
    {"1810", false}, {"1820", true},  {"1830", false}, {"1840", false}, {"1850", true}};

QString separatorText(const QString& setting)
{
    if (setting == QLatin1String("0"))
        return QStringLiteral("-");
    if (setting == QLatin1String("1"))
        return QStringLiteral(" ");
    if (setting == QLatin1String("2"))
        return QStringLiteral("_");
    return {};
}

class Generator
{
public:
    explicit Generator(std::uint32_t seed) : m_random(seed) { m_run.seed = seed; }

    GeneratedRun make()
    {
        chooseSettings();
        chooseCustomers();
        for (const CustomerTerms& customer : m_run.customers)
            addOrdersOf(customer.id);
        std::sort(m_run.rows.begin(), m_run.rows.end(),
                  [](const GeneratedRow& a, const GeneratedRow& b) {
                      return a.row.order.toUtf8() < b.row.order.toUtf8();
                  });
        tickSomeRows();
        failSomeEarlierRun();
        static const char* const locales[] = {"en_US", "de_DE", "fr_FR"};
        m_run.locale = QString::fromLatin1(locales[below(3)]);
        if (chance(30))
            for (int n = 1 + below(2); n > 0; --n)
                m_run.partlyInvoiced << QStringLiteral("P%1").arg(n, 3, 10, QLatin1Char('0'));
        return m_run;
    }

private:
    int below(int n) { return int(m_random.bounded(n)); }
    bool chance(int percent) { return below(100) < percent; }

    void chooseSettings()
    {
        static const char* const separators[] = {"0", "1", "2", "0", "1", "2", "7"};
        m_run.settings.separator = QString::fromLatin1(separators[below(7)]);
        m_run.settings.orderNum = chance(60) ? QStringLiteral("1") : QStringLiteral("0");
        m_run.settings.invComplete = chance(50) ? QStringLiteral("1") : QStringLiteral("0");
        m_run.settings.batchOption = chance(35) ? 2 : 1;
        m_run.deliveryCharge = chance(75);
        m_separator = separatorText(m_run.settings.separator);
    }

    void chooseCustomers()
    {
        QList<QString> all;
        for (const SampleCustomer& customer : SampleCustomers)
            all << QString::fromLatin1(customer.id);
        std::shuffle(all.begin(), all.end(), m_random);
        const int count = chance(50) ? 1 + below(4) : 1 + below(20);
        for (int c = 0; c < count; ++c) {
            CustomerTerms terms;
            terms.id = all[c];
            // Some customers are left with little credit (up to 120.00 above their balance):
            // some of their invoices need approval.
            terms.limitCents = chance(35) ? below(12000) : -1;
            m_run.customers << terms;
        }
    }

    Row row(const QString& order, const QString& customer)
    {
        Row r;
        r.order = order;
        r.customer = customer;
        r.today = chance(65);
        return r;
    }

    qint64 amount()
    {
        // Pairs of these add up to exactly 100.00, which single precision overshoots.
        static const qint64 awkward[] = {1234, 8766, 3333, 6667, 4999, 5001, 10000, 1};
        const int kind = below(10);
        if (kind == 0)
            return 0;
        if (kind == 1)
            return awkward[below(8)];
        if (kind <= 5)
            return 1 + below(12000); // around the delivery charge's limit of 100.00
        return 10000 + below(290000);
    }

    void addRow(Row r, bool withShipment)
    {
        GeneratedRow generated;
        if (chance(12))
            r.shipVia = QStringLiteral("1"); // a cash sale
        if (withShipment) {
            if (!m_newShipmentUsed && chance(4)) {
                m_newShipmentUsed = true;
                r.shipment = NewShipment;
            } else {
                r.shipment = QStringLiteral("SH%1").arg(++m_shipments, 4, 10, QLatin1Char('0'));
                generated.cents = amount();
            }
            r.amount = double(generated.cents) / 100.0;
        }
        generated.row = r;
        m_run.rows << generated;
    }

    // One to three base orders, each a plain order or one to three revisions; some orders
    // have no shipment yet.
    void addOrdersOf(const QString& customer)
    {
        const int bases = 1 + below(3);
        for (int b = 0; b < bases; ++b) {
            const QString base =
                QStringLiteral("K%1").arg(++m_bases * 7 + below(7), 3, 10, QLatin1Char('0'));
            if (m_separator.isEmpty() ? chance(40) : chance(35)) {
                addRow(row(base, customer), !chance(12));
                continue;
            }
            const int revisions = 1 + below(3);
            for (int n = 1; n <= revisions; ++n) {
                // Now and then a revision written with another separator than the setting's.
                QString separator = m_separator.isEmpty() ? QStringLiteral("-") : m_separator;
                if (chance(8))
                    separator =
                        separator == QLatin1String("-") ? QStringLiteral("_") : QStringLiteral("-");
                addRow(row(base + separator + QString::number(n), customer), !chance(15));
            }
        }
    }

    // Sometimes the user ticked some shipment rows of one customer before the run, and
    // entered a prepayment for them.
    void tickSomeRows()
    {
        if (!chance(40))
            return;
        // Mostly a customer flagged for the delivery charge, whose small invoices the window
        // must decide on.
        QList<QString> flagged;
        for (const CustomerTerms& terms : m_run.customers)
            if (flaggedInSample(terms.id))
                flagged << terms.id;
        const QString customer = !flagged.isEmpty() && chance(70)
                                     ? flagged[below(int(flagged.size()))]
                                     : m_run.customers[below(int(m_run.customers.size()))].id;
        QList<int> candidates;
        for (int i = 0; i < m_run.rows.size(); ++i) {
            if (m_run.rows[i].row.customer == customer && !m_run.rows[i].row.shipment.isEmpty())
                candidates << i;
        }
        QList<int> ticked;
        for (const int i : candidates) {
            if (chance(70) && m_run.rows[i].row.shipment != NewShipment) {
                m_run.rows[i].tickedBefore = true;
                ticked << i;
            }
        }
        // Often the clerk's ticks make a small invoice: half the time exactly 100.00 (12.34 +
        // 87.66, which single precision overshoots) with the charge switched on and no cash
        // sale among the ticks, so that only the total decides; else 55.55 with a cash sale
        // ticked first, so that only the cash sale decides.
        if (ticked.size() >= 2 && chance(70)) {
            const bool hundred = chance(50);
            const qint64 pair[] = {1234, hundred ? 8766 : 4321};
            for (int n = 0; n < ticked.size(); ++n) {
                GeneratedRow& row = m_run.rows[ticked[n]];
                row.cents = n < 2 ? pair[n] : 0;
                row.row.amount = double(row.cents) / 100.0;
                row.row.shipVia = n == 0 && !hundred ? QStringLiteral("1") : QStringLiteral("9");
            }
            m_run.deliveryCharge = m_run.deliveryCharge || hundred;
        }
        const bool anyTicked = std::any_of(m_run.rows.begin(), m_run.rows.end(),
                                           [](const GeneratedRow& r) { return r.tickedBefore; });
        m_run.prepayment = anyTicked && chance(50);
        // The prepayment window is open beside the clerk's ticks while the run goes on.
        if (anyTicked && chance(60))
            m_run.atPauses = GeneratedRun::AtPauses(1 + below(3));
    }

    // Sometimes an earlier run ended in an error: a date that does not convert.
    void failSomeEarlierRun()
    {
        if (!chance(15))
            return;
        QList<int> shipments;
        for (int i = 0; i < m_run.rows.size(); ++i) {
            const QString& shipment = m_run.rows[i].row.shipment;
            if (!shipment.isEmpty() && shipment != NewShipment && !m_run.rows[i].tickedBefore)
                shipments << i;
        }
        if (shipments.isEmpty())
            return;
        m_run.failedEarlierAt = shipments[below(int(shipments.size()))];
        // Often nothing after it is dated today, so that the next run may create nothing.
        if (chance(50)) {
            m_run.settings.batchOption = 2;
            for (int i = m_run.failedEarlierAt + 1; i < m_run.rows.size(); ++i)
                m_run.rows[i].row.today = false;
        }
    }

    QRandomGenerator m_random;
    GeneratedRun m_run;
    QString m_separator;
    int m_shipments = 0;
    int m_bases = 0;
    bool m_newShipmentUsed = false;
};

// --- The batch rules on the plain rows -----------------------------------------------------

class Rules
{
public:
    Rules(const GeneratedRun& run, int stopAt)
        : m_run(run), m_separator(separatorText(run.settings.separator)),
          m_revisions(run.settings.orderNum == QLatin1String("1")),
          m_together(run.settings.invComplete == QLatin1String("1")),
          m_onlyToday(run.settings.batchOption == 2), m_stopAt(stopAt)
    {
        for (const GeneratedRow& row : run.rows)
            m_checked << row.tickedBefore;
    }

    // The invoices as lists of row indexes (from 0), in the order they are made.
    QList<QList<int>> invoices()
    {
        for (int r = 0; r < rows(); ++r) {
            if (r == m_stopAt && m_onlyToday && isShipment(r))
                return m_invoices; // the date does not convert: the run ends here
            if (isShipment(r))
                shipmentTurn(r);
            else
                noShipmentTurn(r);
        }
        if (m_revisions)
            secondPass();
        return m_invoices;
    }

private:
    int rows() const { return int(m_run.rows.size()); }
    const Row& at(int r) const { return m_run.rows[r].row; }
    QString customer(int r) const { return at(r).customer; }
    QString order(int r) const { return at(r).order; }
    // A shipment still being entered is no shipment to invoice.
    bool isShipment(int r) const
    {
        return !at(r).shipment.isEmpty() && at(r).shipment != NewShipment;
    }
    bool suffixed(int r) const
    {
        return m_separator.isEmpty() ? !order(r).isEmpty() : order(r).contains(m_separator);
    }
    QString base(int r) const
    {
        return m_separator.isEmpty() ? QString() : order(r).section(m_separator, 0, 0);
    }
    bool revisionOf(int r, const QString& b) const { return suffixed(r) && base(r) == b; }

    void invoice(const QList<int>& list)
    {
        m_invoices << list;
        m_given += list;
    }

    void shipmentTurn(int r)
    {
        if (m_onlyToday && !at(r).today)
            return;
        if (m_checked[r])
            return;
        if (!suffixed(r) || !m_revisions) {
            const bool byShipment = suffixed(r);
            m_customer = customer(r);
            m_order = order(r);
            m_base = byShipment ? base(r) : order(r);
            m_checked[r] = true;
            invoice({r});
            for (int j = 0; j < rows(); ++j) {
                if (customer(j) != m_customer || !isShipment(j) || m_checked[j])
                    continue;
                if (byShipment ? at(j).shipment == at(r).shipment : order(j) == m_order)
                    continue;
                m_checked[j] = true;
                invoice({j});
            }
            return;
        }
        m_customer = customer(r);
        m_order = order(r);
        m_base = base(r);
        for (int j = 0; j < rows(); ++j) {
            if (customer(j) != m_customer || !isShipment(j) || !suffixed(j))
                continue;
            if (order(j) != m_order) {
                if (base(j) == m_base && !m_reserved.contains(r))
                    m_checked[j] = true;
                continue;
            }
            if (baseReserved()) {
                if (m_together)
                    reserve(m_customer, m_base);
                continue;
            }
            m_checked[r] = true;
        }
    }

    bool baseReserved() const
    {
        return std::any_of(m_reserved.begin(), m_reserved.end(),
                           [&](int k) { return order(k).left(m_base.size()) == m_base; });
    }

    void reserve(const QString& who, const QString& b)
    {
        for (int k = 0; k < rows(); ++k) {
            if (customer(k) == who && revisionOf(k, b))
                m_reserved << k;
        }
    }

    void noShipmentTurn(int r)
    {
        if (m_together) {
            m_reserved << r;
            reserve(customer(r), m_base);
        }
        if (customer(r) != m_customer || !suffixed(r))
            return;
        if (!m_revisions || !m_together || m_checked[r])
            return;
        m_reserved << r;
        for (int k = 0; k < rows(); ++k) {
            if (customer(k) == m_customer && revisionOf(k, m_base) && m_checked[k]) {
                m_checked[k] = false;
                m_reserved << k;
            }
        }
    }

    void secondPass()
    {
        for (int r = 0; r < rows(); ++r) {
            if (!suffixed(r) || !m_checked[r] || !isShipment(r) || m_given.contains(r))
                continue;
            QList<int> list{r};
            m_given << r;
            if (m_together) {
                for (int k = 0; k < rows(); ++k) {
                    if (customer(k) == customer(r) && revisionOf(k, base(r)) &&
                        order(k) != order(r) && m_checked[k] && isShipment(k) &&
                        !m_given.contains(k)) {
                        list << k;
                        m_given << k;
                    }
                }
            }
            m_invoices << list;
        }
    }

    const GeneratedRun& m_run;
    const QString m_separator;
    const bool m_revisions;
    const bool m_together;
    const bool m_onlyToday;
    const int m_stopAt;
    QList<bool> m_checked;
    QList<int> m_reserved;
    QList<int> m_given;
    QList<QList<int>> m_invoices;
    QString m_customer;
    QString m_order;
    QString m_base;
};

} // namespace

bool flaggedInSample(const QString& customer)
{
    return std::any_of(std::begin(SampleCustomers), std::end(SampleCustomers),
                       [&](const SampleCustomer& c) { return c.flagged && customer == c.id; });
}

GeneratedRun generate(std::uint32_t seed)
{
    return Generator(seed).make();
}

QString describe(const ExpectedInvoice& invoice)
{
    return QStringLiteral("%1 [%2] %3%4%5")
        .arg(invoice.customer, invoice.shipments.join(u','), money(invoice.cents),
             invoice.deliveryCharge ? QStringLiteral(" +charge") : QString(),
             invoice.creditApproval ? QStringLiteral(" +approval") : QString());
}

// The invoices of the given rows with their charge and approval marks; each invoice adds
// its net, charge line included, to the customer's balance.
QList<ExpectedInvoice> priced(const GeneratedRun& run, const QList<QList<int>>& invoices,
                              qint64 chargeCents, Terms& terms)
{
    QList<ExpectedInvoice> list;
    for (const QList<int>& rows : invoices) {
        ExpectedInvoice invoice;
        invoice.customer = run.rows[rows.first()].row.customer;
        bool cashSale = false;
        for (const int r : rows) {
            invoice.shipments << run.rows[r].row.shipment;
            invoice.cents += run.rows[r].cents;
            cashSale = cashSale || run.rows[r].row.shipVia == QLatin1String("1");
        }
        invoice.shipments.sort();
        CustomerTerms& customer = terms[invoice.customer];
        // The charge: feature on, customer flagged, 0 < total <= 100.00 in cents, and no
        // cash sale among the invoice's shipments.
        invoice.deliveryCharge = run.deliveryCharge && customer.flagged && !cashSale &&
                                 invoice.cents > 0 && invoice.cents <= 10000;
        invoice.creditApproval = customer.limitCents - customer.balanceCents - invoice.cents < 0;
        customer.balanceCents += invoice.cents + (invoice.deliveryCharge ? chargeCents : 0);
        list << invoice;
    }
    return list;
}

Terms termsOf(const GeneratedRun& run)
{
    Terms terms;
    for (const CustomerTerms& t : run.customers)
        terms[t.id] = t;
    return terms;
}

QList<QList<int>> invoicedRows(const GeneratedRun& run, int stopAt)
{
    return Rules(run, stopAt).invoices();
}

QString money(qint64 cents)
{
    return QString::number(double(cents) / 100.0, 'f', 2);
}

QList<ExpectedInvoice> invoicesByTheRules(const GeneratedRun& run, qint64 chargeCents, int stopAt)
{
    Terms terms = termsOf(run);
    return priced(run, Rules(run, stopAt).invoices(), chargeCents, terms);
}

} // namespace BatchGenerator
