#pragma once

#include <QList>
#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <selection/orderquery.h>

#include <invoicing/billingdesk.h>

#include <core/appstate.h>

#include <books/moneyrules.h>

#include <cstdint>
#include <memory>

class QAction;
class QLabel;

namespace Ui {
class frmMain;
}

// The main window: the grid of open orders with their first shipment, the selection rules,
// the filters, the refresh timer, the toolbar and the menus. Its members are defined by
// concern: frmmain.cpp (load, activation, commands), gridloader.cpp, selectionrules.cpp,
// filters.cpp, and invoicingcommands.cpp, which runs the invoicing library's commands over
// this window as their BillingDesk.
class frmMain : public QMainWindow, public BillingDesk
{
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // The load sequence. False when the sign-on failed or was cancelled: the caller then
    // shows nothing and the program ends (the "Program Termination" box has been shown).
    bool Form_Load();
    void Form_Activate();
    void Form_Resize();

    // The grid loader and the shipment look-up.
    void Load_Grid() override;
    void Load_GridDateRange();
    // The first shipment of an order: empty with amount 0 when it has none (or the look-up
    // failed before reading it; the failure has been reported); amount NaN when the
    // database holds no number for it.
    struct ShipmentInfo
    {
        QString number;
        double amount = 0;
    };
    ShipmentInfo Fetch_ShipmentInfo(const QString& orderNumber);

    // Selection.
    void flgMain_Click() override;
    void flgMain_KeyPress(int& keyAscii);
    void Clear_AllSelections() override;
    void Reset_Totals();
    bool Check_ZeroShipments(bool allRows);
    void Check_DeliveryCharge();
    // A grid row's amount in cents; a shipment still being entered counts 0. Throws a type
    // mismatch for an amount the database held as no number.
    Books::Money rowMoney(int row) const;
    // Whether the row lists a shipment whose amount is zero in cents.
    bool isZeroAmountShipment(int row) const;

    // Invoicing (invoicingcommands.cpp, through the invoicing library) ------------------
    // One invoice for the shipments of one customer: the ticked rows (Create_Invoice*) or
    // the given grid rows (Create_Invoice2*), in the older or the 5.6 order layout. True
    // when the run reached its end; every message has been shown.
    bool Create_Invoice(const QString& customer);
    bool Create_Invoice56(const QString& customer);
    bool Create_Invoice2(const QString& customer, const QList<std::int16_t>& rows);
    bool Create_Invoice2_56(const QString& customer, const QList<std::int16_t>& rows);
    // Completion of invoiced or zero-amount shipments and their orders; failures are
    // reported by the routines themselves.
    void Clear_BackOrders(const QString& orderNumber);
    void Clear_BackOrders56(const QString& orderNumber);
    void Update_OrderComplete(const QString& orderNumber);
    void Update_OrderComplete56(const QString& orderNumber);
    void Update_ShipmentComplete(const QString& shipmentNumber);
    // The "Complete zero amount Shipments" command.
    void Complete_ZeroAmountShipments();
    // The Prepayment command (File item 2): the prepayment window, modeless.
    void Show_Prepayment();
    // The clerk's pending prepayment. A batch run holds it aside while it ticks rows of its
    // own (the selection rules would reset it) and puts it back when it ends; the prepayment
    // window reads and writes it only through this, so that what the clerk cancels meanwhile
    // is what the run puts back.
    modGeneral::PendingPrepaymentRecord& clerksPrepayment() override
    {
        return m_prepaymentAside ? *m_prepaymentAside : modGeneral::PendingPrepayment;
    }
    // While a batch run holds the clerk's prepayment aside, the selection and the delivery
    // charge are the run's: a new prepayment cannot be checked against the clerk's invoice.
    bool prepaymentHeldAside() const override { return m_prepaymentAside != nullptr; }
    void holdPrepaymentAside(modGeneral::PendingPrepaymentRecord* aside) override
    {
        m_prepaymentAside = aside;
    }
    void showPrepayment(std::optional<double> amount) override;
    // The batch invoice run over the whole grid ("Invoice Batch"); ends with the range of
    // invoice numbers created in status panel 1.
    void Check_Orders();
    // "Preview Invoice Batch...": the batch options, the batch run recorded instead of made
    // (BatchPreview), its window, and on "Run batch now" the run itself.
    void Preview_Batch();
    // Adds the preview command to the File menu, next to "Invoice Batch".
    void addBatchPreviewCommand();
    // Adds "Reverse Invoice..." after the preview, shown to the signed-on user only when he
    // may approve credit (ADMIN always).
    void addReverseInvoiceCommand();
    // End of invoicing ------------------------------------------------------------------

    // Filters, timer, toolbar and menus.
    void Show_IncludeBoxes();
    void tmrMain_Timer();
    void mnuFileSub_Click(int index);
    void mnuCompleteSub_Click(int index);
    void mnuHelpSub_Click(int index);
    void tlbMain_ButtonClick(const QString& key);
    void tlbMain_MouseMove(int x);
    // The Invoice command (File item 3): the routine of the company's Order Entry version,
    // interactive or, in BatchMode, over BatchRows.
    void Invoice_Command();
    void Show_Print();

