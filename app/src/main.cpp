#include <app/modstart.h>

#include <core/appstate.h>
#include <core/log.h>
#include <resources/resources.h>

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(modGeneral::ProgramTitle);
    QApplication::setApplicationVersion(modStart::ProgramVersion());
    QApplication::setWindowIcon(Resources::ProgramIcon());
    ProgramLog::Options logOptions;
    logOptions.verbose = QApplication::arguments().contains(QStringLiteral("--verbose"));
    const ProgramLog::Log log(logOptions);
    modStart::Main();
    // Main shows the first window; the program lives while a window is open, and ends at
    // once when none was shown (a failed or cancelled sign-on).
    bool anyShown = false;
    for (QWidget* widget : QApplication::topLevelWidgets())
        anyShown = anyShown || widget->isVisible();
    if (!anyShown)
        return 0;
    return QApplication::exec();
}
