// Speed of invoice printing: the printing screen, created by its ProgID and driven through its
// controls as a user would, prints 100 and 1,000 invoices of 5 lines each (with a delivery
// charge and a prepayment) to one PDF file. With TALLYMERGE_TEST_BACKEND=postgres-socket the
// company is on a private PostgreSQL server.
#include <activex/activex.h>

#include <accpac/standin.h>
#include <invoicesequence.h>
#include <sample.h>
#include <teststore.h>

#include <benchmark/benchmark.h>

#include <benchmain.h>

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

constexpr int Invoices = 1000;

struct Fixture
{
    Fixture()
    {
        session =
            Sample::benchmarkSite(TestStore::newSite(dir.path() + QStringLiteral("/site")), 0);
        auto link = session->OpenDBLink(1, 0);
        for (int i = 0; i < Invoices; ++i)
            numbers.append(invoice(*link, i));
        screen.reset(ActiveX::AddControl(QStringLiteral("ACCPACOE1400.ACCPACOE1400UICtrl"),
                                         QStringLiteral("auiCTRL"), nullptr));
        QCoreApplication::processEvents();
        Accpac::Testing::setScreenMessageRecorder(
            [this](const QString& text) { messages.append(text); });
    }

    // One invoice of one new shipment of 5 lines for customer 1100.
    static QString invoice(AccpacDBLink& link, int i)
    {
        Sample::InvoiceRequest request;
        request.customer = QStringLiteral("1100");
        request.shipments = Sample::addShippedOrder(
            link, QStringLiteral("PRINT%1").arg(i + 1, 4, 10, QLatin1Char('0')), request.customer,
            1);
        request.deliveryCharge = QStringLiteral("DEL");
        request.prepayment =
            Sample::InvoiceRequest::Prepayment::cheque(1, 5.0, QStringLiteral("BENCH"));
        return Sample::createInvoice(link, request).invoiceNumber;
    }

    template <class T> T* control(const char* name)
    {
        return screen->findChild<T*>(QString::fromLatin1(name));
    }

    QTemporaryDir dir;
    std::unique_ptr<AccpacSession> session;
    std::unique_ptr<QWidget> screen;
    QStringList numbers; // in the order made
    QStringList messages;
};

// Made on first use, released before the application object.
std::unique_ptr<Fixture> fixture;

void BM_PrintInvoicesToPdf(benchmark::State& state)
{
    if (!fixture)
        fixture = std::make_unique<Fixture>();
    Fixture& f = *fixture;
    const int invoices = int(state.range(0));
    const QString pdf = f.dir.filePath(QStringLiteral("invoices.pdf"));
    f.control<QWidget>("afeOEINVHsortfrom")->setProperty("Value", f.numbers.first());
    f.control<QWidget>("afeOEINVHsortto")->setProperty("Value", f.numbers.at(invoices - 1));
    f.control<QComboBox>("cboDestination")->setCurrentIndex(1);
    f.control<QLineEdit>("txtPdfFile")->setText(pdf);
    for (auto _ : state) {
        f.control<QPushButton>("btnPrint")->click();
        if (!f.messages.isEmpty() || !QFileInfo::exists(pdf)) {
            state.SkipWithError(
                f.messages.value(0, QStringLiteral("no PDF file")).toUtf8().constData());
            break;
        }
    }
    state.counters["invoices"] = invoices;
    state.counters["on_server"] = TestStore::onServer() ? 1 : 0;
    state.counters["PDF bytes"] = double(QFileInfo(pdf).size());
    state.SetLabel(QStringLiteral("%1 invoices of 5 lines to one PDF").arg(invoices).toStdString());
}
BENCHMARK(BM_PrintInvoicesToPdf)
    ->Arg(100)
    ->Arg(Invoices)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarks(argc, argv, [] {
        fixture.reset();
        TestStore::stopServer();
    });
}
