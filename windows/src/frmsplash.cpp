#include <windows/frmsplash.h>

#include "ui_frmsplash.h"

#include <core/reporters.h>
#include <core/twips.h>
#include <resources/resources.h>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

namespace {

// The colour of the frame around the splash: the company green.
const QColor FrameColour(91, 173, 63);

} // namespace

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      m_ui(std::make_unique<Ui::frmSplash>()), m_timer(new QTimer(this))
{
    m_ui->setupUi(this);
    m_timer->setObjectName(QStringLiteral("Timer"));
    m_timer->setInterval(TimerInterval);
    connect(m_timer, &QTimer::timeout, this, &frmSplash::Unload);
    Form_Load();
}

frmSplash::~frmSplash() = default;

void frmSplash::Form_Load()
{
    using Resources::LoadResString;
    namespace Entry = Resources::Entry;
    try {
        // The size is fixed: the window cannot be resized away from it.
        setFixedSize(Twips::toPixels(7145, logicalDpiX()), Twips::toPixels(4025, logicalDpiY()));
        QPalette background = palette();
        background.setColor(QPalette::Window, Qt::white);
        setPalette(background);
        // The frame draws its plain border in the foreground colour.
        QPalette frame = m_ui->Shape1->palette();
        frame.setColor(QPalette::WindowText, FrameColour);
        m_ui->Shape1->setPalette(frame);
        m_ui->picLogo->setPixmap(Resources::LogoBitmap(m_ui->picLogo->size(), devicePixelRatioF()));
        m_ui->lblVersion->setText(LoadResString(Entry::Version) + Resources::ProgramVersion());
        m_ui->lblCompanyProduct->setText(LoadResString(Entry::CompanyProduct));
        m_ui->lblCompany->setText(LoadResString(Entry::Company));
        m_ui->lblCopyright->setText(LoadResString(Entry::Copyright));
        m_ui->lblPlatform->setText(LoadResString(Entry::Platform));
        m_ui->lblProductName->setText(LoadResString(Entry::ProductName));
        m_ui->lblProdDesc->setText(LoadResString(Entry::Description));
        m_ui->lblWarning->setText(LoadResString(Entry::Warning));
        setWindowTitle(LoadResString(Entry::Title));
        setWindowIcon(Resources::ProgramIcon());
    } catch (const std::exception& failure) {
        modGeneral::reportFailure(failure, QStringLiteral("frmSplash.Form_Load"),
                                  modGeneral::Reporter::Messenger);
    }
}

void frmSplash::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_unloaded)
        return;
    // Centred on the screen, with the keyboard, and counting down from now.
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    activateWindow();
    setFocus(Qt::OtherFocusReason);
    m_timer->start();
}

void frmSplash::Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_timer->stop();
    hide();
    emit unloaded();
    // Released on a later turn of the event loop, once the window system has delivered the
    // change of the active window to the window that followed: Qt 6.4 crashes when a window
    // it still reports as the previously active one is deleted first.
    QTimer::singleShot(0, this, &QObject::deleteLater);
}

void frmSplash::mousePressEvent(QMouseEvent* event)
{
    // Taken, so that the release comes here too; the labels and the logo pass their clicks on.
    event->accept();
}

void frmSplash::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    Unload();
}

void frmSplash::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    Unload();
}

void frmSplash::closeEvent(QCloseEvent* event)
{
    // Closed by the desktop (a close command of the window manager): unloaded as by a click.
    event->accept();
    Unload();
}
