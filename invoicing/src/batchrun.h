#pragma once

#include <QList>
#include <QString>

#include <cstdint>

class BillingDesk;

// Where the batch invoice run sends each invoice it decides on: the Invoice command (the run
// itself) or a recorder (the preview). The run's rows, ticks and selection are the same
// either way.
class InvoiceSink
{
public:
    virtual ~InvoiceSink() = default;
    // One invoice of the given grid rows for the desk's SelCustomer; rule says why these
    // rows are together.
    virtual void invoice(const QList<std::int16_t>& rows, const QString& rule) = 0;
    // A row the run passes over, and why; a later reason for the same row replaces it.
    virtual void passOver(int row, const QString& reason) = 0;
    // Whether the run lets the window process its messages between rows. The preview does
    // not: it changes the desk's selection and puts it back when it is done, and nothing
    // the clerk does meanwhile may be put back over.
    virtual bool yields() const { return true; }
};

// Both passes of the batch run over the desk's grid. A run-time error of the run itself
// (a date that does not convert, a setting that is no number) is thrown to the caller.
void runBatch(BillingDesk& desk, InvoiceSink& sink);
