// Program start on the sample company: from the launch of a process to the order grid
// loaded, as the program starts (start-up, splash, main window, sign-on, first activation,
// grid load). The splash is dismissed as soon as it shows, as a click on it does, so the
// figure leaves out the seven seconds a user who waits sees it.
//
// Each start is a process of its own: this program runs itself with --start, and that child
// runs the program's start-up on the prepared site and machine settings, then exits as soon
// as the grid is loaded. The time is the parent's, from launching the child to its exit.
#include <app/modstart.h>
#include <selection/frmmain.h>
#include <settings/settings.h>
#include <windows/frmsplash.h>

#include <accpac/standin.h>
#include <odbc/datasource.h>
#include <registry/hivelocations.h>
#include <system/windows.h>

#include <odbctestconfig.h>
#include <sample.h>

#include <benchmain.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const QString DataSource = QStringLiteral("BENCHSTART");

// The sample company as the sample generator makes it, with its data source and the machine
// settings of a configured program, made once for the run.
struct Machine
{
    Machine()
    {
        OdbcTestConfig::instance();
        Sample::Options options;
        options.folder = site.path();
        Sample::createSampleSite(options);
        OdbcDataSource::registerDataSource(
            DataSource, OdbcTestConfig::sqliteDriver(),
            {{QStringLiteral("Database"),
              Accpac::Admin::companyDatabaseFile(site.path(), Sample::CompanyId)}});
        Registry::ScopedHiveLocations locations(hives());
        Setting::save(Setting::DSN, DataSource);
        Setting::save(Setting::Configure, QStringLiteral("True"));
        Setting::save(Setting::Version, modStart::ProgramVersion());
    }

    Registry::HiveLocations hives() const
    {
        return {settings.filePath(QStringLiteral("machine")),
                settings.filePath(QStringLiteral("user"))};
    }

    QTemporaryDir site;
    QTemporaryDir settings;
    QTemporaryDir drive;
};

void ProgramStart(benchmark::State& state)
{
    static Machine machine;
    const Registry::HiveLocations hives = machine.hives();
    const QStringList arguments = {QStringLiteral("--start"), machine.site.path(),
                                   hives.machineFolder, hives.userFolder, machine.drive.path()};
    int rows = 0;
    for (auto _ : state) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer took;
        took.start();
        child.start(QCoreApplication::applicationFilePath(), arguments);
        const bool finished = child.waitForFinished(60000);
        state.SetIterationTime(double(took.nsecsElapsed()) / 1e9);
        const QByteArray answer = child.readAllStandardOutput().trimmed();
        if (!finished || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
            const QByteArray why = QStringLiteral("the program did not start (exit %1): %2")
                                       .arg(child.exitCode())
                                       .arg(QString::fromUtf8(answer))
                                       .toUtf8();
            state.SkipWithError(why.constData());
            return;
        }
        rows = answer.toInt();
    }
    state.counters["rows"] = rows;
}
BENCHMARK(ProgramStart)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// The child: the program's start-up on the given site, settings and drive C. Prints the
// grid's row count and exits once the first load is complete.
int startProgram(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Accpac::setSiteFolder(QString::fromLocal8Bit(argv[2]));
    Registry::ScopedHiveLocations locations(
        {QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4])});
    SystemStandIn::setDriveFolder(QString::fromLocal8Bit(argv[5]));
    Accpac::Testing::scriptSignon(
        {Sample::CompanyId, QStringLiteral("ADMIN"), Sample::AdminPassword});
    modStart::Main();
    // The splash goes once it is the active window (a click cannot come sooner); the grid is
    // loaded when the status bar says so.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* splash = qobject_cast<frmSplash*>(widget);
            if (splash && splash->isVisible() && splash->isActiveWindow())
                splash->Unload();
            auto* window = qobject_cast<frmMain*>(widget);
            if (window && window->statusText().startsWith(QLatin1String("Loading Complete."))) {
                std::printf("%d\n", window->statusText().section(QLatin1Char(' '), 2, 2).toInt());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            }
        }
    });
    poll.start(1);
    QTimer::singleShot(30000, [] {
        std::printf("the grid did not load within 30 seconds\n");
        QCoreApplication::exit(1);
    });
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && std::strcmp(argv[1], "--start") == 0)
        return startProgram(argc, argv);
    return runBenchmarks(argc, argv);
}
