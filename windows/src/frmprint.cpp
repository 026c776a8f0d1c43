#include <windows/frmprint.h>

#include "ui_frmprint.h"

#include <activex/activex.h>
#include <core/activation.h>
#include <core/appstate.h>
#include <core/getos.h>
#include <core/reporters.h>
#include <core/text.h>
#include <core/twips.h>
#include <settings/settings.h>
#include <system/comerror.h>

#include <QEvent>
#include <QIcon>
#include <QScreen>

namespace {

const QString PrintScreenProgId = QStringLiteral("ACCPACOE1400.ACCPACOE1400UICtrl");

QPointer<frmPrint>& printWindow()
{
    static QPointer<frmPrint> window;
    return window;
}

// Runs a handler's body; a failure goes to ErrorMessenger with the handler's source text and
// the window stays as it was.
template <class Body> void guarded(const char* source, Body&& body)
{
    modGeneral::reportFailures(QString::fromLatin1(source), modGeneral::Reporter::Messenger,
                               std::forward<Body>(body));
}

} // namespace

frmPrint::frmPrint(QWidget* owner)
    : QWidget(owner, Qt::Window), m_ui(std::make_unique<Ui::frmPrint>())
{
    m_ui->setupUi(this);
    Activation::onActivate(this, [this] { Form_Activate(); });
    Form_Load();
}

frmPrint::~frmPrint() = default;

int frmPrint::twips(int pixels) const
{
    return Twips::fromPixels(pixels, logicalDpiY());
}

int frmPrint::minimumHeightTwips() const
{
    // The frame as the desktop draws it now: a window loaded hidden has none yet, and the
    // title bar arrives when it is first shown.
    return m_screenMinimumHeight > 0
               ? twips(frameGeometry().height() - height()) + m_screenMinimumHeight
               : 0;
}

int frmPrint::pixels(int twips) const
{
    return Twips::toPixels(twips, logicalDpiY());
}

void frmPrint::Form_Load()
{
    guarded("frmPrint.Form_Load", [this] {
        setWindowTitle(modGeneral::ProgramTitle);
        m_titleBarAllowance =
            modGeneral::GetOS() == QLatin1String("Microsoft Windows XP") ? 105 : 0;
        presetRange();
        m_screen = ActiveX::AddControl(PrintScreenProgId, QStringLiteral("auiCTRL"), this);
        ActiveX::ConnectObjectEvents(
            m_screen, this, [this](const QString& eventName) { auiCTRL_ObjectEvent(eventName); });
        m_screen->setVisible(true);
    });
}

void frmPrint::auiCTRL_ObjectEvent(const QString& eventName)
{
    guarded("frmPrint.auiCTRL_ObjectEvent", [&] {
        if (eventName == QLatin1String("OnUIAppOpened")) {
            auiCTRL_OnUIAppOpened();
        } else if (eventName == QLatin1String("OnUIAppClosed")) {
            if (m_reportFile)
                Setting::save(Setting::UseInv,
                              Text::trim(ActiveX::GetProperty(m_reportFile, "text").toString()));
            hide();
        }
    });
}

QObject* frmPrint::screenControl(const QString& name) const
{
    QObject* item = ActiveX::CallObject(m_screen, "uiappcontrols", name);
    QObject* control = item ? ActiveX::CallObject(item, "GetControl") : nullptr;
    if (!control)
        throw ComError(ComErrorNumber::InvalidProcedureCall,
                       QStringLiteral("The printing screen has no control \"%1\".").arg(name));
    return control;
}

