#include <invoicing/invoicecommands.h>

#include "batchrun.h"
#include "journalentry.h"
#include <invoicing/ordercompletion.h>

#include <core/appstate.h>
#include <core/busy.h>
#include <core/lookups.h>
#include <core/reporters.h>
#include <core/session.h>
#include <core/text.h>
#include <settings/settings.h>

#include <system/comerror.h>

#include <accpac/view.h>

#include <QDate>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>

#include <utility>

#include <limits>
#include <map>

// The batch invoice run: the whole order grid becomes invoices without the user ticking rows.
// A first pass walks the grid and invoices each customer's shipments, or, when order numbers
// carry a revision suffix, ticks the revisions of each base order; a second pass then invoices
// the ticked revisions, together or one by one. Rows are ticked through the grid's own click
// rule and every invoice is made by the Invoice command in BatchMode.

namespace {

using RowList = QList<std::int16_t>;

// The separator between an order number's base and its revision suffix.
QString orderSeparator()
{
    switch (Setting::toInteger(Setting::read(Setting::OrderSeparator))) {
    case 0:
        return QStringLiteral("-");
    case 1:
        return QStringLiteral(" ");
    case 2:
        return QStringLiteral("_");
    default:
        return {};
    }
}

// "OrderNum" and "InvComplete" are read afresh at each use: 1 switches the rule on.
bool orderNumbersHaveRevisions()
{
    return Setting::toNumber(Setting::read(Setting::OrderNum)) == 1;
}

bool revisionsShareInvoice()
{
    return Setting::toNumber(Setting::read(Setting::InvComplete)) == 1;
}

// The shipments the window's batch runs have invoiced. A run clears the ticks of the rows it
// invoiced, and the rows stay listed until the next load: later runs pass over them as they
// pass over ticked rows. A shipment once invoiced is never invoiced again, so the list needs
// no clearing; it lives with the window.
const char* const InvoicedByBatch = "invoicedByBatch";

// Grid row numbers are kept as 16-bit numbers, as BatchRows holds them.
std::int16_t rowNumber(int row)
{
    if (row > std::numeric_limits<std::int16_t>::max())
        throw ComError(ComErrorNumber::Overflow, QStringLiteral("Overflow"));
    return std::int16_t(row);
}

class BatchRun
{
public:
    BatchRun(BillingDesk& desk, InvoiceSink& sink)
        : m_desk(desk), m_grid(desk.orderGrid()), m_sink(sink), m_separator(orderSeparator()),
          m_invoicedEarlier(desk.deskWindow()->property(InvoicedByBatch).toStringList())
    {
    }

    // First pass: each row in turn, as the current row at the start and the end of its turn.
    void firstPass()
    {
        for (int r = 1; r < m_grid->Rows(); ++r) {
            makeCurrent(r);
            if (isShipmentRow(r))
                shipmentRowTurn(r);
            else
                rowWithoutShipmentTurn(r);
            makeCurrent(r);
            yield();
        }
    }

    // Second pass, only for order numbers with revisions: every ticked revision not yet on an
    // invoice of this run is invoiced, with the other ticked revisions of its base order when
    // those share an invoice.
    void secondPass()
    {
        if (!orderNumbersHaveRevisions())
            return;
        for (int r = 1; r < m_grid->Rows(); ++r) {
            makeCurrent(r);
            if (!isSuffixed(r) || !isShipmentRow(r) || !showsChecked(r) ||
                m_invoicedRows.contains(rowNumber(r)))
                continue;
            emptySelection();
            m_desk.setSelCustomer(customerOf(r));
            remember(r, baseOf(r));
            RowList rows{rowNumber(r)};
            m_invoicedRows.append(rowNumber(r));
            if (revisionsShareInvoice())
                rows += otherTickedRevisions();
            invoice(rows, revisionsRule(rows));
            emptySelection();
            yield();
        }
    }

private:
    // --- Terms, from the grid's order rows ------------------------------------------------
    const OrderRow& rowAt(int row) const { return m_grid->orderRow(row); }
    QString orderOf(int row) const { return rowAt(row).order; }
    QString shipmentOf(int row) const { return rowAt(row).shipment; }
    QString customerOf(int row) const { return rowAt(row).customer; }

