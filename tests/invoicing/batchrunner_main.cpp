// Helper of the interrupted-run test: opens the main window on a company the test prepared
// (site folder and settings hives given as arguments; the ODBC configuration comes with the
// environment), lets it load the grid and runs the batch invoice run. Prints "loaded <rows>"
// after the load, "announced <number>" for each invoice the window announces and "done" at
// the end. With a fourth argument "insert:TABLE:N" or "update:TABLE:N" the program kills
// itself in the middle of the N-th such write to that table: inside the write's transaction,
// as a kill or a power cut would stop it there.
#include <selection/frmmain.h>

#include <core/appstate.h>

#include <accpac/standin.h>
#include <registry/hivelocations.h>
#include <sample.h>
#include <scriptedboxes.h>

#include <QApplication>
#include <QTimer>

#include <sqlite3.h>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

struct KillAt
{
    int operation = 0; // SQLITE_INSERT or SQLITE_UPDATE; 0: never
    QByteArray table;
    int count = 0;
};
KillAt killAt;

void onWrite(void*, int operation, const char*, const char* table, sqlite3_int64)
{
    if (operation != killAt.operation || killAt.table != table)
        return;
    if (--killAt.count == 0) {
        std::printf("killed %s\n", table);
        std::fflush(stdout);
        std::raise(SIGKILL);
    }
}

int watchWrites(sqlite3* db, const char**, const sqlite3_api_routines*)
{
    sqlite3_update_hook(db, onWrite, nullptr);
    return SQLITE_OK;
}

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
        const QStringList spec = args[4].split(u':');
        killAt.operation = spec.value(0) == QLatin1String("update") ? SQLITE_UPDATE : SQLITE_INSERT;
        killAt.table = spec.value(1).toLatin1();
        killAt.count = spec.value(2).toInt();
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(watchWrites));
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