void frmPrint::auiCTRL_OnUIAppOpened()
{
    guarded("frmPrint.auiCTRL_OnUIAppOpened", [this] {
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        setWindowTitle(ActiveX::GetProperty(m_screen, "CompanyID").toString() +
                       QStringLiteral(" - Custom ") +
                       ActiveX::GetProperty(m_screen, "UIName").toString());
        setWindowIcon(qvariant_cast<QIcon>(ActiveX::GetProperty(m_screen, "UIIcon")));

        m_screenMinimumHeight = ActiveX::GetProperty(m_screen, "MinimumHeight").toInt();
        m_minimumWidth = ActiveX::GetProperty(m_screen, "MinimumWidth").toInt();
        // The desktop keeps the window from getting lower than that while the user drags its
        // edge: the inside is at least the screen's minimum height, whatever the frame.
        setMinimumHeight(pixels(m_screenMinimumHeight));

        // The outer size in twips; the frame (title bar and borders) is the system's.
        const QSize frame = frameGeometry().size() - size();
        const int outerWidth = pixels(twips(m_screen->width()) + 90);
        const int outerHeight = pixels(twips(m_screen->height()) + 675 + m_titleBarAllowance);
        resize(outerWidth - frame.width(), outerHeight - frame.height());
        // A hidden window hears of its new size only when shown; it lays itself out now.
        if (!isVisible())
            Form_Resize();
        if (const QScreen* display = screen()) {
            const QSize area = display->geometry().size();
            move(display->geometry().left() + (area.width() - outerWidth) / 2,
                 display->geometry().top() + (area.height() - outerHeight) / 2);
        }

        m_to = screenControl(QStringLiteral("afeOEINVHsortto"));
        m_from = screenControl(QStringLiteral("afeOEINVHsortfrom"));
        m_reportFile = screenControl(QStringLiteral("txtRptFile"));
        const QString reportFile = Setting::read(Setting::UseInv);
        if (!Text::trim(reportFile).isEmpty())
            ActiveX::SetProperty(m_reportFile, "text", reportFile);
    });
}

void frmPrint::Form_Resize()
{
    if (isMinimized())
        return;
    guarded("frmPrint.Form_Resize", [this] {
        const QSize frame = frameGeometry().size() - size();
        const int outerWidth = twips(frameGeometry().width());
        const int outerHeight = twips(frameGeometry().height());
        const int minimumHeight = minimumHeightTwips();
        if (m_minimumWidth > 0 && outerWidth < m_minimumWidth)
            resize(pixels(m_minimumWidth + 120) - frame.width(), height());
        if (m_screenMinimumHeight > 0 && outerHeight < minimumHeight)
            resize(width(), pixels(minimumHeight) - frame.height());
        if (m_screen)
            m_screen->setGeometry(0, pixels(60), width(), qMax(0, height() - pixels(460)));
        m_ui->linSeparator->setGeometry(0, 0, width(), m_ui->linSeparator->height());
        presetRange();
    });
}

void frmPrint::Form_Activate()
{
    guarded("frmPrint.Form_Activate", [this] { presetRange(); });
}

void frmPrint::presetRange()
{
    const QString number = Text::trim(modGeneral::LastInvoiceNumber);
    if (number.isEmpty() || !m_from || !m_to)
        return;
    ActiveX::SetProperty(m_from, "Value", number);
    ActiveX::SetProperty(m_to, "Value", number);
}

void frmPrint::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

// The program's print window ----------------------------------------------------------------

frmPrint* frmPrint::loaded()
{
    return printWindow();
}

frmPrint* frmPrint::load(QWidget* owner)
{
    if (!printWindow())
        printWindow() = new frmPrint(owner);
    return printWindow();
}

void frmPrint::unload()
{
    if (frmPrint* window = printWindow()) {
        window->hide();
        delete window;
    }
}

void frmPrint::reload(QWidget* owner)
{
    unload();
    load(owner);
}

void frmPrint::showWindow(QWidget* owner)
{
    frmPrint* window = load(owner);
    window->show();
    window->raise();
    window->activateWindow();
    // Showing makes it the active window: the range takes the invoice now, before the
    // caller empties LastInvoiceNumber.
    window->Form_Activate();
}

void frmPrint::showFresh(QWidget* owner)
{
    unload();
    modGeneral::LastInvoiceNumber.clear();
    showWindow(owner);
}