    // A shipment still being entered has no amount yet: it is no shipment to invoice, and
    // the run and its preview treat its row as an order without a shipment.
    bool isShipmentRow(int row) const
    {
        const QString shipment = shipmentOf(row);
        return !shipment.isEmpty() && shipment != OrderRow::NewShipment;
    }

    // The position of the separator in the order number, -1 when it has none. An empty
    // separator is found at the first position of every order number.
    qsizetype separatorAt(int row) const
    {
        const QString order = orderOf(row);
        if (m_separator.isEmpty())
            return order.isEmpty() ? -1 : 0;
        return order.indexOf(m_separator);
    }
    bool isSuffixed(int row) const { return separatorAt(row) >= 0; }
    QString baseOf(int row) const { return orderOf(row).left(separatorAt(row)); }
    bool isRevisionOf(int row, const QString& base) const
    {
        return isSuffixed(row) && baseOf(row) == base;
    }

    bool invoicedEarlier(int row) const { return m_invoicedEarlier.contains(shipmentOf(row)); }

    bool isDatedToday(int row) const
    {
        const QDate date = rowAt(row).transferDate;
        if (!date.isValid())
            throw ComError(ComErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
        return date == QDate::currentDate();
    }

    // --- Grid operations ----------------------------------------------------------------
    void yield()
    {
        if (m_sink.yields())
            m_doEvents.paced();
    }

    void makeCurrent(int row) { m_grid->setRow(row); }

    bool showsChecked(int row) const { return m_grid->isChecked(row); }

    // Through the grid's click rule, which toggles the picture and keeps the selection.
    void tick(int row)
    {
        makeCurrent(row);
        m_grid->setCol(0);
        m_desk.flgMain_Click();
    }

    // Each invoice's delivery charge is decided from its own rows and customer: no clerk
    // can choose "Omit" in a run, so an invoice that qualifies gets the line.
    void invoice(const RowList& rows, const QString& rule)
    {
        m_desk.setDelChargeApply(
            Invoicing::deliveryChargeFor(m_desk, Text::trim(m_desk.selCustomer()),
                                         Invoicing::invoiceFacts(*m_grid, rows)) ==
            Books::DeliveryChargeOutcome::On);
        m_sink.invoice(rows, rule);
        yield();
    }

    QString revisionsRule(const RowList& rows) const
    {
        if (rows.size() == 1)
            return QStringLiteral("revision %1 alone").arg(orderOf(rows.first()));
        QStringList orders;
        for (const std::int16_t row : rows)
            orders << orderOf(row);
        const QString last = orders.takeLast();
        return QStringLiteral("revisions %1 and %2 of base order %3 together")
            .arg(orders.join(QStringLiteral(", ")), last, m_rememberedBase);
    }

    void invoiceAlone(int row)
    {
        m_invoicedRows.append(rowNumber(row));
        invoice({rowNumber(row)}, QStringLiteral("one shipment alone"));
    }

    // The selection is emptied around each group, so that the click rule accepts the next
    // customer. The total goes with it.
    void emptySelection() { m_desk.emptySelection(); }

    void remember(int row, const QString& base)
    {
        m_rememberedCustomer = customerOf(row);
        m_rememberedOrder = orderOf(row);
        m_rememberedBase = base;
    }

    // --- First pass, a shipment row ------------------------------------------------------
    void shipmentRowTurn(int r)
    {
        // Case 1.1: with "only shipments dated today", other dates have no turn.
        if (modGeneral::BatchOption == 2 && !isDatedToday(r)) {
            m_sink.passOver(r, QStringLiteral("not dated today"));
            return;
        }
        // Rows with the checked picture are taken as invoiced or chosen already.
        if (showsChecked(r))
            return;
        if (invoicedEarlier(r)) {
            m_sink.passOver(r, QStringLiteral("invoiced by an earlier run"));
            return;
        }
        if (!isSuffixed(r))
            invoiceCustomerShipments(r, /*sameShipment=*/false);
        else if (!orderNumbersHaveRevisions())
            invoiceCustomerShipments(r, /*sameShipment=*/true);
        else
            tickBaseOrderRevisions(r);
    }

    // Cases 1.2 and 1.3: r is invoiced alone, then at once every other unticked shipment row
    // of its customer, each alone. Other rows are told apart by their order number (an order
    // without suffix, whose whole number stands for its base) or by their shipment number.
    void invoiceCustomerShipments(int r, bool byShipment)
    {
        remember(r, byShipment ? baseOf(r) : orderOf(r));
        emptySelection();
        tick(r);
        invoiceAlone(r);
        for (int j = 1; j < m_grid->Rows(); ++j) {
            makeCurrent(j);
            if (customerOf(j) != m_rememberedCustomer || !isShipmentRow(j))
                continue;
            const bool sameRow =
                byShipment ? shipmentOf(j) == shipmentOf(r) : orderOf(j) == m_rememberedOrder;
            if (sameRow || showsChecked(j) || invoicedEarlier(j))
                continue;
            tick(j);
            invoiceAlone(j);
        }
        emptySelection();
    }

    // Case 1.4: the revisions of r's base order are ticked, not invoiced: the second pass
    // invoices them. A base order that the rows without a shipment reserved stays unticked.
    void tickBaseOrderRevisions(int r)
    {
        const QString base = baseOf(r);
        remember(r, base);
        // A new customer's group starts with an empty selection, so that the click rule
        // accepts revisions that come before r in the grid.
        if (!m_desk.selCustomer().isEmpty() && m_desk.selCustomer() != m_rememberedCustomer)
            emptySelection();
        for (int j = 1; j < m_grid->Rows(); ++j) {
            if (customerOf(j) != m_rememberedCustomer || !isShipmentRow(j) || !isSuffixed(j))
                continue;
            if (orderOf(j) != m_rememberedOrder) {
                // Whether r, not j, is reserved decides.
                if (baseOf(j) == base && !m_reservedRows.contains(rowNumber(r)) &&
                    !invoicedEarlier(j) && !showsChecked(j))
                    tick(j);
                continue;
            }
            if (isBaseReserved(base)) {
                if (revisionsShareInvoice())
                    reserveRevisions(m_rememberedCustomer, base);
                m_sink.passOver(r, heldBack(base));
                continue;
            }
            if (!m_desk.selCustomer().isEmpty() && m_desk.selCustomer() != m_rememberedCustomer)
                emptySelection();
            if (!showsChecked(r))
                tick(r);
        }
        // The selection keeps the group's customer.
    }

    static QString heldBack(const QString& base)
    {
        return QStringLiteral("held back: base order %1 has an order without a shipment").arg(base);
    }

    // A reserved row whose order number begins with the base.
    bool isBaseReserved(const QString& base) const
    {
        for (const std::int16_t row : m_reservedRows) {
            if (orderOf(row).left(base.size()) == base)
                return true;
        }
        return false;
    }

    // Every row of the customer that is a revision of the base.
    void reserveRevisions(const QString& customer, const QString& base)
    {
        for (int k = 1; k < m_grid->Rows(); ++k) {
            if (customerOf(k) == customer && isRevisionOf(k, base))
                m_reservedRows.append(rowNumber(k));
        }
    }

    // --- First pass, a row without a shipment ---------------------------------------------
    // An order without a shipment among the revisions of a base order: it reserves the base,
    // and takes back the ticks of the revisions ticked so far. The customer and base are
    // those remembered from the last shipment row handled before r.
    void rowWithoutShipmentTurn(int r)
    {
        m_sink.passOver(r, shipmentOf(r).isEmpty()
                               ? QStringLiteral("no shipment")
                               : QStringLiteral("shipment still being entered"));
        // Case 2.1.
        if (revisionsShareInvoice()) {
            m_reservedRows.append(rowNumber(r));
            reserveRevisions(customerOf(r), m_rememberedBase);
        }
        // Case 2.2.
        if (customerOf(r) != m_rememberedCustomer || !isSuffixed(r))
            return;
        makeCurrent(r);
        if (!orderNumbersHaveRevisions() || !revisionsShareInvoice() || showsChecked(r))
            return;
        m_grid->setCol(0);
        m_reservedRows.append(rowNumber(r));
        for (int k = 1; k < m_grid->Rows(); ++k) {
            makeCurrent(k);
            if (customerOf(k) != m_rememberedCustomer || !isRevisionOf(k, m_rememberedBase) ||
                !showsChecked(k))
                continue;
            tick(k); // takes the tick away
            m_reservedRows.append(rowNumber(k));
            m_sink.passOver(k, heldBack(m_rememberedBase));
        }
    }

    // --- Second pass ----------------------------------------------------------------------
    // The other ticked revisions of r's base order of r's customer, now taken as invoiced.
    RowList otherTickedRevisions()
    {
        RowList rows;
        for (int k = 1; k < m_grid->Rows(); ++k) {
            makeCurrent(k);
            if (customerOf(k) != m_rememberedCustomer || !isRevisionOf(k, m_rememberedBase) ||
                orderOf(k) == m_rememberedOrder || !isShipmentRow(k) ||
                m_invoicedRows.contains(rowNumber(k)) || !showsChecked(k))
                continue;
            m_invoicedRows.append(rowNumber(k));
            rows.append(rowNumber(k));
        }
        return rows;
    }

    BillingDesk& m_desk;
    OrderGrid* m_grid;
    InvoiceSink& m_sink;
    const QString m_separator;
    const QStringList m_invoicedEarlier;
    QString m_rememberedCustomer;
    QString m_rememberedOrder;
    QString m_rememberedBase;
    // Rows whose base order waits for a row without a shipment (first pass).
    RowList m_reservedRows;
    // Rows given to an invoice in this run: none is given twice.
    RowList m_invoicedRows;
    DoEvents m_doEvents;
};

// The run itself: each invoice is the Invoice command in BatchMode, with the run's progress
// in status panel 1 before it.
class InvoiceCommandSink : public InvoiceSink
{
public:
    explicit InvoiceCommandSink(BillingDesk& desk) : m_desk(desk)
    {
        const OrderGrid* grid = desk.orderGrid();
        for (int r = 1; r < grid->Rows(); ++r) {
            if (grid->orderRow(r).hasShipment())
                ++m_shipmentRows;
        }
    }

