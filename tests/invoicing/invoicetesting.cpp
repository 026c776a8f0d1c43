#include "invoicetesting.h"

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/session.h>
#include <settings/settings.h>

#include <accpac/view.h>

namespace InvoiceTesting {

ViewLayout orderLayout(bool layout56)
{
    return OrderViewLayouts::order(layout56 ? modGeneral::OrderEntryLayout::Release56
                                            : modGeneral::OrderEntryLayout::Older);
}

ViewLayout invoiceLayout(bool layout56)
{
    return OrderViewLayouts::invoice(layout56 ? modGeneral::OrderEntryLayout::Release56
                                              : modGeneral::OrderEntryLayout::Older);
}

namespace {

QString idOf(const QString& key)
{
    return key.section(QLatin1Char('/'), 0, 0);
}

std::unique_ptr<AccpacView> readRecord(const QString& viewId, int key,
                                       const QList<std::pair<QString, QVariant>>& keys)
{
    auto view = modGeneral::AppDBLink->OpenView(viewId);
    view->ClearRecord();
    view->InitRecord(0);
    view->SetOrder(key);
    for (const auto& [name, value] : keys)
        view->Field(name).SetValue(value);
    if (!view->Read())
        return nullptr;
    return view;
}

void insert(const QString& viewId, const QList<std::pair<QString, QVariant>>& values)
{
    auto view = modGeneral::AppDBLink->OpenView(viewId);
    view->ClearRecord();
    view->InitRecord(0);
    for (const auto& [name, value] : values)
        view->Field(name).SetValue(value);
    view->Insert();
    view->Close();
}

} // namespace

TestOrder order(const QString& number, const QString& shipment, double amount,
                const QString& customer, int complete)
{
    TestOrder o;
    o.number = number;
    o.customer = customer;
    o.name = customer == QLatin1String("1200") ? QStringLiteral("Mr. Ronald Black")
                                               : QStringLiteral("Customer ") + customer;
    if (!shipment.isEmpty())
        o.shipments = {{shipment, amount}};
    o.complete = complete;
    return o;
}

QStringList calls(AccpacSession& session)
{
    QStringList lines;
    for (const auto& entry : Accpac::Testing::callLog(session))
        lines << call(entry.viewId, entry.operation, entry.arguments);
    return lines;
}

QStringList calls()
{
    return calls(*modGeneral::AppSession);
}

void startLog(AccpacSession& session)
{
    Accpac::Testing::setCallLogEnabled(session, true);
    Accpac::Testing::clearCallLog(session);
}

void startLog()
{
    startLog(*modGeneral::AppSession);
}

void expectCalls(const QStringList& actual, const QStringList& expected)
{
    const qsizetype common = std::min(actual.size(), expected.size());
    for (qsizetype i = 0; i < common; ++i) {
        // An expected call ending in "*" stands for every call that begins with the rest.
        const QString& wanted = expected.at(i);
        if (wanted.endsWith(u'*') ? !actual.at(i).startsWith(wanted.chopped(1))
                                  : actual.at(i) != wanted) {
            ADD_FAILURE() << "call " << i << ": got " << actual.at(i).toStdString() << ", expected "
                          << expected.at(i).toStdString() << "\nbefore it: "
                          << actual.mid(std::max<qsizetype>(0, i - 3), 3)
                                 .join(QStringLiteral("; "))
                                 .toStdString();
            return;
        }
    }
    if (actual.size() != expected.size())
        ADD_FAILURE()
            << "got " << actual.size() << " calls, expected " << expected.size()
            << "; first extra or missing: "
            << (actual.size() > common ? actual.at(common) : expected.at(common)).toStdString();
}

QString call(const QString& viewId, const QString& operation, const QStringList& args)
{
    QString line = viewId + QLatin1Char(' ') + operation;
    if (!args.isEmpty())
        line += QLatin1Char(' ') + args.join(QLatin1Char('|'));
    return line;
}

QStringList journalAttachCalls()
{
    return {call("TM0001", "OpenView"),
            call("TM0001", "InitRecord", {"0"}),
            call("OE0420", "GetValue", {"INVUNIQ"}),
            call("TM0001", "SetValue", {"INVUNIQ", "*"}),
            call("TM0001", "SetValue", {"KIND", "invoice"}),
            call("TM0001", "SetValue", {"BODY", "*"}),
            call("TM0001", "Insert"),
            call("TM0001", "Close")};
}

QStringList journalEntryCalls(const QString& kind)
{
    return {call("TM0001", "OpenView"),
            call("TM0001", "InitRecord", {"0"}),
            call("TM0001", "SetValue", {"KIND", kind}),
            call("TM0001", "SetValue", {"BODY", "*"}),
            call("TM0001", "Insert"),
            call("TM0001", "Close")};
}

QStringList openAndCompose(const QStringList& views, const QList<QStringList>& composes)
{
    QStringList lines;
    for (const QString& key : views)
        lines << call(idOf(key), QStringLiteral("OpenView"));
    for (const QStringList& keys : composes) {
        QStringList passed;
        for (qsizetype i = 1; i < keys.size(); ++i)
            passed << idOf(keys.at(i));
        lines << call(idOf(keys.first()), QStringLiteral("Compose"), passed);
    }
    return lines;
}

QStringList release(const QStringList& views, const QStringList& closedBefore)
{
    QStringList lines;
    for (const QString& key : views)
        if (!closedBefore.contains(key))
            lines << call(idOf(key), QStringLiteral("Close"));
    return lines;
}

QStringList emptyOrderPass(bool layout56, bool clearBackOrders, const QString& orderNumber,
                           int orderUniq)
{
    const ViewLayout layout = orderLayout(layout56);
    QStringList lines = openAndCompose(layout.views, layout.composes);
    lines << call("OE0520", "ClearRecord") << call("OE0520", "InitRecord", {"0"})
          << call("OE0520", "SetOrder", {"1"})
          << call("OE0520", "SetValue", {"ORDNUMBER", orderNumber})
          << call("OE0520", "PrepareRead", {"10"}) << call("OE0520", "Read")
          << call("OE0520", "GetValue", {"COMPLETE"}) << call("OE0500", "ClearRecord")
          << call("OE0500", "InitRecord", {"0"}) << call("OE0520", "GetValue", {"ORDUNIQ"})
          << call("OE0500", "Browse",
                  {QStringLiteral("ORDUNIQ = %1 AND %2")
                       .arg(orderUniq)
                       .arg(clearBackOrders ? "QTYBACKORD > 0" : "COMPLETE = 0"),
                   "True"})
          << call("OE0500", "PrepareRead", {"10"}) << call("OE0500", "MoveFirst");
    if (!clearBackOrders)
        lines << call("OE0520", "GetValue", {"COMPLETE"})
              << call("OE0520", "SetValue", {"COMPLETE", "3"}) << call("OE0520", "Update")
              << call("OE0520", "Post");
    lines << call("OE0500", "Close") << call("OE0520", "Close")
          << release(layout.views, {"OE0500", "OE0520"});
    return lines;
}

void updateRecord(const QString& viewId, int key, const QList<std::pair<QString, QVariant>>& keys,
                  const QList<std::pair<QString, QVariant>>& values)
{
    auto view = readRecord(viewId, key, keys);
    ASSERT_TRUE(view) << viewId.toStdString() << " record not found";
    for (const auto& [name, value] : values)
        view->Field(name).SetValue(value);
    view->Update();
    view->Close();
}

QList<QVariantList> records(const QString& viewId, const QStringList& fields, const QString& filter)
{
    auto view = modGeneral::AppDBLink->OpenView(viewId);
    view->Browse(filter, true);
    QList<QVariantList> rows;
    while (view->Fetch()) {
        QVariantList row;
        for (const QString& field : fields)
            row << view->Field(field).GetValue();
        rows << row;
    }
    view->Close();
    return rows;
}

QVariant readField(const QString& viewId, int key, const QList<std::pair<QString, QVariant>>& keys,
                   const QString& field)
{
    auto view = readRecord(viewId, key, keys);
    if (!view)
        return {};
    const QVariant value = view->Field(field).GetValue();
    view->Close();
    return value;
}

void addOrderLine(int orderUniq, int lineNumber, double ordered, double backOrdered, int complete)
{
    insert("OE0500", {{"ORDUNIQ", orderUniq},
                      {"LINENUM", lineNumber},
                      {"LINETYPE", 1},
                      {"ITEM", QStringLiteral("ITEM%1").arg(lineNumber)},
                      {"QTYORDERED", ordered},
                      {"QTYBACKORD", backOrdered},
                      {"COMPLETE", complete}});
}

void addShipmentLine(int shipmentUniq, int lineNumber, int complete)
{
    insert("OE0691", {{"SHIUNIQ", shipmentUniq},
                      {"LINENUM", lineNumber},
                      {"ITEM", QStringLiteral("ITEM%1").arg(lineNumber)},
                      {"QTYSHIPPED", 1.0},
                      {"ORDQTYORD", 5.0},
                      {"ORDQTYBKOR", 2.0},
                      {"ORDQTYCOMM", 1.0},
                      {"ORDQTYSTD", 1.0},
                      {"COMPLETE", complete}});
}

void tick(frmMain& window, const QList<int>& rows)
{
    OrderGrid* grid = window.ui()->flgMain;
    grid->setCol(0);
    for (const int row : rows) {
        grid->setRow(row);
        grid->setCellPicture(OrderGrid::Picture::Checked);
    }
}

QList<TestOrder> reversalOrders()
{
    QList<TestOrder> orders = {order("ORD1", "SH1", 20), order("ORD2", "SH2", 30),
                               order("ORD3", "SH3", 40, "1300")};
    for (TestOrder& each : orders)
        each.withLines = true;
    return orders;
}

QString invoiceForReversal(frmMain& window)
{
    tick(window, {1, 2});
    window.setSelCustomer(QStringLiteral("1200"));
    Setting::save(Setting::DeliveryCharge, QStringLiteral("1"));
    window.setDelChargeApply(true);
    configureDeliveryChargeCode(window, QStringLiteral("DEL"));
    setPendingCheque(1, 25, QStringLiteral("CHQ-1"));
    modGeneral::LastInvoiceNumber.clear();
    return window.Create_Invoice56(window.selCustomer()) ? modGeneral::LastInvoiceNumber
                                                         : QString();
}

} // namespace InvoiceTesting
