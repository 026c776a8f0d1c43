#pragma once

#include <core/appstate.h>

#include <books/money.h>

#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class OrderGrid;
class QWidget;

// What the invoicing routines work on and report to: the order grid with its ticks, the
// clerk's selection and delivery-charge settings, the batch run's state, the pending
// prepayment and the status bar. The main window provides it; invoicing knows no window
// above it.
class BillingDesk
{
public:
    virtual ~BillingDesk() = default;

    // The window that owns invoicing's windows.
    virtual QWidget* deskWindow() = 0;
    virtual OrderGrid* orderGrid() const = 0;
    // Status bar panel 1: progress and hints.
    virtual QString statusText() const = 0;
    virtual void setStatusText(const QString& text) = 0;
    // While set, no reload replaces the grid's rows and grid clicks are ignored.
    virtual bool isLoading() const = 0;
    virtual void setLoading(bool loading) = 0;
    virtual void Load_Grid() = 0;

    // The selection: the customer whose rows are ticked, its name, and the grid's click rule
    // (on the current cell), which ticks or unticks a row and keeps the selection.
    virtual QString selCustomer() const = 0;
    virtual void setSelCustomer(const QString& customer) = 0;
    virtual QString selCustomerName() const = 0;
    // Empties the selected customer, its name and its total, so that the click rule accepts
    // the next customer.
    virtual void emptySelection() = 0;
    virtual void flgMain_Click() = 0;
    virtual void Clear_AllSelections() = 0;

    // The delivery charge: the charge code, whether the invoice gets the line, and whether
    // the clerk chose to omit it.
    virtual QString delChargeCode() const = 0;
    virtual bool delChargeApply() const = 0;
    virtual void setDelChargeApply(bool apply) = 0;
    virtual bool deliveryChargeOmitted() const = 0;

    // The batch run: the Invoice command in BatchMode over the given rows, and whether the
    // run has created an invoice since its range was last announced.
    virtual void invoiceBatchRows(const QList<std::int16_t>& rows) = 0;
    virtual bool batchInvoiced() const = 0;
    virtual void setBatchInvoiced(bool invoiced) = 0;

    // The clerk's pending prepayment. A batch run holds it aside (holdPrepaymentAside) while
    // it ticks rows of its own and puts it back when it ends; the prepayment window reads
    // and writes it only through clerksPrepayment, so that what the clerk cancels meanwhile
    // is what the run puts back.
    virtual modGeneral::PendingPrepaymentRecord& clerksPrepayment() = 0;
    virtual bool prepaymentHeldAside() const = 0;
    virtual void holdPrepaymentAside(modGeneral::PendingPrepaymentRecord* aside) = 0;
    // Shows the pending prepayment's amount beside the grid; none hides and empties it.
    virtual void showPrepayment(std::optional<double> amount) = 0;

    // The selection, the delivery charge, the batch state, the commands' enabling, the
    // prepayment shown and the status text as they are now, put back when the returned
    // object goes. The grid's ticks and current cell are not among them.
    class HeldState
    {
    public:
        virtual ~HeldState() = default;
    };
    virtual std::unique_ptr<HeldState> holdState() = 0;
};