    void invoice(const RowList& rows, const QString&) override
    {
        const OrderGrid* grid = m_desk.orderGrid();
        m_desk.setStatusText(
            QStringLiteral("Batch invoicing: invoice %1 of at most %2, customer %3 %4")
                .arg(++m_invoiceCount)
                .arg(m_shipmentRows)
                .arg(grid->orderRow(rows.first()).customer,
                     grid->orderRow(rows.first()).customerName));
        DoEvents().now();
        m_given += rows;
        m_desk.invoiceBatchRows(rows);
        // The Invoice command empties LastInvoiceNumber before it tries: keep the number of
        // the invoice created last, which a failed invoice at the end of the run would lose.
        if (!modGeneral::LastInvoiceNumber.isEmpty()) {
            m_lastCreated = modGeneral::LastInvoiceNumber;
            m_created << Text::trim(m_lastCreated);
            for (const std::int16_t row : rows)
                m_invoiced << grid->orderRow(row).shipment;
        } else {
            for (const std::int16_t row : rows)
                m_failed.insert(row);
        }
    }

    void passOver(int row, const QString& reason) override { m_reasons.insert(row, reason); }

    // The run's journal entry: its options, the invoices it created and every row it left
    // out, with the reason.
    QJsonObject journalEntry(const QList<int>& usersTicks, bool ended) const
    {
        const OrderGrid* grid = m_desk.orderGrid();
        const QSet<int> given(m_given.begin(), m_given.end());
        QJsonArray leftOut;
        for (int r = 1; r < grid->Rows(); ++r) {
            if (given.contains(r) && !m_failed.contains(r))
                continue;
            QString reason = m_failed.contains(r)
                                 ? QStringLiteral("its invoice could not be created")
                                 : m_reasons.value(r);
            if (reason.isEmpty())
                reason = usersTicks.contains(r) ? QStringLiteral("ticked before the run")
                                                : QStringLiteral("not taken by the batch rules");
            leftOut.append(QJsonObject{{QStringLiteral("order"), grid->orderRow(r).order},
                                       {QStringLiteral("shipment"), grid->orderRow(r).shipment},
                                       {QStringLiteral("reason"), reason}});
        }
        return {
            {QStringLiteral("options"),
             QJsonObject{{QStringLiteral("batchOption"), modGeneral::BatchOption},
                         {QStringLiteral("orderSeparator"), Setting::read(Setting::OrderSeparator)},
                         {QStringLiteral("orderNum"), Setting::read(Setting::OrderNum)},
                         {QStringLiteral("invComplete"), Setting::read(Setting::InvComplete)}}},
            {QStringLiteral("invoices"), QJsonArray::fromStringList(m_created)},
            {QStringLiteral("leftOut"), leftOut},
            {QStringLiteral("ended"),
             ended ? QStringLiteral("normally") : QStringLiteral("with an error")}};
    }

