#pragma once

#include "invoicelayout.h"
#include "printedinvoice.h"

class QPagedPaintDevice;
class QPainter;

namespace Accpac {

// Paints invoices on a printer or a PDF writer whose painter is active: each invoice starts
// on a new page and takes as many pages as its lines need, each page with the invoice's
// heading, the column headings and a footer with the page number. False when the device
// could not start a page.
bool paintInvoices(QPainter& painter, QPagedPaintDevice& device, const InvoiceLayout& layout,
                   const QString& companyName, const QList<PrintedInvoice>& invoices);

} // namespace Accpac