    // Status bar panel 1 (progress and hints) and panel 2 (today's date).
    QString statusText() const override;
    void setStatusText(const QString& text) override;

    // The rest of the BillingDesk.
    QWidget* deskWindow() override { return this; }
    OrderGrid* orderGrid() const override;
    bool isLoading() const override { return Loading; }
    void setLoading(bool loading) override { Loading = loading; }
    QString selCustomer() const override { return SelCustomer; }
    void setSelCustomer(const QString& customer) override { SelCustomer = customer; }
    QString selCustomerName() const override { return SelCustomerName; }
    void emptySelection() override;
    QString delChargeCode() const override { return DelChargeCode; }
    bool delChargeApply() const override { return DelChargeApply; }
    void setDelChargeApply(bool apply) override { DelChargeApply = apply; }
    bool deliveryChargeOmitted() const override;
    void invoiceBatchRows(const QList<std::int16_t>& rows) override;
    bool batchInvoiced() const override { return BatchInvoiced; }
    void setBatchInvoiced(bool invoiced) override { BatchInvoiced = invoiced; }
    std::unique_ptr<HeldState> holdState() override;
    QString statusDate() const;

    // The refresh timer's count and interval (in ticks), whether the Invoice command runs over
    // a batch's rows, and the pending re-read of the configuration and the date boxes' state:
    // what the window's behaviour turns on, readable by those who watch it.
    std::int16_t refreshTicks() const { return RefreshTicks; }
    std::int16_t refreshInterval() const { return RefreshInterval; }
    bool batchMode() const { return BatchMode; }
    bool configChanged() const { return ConfigChanged; }
    bool calendarForFrom() const { return CalendarForFrom; }
    bool dateEdited() const { return DateEdited; }

    Ui::frmMain* ui() const { return m_ui.get(); }
    QTimer* tmrMain() const { return m_timer; }
    // File menu item i (separators included), as the menu's item array numbers them.
    QAction* mnuFileSub(int index) const { return m_fileItems.value(index); }
    QAction* toolbarButton(const QString& key) const;

    // True while a load or a command uses the grid: user input that would start another
    // command or replace the rows is ignored meanwhile (see GridCommand).
    bool gridInUse() const { return Loading || m_gridCommands > 0; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window's state as it keeps it, between commands and events.
    std::int16_t RefreshTicks = 0;
    std::int16_t RefreshInterval = 0;
    QString SelCustomer;
    QString SelCustomerName;
    double SelTotal = 0;
    QString DelChargeCode;
    bool DelChargeApply = false;
    QList<std::int16_t> BatchRows;
    bool FirstActivate = false;
    bool Loading = false;
    bool SlowFetch = false;
    bool ConfigChanged = false;
    bool BatchMode = false;
    bool BatchInvoiced = false;
    bool CalendarForFrom = false;
    bool DateEdited = false;

    // What a batch preview changes, put back when the preview is done (holdState).
    class StateHeld;

    void setUpMenusAndToolbar();
    void connectControls();
    void fillChoiceLists();
    bool hasConfigurationAccess() const;
    void setLoadCommandsEnabled(bool enabled);
    void setSelectionCommandsEnabled(bool enabled);
    void finishFailedLoad();
    void loadOrders(const OrderQuery::Filter& filter);
    void endLoad();
    // One message naming the shipments whose amounts the load refused.
    void reportRefusedAmounts(const QStringList& shipments);
    // A load or the last command has ended: a refresh that came due meanwhile, or an Exit
    // asked for meanwhile, happens now.
    void gridWorkEnded();
    QString connectionString(int engine) const;
    OrderQuery::Filter gridFilter() const;
    double rowAmount(int row) const;

    // Filters and the month calendar.
    void cboCustomer_Click();
    void cboLocation_Click();
    void cboInterval_Click();
    void cboDelCharge_Click();
    void chkDateRange_Click();
    void showCalendar(bool forFrom);
    void mvwMain_DateClick(const QDate& date);
    void dateBoxValidate(bool fromBox, bool& cancel);
    void setDateRangeControlsVisible(bool visible);

    std::unique_ptr<Ui::frmMain> m_ui;
    QTimer* m_timer;
    QLabel* m_panel1;
    QLabel* m_panel2;
    QList<QAction*> m_fileItems;
    QList<QAction*> m_helpItems;
    QList<QAction*> m_toolbarButtons;
    bool m_unloaded = false;
    int m_gridCommands = 0;                                           // GridCommand objects alive
    modGeneral::PendingPrepaymentRecord* m_prepaymentAside = nullptr; // during a batch run
    bool m_refreshDue = false;  // the timer came due while a command held the grid
    bool m_closeWanted = false; // Exit or the close box while the grid was in use
    friend class GridCommand;
};
