#include "batchtesting.h"

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/session.h>
#include <settings/settings.h>

#include <accpac/standin.h>
#include <accpac/view.h>

#include <teststore.h>

#include <gtest/gtest.h>

#include <QDate>
#include <QFile>

namespace BatchTesting {

namespace {

int yyyymmdd(const QDate& date)
{
    return date.year() * 10000 + date.month() * 100 + date.day();
}

} // namespace

TestOrder orderOf(const Row& row)
{
    TestOrder order;
    order.number = row.order;
    order.customer = row.customer;
    order.name = QStringLiteral("Customer ") + row.customer;
    order.shipVia = row.shipVia;
    const QDate date = row.today ? QDate::currentDate() : QDate::currentDate().addDays(-2);
    order.orderDate = yyyymmdd(date);
    if (!row.shipment.isEmpty())
        order.shipments = {{row.shipment, row.amount}};
    order.withLines = true;
    return order;
}

QList<TestOrder> ordersOf(const QList<Row>& rows)
{
    QList<TestOrder> orders;
    for (const Row& row : rows)
        orders << orderOf(row);
    return orders;
}

void save(const RunSettings& settings)
{
    Setting::save(Setting::OrderSeparator, settings.separator);
    Setting::save(Setting::OrderNum, settings.orderNum);
    Setting::save(Setting::InvComplete, settings.invComplete);
    modGeneral::BatchOption = settings.batchOption;
}

QList<Invoice> invoices()
{
    QList<Invoice> list;
    auto headers = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0420"));
    auto shipments = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0427"));
    auto lines = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0400"));
    headers->Browse(QString(), true);
    while (headers->Fetch()) {
        Invoice invoice;
        invoice.number = headers->Field(QStringLiteral("INVNUMBER")).GetValue().toString();
        invoice.customer = headers->Field(QStringLiteral("CUSTOMER")).GetValue().toString();
        invoice.approvedBy = headers->Field(QStringLiteral("APPROVEBY")).GetValue().toString();
        const int uniq = headers->Field(QStringLiteral("INVUNIQ")).GetValue().toInt();
        shipments->Browse(QStringLiteral("INVUNIQ = %1").arg(uniq), true);
        while (shipments->Fetch())
            invoice.shipments
                << shipments->Field(QStringLiteral("SHINUMBER")).GetValue().toString();
        invoice.shipments.sort();
        lines->Browse(QStringLiteral("INVUNIQ = %1 AND LINETYPE = 2").arg(uniq), true);
        invoice.deliveryCharge = lines->Fetch();
        list << invoice;
    }
    headers->Close();
    shipments->Close();
    lines->Close();
    return list;
}

QList<QStringList> shipmentsPerInvoice()
{
    QList<QStringList> list;
    for (const Invoice& invoice : invoices())
        list << invoice.shipments;
    return list;
}

QByteArray companyContent(const QString& companyStore)
{
    QByteArray content;
    if (Accpac::isServerSite(companyStore)) {
        const QStringList tables = TestStore::query(
            companyStore, QStringLiteral("SELECT table_name FROM information_schema.tables "
                                         "WHERE table_schema = current_schema() ORDER BY 1"));
        EXPECT_FALSE(tables.isEmpty());
        for (const QString& table : tables) {
            const QStringList rows = TestStore::query(
                companyStore, QStringLiteral("SELECT t::text FROM %1 t ORDER BY 1").arg(table));
            content += (table + QLatin1Char('\n') + rows.join(QLatin1Char('\n'))).toUtf8();
        }
        return content;
    }
    for (const QString& name : {companyStore, companyStore + QStringLiteral("-wal")}) {
        QFile file(name);
        if (file.open(QIODevice::ReadOnly))
            content += file.readAll();
    }
    EXPECT_FALSE(content.isEmpty());
    return content;
}

QList<int> tickedRows(frmMain& window)
{
    OrderGrid* grid = window.ui()->flgMain;
    const int current = grid->Row();
    QList<int> rows;
    grid->setCol(0);
    for (int row = 1; row < grid->Rows(); ++row) {
        grid->setRow(row);
        if (grid->CellPicture() == OrderGrid::Picture::Checked)
            rows << row;
    }
    grid->setRow(current);
    return rows;
}

QStringList gridShipments(frmMain& window)
{
    const OrderGrid* grid = window.ui()->flgMain;
    QStringList list;
    for (int row = 1; row < grid->Rows(); ++row) {
        const QString shipment = grid->TextMatrix(row, 3).trimmed();
        if (!shipment.isEmpty())
            list << shipment;
    }
    list.sort();
    return list;
}

void tickOrders(frmMain& window, const QStringList& orders)
{
    OrderGrid* grid = window.ui()->flgMain;
    for (int row = 1; row < grid->Rows(); ++row) {
        if (!orders.contains(grid->TextMatrix(row, 1)))
            continue;
        grid->setRow(row);
        grid->setCol(0);
        window.flgMain_Click();
    }
}

} // namespace BatchTesting
