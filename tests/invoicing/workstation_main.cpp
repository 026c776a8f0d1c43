// One workstation of the several-workstations harness: the program's own main window,
// signed on as one user of one company, driven by commands on standard input, one per line.
// Every answer ends with the line "end". The ODBC data source "TMTEST" comes with the
// environment, as for the other programs the tests start; the machine's settings (the data
// source, its engine and login) with the settings folder, copied from the test's.
//
// Arguments: the company (see CompanyLocation in workstations.h), user ID, password, and a
// settings folder of its own. The company's site (a folder or a server's connection string)
// becomes the machine setting Site, as a workstation of a shared site is set up.
//
// Commands:
//   refresh                       the Refresh command; answers "grid <order> <order> ..." (sorted)
//   invoice <shipment> ...        ticks the shipments' rows and runs the Invoice command
//   prepay <amount> <shipment> ...  ticks, creates a receipt batch in the prepayment window
//                                 (its New Batch button), enters a cheque of the amount, and
//                                 runs the Invoice command
//   batch                         the Invoice Batch command (its options answered with OK):
//                                 the batch invoice run over the whole grid
//   arm insert|update:TABLE:N[:stop]  kills itself inside the N-th such write to TABLE (with
//                                 ":stop" it stops there instead, holding the company's write
//                                 lock, as a workstation that hangs in the middle of its work)
//   quit
// Answers: "invoice <number>" for each invoice announced, "batchno <number>" for a receipt
// batch created, "gone <shipment>" for a shipment not listed, "box <title>|<text>" for every
// message box (answered with its default button), "dialog <title>" for any other modal
// window (closed), "killed <table>" / "stopped <table>" just before a kill or a stop,
// "ms <n>" for the command's duration.
#include <core/appstate.h>
#include <core/msgbox.h>
#include <invoicing/frmprepay.h>
#include <selection/frmmain.h>
#include <settings/settings.h>

#include "ui_frmmain.h"

#include <accpac/standin.h>
#include <registry/hivelocations.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include "killatwrite.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace {

