#pragma once

#include <mainwindowfixture.h>

#include <invoicing/orderviewlayouts.h>

#include <accpac/standin.h>

#include <QStringList>

#include <gtest/gtest.h>

// Helpers shared by the invoicing tests: orders of customer 1200, the stand-in's call log as
// text lines ("OE0420 SetValue CUSTOMER|1200") and the calls a routine is expected to make.
namespace InvoiceTesting {

TestOrder order(const QString& number, const QString& shipment, double amount,
                const QString& customer = QStringLiteral("1200"), int complete = 1);

// The call log of the program's session, one line per call.
QStringList calls(AccpacSession& session);
QStringList calls();
void startLog(AccpacSession& session);
void startLog();

// Compares call by call and names the first difference.
void expectCalls(const QStringList& actual, const QStringList& expected);

// One line of the log.
QString call(const QString& viewId, const QString& operation, const QStringList& args = {});

// The calls that give the invoice being entered its journal entry, and those that write an
// entry of its own; the entries' texts are left out (the journal's own tests read them back).
QStringList journalAttachCalls();
QStringList journalEntryCalls(const QString& kind);

// Opening the views of a layout (keys: "OE0504/2" is a second OE0504) and composing them:
// each compose line holds the view composed, then the views passed.
QStringList openAndCompose(const QStringList& views, const QList<QStringList>& composes);
// Releasing the views still open, in the order they were opened.
QStringList release(const QStringList& views, const QStringList& closedBefore = {});

// The layouts of the order views and of the invoice views: the 5.6 layout or the older one.
ViewLayout orderLayout(bool layout56);
ViewLayout invoiceLayout(bool layout56);

// The calls of clearing back orders or completing an order found with the given ORDUNIQ
// and header COMPLETE 1, whose lines hold nothing to change.
QStringList emptyOrderPass(bool layout56, bool clearBackOrders, const QString& orderNumber,
                           int orderUniq);

// Sets a field of the record found by a keyed read (key 0 or 1) and saves it.
void updateRecord(const QString& viewId, int key, const QList<std::pair<QString, QVariant>>& keys,
                  const QList<std::pair<QString, QVariant>>& values);
// Reads a field of the record found by the keyed read; an invalid QVariant when not found.
QVariant readField(const QString& viewId, int key, const QList<std::pair<QString, QVariant>>& keys,
                   const QString& field);
// Every record of a view under a filter, each as the values of the given fields.
QList<QVariantList> records(const QString& viewId, const QStringList& fields,
                            const QString& filter = {});
// Adds an order line.
void addOrderLine(int orderUniq, int lineNumber, double ordered, double backOrdered, int complete);
void addShipmentLine(int shipmentUniq, int lineNumber, int complete);

// Ticks grid rows as the selection does (the checked picture in column 0).
void tick(frmMain& window, const QList<int>& rows);

// Two shipments of customer 1200 (20.00 and 30.00) and one of 1300 (40.00), with lines.
QList<TestOrder> reversalOrders();
// Invoices the two shipments of 1200 of reversalOrders with the delivery charge and a
// prepayment of 25.00; the invoice's number, empty when none was made.
QString invoiceForReversal(frmMain& window);

} // namespace InvoiceTesting
