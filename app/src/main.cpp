#include <app/modstart.h>

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(modStart::ProgramTitle);
    QApplication::setApplicationVersion(modStart::ProgramVersion());
    modStart::Main();
    // Main shows the first window; the program lives while a window is open.
    if (QApplication::topLevelWidgets().isEmpty())
        return 0;
    return QApplication::exec();
}
