#include "frmbatchpreview.h"

#include "ui_frmbatchpreview.h"

#include <core/lookups.h>
#include <core/stylebuttons.h>

namespace {

enum Column
{
    Order,
    Shipment,
    Date,
    Amount,
    Rule,
    Marks
};

QTreeWidgetItem* rowItem(QTreeWidgetItem* parent, const BatchPreview::Row& row)
{
    auto* item = new QTreeWidgetItem(parent);
    item->setText(Order, row.order);
    item->setText(Shipment, row.shipment);
    item->setText(Date, row.date);
    item->setText(Amount, row.amount);
    item->setTextAlignment(Amount, Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

frmBatchPreview::frmBatchPreview(const BatchPreview& preview, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmBatchPreview>())
{
    m_ui->setupUi(this);
    modGeneral::Style_Buttons(this);
    connect(m_ui->btnRun, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->btnClose, &QPushButton::clicked, this, &QDialog::reject);
    fill(preview);
}

frmBatchPreview::~frmBatchPreview() = default;

void frmBatchPreview::fill(const BatchPreview& preview)
{
    QTreeWidget* tree = m_ui->tvwInvoices;
    double total = 0;
    for (const BatchPreview::Invoice& invoice : preview.invoices) {
        auto* item = new QTreeWidgetItem(tree);
        item->setText(Order, invoice.customer + QStringLiteral("  ") + invoice.customerName);
        item->setText(Shipment, QString::number(invoice.rows.size()) +
                                    (invoice.rows.size() == 1 ? QStringLiteral(" shipment")
                                                              : QStringLiteral(" shipments")));
        item->setText(Amount, modGeneral::Format_Decimals(invoice.total, 2));
        item->setTextAlignment(Amount, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(Rule, invoice.rule);
        QStringList marks;
        if (invoice.deliveryCharge)
            marks << QStringLiteral("delivery charge");
        if (invoice.creditApproval)
            marks << QStringLiteral("credit approval");
        item->setText(Marks, marks.join(QStringLiteral(", ")));
        for (const BatchPreview::Row& row : invoice.rows)
            rowItem(item, row);
        total += invoice.total;
    }
    if (!preview.leftOut.isEmpty()) {
        auto* leftOut = new QTreeWidgetItem(tree);
        leftOut->setText(Order, QStringLiteral("Left out"));
        leftOut->setText(Shipment, QString::number(preview.leftOut.size()) +
                                       (preview.leftOut.size() == 1 ? QStringLiteral(" row")
                                                                    : QStringLiteral(" rows")));
        for (const BatchPreview::LeftOut& row : preview.leftOut)
            rowItem(leftOut, row.row)->setText(Rule, row.reason);
    }
    // Columns wide enough for the rows too, which start folded.
    tree->expandAll();
    for (int column = Order; column <= Marks; ++column)
        tree->resizeColumnToContents(column);
    tree->collapseAll();
    m_ui->lblSummary->setText(QStringLiteral("Invoices to create: %1, total %2; rows left out: %3.")
                                  .arg(preview.invoices.size())
                                  .arg(modGeneral::Format_Decimals(total, 2))
                                  .arg(preview.leftOut.size()));
    m_ui->btnRun->setEnabled(!preview.invoices.isEmpty());
}
