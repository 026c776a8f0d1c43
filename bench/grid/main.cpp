// Loads the order grid of companies of 1,000, 10,000 and 100,000 orders through the real
// main window on the offscreen platform: the ODBC query, one shipment look-up per order,
// the rows, the status bar and the repaints. Reports the time of one load and the peak
// memory of the program with its grid loaded. As the physical reference, RawOdbcFetch
// sends the same statement through the ODBC C API and fetches every row. With
// TALLYMERGE_TEST_BACKEND=postgres-socket the companies are on a private PostgreSQL server
// (tests/support/teststore.h), read through psqlODBC.
#include <selection/frmmain.h>

#include <core/session.h>
#include <settings/settings.h>

#include <accpac/standin.h>
#include <odbc/datasource.h>
#include <registry/hivelocations.h>

#include <odbc/connectionstring.h>
#include <odbctestconfig.h>
#include <sample.h>
#include <teststore.h>

#include <benchmain.h>

#include <QApplication>
#include <QTemporaryDir>

#include <QFile>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sql.h>
#include <sqlext.h>

#include <map>
#include <memory>

namespace {

// One generated company per size, made once and kept for the run.
struct Company
{
    QTemporaryDir folder;
    QString site; // the folder, or the connection string of its database on the server
};

Company& company(int orders)
{
    static std::map<int, std::unique_ptr<Company>> companies;
    auto& slot = companies[orders];
    if (!slot) {
        slot = std::make_unique<Company>();
        slot->site = TestStore::newSite(slot->folder.path());
        Sample::Options options;
        options.folder = slot->site;
        options.orders = orders;
        options.strength = Accpac::Admin::HashStrength::Minimal;
        Sample::createSampleSite(options);
    }
    return *slot;
}

// The statement each size's load sent, as the window logged it.
std::map<int, QString>& statements()
{
    static std::map<int, QString> sent;
    return sent;
}

QString loggedStatement;
QtMessageHandler programHandler = nullptr;

void keepStatement(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    static const QRegularExpression load(
        QStringLiteral("^grid load from data source \\S+ : (.*)$"));
    const auto match = load.match(message);
    if (match.hasMatch()) {
        loggedStatement = match.captured(1);
        return;
    }
    if (type != QtDebugMsg && programHandler)
        programHandler(type, context, message);
}

// The peak resident memory from here on: what the allocator still holds of the generated
// company goes back to the system first, then the kernel's high-water mark is reset.
void resetPeakMemory()
{
    malloc_trim(0);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

void LoadGrid(benchmark::State& state)
{
    OdbcTestConfig::instance(); // before the program's first ODBC call
    const int orders = int(state.range(0));
    Company& site = company(orders);
    const QString file = Accpac::Admin::companyDatabaseFile(site.site, Sample::CompanyId);
    const QString dsn = QStringLiteral("BENCH%1").arg(orders);
    if (TestStore::onServer()) {
        // The server reads no bracketed names: engine 2's plain SQL, the login in the data
        // source so that the raw fetch logs in alike.
        auto attributes = Accpac::serverOdbcAttributes(file);
        for (const auto& [keyword, value] : OdbcConnectionString::parse(TestStore::odbcLogin()))
            if (keyword == QLatin1String("PWD"))
                attributes.append({QStringLiteral("Password"), value});
        OdbcDataSource::registerDataSource(dsn, OdbcTestConfig::postgresDriver(), attributes);
    } else {
        OdbcDataSource::registerDataSource(dsn, OdbcTestConfig::sqliteDriver(),
                                           {{QStringLiteral("Database"), file}});
    }
    QTemporaryDir hives;
    Registry::ScopedHiveLocations locations(
        {hives.filePath(QStringLiteral("m")), hives.filePath(QStringLiteral("u"))});
    Setting::save(Setting::DSN, dsn);
    Setting::save(Setting::DBEngine,
                  TestStore::onServer() ? QStringLiteral("2") : QStringLiteral("1"));
    Setting::save(Setting::Configure, QStringLiteral("True"));
    Accpac::setSiteFolder(site.site);
    Accpac::Testing::scriptSignon(
        {Sample::CompanyId, QStringLiteral("ADMIN"), Sample::AdminPassword});

    resetPeakMemory();
    QLoggingCategory::setFilterRules(QStringLiteral("tallymerge.selection.debug=true"));
    programHandler = qInstallMessageHandler(keepStatement);
    frmMain window;
    if (!window.Form_Load()) {
        state.SkipWithError("sign-on failed");
        return;
    }
    window.resize(1200, 800);
    window.show();
    // The first activation's load, before the timed ones.
    window.Form_Activate();
    int rows = 0;
    for (auto _ : state) {
        window.Load_Grid();
        rows = window.statusText().section(QLatin1Char(' '), 2, 2).toInt();
    }
    state.counters["orders"] = orders;
    state.counters["on_server"] = TestStore::onServer() ? 1 : 0;
    state.counters["rows"] = rows;
    state.counters["peak_MB"] = peakMegabytes();
    qInstallMessageHandler(programHandler);
    statements()[orders] = loggedStatement;
    window.close();
    Accpac::Testing::clearSignonScript();
}

// The load's statement through the ODBC C API on the same data source: columns bound once,
// every row fetched. No program can list the orders faster through this driver.
void RawOdbcFetch(benchmark::State& state)
{
    const int orders = int(state.range(0));
    const QString statement = statements()[orders];
    if (statement.isEmpty()) {
        state.SkipWithError("run LoadGrid of this size first");
        return;
    }
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    const QString connect = QStringLiteral("DSN=BENCH%1").arg(orders);
    if (!SQL_SUCCEEDED(SQLDriverConnectW(
            dbc, nullptr, const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(connect.utf16())),
            SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
        state.SkipWithError("the data source cannot be reached");
    } else {
        constexpr int Columns = 7;
        constexpr SQLLEN Capacity = 256;
        SQLWCHAR text[Columns][Capacity];
        SQLLEN length[Columns];
        long rows = 0;
        for (auto _ : state) {
            SQLHSTMT st = SQL_NULL_HSTMT;
            SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
            SQLExecDirectW(
                st, const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(statement.utf16())),
                SQL_NTS);
            for (SQLUSMALLINT c = 0; c < Columns; ++c)
                SQLBindCol(st, c + 1, SQL_C_WCHAR, text[c], sizeof text[c], &length[c]);
            rows = 0;
            while (SQL_SUCCEEDED(SQLFetch(st)))
                ++rows;
            SQLFreeHandle(SQL_HANDLE_STMT, st);
        }
        state.counters["rows"] = double(rows);
        state.counters["on_server"] = TestStore::onServer() ? 1 : 0;
        SQLDisconnect(dbc);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
}

} // namespace

BENCHMARK(LoadGrid)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(RawOdbcFetch)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

int main(int argc, char** argv)
{
    return runBenchmarks(argc, argv, [] { TestStore::stopServer(); });
}