    // The number of the invoice created last in this run; empty when none was.
    QString lastCreated() const { return m_lastCreated; }
    // The rows given to an invoice of this run.
    const RowList& given() const { return m_given; }
    // The shipments of the invoices this run created.
    const QStringList& invoiced() const { return m_invoiced; }

private:
    BillingDesk& m_desk;
    RowList m_given;
    QStringList m_invoiced;
    QStringList m_created;
    QHash<int, QString> m_reasons; // why the run passed a row over
    QSet<int> m_failed;            // rows of invoices that could not be created
    int m_shipmentRows = 0;
    int m_invoiceCount = 0;
    QString m_lastCreated;
};

// An order whose invoice exists but whose completion was cut short (the program was killed
// between the two) is no longer listed, since it names its last invoice: the run completes
// such orders first, as their invoice would have. Only the journal tells which invoices this
// program made and which of them were completed: an invoice entry of this program (one that
// names its routine) lists its orders, a completion entry records them done. An order invoiced in
// part by another program, or since invoiced again, is left as it is. Completed orders have
// COMPLETE 3 or 4.
void completeInterruptedOrders()
{
    std::map<QString, QStringList> uncompleted; // invoice -> its orders
    for (const QJsonObject& entry : Journal::entries({Journal::Invoice, Journal::Completion})) {
        const QString invoice = entry.value(QStringLiteral("invoice")).toString().trimmed();
        if (entry.value(QStringLiteral("kind")).toString() == Journal::Completion)
            uncompleted.erase(invoice);
        else if (entry.contains(QStringLiteral("routine"))) // made by this program
            uncompleted[invoice] = entry.value(QStringLiteral("orders")).toVariant().toStringList();
    }
    if (uncompleted.empty())
        return;
    const modGeneral::OrderEntryLayout layout = modGeneral::orderEntryLayout();
    modGeneral::ViewPtr view = modGeneral::OpenView(QStringLiteral("OE0520"));
    view->SetOrder(1);
    for (const auto& [invoice, orders] : uncompleted) {
        QStringList completed;
        for (const QString& order : orders) {
            view->Field(QStringLiteral("ORDNUMBER")).SetValue(order);
            const bool cutShort =
                view->Read() &&
                Text::trim(view->Field(QStringLiteral("LASTINVNUM")).GetValue().toString()) ==
                    invoice &&
                view->Field(QStringLiteral("COMPLETE")).GetValue().toInt() > 0 &&
                view->Field(QStringLiteral("COMPLETE")).GetValue().toInt() < 3;
            if (!cutShort)
                continue;
            OrderCompletion::clearBackOrders(layout, order);
            OrderCompletion::completeOrder(layout, order);
            completed << order;
        }
        Journal::write(Journal::Completion,
                       {{QStringLiteral("invoice"), invoice},
                        {QStringLiteral("orders"), QJsonArray::fromStringList(completed)},
                        {QStringLiteral("afterInterruption"), true}});
    }
}

} // namespace

void runBatch(BillingDesk& desk, InvoiceSink& sink)
{
    BatchRun run(desk, sink);
    run.firstPass();
    run.secondPass();
}

void Invoicing::checkOrders(BillingDesk& desk)
{
    const BusyCursor busy;
    OrderGrid* grid = desk.orderGrid();
    const std::set<int>& ticked = grid->gridModel()->checkedRows();
    QList<int> usersTicks(ticked.begin(), ticked.end());
    InvoiceCommandSink sink(desk);
    // The clerk's prepayment belongs to the clerk's selection: it is held aside for the run,
    // where the prepayment window still reaches it, and no batch invoice reads it.
    modGeneral::PendingPrepaymentRecord prepayment = modGeneral::PendingPrepayment;
    modGeneral::PendingPrepayment.Present = false;
    desk.holdPrepaymentAside(&prepayment);
    const QString source = QStringLiteral("frmMain.Check_Orders");
    bool ended = false;
    modGeneral::reportFailures(source, modGeneral::Reporter::Messenger, [&] {
        completeInterruptedOrders();
        runBatch(desk, sink);
        ended = true;
        // Only a run that created invoices names them; one that created none changes no
        // status text (the range of an earlier run that ended in an error waits).
        if (desk.batchInvoiced() && !sink.lastCreated().isEmpty()) {
            desk.setStatusText(QStringLiteral("Invoices ") + modGeneral::BatchFirstInvoice +
                               QStringLiteral(" to ") + sink.lastCreated() +
                               QStringLiteral(" have been created."));
            modGeneral::BatchFirstInvoice.clear();
            desk.setBatchInvoiced(false);
        }
    });
    modGeneral::reportFailures(source, modGeneral::Reporter::Messenger, [&] {
        Journal::write(Journal::BatchRun, sink.journalEntry(usersTicks, ended));
    });

    QObject* window = desk.deskWindow();
    window->setProperty(InvoicedByBatch,
                        window->property(InvoicedByBatch).toStringList() + sink.invoiced());
    // Afterwards the selection is the user's ticks that no invoice of the run took, with
    // their total, delivery charge and pending prepayment as the clerk left it (a prepayment
    // confirmed or cancelled during the run included; no batch invoice read it); without
    // any, nothing is selected and the prepayment is dropped with the selection.
    for (const std::int16_t row : sink.given())
        usersTicks.removeAll(row);
    desk.holdPrepaymentAside(nullptr);
    desk.Clear_AllSelections();
    grid->setCol(0);
    for (const int row : std::as_const(usersTicks)) {
        grid->setRow(row);
        desk.flgMain_Click();
    }
    grid->setRow(0);
    // The batch and bank the clerk chose stay for the next prepayment either way.
    modGeneral::PendingPrepayment.BatchNumber = prepayment.BatchNumber;
    modGeneral::PendingPrepayment.BatchDate = prepayment.BatchDate;
    modGeneral::PendingPrepayment.BankCode = prepayment.BankCode;
    if (!usersTicks.isEmpty() && prepayment.Present) {
        modGeneral::PendingPrepayment = prepayment;
        desk.showPrepayment(prepayment.Amount);
    }
}
