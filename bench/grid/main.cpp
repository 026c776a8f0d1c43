// Loads the order grid of companies of 1,000, 10,000 and 100,000 orders through the real
// main window on the offscreen platform: the ODBC query, one shipment look-up per order,
// the rows, the status bar and the repaints. Reports the time of one load and the process's
// peak memory.
#include <selection/frmmain.h>

#include <core/session.h>
#include <settings/settings.h>

#include <accpac/standin.h>
#include <odbc/datasource.h>
#include <registry/hivelocations.h>

#include <odbctestconfig.h>
#include <sample.h>

#include <benchmain.h>

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <map>
#include <memory>

namespace {

// One generated company per size, made once and kept for the run.
struct Company
{
    QTemporaryDir folder;
};

Company& company(int orders)
{
    static std::map<int, std::unique_ptr<Company>> companies;
    auto& slot = companies[orders];
    if (!slot) {
        slot = std::make_unique<Company>();
        Sample::Options options;
        options.folder = slot->folder.path();
        options.orders = orders;
        options.strength = Accpac::Admin::HashStrength::Minimal;
        Sample::createSampleSite(options);
    }
    return *slot;
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

void LoadGrid(benchmark::State& state)
{
    OdbcTestConfig::instance(); // before the program's first ODBC call
    const int orders = int(state.range(0));
    Company& site = company(orders);
    const QString file = Accpac::Admin::companyDatabaseFile(site.folder.path(), Sample::CompanyId);
    const QString dsn = QStringLiteral("BENCH%1").arg(orders);
    OdbcDataSource::registerDataSource(dsn, OdbcTestConfig::sqliteDriver(),
                                       {{QStringLiteral("Database"), file}});
    QTemporaryDir hives;
    Registry::ScopedHiveLocations locations(
        {hives.filePath(QStringLiteral("m")), hives.filePath(QStringLiteral("u"))});
    Setting::save(Setting::DSN, dsn);
    Setting::save(Setting::Configure, QStringLiteral("True"));
    Accpac::setSiteFolder(site.folder.path());
    Accpac::Testing::scriptSignon(
        {Sample::CompanyId, QStringLiteral("ADMIN"), Sample::AdminPassword});

    frmMain window;
    if (!window.Form_Load()) {
        state.SkipWithError("sign-on failed");
        return;
    }
    window.resize(1200, 800);
    window.show();
    window.FirstActivate = false;
    int rows = 0;
    for (auto _ : state) {
        window.Load_Grid();
        rows = window.statusText().section(QLatin1Char(' '), 2, 2).toInt();
    }
    state.counters["orders"] = orders;
    state.counters["rows"] = rows;
    state.counters["peak_MB"] = peakMegabytes();
    window.close();
    Accpac::Testing::clearSignonScript();
}

} // namespace

BENCHMARK(LoadGrid)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

int main(int argc, char** argv)
{
    return runBenchmarks(argc, argv);
}
