// The print window through the main window's commands, on the offscreen platform: the range
// preset from LastInvoiceNumber, the screen's own range, the report file remembered across
// sessions and restarts, the sizes, and a screen that cannot be created.
#include "printtesting.h"

#include <activex/activex.h>
#include <core/appstate.h>
#include <core/twips.h>
#include <settings/settings.h>
#include <system/windows.h>

#include <accpac/standin.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QString rangeFrom(frmPrint& print)
{
    return print.afeOEINVHsortfrom()->property("Value").toString();
}

QString rangeTo(frmPrint& print)
{
    return print.afeOEINVHsortto()->property("Value").toString();
}

} // namespace

TEST(PrintWindow, IsLoadedHiddenWithTheMainWindowAndOpensItsScreen)
{
    PrintFixture fixture;
    frmPrint& print = fixture.print();
    EXPECT_EQ(print.parentWidget(), &fixture.window());
    EXPECT_FALSE(print.isVisible());
    ASSERT_NE(print.auiCTRL(), nullptr);
    EXPECT_EQ(print.auiCTRL()->objectName(), QStringLiteral("auiCTRL"));
    EXPECT_EQ(print.windowTitle(), QStringLiteral("SAMINC - Custom Print Invoices"));
    EXPECT_NE(print.txtRptFile(), nullptr);
    EXPECT_TRUE(fixture.company().boxes.shown.isEmpty());
}

// "PrintInv" 1: the window shows the new invoice in both fields; LastInvoiceNumber is
// emptied, so later activations leave whatever the user typed.
TEST(PrintWindow, ASingleInvoiceIsPresetRightAfterCreation)
{
    PrintFixture fixture;
    Setting::save(Setting::PrintInv, QStringLiteral("1"));
    const QString number = fixture.invoice({QStringLiteral("ORD1")});
    frmPrint& print = fixture.print();
    EXPECT_TRUE(print.isVisible());
    EXPECT_EQ(rangeFrom(print), number);
    EXPECT_EQ(rangeTo(print), number);
    EXPECT_TRUE(modGeneral::LastInvoiceNumber.isEmpty());

    print.afeOEINVHsortfrom()->setProperty("Value", QStringLiteral("IN0000001"));
    print.Form_Activate();
    print.resize(print.width() + 40, print.height() + 30);
    fixture.window().mnuFileSub(6)->trigger();
    EXPECT_EQ(rangeFrom(print), QStringLiteral("IN0000001"));
    EXPECT_EQ(rangeTo(print), number);
    EXPECT_EQ(frmPrint::loaded(), &print);
}

