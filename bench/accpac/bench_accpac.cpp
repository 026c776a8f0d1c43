// Speed of the embedded view engine on a sample company of 2,000 orders:
//   keyed reads per second (customers by number, shipments by number), and
//   open-browse-fetch-close cycles per second of the shipment view, as the grid loader
//   does once per order;
// and, as the physical reference of both, the same keyed shipment read as a raw prepared
// SELECT through the sqlite3 C API on the same company file.
#include <accpac/standin.h>
#include <sample.h>

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int Orders = 2000;

struct Fixture
{
    Fixture()
    {
        Sample::Options options;
        options.folder = dir.path() + QStringLiteral("/site");
        options.orders = Orders;
        options.strength = Accpac::Admin::HashStrength::Minimal;
        Sample::createSampleSite(options);
        session = Accpac::createSession();
        session->Init(QString(), QStringLiteral("AS"), QStringLiteral("AS0001"),
                      QStringLiteral("53A"));
        if (!Accpac::Testing::signOn(*session, options.folder, Sample::CompanyId,
                                     QStringLiteral("ADMIN"), Sample::AdminPassword)) {
            std::fprintf(stderr, "sign-on failed\n");
            std::abort();
        }
        link = session->OpenDBLink(1, 0);
    }

    QString companyFile() const
    {
        return Accpac::Admin::companyDatabaseFile(dir.path() + QStringLiteral("/site"),
                                                  Sample::CompanyId);
    }

    QTemporaryDir dir;
    std::unique_ptr<AccpacSession> session;
    std::shared_ptr<AccpacDBLink> link;
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_KeyedReadCustomer(benchmark::State& state)
{
    auto view = fixture().link->OpenView(QStringLiteral("AR0024"));
    const QStringList ids = {"1100", "1200", "1400", "1500", "1700", "1850", "9999"};
    auto& id = view->Field(QStringLiteral("IDCUST"));
    auto& name = view->Field(QStringLiteral("NAMECUST"));
    int n = 0;
    for (auto _ : state) {
        id.SetValue(ids[n++ % ids.size()]);
        if (view->Read())
            benchmark::DoNotOptimize(name.GetValue());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeyedReadCustomer)->UseRealTime();

void BM_KeyedReadShipment(benchmark::State& state)
{
    auto view = fixture().link->OpenView(QStringLiteral("OE0692"));
    view->SetOrder(1);
    auto& number = view->Field(QStringLiteral("SHINUMBER"));
    auto& amount = view->Field(QStringLiteral("SHINETWTX"));
    QStringList numbers;
    for (int i = 0; i < Orders; i += 7)
        numbers << QStringLiteral("SH%1-1").arg(1000 + i);
    int n = 0;
    for (auto _ : state) {
        number.SetValue(numbers[n++ % numbers.size()]);
        if (view->Read())
            benchmark::DoNotOptimize(amount.GetValue());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeyedReadShipment)->UseRealTime();

// Every column of one shipment by its number: one prepared statement kept, bound, stepped,
// read and reset per look-up, which is the least a keyed read of the view can cost.
void BM_RawKeyedSelectShipment(benchmark::State& state)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(fixture().companyFile()).constData(), &db,
                        SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        state.SkipWithError("the company file cannot be opened");
        sqlite3_close(db);
        return;
    }
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM OESHIH WHERE SHINUMBER=?", -1, &st, nullptr);
    std::vector<QByteArray> numbers;
    for (int i = 0; i < Orders; i += 7)
        numbers.push_back(QStringLiteral("SH%1-1").arg(1000 + i).toUtf8());
    std::size_t n = 0;
    for (auto _ : state) {
        const QByteArray& number = numbers[n++ % numbers.size()];
        sqlite3_bind_text(st, 1, number.constData(), int(number.size()), SQLITE_STATIC);
        if (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                if (sqlite3_column_type(st, c) == SQLITE_TEXT)
                    benchmark::DoNotOptimize(sqlite3_column_text(st, c));
                else
                    benchmark::DoNotOptimize(sqlite3_column_double(st, c));
            }
        }
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RawKeyedSelectShipment)->UseRealTime();

void BM_OpenBrowseFetchClose(benchmark::State& state)
{
    QStringList filters;
    for (int i = 0; i < Orders; i += 3)
        filters << QStringLiteral("ORDNUMBER = \"ORD%1\"").arg(1000 + i, 6, 10, QLatin1Char('0'));
    int n = 0;
    for (auto _ : state) {
        auto view = fixture().link->OpenView(QStringLiteral("OE0692"));
        view->SetOrder(2);
        view->Browse(filters[n++ % filters.size()], true);
        if (view->Fetch()) {
            benchmark::DoNotOptimize(view->Field(QStringLiteral("SHINUMBER")).GetValue());
            benchmark::DoNotOptimize(view->Field(QStringLiteral("SHINETWTX")).GetValue());
        }
        view->Close();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OpenBrowseFetchClose)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // The company is made before the first benchmark, outside every measurement.
    fixture();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
