#pragma once

#include <windows/frmconfigure.h>

#include "ui_frmconfigure.h"

#include <core/session.h>
#include <core/systemlocale.h>
#include <settings/registrystore.h>
#include <settings/settings.h>

#include <samplesite.h>
#include <scriptedboxes.h>
#include <temporaryhives.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

// Settings in private hives, a fresh sample company signed on as `user`, and the message
// boxes answered by the test.
class ConfigureWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SystemLocale::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        signOn(QStringLiteral("ADMIN"), Sample::AdminPassword);
    }
    void TearDown() override
    {
        m_window.reset();
        m_site.reset();
    }

    void signOn(const QString& user, const QString& password)
    {
        m_window.reset();
        m_site.reset();
        Sample::Options options;
        options.orders = 0;
        m_site = std::make_unique<SampleSite>(options, user, password);
        ASSERT_TRUE(m_site->signedOn());
    }

    // Opens the window as the main window does and shows it, active, on the screen.
    frmConfigure& open()
    {
        m_window = std::make_unique<frmConfigure>();
        m_window->show();
        m_window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
        return *m_window;
    }
    Ui::frmConfigure& ui() { return *m_window->ui(); }
    void close()
    {
        m_window->close();
        m_window.reset();
    }

    // A stored setting, or "<absent>".
    static QString stored(const Setting::Entry& entry)
    {
        return Read_RegString(Registry::HKEY_LOCAL_MACHINE,
                              QString::fromLatin1(Setting::SettingsKey),
                              QString::fromLatin1(entry.name), QStringLiteral("<absent>"));
    }

    void showPage(int row)
    {
        ui().lstConfig->setCurrentRow(row);
        QCoreApplication::processEvents();
    }
    // Enters a code box as the Tab key does, types, and leaves it with Tab.
    static void enter(VrexEditbox* box)
    {
        box->innerEdit()->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }
    static void leave(VrexEditbox* box)
    {
        QTest::keyClick(box->innerEdit(), Qt::Key_Tab);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    static void retype(VrexEditbox* box, const QString& text)
    {
        enter(box);
        box->HighlightText();
        QTest::keyClick(box->innerEdit(), Qt::Key_Backspace);
        QTest::keyClicks(box->innerEdit(), text);
    }

    TemporaryHives hives;
    ScriptedBoxes boxes;
    std::unique_ptr<SampleSite> m_site;
    std::unique_ptr<frmConfigure> m_window;
};
