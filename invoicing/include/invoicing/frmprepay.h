#pragma once

#include <QDate>
#include <QDialog>
#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class BillingDesk;
class QLineEdit;
class VrexEditbox;

namespace Ui {
class frmPrepay;
}

// The prepayment window: the clerk chooses or creates a receivables receipt batch and enters
// the receipt that the next invoice carries. The window fills the program-wide
// PendingPrepayment when it closes; the batch itself is created and updated in Accpac at
// once, as it is edited. Modeless, owned by the main window, released when closed.
class frmPrepay : public QDialog
{
    Q_OBJECT

public:
    explicit frmPrepay(BillingDesk& desk);
    ~frmPrepay() override;

    Ui::frmPrepay* ui() const { return m_ui.get(); }
    // Something was changed since the window opened: closing (other than Cancel) stores it.
    bool changed() const { return m_changed; }

    // The batch number is an open receipt batch; fills the three batch labels.
    bool Valid_ARBatch(const QString& number);
    // Creates a receipt batch; its number goes to PendingPrepayment. False when it failed.
    bool Create_NewBatch();
    // Writes the batch date, description and bank code of the window into the batch.
    void Update_ReceiptBatch();
    // The open batch's description; empty when there is none.
    QString Return_ARBatchDesc(const QString& number);
    void Enable_Receipt(bool on);
    void Show_NewBatch(bool on);

    void btnBatch_Click();
    void btnNewBatch_Click();
    void btnBankCode_Click();
    void btnRecType_Click();
    void btnBatchDate_Click();
    void btnRecDate_Click();
    void btnCancel_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Validator = void (frmPrepay::*)(bool& cancel);

    void Form_Load();
    bool Form_Unload();
    void connectControls();
    void connectBox(VrexEditbox* box, Validator validate, void (frmPrepay::*finder)() = nullptr);
    void showBatch(std::int32_t number, const QDate& date, const QString& bankCode);
    void vreBatch_Validate(bool& cancel);
    void vreBatchDate_Validate(bool& cancel);
    void vreRecDate_Validate(bool& cancel);
    void vreBankCode_Validate(bool& cancel);
    void vreRecType_Validate(bool& cancel);
    void vreRecAmount_Validate(bool& cancel);
    void showCalendar(VrexEditbox* box);
    // The amount in the box when it is one the invoice can take; else the box's refusal is
    // shown and nothing is returned.
    std::optional<double> checkedAmount();
    bool storeEntries();
    void refuse(VrexEditbox* box, const QString& text, bool& cancel);
    void accept(VrexEditbox* box);

    BillingDesk& m_desk;
    std::unique_ptr<Ui::frmPrepay> m_ui;
    bool m_loading = false;
    bool m_changed = false;
    bool m_cancelled = false;
    bool m_unloaded = false;
    // Per box: its text changed since it got the focus. Validations act only then.
    QHash<const QObject*, bool> m_changedSinceFocus;
    // The box whose entry was refused last, until it takes a valid one.
    VrexEditbox* m_refusedBox = nullptr;
};
