#pragma once

#include <QHash>
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QString>

namespace Accpac {

// A report file of the printing screen: how an invoice is laid out on paper. Layouts are
// JSON files (see docs/printing.md); the standard one ships with the program.
struct InvoiceLayout
{
    enum class Column
    {
        Item,
        Description,
        Quantity,
        Price,
        Extension
    };
    struct ColumnSpec
    {
        Column column;
        QString heading;
        double width = 1; // a share of the line's width
    };

    QString file; // the layout file it was read from, for messages
    QString title;
    QPageLayout page;
    QString fontFamily;
    double fontSize = 9;
    bool showAddress = true;
    // Whether each shipment ends with its subtotal (the sum of its lines); layouts written
    // before there were subtotals leave it out and print without them.
    bool shipmentSubtotals = false;
    QList<ColumnSpec> columns;
    // The printed words: "invoice", "date", "customer", "billTo", "shipment", "subtotal",
    // "charges", "total", "prepayment", "amountDue", "page".
    QHash<QString, QString> labels;

    QString label(const QString& key) const { return labels.value(key); }
};

// A report file that cannot be used, with the reason for the user.
struct LayoutError
{
    QString message;
};

// The layout file a report file name stands for: an absolute path as it is; a bare name is
// looked for in the site's "reports" folder (a company's own layouts), then among the layouts
// shipped with the program. Throws LayoutError when there is no such file.
QString findLayoutFile(const QString& reportFile, const QString& siteFolder);

// Reads and checks a layout file. Throws LayoutError when it cannot be read or is not a
// layout.
InvoiceLayout loadLayout(const QString& file);

} // namespace Accpac
