// One invoice for N ticked shipments of one customer through the real main window over a
// fresh sample company, completion of their orders included. Target: 300 shipments in at
// most 1 second. With TALLYMERGE_TEST_BACKEND=postgres-socket the company is on a private
// PostgreSQL server (tests/support/teststore.h).
#include <mainwindowfixture.h>

#include "ui_frmmain.h"

#include <core/appstate.h>

#include <accpac/standin.h>
#include <benchmain.h>
#include <teststore.h>

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

QList<TestOrder> orders(int count)
{
    QList<TestOrder> list;
    for (int i = 1; i <= count; ++i) {
        TestOrder order;
        order.number = QStringLiteral("ORD%1").arg(i, 5, 10, QLatin1Char('0'));
        order.shipments = {{QStringLiteral("SH%1").arg(i, 5, 10, QLatin1Char('0')), 10.0 + i}};
        list << order;
    }
    return list;
}

void InvoiceTickedShipments(benchmark::State& state)
{
    const int count = int(state.range(0));
    bool onServer = false;
    for (auto _ : state) {
        state.PauseTiming();
        {
            MainWindowFixture fixture(orders(count));
            onServer = Accpac::isServerSite(fixture.companyFile());
            frmMain& window = fixture.open();
            OrderGrid* grid = window.ui()->flgMain;
            grid->setCol(0);
            for (int row = 1; row < grid->Rows(); ++row) {
                grid->setRow(row);
                grid->setCellPicture(OrderGrid::Picture::Checked);
            }
            window.setSelCustomer(QStringLiteral("1200"));
            window.setDelChargeApply(false);
            modGeneral::PendingPrepayment = {};
            state.ResumeTiming();
            const bool created = window.Create_Invoice56(QStringLiteral("1200"));
            state.PauseTiming();
            if (!created || grid->Rows() != count + 1)
                state.SkipWithError("the invoice run failed");
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["on_server"] = onServer ? 1 : 0;
}

} // namespace

BENCHMARK(InvoiceTickedShipments)
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Arg(300)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv)
{
    return runBenchmarks(argc, argv, [] { TestStore::stopServer(); });
}
