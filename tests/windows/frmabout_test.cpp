#include <windows/frmabout.h>

#include "ui_frmabout.h"

#include <core/appstate.h>
#include <core/stylebuttons.h>
#include <core/twips.h>
#include <resources/resources.h>

#include <registry/registry.h>
#include <system/windows.h>

#include <scriptedboxes.h>
#include <temporaryhives.h>

#include <QFile>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

using namespace Registry;

namespace {

using Resources::LoadResString;
namespace Entry = Resources::Entry;

const QString SysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString LocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString Unavailable = QStringLiteral("System Information Is Unavailable At This Time");

// Stores raw data as a value of HKEY_LOCAL_MACHINE\keyName.
void storeValue(const QString& keyName, const QString& valueName, const QByteArray& data,
                DWORD type = REG_SZ)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, keyName, 0, QString(), REG_OPTION_NON_VOLATILE,
                             KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueEx(key, valueName, 0, type,
                            reinterpret_cast<const BYTE*>(data.constData()), DWORD(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// Text as the registry stores it: UTF-16LE, with a terminating NUL unless told otherwise.
QByteArray utf16(const QString& text, bool terminated = true)
{
    QByteArray bytes(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    if (terminated)
        bytes.append(2, '\0');
    return bytes;
}

// A machine of its own: private hives, a drive C in a temporary folder, and a small
// program that leaves a mark when it runs.
class AboutWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        SystemStandIn::setDriveFolder(m_dir.filePath(QStringLiteral("c")));
        m_mark = m_dir.filePath(QStringLiteral("ran"));
    }
    void TearDown() override
    {
        SystemStandIn::setDriveFolder(QStringLiteral("/var/lib/tallymerge/drive_c"));
    }

    // Writes a program at `path` that appends a line to the mark file.
    void writeProgram(const QString& path, const QByteArray& body = {})
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(body.isEmpty() ? "#!/bin/sh\necho ran >> '" + m_mark.toUtf8() + "'\n" : body);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // Presses System Info and returns the boxes it showed.
    QList<modGeneral::ShownBox> pressSystemInfo()
    {
        ScriptedBoxes boxes;
        frmAbout about;
        about.show();
        QTest::mouseClick(about.ui()->btnSysInfo, Qt::LeftButton);
        return boxes.shown;
    }
    // How often the program ran (it runs on its own, so give it a moment).
    int runs(bool expectOne)
    {
        const auto count = [this] {
            QFile file(m_mark);
            return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
        };
        if (expectOne)
            QTest::qWaitFor([&] { return count() > 0; }, 10000);
        QTest::qWait(300); // a second run, had there been one, shows by now
        return count();
    }
    static void expectUnavailableBox(const QList<modGeneral::ShownBox>& shown)
    {
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown[0].text, Unavailable);
        EXPECT_EQ(shown[0].title, QStringLiteral("System Information"));
        EXPECT_EQ(shown[0].icon, modGeneral::MsgIcon::Information);
        EXPECT_EQ(shown[0].buttons, modGeneral::MsgButtons::OK);
    }

    TemporaryHives m_hives;
    QTemporaryDir m_dir;
    QString m_mark;
};

} // namespace

