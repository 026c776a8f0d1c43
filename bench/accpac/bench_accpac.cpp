// Speed of the embedded view engine on a sample company of 2,000 orders:
//   keyed reads per second (customers by number, shipments by number), and
//   open-browse-fetch-close cycles per second of the shipment view, as the grid loader
//   does once per order.
#include <accpac/standin.h>
#include <sample.h>

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <cstdio>
#include <memory>

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

BENCHMARK_MAIN();
