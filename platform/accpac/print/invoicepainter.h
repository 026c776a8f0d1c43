#pragma once

#include "invoicelayout.h"
#include "printedinvoice.h"

class QPagedPaintDevice;
class QPainter;

namespace Accpac {

// The smallest type an amount (or quantity) is shrunk to when it is wider than its column at
// the layout's size; a number is never cut short.
constexpr double LeastReadablePoints = 6;

// Why the invoices cannot be printed on the device with the layout (the message for the
// user), checked before anything is painted: a page whose item area cannot hold one line and
// the totals block, an amount column or the totals too narrow for the widest amount of an
// invoice's currency even in the least readable type, or a number wider than its column in
// that type. "" when they can be printed.
QString printProblem(QPagedPaintDevice& device, const InvoiceLayout& layout,
                     const QList<PrintedInvoice>& invoices);

// Paints invoices on a printer or a PDF writer whose painter is active: each invoice starts
// on a new page and takes as many pages as its lines need, each page with the invoice's
// heading, the column headings and a footer with the page number. Texts that do not fit are
// cut short with "..."; numbers shrink their type instead (see printProblem). False when the
// device could not start a page.
bool paintInvoices(QPainter& painter, QPagedPaintDevice& device, const InvoiceLayout& layout,
                   const QString& companyName, const QList<PrintedInvoice>& invoices);

} // namespace Accpac
