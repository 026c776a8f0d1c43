#pragma once

#include <books/money.h>

#include <QDate>
#include <QString>

#include <optional>

// One order of the grid with the first shipment the loader found for it, kept as the values
// the rules decide on; the grid shows each in its column.
struct OrderRow
{
    // The grid's columns, in order.
    enum Column
    {
        Tick,
        Order,
        TransferDate,
        Shipment,
        Amount,
        Customer,
        CustomerName,
        ShipVia,
        ShipTo
    };

    // Shown as the shipment while it is still being entered.
    static const QString NewShipment;

    QString order;
    QDate transferDate; // null when the order has no date or a damaged one
    QString shipment;   // empty when the order has none
    // The shipment's net amount; none while the shipment is being entered, or when the
    // database held no number for it (amountRefused).
    std::optional<Books::Money> amount;
    bool amountRefused = false;
    QString customer;
    QString customerName;
    QString shipVia; // "1" for a cash sale
    QString shipTo;

    bool hasShipment() const { return !shipment.isEmpty(); }
    bool isCashSale() const { return shipVia == QLatin1String("1"); }
    // A shipment whose amount is exactly zero in the currency's decimals.
    bool isZeroAmountShipment() const
    {
        return hasShipment() && amount && *amount == Books::Money{};
    }
    // The amount the money rules add; a shipment being entered counts 0. Throws a type
    // mismatch for an amount that was refused.
    Books::Money money() const;

    // A column's text as the grid shows it, in the clerk's locale.
    QString text(int column) const;
    // Sets a column from text as a clerk would type it. Throws a type mismatch, and keeps
    // the value, for a date or an amount that the locale does not read; empty text clears.
    void setText(int column, const QString& text);
};
