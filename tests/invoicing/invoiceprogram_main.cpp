// One of two programs invoicing the same shipments at once, for the test of invoicing from
// two processes. It runs the program's own main window: the load over the data source
// "TMTEST" (inherited from the test), the grid's tick rule and the Invoice command.
//
// Arguments: site (folder or connection string), settings folder of its own (its "machine"
// hive, copied from the test's, names the data source and how to log in), the "go" file,
// then the shipment
// numbers to invoice, in order. After its load it prints "ready" and waits for the go file,
// so that both programs invoice at the same moment. For each shipment it ticks the row and
// runs the Invoice command, then prints "<shipment> <invoice number>" when an invoice was
// created, "<shipment> refused" when a message box answered the command, or "<shipment> gone"
// when its row was not listed. Exit code 0 unless the start failed.
#include <core/appstate.h>
#include <core/msgbox.h>
#include <selection/frmmain.h>
#include <settings/settings.h>

#include "ui_frmmain.h"

#include <accpac/standin.h>
#include <registry/hivelocations.h>
#include <sample.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <cstdio>

namespace {

int rowOf(const OrderGrid* grid, const QString& shipment)
{
    for (int row = 1; row < grid->Rows(); ++row)
        if (grid->TextMatrix(row, 3) == shipment)
            return row;
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4)
        return 2;
    Registry::setHiveLocations(
        {args[2] + QStringLiteral("/machine"), args[2] + QStringLiteral("/user")});
    Accpac::setSiteFolder(args[1]);
    Accpac::Testing::setSignonAnswer(Accpac::Testing::SignonAnswer{
        Sample::CompanyId, QStringLiteral("ADMIN"), Sample::AdminPassword});
    int boxes = 0;
    modGeneral::setMsgBoxAnswerer([&boxes](const modGeneral::ShownBox& box) {
        ++boxes;
        std::fprintf(stderr, "%s: %s\n", qPrintable(box.title), qPrintable(box.text));
        return modGeneral::MsgResult::OK;
    });

    frmMain window;
    if (!window.Form_Load())
        return 3;
    window.Load_Grid();
    std::printf("ready\n");
    std::fflush(stdout);
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(args[3])) {
        if (waited.elapsed() > 60000)
            return 4;
        QThread::msleep(1);
    }

    OrderGrid* grid = window.ui()->flgMain;
    for (const QString& shipment : args.mid(4)) {
        window.Clear_AllSelections();
        const int row = rowOf(grid, shipment);
        if (row < 0) {
            std::printf("%s gone\n", qPrintable(shipment));
            continue;
        }
        grid->setRow(row);
        grid->setCol(0);
        window.flgMain_Click();
        const int before = boxes;
        window.mnuFileSub_Click(3);
        if (boxes != before)
            std::printf("%s refused\n", qPrintable(shipment));
        else if (!modGeneral::LastInvoiceNumber.isEmpty())
            std::printf("%s %s\n", qPrintable(shipment), qPrintable(modGeneral::LastInvoiceNumber));
        std::fflush(stdout);
    }
    return 0;
}
