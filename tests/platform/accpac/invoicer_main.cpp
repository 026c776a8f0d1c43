// Helper of the test of two programs invoicing at once: signs on to a site as ADMIN and
// creates one invoice per "customer:shipment" argument, in the order given, by the program's
// call sequence. After the sign-on it prints "ready" and waits until the file named by the
// second argument exists, so that two helpers start invoicing at the same moment. Prints
// "<shipment> <invoice>" for each invoice made; a refused invoice is not an error (another process
// may have been first). Exit code 0 unless the sign-on failed.
#include <accpac/standin.h>
#include <invoicesequence.h>
#include <sample.h>
#include <system/comerror.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    auto session = Sample::signOn(args[1]);
    if (!session)
        return 3;
    auto link = session->OpenDBLink(1, 0);
    std::printf("ready\n");
    std::fflush(stdout);
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(args[2]))
        if (waited.elapsed() > 30000)
            return 4;
        else
            QThread::msleep(1);
    for (const QString& item : args.mid(3)) {
        Sample::InvoiceRequest request;
        request.customer = item.section(u':', 0, 0);
        request.shipments = {item.section(u':', 1)};
        try {
            const auto result = Sample::createInvoice(*link, request);
            if (!result.invoiceNumber.isEmpty() && result.skippedMessages.isEmpty())
                std::printf("%s %s\n", qPrintable(request.shipments.first()),
                            qPrintable(result.invoiceNumber));
        } catch (const ComError&) {
            session->Errors().Clear();
        }
        std::fflush(stdout);
    }
    return 0;
}
