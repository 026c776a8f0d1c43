#include <selection/frmmain.h>

#include "ui_frmmain.h"

#include <core/activation.h>
#include <core/appstate.h>
#include <core/clock.h>
#include <core/displaydate.h>
#include <core/msgbox.h>
#include <core/orderentry.h>
#include <core/reporters.h>
#include <core/session.h>
#include <core/text.h>
#include <core/twips.h>
#include <resources/resources.h>
#include <selection/gridcommand.h>
#include <settings/cryption.h>
#include <settings/settings.h>
#include <windows/frmabout.h>
#include <windows/frmbatchopts.h>
#include <windows/frmconfigure.h>
#include <windows/frmprint.h>

#include <system/comerror.h>
#include <system/windows.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QMouseEvent>
#include <QToolButton>

namespace {

struct ToolbarButton
{
    const char* caption;
    const char* key;
    const char* tooltip;
    int fileItem; // -1: runs nothing
};

const ToolbarButton ToolbarButtons[] = {
    {"Refresh", "Refresh", "Manually refresh the form.", 0},
    {"Prepayment", "Prepayment", "Add an Invoice Prepayment.", 2},
    {"Invoice", "Invoice", "Invoice the selected OE Shipments.", 3},
    {"Batch", "Batch", "Invoice a batch of OE shipments.", 4},
    {"Clear  All", "Clear", "Clear all the selected OE Shipments.", 10},
    {"Configure", "Config", "Configure the program defaults.", 11},
    {"Help", "Help", "View the Help files.", -1},
    {"Print Batch", "PrintBatch", "", 7},
};

const int FileSeparators[] = {1, 5, 9, 12};
const int HelpSeparators[] = {1, 3};

// A stored list position: one that is no number, or lies outside the list, is reported and
// the first entry chosen, so that the window stays usable.
int storedPosition(const Setting::Entry& entry, int count)
{
    try {
        const int position = Setting::toInteger(Setting::read(entry));
        if (position < 0 || position >= count)
            throw ComError(380, QStringLiteral("Invalid property value"));
        return position;
    } catch (const std::exception& failure) {
        modGeneral::reportFailure(failure, QStringLiteral("frmMain.Form_Load"),
                                  modGeneral::Reporter::Messenger);
        return 0;
    }
}

QString toolbarTip(const QString& key)
{
    for (const ToolbarButton& button : ToolbarButtons) {
        if (key == QLatin1String(button.key))
            return QString::fromLatin1(button.tooltip);
    }
    return {};
}

} // namespace

frmMain::frmMain(QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::frmMain>()), m_timer(new QTimer(this)),
      m_panel1(new QLabel(this)), m_panel2(new QLabel(this))
{
    m_ui->setupUi(this);
    m_timer->setObjectName(QStringLiteral("tmrMain"));
    m_timer->setInterval(30000);
    m_panel1->setObjectName(QStringLiteral("stbMainPanel1"));
    m_panel2->setObjectName(QStringLiteral("stbMainPanel2"));
    // Status texts carry customer names and error texts: never read as markup.
    m_panel1->setTextFormat(Qt::PlainText);
    m_ui->stbMain->addWidget(m_panel1, 1);
    m_ui->stbMain->addPermanentWidget(m_panel2);
    // Shown only when there is something to show: a prepayment, a delivery charge offer,
    // the month calendar.
    for (QWidget* widget :
         {static_cast<QWidget*>(m_ui->lblPrepay), static_cast<QWidget*>(m_ui->lblPrepayment),
          static_cast<QWidget*>(m_ui->lblDelCharge), static_cast<QWidget*>(m_ui->cboDelCharge),
          static_cast<QWidget*>(m_ui->mvwMain)})
        widget->hide();
    setUpMenusAndToolbar();
    addBatchPreviewCommand();
    connectControls();
    Activation::onActivate(this, [this] { Form_Activate(); });
}

frmMain::~frmMain() = default;

