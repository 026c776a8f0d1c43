#pragma once

#include <invoicing/invoicereversal.h>

#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class frmReverseInvoice;
}

// Reverses an invoice made in error: the clerk names the invoice (typed, or through the
// finder), reads what it holds, says what happened to its shipments and presses Reverse.
// Modal, over the main window.
class frmReverseInvoice : public QDialog
{
    Q_OBJECT

public:
    explicit frmReverseInvoice(QWidget* owner = nullptr);
    ~frmReverseInvoice() override;

    Ui::frmReverseInvoice* ui() const { return m_ui.get(); }

    // Shows the invoice of the number in the box, or says why it cannot be reversed and
    // shows nothing.
    void showInvoice();
    void btnFinder_Click();
    void btnReverse_Click();

private:
    void Form_Activate();
    void clearDetails();
    void updateReverseButton();
    // What the user chose for the shipments; none until a choice is made.
    std::optional<Invoicing::AfterReversal> chosenAfter() const;

    std::unique_ptr<Ui::frmReverseInvoice> m_ui;
    std::optional<Invoicing::InvoiceToReverse> m_invoice;
    QString m_numberShown; // the box's text when it was last looked up
};
