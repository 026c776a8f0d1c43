// Types into an installed edit box and leaves it; then loads the installed Designer plugin
// as Designer does. Exits 0 when all went as expected.
#include <vrexeditbox/vrexeditbox.h>

#include <QApplication>
#include <QLineEdit>
#include <QPluginLoader>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    VrexEditbox::setUserLocale([] { return QLocale(QLocale::English, QLocale::UnitedStates); });
    VrexEditbox::setBeepHook([] {});

    QWidget window;
    auto* box = new VrexEditbox(&window);
    box->setEditType(VrexEditbox::Currency_Dec);
    box->setDecimals(VrexEditbox::Decimals_2_Two);
    auto* next = new QLineEdit(&window);
    next->move(0, 40);
    window.show();
    if (!QTest::qWaitForWindowActive(&window))
        return 3;
    box->innerEdit()->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(box->innerEdit(), QStringLiteral("1234.5x"));
    next->setFocus(Qt::TabFocusReason);
    if (box->text() != QStringLiteral("1,234.50")) {
        std::fprintf(stderr, "unexpected text %s\n", qPrintable(box->text()));
        return 1;
    }

    if (argc > 1) {
        QPluginLoader plugin(QString::fromLocal8Bit(argv[1]));
        if (!plugin.load()) {
            std::fprintf(stderr, "designer plugin: %s\n", qPrintable(plugin.errorString()));
            return 2;
        }
    }
    std::puts("host ok");
    return 0;
}