TEST_F(AboutWindow, ShowsTheProductTextsIconButtonsAndSize)
{
    const QString CrLf = QStringLiteral("\r\n");
    for (bool xp : {false, true}) {
        modGeneral::IsWinXP = xp;
        frmAbout about;
        Ui::frmAbout& ui = *about.ui();
        EXPECT_EQ(about.windowTitle(), QStringLiteral("About Norvane Tallymerge"));
        EXPECT_EQ(ui.lblTitle->text(), QStringLiteral("Norvane Tallymerge"));
        EXPECT_EQ(ui.lblVersion->text(), QStringLiteral("Version  ") + Resources::ProgramVersion());
        EXPECT_EQ(ui.lblDescription->text(),
                  QStringLiteral("Create a single Invoice for multiple OE Shipments.") + CrLf +
                      CrLf + LoadResString(16) + CrLf + LoadResString(44) + CrLf +
                      LoadResString(45) + CrLf + LoadResString(14));
        EXPECT_EQ(ui.lblDisclaimer->text(), LoadResString(22));
        EXPECT_EQ(ui.btnOK->text(), QStringLiteral("&OK"));
        EXPECT_EQ(ui.btnOK->toolTip(),
                  QStringLiteral("Click OK to close this dialog and return to the program."));
        EXPECT_EQ(ui.btnSysInfo->text(), QStringLiteral("&System Info..."));
        EXPECT_EQ(ui.btnSysInfo->toolTip(),
                  QStringLiteral("Click System Information and if a system information "
                                 "application is registered it will be opened."));
        EXPECT_FALSE(about.windowIcon().isNull());
        EXPECT_FALSE(ui.picIcon->pixmap().isNull());
        // The outer size (the frame is the desktop's: none offscreen, measured by the
        // acceptance suite under a window manager).
        EXPECT_EQ(about.frameGeometry().size(),
                  QSize(Twips::toPixels(5880, about.logicalDpiX()),
                        Twips::toPixels(xp ? 4590 : 4485, about.logicalDpiY())));
        // The buttons were restyled for the look in use.
        if (xp)
            EXPECT_EQ(ui.btnOK->property("ButtonType").toInt(), 3);
        else
            EXPECT_EQ(ui.btnOK->property("BackColor").toUInt(), modGeneral::SystemButtonFace);
    }
    modGeneral::IsWinXP = false;
    // The entries the product fills in itself are all there.
    for (int entry : {14, 16, 18, 22, 44, 45})
        EXPECT_FALSE(LoadResString(entry).trimmed().isEmpty()) << entry;
}

TEST_F(AboutWindow, OpensOnceWithoutWaitingOwnedByItsOwnerAndOkReleasesIt)
{
    QWidget owner;
    owner.show();
    QPointer<frmAbout> about = frmAbout::Show_About(&owner);
    ASSERT_FALSE(about.isNull());
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(about->parentWidget(), &owner);
    // A second About brings the same window forward.
    EXPECT_EQ(frmAbout::Show_About(&owner), about.data());
    EXPECT_EQ(owner.findChildren<frmAbout*>().size(), 1);

    QTest::mouseClick(about->ui()->btnOK, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(about.isNull());

    // Escape closes it as well, and the next About opens a new one.
    about = frmAbout::Show_About(&owner);
    QTest::keyClick(about.data(), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(about.isNull());
}

TEST_F(AboutWindow, WithoutTheToolRegisteredSystemInfoSaysItIsUnavailable)
{
    expectUnavailableBox(pressSystemInfo());

    // A location that does not hold the tool's program is no better.
    const QString folder = m_dir.filePath(QStringLiteral("tools"));
    QDir().mkpath(folder);
    storeValue(LocationKey, QStringLiteral("MSINFO"), utf16(folder));
    expectUnavailableBox(pressSystemInfo());
    EXPECT_EQ(runs(false), 0);
}

TEST_F(AboutWindow, SystemInfoStartsTheProgramRegisteredByPathOrByLocation)
{
    // The tool's own entry.
    const QString program = m_dir.filePath(QStringLiteral("bin/sysinfo"));
    writeProgram(program);
    storeValue(SysInfoKey, QStringLiteral("PATH"), utf16(program));
    EXPECT_TRUE(pressSystemInfo().isEmpty());
    EXPECT_EQ(runs(true), 1);

    // Only the shared tools' location: its folder and "\MSINFO32.EXE".
    QFile::remove(m_mark);
    const QString folder = m_dir.filePath(QStringLiteral("shared"));
    writeProgram(folder + QStringLiteral("/MSINFO32.EXE"));
    storeValue(SysInfoKey, QStringLiteral("PATH"), QByteArray("\x01\0\0\0", 4), REG_DWORD);
    storeValue(LocationKey, QStringLiteral("MSINFO"), utf16(folder));
    EXPECT_TRUE(pressSystemInfo().isEmpty());
    EXPECT_EQ(runs(true), 1);

    // A Windows path is found on the machine's drive C.
    QFile::remove(m_mark);
    writeProgram(SystemStandIn::mapPath(QStringLiteral("C:\\Program Files\\Tools\\msinfo.exe")));
    storeValue(SysInfoKey, QStringLiteral("PATH"),
               utf16(QStringLiteral("C:\\Program Files\\Tools\\msinfo.exe")));
    EXPECT_TRUE(pressSystemInfo().isEmpty());
    EXPECT_EQ(runs(true), 1);
}

TEST_F(AboutWindow, GetKeyValueReadsIntoItsBufferAndDropsOneTrailingNul)
{
    QString value = QStringLiteral("stale");
    EXPECT_FALSE(
        frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, SysInfoKey, QStringLiteral("PATH"), value));
    EXPECT_TRUE(value.isEmpty());

    const auto read = [](const QByteArray& data, DWORD type = REG_SZ) {
        storeValue(SysInfoKey, QStringLiteral("PATH"), data, type);
        QString text = QStringLiteral("stale");
        const bool found =
            frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE, SysInfoKey, QStringLiteral("PATH"), text);
        return std::pair(found, text);
    };
    using Result = std::pair<bool, QString>;
    EXPECT_EQ(read(utf16(QStringLiteral("/opt/tool"))), Result(true, "/opt/tool"));
    EXPECT_EQ(read(utf16(QStringLiteral("/opt/tool"), false)), Result(true, "/opt/tool"));
    EXPECT_EQ(read(utf16(QString())), Result(true, QString()));
    EXPECT_EQ(read(QByteArray()), Result(true, QString()));
    EXPECT_EQ(read(utf16(QStringLiteral("C:\\x"), true), REG_EXPAND_SZ), Result(true, "C:\\x"));
    // Only one NUL goes; one within the text stays part of it.
    EXPECT_EQ(read(utf16(QStringLiteral("a") + QChar(0))),
              Result(true, QStringLiteral("a") + QChar(0)));
    // The buffer holds 1024 characters: a value of 1023 characters and its NUL fits, and so
    // does one of 1024 without a NUL; one more does not, and is not found.
    const QString full(1023, QLatin1Char('x'));
    EXPECT_EQ(read(utf16(full)), Result(true, full));
    EXPECT_EQ(read(utf16(full + 'y', false)), Result(true, full + 'y'));
    EXPECT_EQ(read(utf16(full + 'y')), Result(false, QString()));
    EXPECT_EQ(read(utf16(QString(5000, QLatin1Char('z')))), Result(false, QString()));
    // A value that is not text is not the program's.
    EXPECT_EQ(read(QByteArray("\x01\0\0\0", 4), REG_DWORD), Result(false, QString()));
}