// "PrintInv" 0: nothing opens after the invoice; Print Invoice (Ctrl+P) shows it with the
// invoice in both fields.
TEST(PrintWindow, PrintInvoiceShowsTheInvoiceCreatedLast)
{
    PrintFixture fixture;
    Setting::save(Setting::PrintInv, QStringLiteral("0"));
    const QString number = fixture.invoice({QStringLiteral("ORD3")});
    EXPECT_FALSE(fixture.print().isVisible());
    EXPECT_EQ(modGeneral::LastInvoiceNumber, number);
    EXPECT_EQ(fixture.window().mnuFileSub(6)->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    fixture.window().mnuFileSub(6)->trigger();
    frmPrint& print = fixture.print();
    EXPECT_TRUE(print.isVisible());
    EXPECT_EQ(rangeFrom(print), number);
    EXPECT_EQ(rangeTo(print), number);
}

// The screen's own dialogs (Browse's file dialog, the finder, the print dialog) are no
// windows of the program: closing them does not activate the print window, so a range the
// user typed is not preset again from LastInvoiceNumber.
TEST(PrintWindow, ARangeTypedSurvivesTheScreensDialogs)
{
    PrintFixture fixture;
    Setting::save(Setting::PrintInv, QStringLiteral("0"));
    const QString number = fixture.invoice({QStringLiteral("ORD3")});
    fixture.window().mnuFileSub(6)->trigger();
    frmPrint& print = fixture.print();
    // Back to the print window once a dialog has closed, as the desktop (or the user's click)
    // brings it back; the offscreen platform leaves no window active by itself.
    const auto printIsActive = [&] {
        print.activateWindow();
        return QTest::qWaitFor([&] { return QApplication::activeWindow() == &print; });
    };
    ASSERT_TRUE(printIsActive());
    ASSERT_EQ(rangeFrom(print), number);
    ASSERT_EQ(modGeneral::LastInvoiceNumber, number);

    // Each dialog is answered "Cancel" as soon as it is up.
    QStringList answered;
    const auto cancelTheDialog = [&] {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog ||
                !QTest::qWaitFor([&] { return QApplication::activeWindow() == dialog; })) {
                ADD_FAILURE() << "no dialog became the active window";
                if (dialog)
                    dialog->reject();
                return;
            }
            answered << QString::fromLatin1(dialog->metaObject()->className());
            dialog->reject();
        });
    };
    print.afeOEINVHsortfrom()->setProperty("Value", QStringLiteral("A0"));
    fixture.screenControl<QComboBox>(QStringLiteral("cboDestination"))->setCurrentIndex(1);
    cancelTheDialog();
    QTest::mouseClick(fixture.screenControl<QPushButton>(QStringLiteral("btnBrowse")),
                      Qt::LeftButton);
    ASSERT_TRUE(printIsActive());
    EXPECT_EQ(rangeFrom(print), QStringLiteral("A0"));

    print.afeOEINVHsortto()->setProperty("Value", QStringLiteral("ZZ"));
    cancelTheDialog();
    QTest::mouseClick(fixture.screenControl<QWidget>(QStringLiteral("afeOEINVHsortto"))
                          ->findChild<QWidget*>(QStringLiteral("btnFinder")),
                      Qt::LeftButton);
    ASSERT_TRUE(printIsActive());
    EXPECT_EQ(rangeFrom(print), QStringLiteral("A0"));
    EXPECT_EQ(rangeTo(print), QStringLiteral("ZZ"));

    fixture.screenControl<QComboBox>(QStringLiteral("cboDestination"))->setCurrentIndex(0);
    cancelTheDialog();
    QTest::mouseClick(fixture.screenControl<QPushButton>(QStringLiteral("btnPrint")),
                      Qt::LeftButton);
    ASSERT_TRUE(printIsActive());
    EXPECT_EQ(answered,
              QStringList({QStringLiteral("QFileDialog"), QStringLiteral("Accpac::FinderDialog"),
                           QStringLiteral("QPrintDialog")}));
    EXPECT_EQ(rangeFrom(print), QStringLiteral("A0"));
    EXPECT_EQ(rangeTo(print), QStringLiteral("ZZ"));
    EXPECT_TRUE(fixture.messages.isEmpty());
}

// Print Invoice Batch: a new window whose screen keeps its own range, the company's first
// to last invoice; the toolbar's Print Batch does the same.
TEST(PrintWindow, PrintInvoiceBatchKeepsTheScreensOwnRange)
{
    PrintFixture fixture;
    const QString first = fixture.invoice({QStringLiteral("ORD1")});
    const QString last = fixture.invoice({QStringLiteral("ORD3")});
    ASSERT_LT(first, last);
    frmPrint* before = frmPrint::loaded();
    fixture.window().mnuFileSub(7)->trigger();
    EXPECT_TRUE(modGeneral::LastInvoiceNumber.isEmpty());
    frmPrint& print = fixture.print();
    EXPECT_NE(&print, before);
    EXPECT_TRUE(print.isVisible());
    EXPECT_EQ(rangeFrom(print), first);
    EXPECT_EQ(rangeTo(print), last);

    modGeneral::LastInvoiceNumber = last;
    fixture.window().tlbMain_ButtonClick(QStringLiteral("PrintBatch"));
    EXPECT_TRUE(fixture.print().isVisible());
    EXPECT_EQ(rangeFrom(fixture.print()), first);
    EXPECT_TRUE(modGeneral::LastInvoiceNumber.isEmpty());
}

