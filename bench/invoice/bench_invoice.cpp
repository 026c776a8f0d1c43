// Speed of invoice creation in the embedded company: the whole call sequence of the program
// (open and compose the views, header, one "OE0427" insert per shipment, processing into
// lines, a prepayment and a delivery charge, the header insert) for an invoice of 1, 10 and
// 100 shipments of 5 lines each. Target: at most 20 ms for 10 shipments. With
// TALLYMERGE_TEST_BACKEND=postgres-socket the company is on a private PostgreSQL server.
#include <accpac/standin.h>
#include <accpac/view.h>
#include <invoicesequence.h>
#include <sample.h>
#include <teststore.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

struct Fixture
{
    Fixture()
    {
        session =
            Sample::benchmarkSite(TestStore::newSite(dir.path() + QStringLiteral("/site")), 300);
        link = session->OpenDBLink(1, 0);
    }

    // New shipments of 5 lines each for customer 1100, on one new order.
    QStringList makeShipments(int count)
    {
        return Sample::addShippedOrder(*link, QStringLiteral("BENCH%1").arg(++m_orders),
                                       QStringLiteral("1100"), count);
    }

    QTemporaryDir dir;
    std::unique_ptr<AccpacSession> session;
    std::shared_ptr<AccpacDBLink> link;
    int m_orders = 0;
};

// Made on first use, released before the server stops.
std::unique_ptr<Fixture> made;

Fixture& fixture()
{
    if (!made)
        made = std::make_unique<Fixture>();
    return *made;
}

void BM_CreateInvoice(benchmark::State& state)
{
    Fixture& f = fixture();
    Sample::InvoiceRequest request;
    request.customer = QStringLiteral("1100");
    request.layout56 = true;
    request.deliveryCharge = QStringLiteral("DEL");
    request.prepayment =
        Sample::InvoiceRequest::Prepayment::cheque(1, 5.0, QStringLiteral("BENCH"));
    for (auto _ : state) {
        state.PauseTiming();
        // The shipments are made in bulk; the invoice is timed with full durability.
        Accpac::Admin::setBulkLoading(*f.session, true);
        request.shipments = f.makeShipments(int(state.range(0)));
        Accpac::Admin::setBulkLoading(*f.session, false);
        state.ResumeTiming();
        const auto result = Sample::createInvoice(*f.link, request);
        if (result.invoiceNumber.isEmpty() || !result.skippedMessages.isEmpty())
            state.SkipWithError("the invoice was not created as asked");
    }
    state.SetLabel(std::to_string(state.range(0)) + " shipments of 5 lines");
    state.counters["on_server"] = TestStore::onServer() ? 1 : 0;
}
BENCHMARK(BM_CreateInvoice)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // the private server's processes
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    made.reset();
    TestStore::stopServer();
    return 0;
}
