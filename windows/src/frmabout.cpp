#include <windows/frmabout.h>

#include "ui_frmabout.h"

#include <core/appstate.h>
#include <core/msgbox.h>
#include <core/reporters.h>
#include <core/stylebuttons.h>
#include <core/twips.h>
#include <resources/resources.h>

#include <system/windows.h>

#include <QFileInfo>
#include <QTimer>
#include <QWindow>

#include <vector>

namespace {

// Where the system information tool registers itself: its program file, or its folder.
const QString SysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString SysInfoLocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString SysInfoProgram = QStringLiteral("\\MSINFO32.EXE");

} // namespace

frmAbout::frmAbout(QWidget* owner) : QDialog(owner), m_ui(std::make_unique<Ui::frmAbout>())
{
    m_ui->setupUi(this);
    connect(m_ui->btnOK, &QPushButton::clicked, this, &QDialog::close);
    connect(m_ui->btnSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);
    Form_Load();
}

frmAbout::~frmAbout() = default;

void frmAbout::Form_Load()
{
    using Resources::LoadResString;
    namespace Entry = Resources::Entry;
    const QString CrLf = QStringLiteral("\r\n");
    try {
        modGeneral::Style_Buttons(this);
        setWindowIcon(Resources::ProgramIcon());
        m_ui->picIcon->setPixmap(Resources::ProgramIcon().pixmap(m_ui->picIcon->size()));
        setWindowTitle(LoadResString(Entry::AboutCaption));
        m_ui->lblTitle->setText(LoadResString(Entry::Title));
        m_ui->lblVersion->setText(LoadResString(Entry::Version) + Resources::ProgramVersion());
        m_ui->lblDescription->setText(
            LoadResString(Entry::Description) + CrLf + CrLf + LoadResString(Entry::Copyright) +
            CrLf + LoadResString(Entry::WebLine) + CrLf + LoadResString(Entry::ContactLine) + CrLf +
            LoadResString(Entry::Company));
        m_ui->lblDisclaimer->setText(LoadResString(Entry::Warning));
        m_ui->btnOK->setText(LoadResString(Entry::OkCaption));
        m_ui->btnOK->setToolTip(LoadResString(Entry::OkTip));
        m_ui->btnSysInfo->setText(LoadResString(Entry::SysInfoCaption));
        m_ui->btnSysInfo->setToolTip(LoadResString(Entry::SysInfoTip));
        // A fixed outer size; XP's taller caption bar gets a little more height.
        m_outerSize = QSize(Twips::toPixels(5880, logicalDpiX()),
                            Twips::toPixels(modGeneral::IsWinXP ? 4590 : 4485, logicalDpiY()));
        fitToFrame();
    } catch (const std::exception& failure) {
        modGeneral::reportFailure(failure, QStringLiteral("frmAbout.Form_Load"),
                                  modGeneral::Reporter::Messenger);
    }
}

void frmAbout::fitToFrame()
{
    if (m_outerSize.isEmpty())
        return;
    // The frame as the desktop reports it now (the widget's own frame geometry is cached).
    // Before the desktop has sized its frame, it can read as none, or as smaller than the
    // window (seen under X as a frame of 1 x 1, which would double the window): it is read
    // again shortly, for up to two seconds, in case no move or activation follows.
    const QMargins margins = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QSize frame(margins.left() + margins.right(), margins.top() + margins.bottom());
    const bool negative =
        margins.left() < 0 || margins.right() < 0 || margins.top() < 0 || margins.bottom() < 0;
    if ((negative || frame.isEmpty()) && m_frameRetries++ < 40)
        QTimer::singleShot(50, this, &frmAbout::fitToFrame);
    if (negative)
        return;
    const QSize inside = m_outerSize - frame;
    if (minimumSize() != inside || maximumSize() != inside)
        setFixedSize(inside);
}

void frmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    fitToFrame();
}

void frmAbout::moveEvent(QMoveEvent* event)
{
    // The desktop frames a window after showing it, and moves its inside to make room.
    QDialog::moveEvent(event);
    fitToFrame();
}

void frmAbout::changeEvent(QEvent* event)
{
    // The desktop activates a window once it has framed it.
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange)
        fitToFrame();
}

frmAbout* frmAbout::Show_About(QWidget* owner)
{
    frmAbout* window =
        owner ? owner->findChild<frmAbout*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!window) {
        window = new frmAbout(owner);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void frmAbout::StartSysInfo()
{
    using namespace Registry;
    try {
        // The tool's own entry names its program; failing that, its folder must hold it.
        QString program;
        if (!GetKeyValue(HKEY_LOCAL_MACHINE, SysInfoKey, QStringLiteral("PATH"), program)) {
            QString folder;
            if (GetKeyValue(HKEY_LOCAL_MACHINE, SysInfoLocationKey, QStringLiteral("MSINFO"),
                            folder) &&
                QFileInfo(SystemStandIn::localPath(folder + SysInfoProgram)).isFile())
                program = folder + SysInfoProgram;
        }
        // A registered program that cannot be started is as unavailable as a missing one.
        if (program.isEmpty() || ShellStartProgram(program) <= 32)
            modGeneral::MsgBox(QStringLiteral("System Information Is Unavailable At This Time"),
                               modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Information,
                               QStringLiteral("System Information"), 1, this);
    } catch (const std::exception& failure) {
        modGeneral::reportFailure(failure, QStringLiteral("frmAbout.StartSysInfo"),
                                  modGeneral::Reporter::Messenger);
    }
}

bool frmAbout::GetKeyValue(Registry::HKEY root, const QString& keyName, const QString& valueName,
                           QString& keyValue)
{
    using namespace Registry;
    keyValue.clear();
    HKEY key = nullptr;
    if (RegOpenKeyEx(root, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    // Text travels as UTF-16: the buffer holds KeyValueBufferChars characters. A longer
    // value does not fit and counts as not found, rather than being cut short.
    std::vector<char16_t> buffer(KeyValueBufferChars, u'\0');
    DWORD size = DWORD(buffer.size() * sizeof(char16_t));
    DWORD type = REG_NONE;
    const LONG result = RegQueryValueEx(key, valueName, nullptr, &type,
                                        reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    qsizetype length = qsizetype(size / sizeof(char16_t));
    if (length > 0 && buffer[length - 1] == u'\0')
        --length;
    keyValue = QString::fromUtf16(buffer.data(), length);
    return true;
}
