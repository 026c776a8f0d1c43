#pragma once

#include <mainwindowfixture.h>
#include <pdftext.h>

#include <windows/frmprint.h>

#include <QStringList>

// The main window over a company whose orders ORD1 to ORD6 (customers 1200, 1300, 1500) each
// have one shipment SH1 to SH6 with one line worth its amount, with the print window's hosted
// screen opened; the screen's messages are recorded instead of shown.
class PrintFixture
{
public:
    PrintFixture();
    ~PrintFixture();

    frmMain& window() { return *m_window; }
    MainWindowFixture& company() { return m_company; }
    // The loaded print window, once its screen has opened (fails the test when it does not).
    frmPrint& print();
    // Waits until the loaded print window's screen has opened.
    static bool waitForScreen();

    // One invoice of the given orders through the Invoice command (the rows ticked by
    // clicks), with the delivery charge and a prepayment when asked; its number.
    QString invoice(const QStringList& orders, bool deliveryCharge = false, double prepayment = 0);

    // A control of the hosted screen by its object name.
    template <class T> T* screenControl(const QString& name)
    {
        return print().auiCTRL()->findChild<T*>(name);
    }
    // Sets the range, the report file and the PDF file, and presses Print.
    void printToPdf(const QString& first, const QString& last, const QString& pdfFile,
                    const QString& reportFile = QStringLiteral("standard-invoice.json"));

    // The stored value of a view field of the invoice of that number.
    QVariant invoiceField(const QString& number, const QString& field);

    QStringList messages;

private:
    MainWindowFixture m_company;
    frmMain* m_window = nullptr;
};
