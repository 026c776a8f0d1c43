#include <windows/frmsplash.h>

#include "ui_frmsplash.h"

#include <core/twips.h>
#include <resources/resources.h>

#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace {

using Resources::LoadResString;
namespace Entry = Resources::Entry;

// A splash shown as start-up shows it, with a count of its unloads.
struct ShownSplash
{
    ShownSplash() : window(new frmSplash), unloads(window.data(), &frmSplash::unloaded)
    {
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.data()));
    }
    ~ShownSplash() { delete window.data(); }

    // True once the splash has released itself (its deferred delete ran).
    bool released()
    {
        return QTest::qWaitFor([this] { return window.isNull(); }, 5000);
    }

    QPointer<frmSplash> window;
    QSignalSpy unloads;
};

int distinctColours(const QImage& image)
{
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

} // namespace

TEST(SplashWindow, ShowsTheProductTextsLogoAndGreenFrameAtItsFixedSize)
{
    frmSplash splash;
    Ui::frmSplash& ui = *splash.ui();
    EXPECT_EQ(ui.lblVersion->text(), QStringLiteral("Version  ") + Resources::ProgramVersion());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Version  \\d+\\.\\d+\\.\\d+$"))
                    .match(ui.lblVersion->text())
                    .hasMatch())
        << ui.lblVersion->text().toStdString();
    EXPECT_EQ(ui.lblCompanyProduct->text(), QStringLiteral("Norvane"));
    EXPECT_EQ(ui.lblProductName->text(), QStringLiteral("Tallymerge"));
    EXPECT_EQ(ui.lblProdDesc->text(),
              QStringLiteral("Create a single Invoice for multiple OE Shipments."));
    EXPECT_EQ(ui.lblCompany->text(), LoadResString(Entry::Company));
    EXPECT_EQ(ui.lblCopyright->text(), LoadResString(Entry::Copyright));
    EXPECT_EQ(ui.lblPlatform->text(), LoadResString(Entry::Platform));
    EXPECT_EQ(ui.lblWarning->text(), LoadResString(Entry::Warning));
    for (QLabel* label : {ui.lblCompany, ui.lblCopyright, ui.lblPlatform, ui.lblWarning})
        EXPECT_FALSE(label->text().trimmed().isEmpty()) << label->objectName().toStdString();

    const QSize fixed(Twips::toPixels(7145, splash.logicalDpiX()),
                      Twips::toPixels(4025, splash.logicalDpiY()));
    EXPECT_EQ(splash.size(), fixed);
    splash.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&splash));
    splash.resize(fixed * 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(splash.size(), fixed);

    // The frame is drawn in RGB(91, 173, 63) along its edge; inside, the window is white.
    const QImage picture = splash.grab().toImage();
    const QPoint edge = ui.Shape1->geometry().topLeft() + QPoint(ui.Shape1->width() / 2, 1);
    EXPECT_EQ(QColor(picture.pixel(edge)), QColor(91, 173, 63));
    EXPECT_EQ(QColor(picture.pixel(ui.Shape1->geometry().topLeft() + QPoint(12, 12))),
              QColor(Qt::white));

    // The logo fills its box with a drawn picture, not a flat placeholder.
    const QPixmap logo = ui.picLogo->pixmap();
    ASSERT_FALSE(logo.isNull());
    EXPECT_EQ(logo.deviceIndependentSize().toSize(), ui.picLogo->size());
    EXPECT_GT(distinctColours(logo.toImage()), 200);
    EXPECT_EQ(QColor(logo.toImage().pixel(logo.width() / 2, 4)).alpha(), 255);
}

TEST(SplashWindow, AClickOnTheWindowOrAnyLabelOrAKeyUnloadsItExactlyOnce)
{
    using Dismiss = std::function<void(frmSplash&)>;
    QList<std::pair<QString, Dismiss>> ways = {
        {QStringLiteral("the window"),
         [](frmSplash& w) { QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(8, 100)); }},
        {QStringLiteral("the logo"),
         [](frmSplash& w) { QTest::mouseClick(w.ui()->picLogo, Qt::LeftButton); }},
        {QStringLiteral("the right button"),
         [](frmSplash& w) { QTest::mouseClick(&w, Qt::RightButton); }},
        {QStringLiteral("Escape"), [](frmSplash& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
        {QStringLiteral("a letter"), [](frmSplash& w) { QTest::keyClick(&w, Qt::Key_Q); }},
        {QStringLiteral("Enter"), [](frmSplash& w) { QTest::keyClick(&w, Qt::Key_Return); }},
        {QStringLiteral("the desktop's close"), [](frmSplash& w) { w.close(); }},
    };
    frmSplash names;
    for (QLabel* label : names.findChildren<QLabel*>()) {
        if (!label->objectName().startsWith(QLatin1String("lbl")))
            continue;
        const QString name = label->objectName();
        ways.append({name, [name](frmSplash& w) {
                         QTest::mouseClick(w.findChild<QLabel*>(name), Qt::LeftButton);
                     }});
    }
    EXPECT_EQ(ways.size(), 7 + 8); // every one of the eight labels

    for (const auto& [way, dismiss] : ways) {
        SCOPED_TRACE(way.toStdString());
        ShownSplash shown;
        EXPECT_TRUE(shown.window->Timer()->isActive());
        dismiss(*shown.window);
        EXPECT_EQ(shown.unloads.count(), 1);
        ASSERT_FALSE(shown.window.isNull());
        EXPECT_FALSE(shown.window->isVisible());
        EXPECT_FALSE(shown.window->Timer()->isActive());
        // A second click, key or tick before the window is gone changes nothing.
        QTest::keyClick(shown.window.data(), Qt::Key_Space);
        shown.window->Unload();
        EXPECT_EQ(shown.unloads.count(), 1);
        EXPECT_TRUE(shown.released());
    }
}

TEST(SplashWindow, ClosesByItselfAfterSevenSecondsExactlyOnce)
{
    ShownSplash shown;
    EXPECT_EQ(shown.window->Timer()->interval(), 7000);
    EXPECT_TRUE(shown.window->Timer()->isActive());
    QTest::qWait(5000);
    EXPECT_EQ(shown.unloads.count(), 0);
    EXPECT_TRUE(shown.window->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.unloads.count() > 0; }, 20000));
    // The timer stopped: nothing more comes, and the window is released.
    QTest::qWait(200);
    EXPECT_EQ(shown.unloads.count(), 1);
    EXPECT_TRUE(shown.released());
}
