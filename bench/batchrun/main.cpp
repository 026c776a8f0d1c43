// The batch invoice run ("Invoice Batch" after its options) over a grid of N shipment rows of
// N / 5 customers, one invoice per shipment, through the real main window over a fresh sample
// company: with plain order numbers, and with revision suffixes ("R00001-1"), where the first
// pass ticks and the second pass invoices. Target: 1,000 invoices in at most 10 seconds (10 ms
// an invoice), and memory that does not grow with the number of invoices (counter
// rss_growth_MB: resident memory after the run less before it). PreviewBatch records the same
// run over the same grids without creating anything; target: under 1 second for 1,000 rows
// (1 ms a row). Each benchmark reports its figure and its target side by side (figure_ms,
// target_ms) and whether the figure meets the target (within_target: 1 or 0).
#include <mainwindowfixture.h>

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/session.h>
#include <invoicing/batchpreview.h>

#include <accpac/view.h>

#include <accpac/standin.h>
#include <benchmain.h>
#include <teststore.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <unistd.h>

#include <algorithm>

#include <benchmark/benchmark.h>

namespace {

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

QString customerId(int c)
{
    return QStringLiteral("B%1").arg(c, 4, 10, QLatin1Char('0'));
}

void addCustomers(int count)
{
    auto customers = modGeneral::AppDBLink->OpenView(QStringLiteral("AR0024"));
    for (int c = 0; c < count; ++c) {
        customers->ClearRecord();
        customers->InitRecord(0);
        const QList<std::pair<const char*, QVariant>> values = {
            {"IDCUST", customerId(c)},
            {"NAMECUST", QStringLiteral("Batch %1").arg(c)},
            {"CODECURN", QStringLiteral("USD")},
            {"AMTCRLIMT", 1.0e7},
            {"AMTBALDUET", 0.0},
            {"NAMECITY", QStringLiteral("Vancouver")},
            {"IDGRP", QStringLiteral("RTL")},
            {"CODETERM", QStringLiteral("NET30")}};
        for (const auto& [field, value] : values)
            customers->Field(QLatin1String(field)).SetValue(value);
        customers->Insert();
    }
    customers->Close();
}

// Row i belongs to customer i % customers; with suffixes, every order is revision 1 of its
// own base order.
QList<TestOrder> orders(int count, int customers, bool suffixed)
{
    QList<TestOrder> list;
    for (int i = 1; i <= count; ++i) {
        TestOrder order;
        order.number = suffixed ? QStringLiteral("R%1-1").arg(i, 5, 10, QLatin1Char('0'))
                                : QStringLiteral("P%1").arg(i, 5, 10, QLatin1Char('0'));
        order.customer = customerId(i % customers);
        order.name = QStringLiteral("Batch %1").arg(i % customers);
        order.shipments = {{QStringLiteral("SH%1").arg(i, 5, 10, QLatin1Char('0')), 10.0 + i % 50}};
        order.withLines = true;
        list << order;
    }
    return list;
}

// A fresh company with the customers and orders, its settings, and the window over it.
frmMain& openGrid(MainWindowFixture& fixture, benchmark::State& state, int rows, bool suffixed)
{
    addCustomers(rows / 5);
    fixture.addOrders(orders(rows, rows / 5, suffixed));
    Setting::save(Setting::OrderNum, suffixed ? QStringLiteral("1") : QStringLiteral("0"));
    Setting::save(Setting::InvComplete, QStringLiteral("0"));
    modGeneral::BatchOption = 1;
    modGeneral::PendingPrepayment = {};
    frmMain& window = fixture.open();
    if (window.ui()->flgMain->Rows() != rows + 1)
        state.SkipWithError("the grid did not load every order");
    return window;
}

// The figure beside its target, so that a reader sees at once whether it is met.
void reportAgainstTarget(benchmark::State& state, double figureMs, double targetMs)
{
    state.counters["figure_ms"] = figureMs;
    state.counters["target_ms"] = targetMs;
    state.counters["within_target"] = figureMs <= targetMs ? 1 : 0;
}

void BatchRun(benchmark::State& state)
{
    const int rows = int(state.range(0));
    double growth = 0;
    double runMs = 0;
    bool onServer = false;
    for (auto _ : state) {
        state.PauseTiming();
        {
            MainWindowFixture fixture({});
            frmMain& window = openGrid(fixture, state, rows, state.range(1) != 0);
            onServer = Accpac::isServerSite(fixture.companyFile());
            const double before = residentMegabytes();
            state.ResumeTiming();
            QElapsedTimer clock;
            clock.start();
            window.Check_Orders();
            runMs = double(clock.nsecsElapsed()) / 1e6;
            state.PauseTiming();
            growth = residentMegabytes() - before;
            const QString last = QStringLiteral(" to IN%1 ").arg(rows, 7, 10, QLatin1Char('0'));
            if (!window.statusText().contains(last) || !fixture.boxes.shown.isEmpty())
                state.SkipWithError("the batch run failed");
        }
        state.ResumeTiming();
    }
    state.counters["rss_growth_MB"] = growth;
    state.counters["on_server"] = onServer ? 1 : 0;
    reportAgainstTarget(state, runMs, 10.0 * rows);
    state.SetItemsProcessed(state.iterations() * rows);
}

void PreviewBatch(benchmark::State& state)
{
    const int rows = int(state.range(0));
    MainWindowFixture fixture({});
    frmMain& window = openGrid(fixture, state, rows, state.range(1) != 0);
    double slowestMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const BatchPreview preview = previewBatch(window);
        slowestMs = std::max(slowestMs, double(clock.nsecsElapsed()) / 1e6);
        if (preview.invoices.size() != rows)
            state.SkipWithError("the preview did not list every invoice");
    }
    reportAgainstTarget(state, slowestMs, 1.0 * rows);
    state.SetItemsProcessed(state.iterations() * rows);
}

} // namespace

BENCHMARK(BatchRun)
    ->ArgNames({"rows", "suffixed"})
    ->Args({250, 0})
    ->Args({1000, 0})
    ->Args({250, 1})
    ->Args({1000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(PreviewBatch)
    ->ArgNames({"rows", "suffixed"})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv)
{
    return runBenchmarks(argc, argv, [] { TestStore::stopServer(); });
}