void say(const QString& text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

modGeneral::MsgResult defaultAnswer(const modGeneral::ShownBox& box)
{
    using modGeneral::MsgButtons;
    using modGeneral::MsgResult;
    const bool first = box.defaultButton <= 1;
    switch (box.buttons) {
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return first ? MsgResult::Yes : MsgResult::No;
    case MsgButtons::OKCancel:
        return first ? MsgResult::OK : MsgResult::Cancel;
    default:
        return MsgResult::OK;
    }
}

class Workstation
{
public:
    explicit Workstation(frmMain& window) : m_window(window)
    {
        // Announcements are status texts; the run yields to the window after each one.
        m_watcher.setInterval(0);
        QObject::connect(&m_watcher, &QTimer::timeout, [this] { watch(); });
    }

    void run(const QStringList& words)
    {
        const QString command = words.value(0);
        QElapsedTimer took;
        took.start();
        m_announced.clear();
        m_watcher.start();
        if (command == QLatin1String("refresh"))
            refresh();
        else if (command == QLatin1String("invoice"))
            invoice(words.mid(1));
        else if (command == QLatin1String("prepay"))
            prepay(words.value(1).toDouble(), words.mid(2));
        else if (command == QLatin1String("batch"))
            m_window.mnuFileSub_Click(4); // File, Invoice Batch
        else if (command == QLatin1String("arm"))
            KillAtWrite::arm(words.value(1));
        m_watcher.stop();
        watch();
        say(QStringLiteral("ms %1").arg(took.elapsed()));
    }

private:
    void watch()
    {
        const QString text = m_window.statusText();
        if (text == m_lastStatus)
            return;
        m_lastStatus = text;
        static const QString created = QStringLiteral(" created successfully.");
        if (text.startsWith(QStringLiteral("Invoice ")) && text.endsWith(created)) {
            const QString number = text.section(u' ', 1, 1);
            if (!m_announced.contains(number)) {
                m_announced << number;
                say(QStringLiteral("invoice ") + number);
            }
        }
    }

    void refresh()
    {
        m_window.mnuFileSub_Click(0); // File, Refresh
        const OrderGrid* grid = m_window.ui()->flgMain;
        QStringList orders;
        for (int row = 1; row < grid->Rows(); ++row) {
            const QString order = grid->TextMatrix(row, 1).trimmed();
            if (!order.isEmpty())
                orders << order;
        }
        orders.sort();
        say((QStringList{QStringLiteral("grid")} + orders).join(u' '));
    }

    // Ticks the rows of the shipments through the grid's click rule; false when none is
    // listed.
    bool tick(const QStringList& shipments)
    {
        m_window.Clear_AllSelections();
        OrderGrid* grid = m_window.ui()->flgMain;
        bool any = false;
        for (const QString& shipment : shipments) {
            int found = -1;
            for (int row = 1; row < grid->Rows() && found < 0; ++row)
                if (grid->TextMatrix(row, 3).trimmed() == shipment)
                    found = row;
            if (found < 0) {
                say(QStringLiteral("gone ") + shipment);
                continue;
            }
            grid->setRow(found);
            grid->setCol(0);
            m_window.flgMain_Click();
            any = true;
        }
        return any;
    }

    void invoice(const QStringList& shipments)
    {
        if (tick(shipments))
            m_window.mnuFileSub_Click(3);
    }

    // The clerk's prepayment: a new receipt batch made by the window's own button, then a
    // cheque of the amount as the window leaves it pending, then the Invoice command.
    void prepay(double amount, const QStringList& shipments)
    {
        if (!tick(shipments))
            return;
        m_window.Show_Prepayment();
        frmPrepay* window = m_window.findChild<frmPrepay*>();
        if (!window)
            return;
        const int before = modGeneral::PendingPrepayment.BatchNumber;
        window->btnNewBatch_Click();
        const int batch = modGeneral::PendingPrepayment.BatchNumber;
        delete window;
        if (batch == before)
            return;
        say(QStringLiteral("batchno %1").arg(batch));
        auto& pending = modGeneral::PendingPrepayment;
        pending.Present = true;
        pending.ReceiptType = QStringLiteral("CHECK");
        pending.ReceiptDate = QDate::currentDate();
        pending.ReceiptNumber = QStringLiteral("CHQ-%1").arg(batch);
        pending.Amount = amount;
        m_window.mnuFileSub_Click(3);
        pending.Present = false;
    }

    frmMain& m_window;
    QTimer m_watcher;
    QString m_lastStatus;
    QStringList m_announced;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    KillAtWrite::install();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5)
        return 2;
    const QString company = args[1];
    Registry::setHiveLocations(
        {args[4] + QStringLiteral("/machine"), args[4] + QStringLiteral("/user")});
    Setting::save(Setting::PrintInv, QStringLiteral("0"));
    Setting::save(Setting::BankCode, QStringLiteral("SPRINGBK"));
    // The company: a site and a company ID of it, "<site>|<ID>".
    Setting::save(Setting::Site, company.section(u'|', 0, 0));
    Accpac::setSiteFolder(Setting::read(Setting::Site));
    Accpac::Testing::setSignonAnswer(
        Accpac::Testing::SignonAnswer{company.section(u'|', 1), args[2], args[3]});
    modGeneral::setMsgBoxAnswerer([](const modGeneral::ShownBox& box) {
        say(QStringLiteral("box ") + box.title + u'|' +
            QString(box.text).replace(u'\r', u' ').replace(u'\n', u' '));
        return defaultAnswer(box);
    });
    // The batch options are answered with OK (all shipments, the window's default). Any other
    // modal window (the credit approval of a batch run, for one) is reported and closed, so
    // that no command waits for a clerk.
    QTimer modals;
    modals.setInterval(5);
    QObject::connect(&modals, &QTimer::timeout, [] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        auto* ok = modal->findChild<QPushButton*>(QStringLiteral("btnOK"));
        if (modal->objectName() == QLatin1String("frmBatchOpts") && ok) {
            ok->click();
            return;
        }
        say(QStringLiteral("dialog ") + modal->windowTitle());
        modal->close();
    });
    modals.start();

    frmMain window;
    if (!window.Form_Load())
        return 3;
    window.Form_Activate(); // the first activation loads the grid
    Workstation workstation(window);
    say(QStringLiteral("ready"));
    std::string line;
    while (std::getline(std::cin, line)) {
        const QStringList words = QString::fromStdString(line).split(u' ', Qt::SkipEmptyParts);
        if (words.value(0) == QLatin1String("quit"))
            break;
        workstation.run(words);
        say(QStringLiteral("end"));
    }
    window.close();
    return 0;
}