void frmMain::setUpMenusAndToolbar()
{
    for (int i = 0; i < 14; ++i)
        m_fileItems.append(findChild<QAction*>(QStringLiteral("mnuFileSub_%1").arg(i)));
    for (int i : FileSeparators)
        m_fileItems[i]->setSeparator(true);
    for (int i = 0; i < 5; ++i)
        m_helpItems.append(findChild<QAction*>(QStringLiteral("mnuHelpSub_%1").arg(i)));
    for (int i : HelpSeparators)
        m_helpItems[i]->setSeparator(true);
    for (int i = 0; i < m_fileItems.size(); ++i)
        connect(m_fileItems[i], &QAction::triggered, this, [this, i] { mnuFileSub_Click(i); });
    for (int i = 0; i < m_helpItems.size(); ++i)
        connect(m_helpItems[i], &QAction::triggered, this, [this, i] { mnuHelpSub_Click(i); });
    connect(m_ui->mnuCompleteSub_0, &QAction::triggered, this, [this] { mnuCompleteSub_Click(0); });

    // Captions padded with trailing blanks to equal widths.
    qsizetype width = 0;
    for (const ToolbarButton& button : ToolbarButtons)
        width = qMax(width, qsizetype(qstrlen(button.caption)));
    for (const ToolbarButton& button : ToolbarButtons) {
        QAction* action = m_ui->tlbMain->addAction(
            QString::fromLatin1(button.caption).leftJustified(width, QLatin1Char(' ')));
        action->setObjectName(QStringLiteral("tlbMain_") + QLatin1String(button.key));
        action->setData(QString::fromLatin1(button.key));
        action->setToolTip(QString::fromLatin1(button.tooltip));
        const QString key = QString::fromLatin1(button.key);
        connect(action, &QAction::triggered, this, [this, key] { tlbMain_ButtonClick(key); });
        m_toolbarButtons.append(action);
    }
    m_ui->tlbMain->setMouseTracking(true);
    m_ui->tlbMain->installEventFilter(this);
    for (QAction* action : m_toolbarButtons) {
        if (QWidget* widget = m_ui->tlbMain->widgetForAction(action)) {
            widget->setMouseTracking(true);
            widget->installEventFilter(this);
        }
    }
}

QAction* frmMain::toolbarButton(const QString& key) const
{
    for (QAction* action : m_toolbarButtons) {
        if (action->data().toString() == key)
            return action;
    }
    return nullptr;
}

bool frmMain::Form_Load()
{
    using namespace modGeneral;
    if (!Open_Connections()) {
        MsgBox(QStringLiteral("The Sage Accpac signon has failed or was cancelled.\r\n"
                              "Please check your signon credentials.\r\n\n"
                              "The program will be terminated."),
               MsgButtons::OK, MsgIcon::Critical, QStringLiteral("Program Termination"));
        return false;
    }
    // First run: the configuration comes before the main window finishes loading.
    if (Setting::read(Setting::Configure) != QLatin1String("True")) {
        frmConfigure first(this);
        first.exec();
    }
    const QString source = QStringLiteral("frmMain.Form_Load");
    modGeneral::reportFailures(source, modGeneral::Reporter::Messenger, [&] {
        setWindowIcon(Resources::ProgramIcon());
        setWindowTitle(ProgramTitle + QStringLiteral(":  ") + AppCompany.Name());
        if (!IsWinXP) {
            // The classic look: sunken panels.
            for (QLabel* panel : {m_panel1, m_panel2})
                panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        }
        frmPrint::load(this);
        FirstActivate = true;
        fillChoiceLists();
        m_ui->cboInterval->setCurrentIndex(
            storedPosition(Setting::Interval, m_ui->cboInterval->count()));
        m_ui->cboCustomer->setCurrentIndex(
            storedPosition(Setting::ShipVia, m_ui->cboCustomer->count()));
        m_ui->cboLocation->setCurrentIndex(
            storedPosition(Setting::Warehouse, m_ui->cboLocation->count()));
        m_panel2->setText(Display_Date(Clock::today()));
        RefreshTicks = 0;
        SelCustomer.clear();
        SelCustomerName.clear();
        SelTotal = 0;
        DelChargeCode = Text::trim(Setting::read(Setting::DelCharge));

        const bool access = hasConfigurationAccess();
        m_ui->mnuComplete->menuAction()->setVisible(access);
        m_fileItems[11]->setVisible(access);
        toolbarButton(QStringLiteral("Config"))->setVisible(access);

        const bool batch = Setting::toNumber(Setting::read(Setting::BatchInv)) != 0;
        m_fileItems[4]->setVisible(batch);
        toolbarButton(QStringLiteral("Batch"))->setVisible(batch);
        m_ui->chkDateRange->setChecked(false);
        addReverseInvoiceCommand();
    });
    m_timer->start();
    return true;
}

