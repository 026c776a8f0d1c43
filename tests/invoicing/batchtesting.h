#pragma once

#include <mainwindowfixture.h>

#include <QStringList>

// Helpers of the batch invoice run tests: orders given as grid rows, the settings of a run,
// and the invoices the stand-in holds afterwards.
namespace BatchTesting {

// One grid row: order number, customer, shipment ("" for an order without one), whether
// the order is dated today (otherwise two days ago) and its ship-via code ("1" a cash sale).
struct Row
{
    QString order;
    QString customer;
    QString shipment;
    bool today = true;
    double amount = 10;
    QString shipVia = QStringLiteral("9");
};

TestOrder orderOf(const Row& row);
QList<TestOrder> ordersOf(const QList<Row>& rows);

// The settings a run reads; texts, as the settings store holds them.
struct RunSettings
{
    QString separator = QStringLiteral("0");
    QString orderNum = QStringLiteral("0");
    QString invComplete = QStringLiteral("0");
    int batchOption = 1;
};
void save(const RunSettings& settings);

// An invoice of the company: its number, the shipments on it (sorted), its customer, whether
// it carries a delivery-charge line and who approved its credit.
struct Invoice
{
    QString number;
    QStringList shipments;
    QString customer;
    bool deliveryCharge = false;
    QString approvedBy;
};
// Every invoice, in the order they were created.
QList<Invoice> invoices();
// The shipment lists of the invoices, in creation order.
QList<QStringList> shipmentsPerInvoice();

// What a write to the company's store would change: the company file and its write-ahead
// log, as bytes; on a server, every row of every table of the company's schema.
QByteArray companyContent(const QString& companyStore);

// The grid rows that show the checked picture.
QList<int> tickedRows(frmMain& window);

// Shipment numbers listed in the grid (column 3, non-empty), sorted.
QStringList gridShipments(frmMain& window);

// The rows whose column 1 holds the order numbers, ticked through the grid's click rule.
void tickOrders(frmMain& window, const QStringList& orders);

} // namespace BatchTesting