// The report file of one session is offered in the next: closing the screen stores it and
// hides the window; a reloaded screen and the program started again both offer it.
TEST(PrintWindow, TheReportFileIsOfferedAgainAlsoAfterARestart)
{
    PrintFixture fixture;
    fixture.window().mnuFileSub(6)->trigger();
    auto* reportFile = fixture.screenControl<QLineEdit>(QStringLiteral("txtRptFile"));
    EXPECT_EQ(reportFile->text(), QStringLiteral("standard-invoice.json"));
    reportFile->setText(QStringLiteral("  our-invoice.json "));
    QTest::mouseClick(fixture.screenControl<QPushButton>(QStringLiteral("btnClose")),
                      Qt::LeftButton);
    EXPECT_FALSE(fixture.print().isVisible());
    EXPECT_NE(frmPrint::loaded(), nullptr);
    EXPECT_EQ(Setting::read(Setting::UseInv), QStringLiteral("our-invoice.json"));

    fixture.window().mnuFileSub(8)->trigger();
    EXPECT_FALSE(fixture.print().isVisible());
    EXPECT_EQ(fixture.screenControl<QLineEdit>(QStringLiteral("txtRptFile"))->text(),
              QStringLiteral("our-invoice.json"));

    // The program ends (which unloads the print window) and starts again.
    fixture.window().close();
    EXPECT_EQ(frmPrint::loaded(), nullptr);
    fixture.company().open().show();
    ASSERT_TRUE(PrintFixture::waitForScreen());
    EXPECT_EQ(fixture.screenControl<QLineEdit>(QStringLiteral("txtRptFile"))->text(),
              QStringLiteral("our-invoice.json"));
}

// Refresh reloads the print window hidden, also while a load is running (which it does not
// repeat); Reload Print form replaces the screen.
TEST(PrintWindow, RefreshAndReloadReplaceTheScreen)
{
    PrintFixture fixture;
    frmPrint* before = frmPrint::loaded();
    fixture.window().setLoading(true);
    fixture.window().mnuFileSub(0)->trigger();
    fixture.window().setLoading(false);
    ASSERT_TRUE(PrintFixture::waitForScreen());
    EXPECT_NE(frmPrint::loaded(), before);
    EXPECT_FALSE(frmPrint::loaded()->isVisible());

    before = frmPrint::loaded();
    fixture.window().mnuFileSub(6)->trigger();
    fixture.window().mnuFileSub(8)->trigger();
    ASSERT_TRUE(PrintFixture::waitForScreen());
    EXPECT_NE(frmPrint::loaded(), before);
    EXPECT_FALSE(frmPrint::loaded()->isVisible());
}