void frmMain::fillChoiceLists()
{
    struct Entry
    {
        const char* text;
        int value;
    };
    const Entry intervals[] = {{"30 Seconds", 1},  {"1 Minute", 2},    {"2 Minutes", 4},
                               {"5 Minutes", 10},  {"10 Minutes", 20}, {"15 Minutes", 30},
                               {"20 Minutes", 40}, {"30 Minutes", 60}, {"40 Minutes", 80},
                               {"1 Hour", 120}};
    const Entry classes[] = {
        {"0 - All", 0}, {"1 - Cash Sales", 1}, {"3 - Hotels & Restaurants", 3}, {"9 - Regular", 9}};
    const QSignalBlocker blockInterval(m_ui->cboInterval);
    const QSignalBlocker blockCustomer(m_ui->cboCustomer);
    const QSignalBlocker blockLocation(m_ui->cboLocation);
    const QSignalBlocker blockCharge(m_ui->cboDelCharge);
    m_ui->cboInterval->clear();
    for (const Entry& entry : intervals)
        m_ui->cboInterval->addItem(QString::fromLatin1(entry.text), entry.value);
    m_ui->cboCustomer->clear();
    for (const Entry& entry : classes)
        m_ui->cboCustomer->addItem(QString::fromLatin1(entry.text), entry.value);
    m_ui->cboLocation->clear();
    m_ui->cboLocation->addItems({QStringLiteral("All"), QStringLiteral("South Warehouse"),
                                 QStringLiteral("North Warehouse"), QStringLiteral("South Freezer"),
                                 QStringLiteral("South Warehouse & Freezer")});
    m_ui->cboDelCharge->clear();
    m_ui->cboDelCharge->addItems(
        {QStringLiteral("Apply - $10.00"), QStringLiteral("Omit - $0.00")});
    m_ui->cboInterval->setCurrentIndex(-1);
    m_ui->cboCustomer->setCurrentIndex(-1);
    m_ui->cboLocation->setCurrentIndex(-1);
    m_ui->cboDelCharge->setCurrentIndex(-1);
}

bool frmMain::hasConfigurationAccess() const
{
    const QString user = modGeneral::AppDBLink->Session().UserID();
    if (user == QLatin1String("ADMIN"))
        return true;
    const QString list = Setting::readSecurityList();
    if (Text::trim(list).isEmpty())
        return false;
    const QString trimmedUser = Text::trim(user);
    for (const QString& item : list.split(QLatin1Char(','))) {
        if (modCryption::DecryptPWD(item) == trimmedUser)
            return true;
    }
    return false;
}

void frmMain::Form_Activate()
{
    const bool dateRange = Setting::read(Setting::DateRange) == QLatin1String("1");
    if (!dateRange) {
        m_ui->chkDateRange->hide();
        setDateRangeControlsVisible(false);
    } else if (m_ui->cboCustomer->currentIndex() == 0) {
        m_ui->chkDateRange->show();
        m_ui->chkDateRange->setChecked(true);
        setDateRangeControlsVisible(true);
    } else {
        m_ui->chkDateRange->hide();
        setDateRangeControlsVisible(false);
    }
    Show_IncludeBoxes();
    if (FirstActivate && !gridInUse()) {
        FirstActivate = false;
        Load_Grid();
    }
    if (ConfigChanged) {
        DelChargeCode = Text::trim(Setting::read(Setting::DelCharge));
        bool batch = false;
        try {
            batch = Setting::toNumber(Setting::read(Setting::BatchInv)) != 0;
        } catch (const std::exception&) {
            // A stored value that is no number offers no batch invoicing.
        }
        m_fileItems[4]->setVisible(batch);
        toolbarButton(QStringLiteral("Batch"))->setVisible(batch);
        ConfigChanged = false;
    }
}

