#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QToolButton;
class VrexEditbox;

namespace Setting {
struct Entry;
}

namespace Ui {
class frmConfigure;
}

// The configuration window: a list of pages on the left, one page of settings at a time on
// the right. There is no Cancel: every control stores its setting as soon as it changes, and
// OK only closes the window. Closing it in any way marks the program as configured.
//
// The main window opens it modally on the first run (exec()) and modelessly from the
// Configure command (show(), with Qt::WA_DeleteOnClose); `closed` is emitted once when it
// closes.
class frmConfigure : public QDialog
{
    Q_OBJECT

public:
    // Builds the window and runs its load (Form_Load), which fills every control from the
    // stored settings.
    explicit frmConfigure(QWidget* parent = nullptr);
    ~frmConfigure() override;

    Ui::frmConfigure* ui() const { return m_ui.get(); }
    // The page at index 0 to 7 (the control array fraConfig).
    QGroupBox* fraConfig(int index) const;
    // True while the window fills its controls.
    bool isLoading() const { return m_loading; }

    // The procedures of the window, callable as the controls call them.
    void lstConfig_Click();
    void btnTest_Click();
    void btnRecType_Click();
    void btnBankCode_Click();
    void btnCharge_Click();
    void btnSecurity_Click();
    void btnRemove_Click();

signals:
    void closed();

protected:
    void done(int result) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void Form_QueryUnload();
    void connectControls();
    void connectCodeBox(VrexEditbox* box, void (frmConfigure::*finder)(),
                        void (frmConfigure::*validate)(bool&));
    // One step of the load: a failure is reported and the load goes on with the next step.
    void loadStep(const std::function<void()>& step);

    void optEngine_Click(int index);
    void optAuth_Click();
    void optUser_Click();
    void chkSuffix_Click();
    void chkDeliveryCharge_Click();
    void setChargeControlsEnabled(bool enabled);
    void validateOptionalCode(bool& cancel, VrexEditbox* box, QLabel* description,
                              bool (*valid)(const QString&), const Setting::Entry& setting,
                              const QString& what);
    void vreRecType_Validate(bool& cancel);
    void vreBankCode_Validate(bool& cancel);
    void vreCharge_Validate(bool& cancel);
    // Runs a finder over viewId and filter; the picked record's values, or none.
    QVariantList runFinder(const QString& viewId, const QString& filter, const QString& source);
    void pickCode(const QString& viewId, const QString& filter, const QString& source,
                  VrexEditbox* box, QLabel* description, const Setting::Entry& setting);
    void saveSecurityList();
    void addSecurityLine(const QString& userId, const QString& userName);

    std::unique_ptr<Ui::frmConfigure> m_ui;
    bool m_loading = false;
    bool m_codeChanged = false; // shared by the three code boxes
    bool m_unloaded = false;
};