TEST_F(AboutWindow, BadRegisteredProgramsShowTheUnavailableBoxAndRunNothing)
{
    const QString program = m_dir.filePath(QStringLiteral("bin/sysinfo"));
    writeProgram(program);
    const QString folder = m_dir.filePath(QStringLiteral("shared"));
    const auto registerPath = [](const QByteArray& data) {
        storeValue(SysInfoKey, QStringLiteral("PATH"), data);
    };

    // A path to nothing.
    registerPath(utf16(m_dir.filePath(QStringLiteral("bin/missing"))));
    expectUnavailableBox(pressSystemInfo());
    // A folder, a file that may not be run, a file that is not a program.
    registerPath(utf16(m_dir.filePath(QStringLiteral("bin"))));
    expectUnavailableBox(pressSystemInfo());
    const QString plain = m_dir.filePath(QStringLiteral("bin/notes.txt"));
    QFile notes(plain);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("#!/bin/sh\necho ran >> '" + m_mark.toUtf8() + "'\n");
    notes.close();
    registerPath(utf16(plain));
    expectUnavailableBox(pressSystemInfo());
    const QString garbage = m_dir.filePath(QStringLiteral("bin/garbage.exe"));
    writeProgram(garbage, QByteArray("MZ\x90\0\x03\0\0\0garbage", 15));
    registerPath(utf16(garbage));
    expectUnavailableBox(pressSystemInfo());
    // A NUL inside the value: the program before it must not start in its place.
    registerPath(utf16(program + QChar(0) + QStringLiteral("junk")));
    expectUnavailableBox(pressSystemInfo());
    // An empty value.
    registerPath(utf16(QString()));
    expectUnavailableBox(pressSystemInfo());

    // A path longer than the buffer counts as not found: the location is asked next, and a
    // good one there runs.
    registerPath(utf16(QLatin1Char('/') + QString(1100, QLatin1Char('p'))));
    expectUnavailableBox(pressSystemInfo());
    writeProgram(folder + QStringLiteral("/MSINFO32.EXE"));
    storeValue(LocationKey, QStringLiteral("MSINFO"), utf16(folder, false));
    EXPECT_TRUE(pressSystemInfo().isEmpty());
    EXPECT_EQ(runs(true), 1);
}