// The opening sizes the window around the screen and centres it; a resize below the
// screen's minimum is taken back; the screen fills the window below a 60-twip top and above
// a 400-twip bottom.
TEST(PrintWindow, SizesAndCentresAroundTheScreen)
{
    PrintFixture fixture;
    frmPrint& print = fixture.print();
    const int dpi = print.logicalDpiY();
    QWidget* screen = print.auiCTRL();
    const QRect display = print.screen()->geometry();
    EXPECT_NEAR(print.x(), display.x() + (display.width() - print.frameGeometry().width()) / 2, 1);
    EXPECT_NEAR(print.y(), display.y() + (display.height() - print.frameGeometry().height()) / 2,
                1);
    EXPECT_EQ(screen->geometry(), QRect(0, Twips::toPixels(60, dpi), print.width(),
                                        print.height() - Twips::toPixels(460, dpi)));
    const int minimumWidth = screen->property("MinimumWidth").toInt();
    EXPECT_EQ(print.minimumWidthTwips(), minimumWidth);
    // The minimum height is the frame as drawn now (none offscreen; the acceptance suite
    // measures it under a window manager) over the screen's own minimum.
    const int screenMinimum = screen->property("MinimumHeight").toInt();
    EXPECT_GT(screenMinimum, Twips::fromPixels(100, dpi));
    EXPECT_EQ(print.minimumHeightTwips(),
              Twips::fromPixels(print.frameGeometry().height() - print.height(), dpi) +
                  screenMinimum);

    fixture.window().mnuFileSub(6)->trigger();
    print.resize(20, 20);
    // The outer size: the frame is the window system's.
    EXPECT_EQ(print.frameGeometry().width(), Twips::toPixels(minimumWidth + 120, dpi));
    EXPECT_EQ(print.frameGeometry().height(), Twips::toPixels(print.minimumHeightTwips(), dpi));
    EXPECT_EQ(print.height(), Twips::toPixels(screenMinimum, dpi));
    EXPECT_EQ(screen->width(), print.width());
}

// On Windows XP the window is 105 twips taller than elsewhere.
TEST(PrintWindow, IsTallerOnWindowsXP)
{
    PrintFixture fixture;
    frmPrint& print = fixture.print();
    const int dpi = print.logicalDpiY();
    const int elsewhere = print.height();

    SystemStandIn::setVersion(VER_PLATFORM_WIN32_NT, 5, 1);
    fixture.window().mnuFileSub(8)->trigger();
    ASSERT_TRUE(PrintFixture::waitForScreen());
    const int onXP = frmPrint::loaded()->height();
    SystemStandIn::clearVersion();
    EXPECT_NEAR(onXP - elsewhere, Twips::toPixels(105, dpi), 1);
}

// A screen that cannot be created is reported as the load's error; the window stays
// without it and still shows.
TEST(PrintWindow, AScreenThatCannotBeCreatedIsReported)
{
    const QString progId = QStringLiteral("ACCPACOE1400.ACCPACOE1400UICtrl");
    PrintFixture fixture;
    ActiveX::RegisterControl(progId, {});
    fixture.window().mnuFileSub(8)->trigger();
    ActiveX::RegisterControl(progId, &Accpac::createInvoicePrintScreen);
    ASSERT_EQ(fixture.company().boxes.shown.size(), 1);
    const auto& box = fixture.company().boxes.shown.first();
    EXPECT_EQ(box.title, QStringLiteral("Tallymerge Error"));
    EXPECT_TRUE(box.text.contains(QStringLiteral("429"))) << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(QStringLiteral("frmPrint.Form_Load"))) << box.text.toStdString();
    ASSERT_NE(frmPrint::loaded(), nullptr);
    EXPECT_EQ(frmPrint::loaded()->auiCTRL(), nullptr);
    fixture.window().mnuFileSub(6)->trigger();
    EXPECT_TRUE(frmPrint::loaded()->isVisible());
    fixture.window().mnuFileSub(8)->trigger();
    EXPECT_TRUE(PrintFixture::waitForScreen());
}

// Late-bound calls on members the control does not have fail with error 438.
TEST(PrintWindow, UnknownMembersAreError438)
{
    PrintFixture fixture;
    QWidget* screen = fixture.print().auiCTRL();
    try {
        ActiveX::GetProperty(screen, "NoSuchProperty");
        FAIL() << "no error";
    } catch (const ComError& error) {
        EXPECT_EQ(error.number(), ActiveX::NoSuchMember);
    }
    EXPECT_THROW(ActiveX::CallObject(screen, "nosuchmethod", QStringLiteral("x")), ComError);
    EXPECT_EQ(ActiveX::CallObject(screen, "uiappcontrols", QStringLiteral("nosuchcontrol")),
              nullptr);
}