void frmMain::setDateRangeControlsVisible(bool visible)
{
    for (QWidget* widget :
         {static_cast<QWidget*>(m_ui->lblFrom), static_cast<QWidget*>(m_ui->vreFrom),
          static_cast<QWidget*>(m_ui->btnFrom), static_cast<QWidget*>(m_ui->lblTo),
          static_cast<QWidget*>(m_ui->vreTo), static_cast<QWidget*>(m_ui->btnTo)})
        widget->setVisible(visible);
}

void frmMain::Form_Resize()
{
    if (isMinimized())
        return;
    // The grid fills the window inside a margin of 120 twips on each side; the layout
    // places it below the filters and above the status bar.
    const int margin = Twips::toPixels(120, logicalDpiX());
    centralWidget()->layout()->setContentsMargins(margin, margin / 2, margin, margin);
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // The window stays while a load or a command works on it: the work runs inside its
    // event loop and would go on over a destroyed window.
    // The user waits, told why, and the window closes as soon as the work is done: stopping
    // a load or an invoice halfway would leave the grid, or the books, half done.
    if (gridInUse()) {
        m_closeWanted = true;
        setStatusText(Loading ? QStringLiteral("Please wait: the program ends when the orders "
                                               "are loaded.")
                              : QStringLiteral("Please wait: the program ends when the "
                                               "current command is done."));
        event->ignore();
        return;
    }
    // The windows the main window owns run their own closing routines first (the
    // configuration window stores what it stores when it closes); one that stays open keeps
    // the program running.
    for (QWidget* owned : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (owned->isWindow() && owned->isVisible() && !owned->close()) {
            // The window that keeps the program open comes forward, to be answered.
            if (owned->isMinimized())
                owned->showNormal();
            owned->raise();
            owned->activateWindow();
            event->ignore();
            return;
        }
    }
    if (!m_unloaded) {
        m_unloaded = true;
        m_timer->stop();
        modGeneral::Close_Connections();
        frmPrint::unload();
    }
    event->accept();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    // A button without a tip of its own shows none (Qt would show its caption).
    if (event->type() == QEvent::ToolTip) {
        const auto* button = qobject_cast<QToolButton*>(watched);
        if (button && button->defaultAction() &&
            toolbarTip(button->defaultAction()->data().toString()).isEmpty())
            return true;
    }
    if (event->type() == QEvent::MouseMove) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const auto* move = static_cast<QMouseEvent*>(event);
        const QPoint inToolbar = widget == m_ui->tlbMain
                                     ? move->position().toPoint()
                                     : widget->mapTo(m_ui->tlbMain, move->position().toPoint());
        tlbMain_MouseMove(inToolbar.x());
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::tlbMain_MouseMove(int x)
{
    int left = 0;
    for (QAction* action : m_toolbarButtons) {
        QWidget* button = m_ui->tlbMain->widgetForAction(action);
        if (!action->isVisible() || !button)
            continue;
        left = button->x();
        const int right = left + button->width();
        if (x >= left && x < right) {
            // The button's own tip, not Qt's fallback to its caption.
            const QString tip = toolbarTip(action->data().toString());
            if (!tip.isEmpty() && m_panel1->text() != tip)
                m_panel1->setText(tip);
            return;
        }
    }
    m_panel1->setText(QStringLiteral(" "));
}

void frmMain::tlbMain_ButtonClick(const QString& key)
{
    for (const ToolbarButton& button : ToolbarButtons) {
        if (key == QLatin1String(button.key)) {
            if (button.fileItem >= 0)
                mnuFileSub_Click(button.fileItem);
            return;
        }
    }
}

QString frmMain::statusText() const
{
    return m_panel1->text();
}

void frmMain::gridWorkEnded()
{
    if (gridInUse())
        return;
    // Queued, so that the work that just ended has returned first.
    if (m_closeWanted) {
        m_closeWanted = false;
        QTimer::singleShot(0, this, [this] { close(); });
    } else if (m_refreshDue) {
        QTimer::singleShot(0, this, [this] {
            if (m_refreshDue && !gridInUse())
                Load_Grid();
        });
    }
}

void frmMain::setStatusText(const QString& text)
{
    m_panel1->setText(text);
}

QString frmMain::statusDate() const
{
    return m_panel2->text();
}

void frmMain::setLoadCommandsEnabled(bool enabled)
{
    m_fileItems[0]->setEnabled(enabled);
    toolbarButton(QStringLiteral("Refresh"))->setEnabled(enabled);
}

void frmMain::setSelectionCommandsEnabled(bool enabled)
{
    m_fileItems[2]->setEnabled(enabled);
    m_fileItems[3]->setEnabled(enabled);
    toolbarButton(QStringLiteral("Prepayment"))->setEnabled(enabled);
    toolbarButton(QStringLiteral("Invoice"))->setEnabled(enabled);
}

void frmMain::mnuFileSub_Click(int index)
{
    // A click that arrives while a load or another command works (a double click on Invoice,
    // a menu opened during a run) starts nothing. Refresh still reloads the print window, which
    // no command uses.
    if (gridInUse()) {
        if (index == 0)
            frmPrint::reload(this);
        return;
    }
    switch (index) {
    case 0:
        Load_Grid();
        frmPrint::reload(this);
        break;
    case 4: {
        // The batch options, then the zero-amount warning over every row, then the run.
        const GridCommand command(*this);
        if (frmBatchOpts::run(this) && !Check_ZeroShipments(true))
            Check_Orders();
        break;
    }
    case 2:
        Show_Prepayment();
        break;
    case 3: {
        const GridCommand command(*this);
        Invoice_Command();
        break;
    }
    case 6:
        Show_Print();
        break;
    case 7:
        frmPrint::showFresh(this);
        break;
    case 8:
        frmPrint::reload(this);
        break;
    case 10:
        Clear_AllSelections();
        break;
    case 11: {
        ConfigChanged = true;
        auto* configure = new frmConfigure(this);
        configure->setAttribute(Qt::WA_DeleteOnClose);
        configure->show();
        break;
    }
    case 13:
        close();
        break;
    default:
        // The commands of the windows still to come.
        break;
    }
}

void frmMain::mnuCompleteSub_Click(int)
{
    if (gridInUse())
        return;
    const GridCommand command(*this);
    Complete_ZeroAmountShipments();
}

void frmMain::Invoice_Command()
{
    // The Order Entry version decides the layout: 5.6 and later take the newer routines.
    const bool newer = modGeneral::orderEntryLayout() == modGeneral::OrderEntryLayout::Release56;
    modGeneral::LastInvoiceNumber.clear();
    if (!BatchMode) {
        if (Check_ZeroShipments(false))
            return;
        const bool created = newer ? Create_Invoice56(SelCustomer) : Create_Invoice(SelCustomer);
        if (created && Setting::read(Setting::PrintInv) == QLatin1String("1")) {
            Show_Print();
            modGeneral::LastInvoiceNumber.clear();
        }
        return;
    }
    const bool created = newer ? Create_Invoice2_56(SelCustomer, BatchRows)
                               : Create_Invoice2(SelCustomer, BatchRows);
    if (!created)
        return;
    BatchInvoiced = true;
    // The lowest number of the run, compared as the texts are (ordinal, case-sensitive).
    const QString number = Text::trim(modGeneral::LastInvoiceNumber);
    if (modGeneral::BatchFirstInvoice.isEmpty() ||
        QString::compare(number, modGeneral::BatchFirstInvoice, Qt::CaseSensitive) <= 0)
        modGeneral::BatchFirstInvoice = number;
}

void frmMain::Show_Print()
{
    frmPrint::showWindow(this);
}

void frmMain::mnuHelpSub_Click(int index)
{
    switch (index) {
    case 2:
        ShellExecuteOpen(Resources::LoadResString(Resources::Entry::WebAddress));
        break;
    case 4:
        frmAbout::Show_About(this);
        break;
    default:
        // Contents has no help file to open.
        break;
    }
}
