// Helper of the interrupted-run test: opens the main window on a company the test prepared
// (site folder and settings hives given as arguments; the ODBC configuration comes with the
// environment), lets it load the grid and runs the batch invoice run. Prints "loaded <rows>"
// after the load, "announced <number>" for each invoice the window announces and "done" at
// the end. With a fourth argument "insert:TABLE:N" or "update:TABLE:N" the program kills
// itself in the middle of the N-th such write to that table: inside the write's transaction,
// as a kill or a power cut would stop it there; with "pace:MS" every write takes MS
// milliseconds, so that the test's kill by time lands in the middle of the run.
#include <selection/frmmain.h>

#include <core/appstate.h>

#include <accpac/standin.h>
#include <registry/hivelocations.h>
#include <sample.h>
#include <scriptedboxes.h>

#include <QApplication>
#include <QTimer>

#include "killatwrite.h"

#include <cstdio>

namespace {

void line(const QString& text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 2;
    if (args.size() > 4) {
        KillAtWrite::arm(args[4]);
        KillAtWrite::install();
    }
    Registry::ScopedHiveLocations hives(Registry::HiveLocations{args[2], args[3]});
    ScriptedBoxes boxes;
    Accpac::setSiteFolder(args[1]);
    Accpac::Testing::setSignonAnswer(Accpac::Testing::SignonAnswer{
        Sample::CompanyId, QStringLiteral("ADMIN"), Sample::AdminPassword});
    int result = 0;
    {
        frmMain window;
        if (!window.Form_Load())
            return 3;
        window.Form_Activate();
        line(QStringLiteral("loaded %1").arg(window.ui() ? window.statusText() : QString()));

        // The run yields to the window after each announcement: report it then.
        QString announced;
        QTimer watcher;
        watcher.setInterval(0);
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            const QString text = window.statusText();
            if (text == announced || !text.startsWith(QStringLiteral("Invoice ")) ||
                !text.endsWith(QStringLiteral(" created successfully.")))
                return;
            announced = text;
            line(QStringLiteral("announced ") + text.section(u' ', 1, 1));
        });
        watcher.start();
        window.Check_Orders();
        watcher.stop();
        for (const auto& box : boxes.shown) {
            line(QStringLiteral("box ") + box.title);
            result = 1;
        }
        line(QStringLiteral("done ") + window.statusText());
        window.close();
    }
    return result;
}
