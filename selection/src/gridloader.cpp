#include <selection/frmmain.h>

#include "ui_frmmain.h"

#include <core/appstate.h>
#include <core/busy.h>
#include <core/log.h>
#include <core/lookups.h>
#include <core/msgbox.h>
#include <core/reporters.h>
#include <core/session.h>
#include <core/systemlocale.h>
#include <core/text.h>
#include <selection/orderquery.h>
#include <settings/cryption.h>
#include <settings/settings.h>

#include <odbc/connection.h>
#include <odbc/recordset.h>
#include <system/comerror.h>

#include <accpac/standin.h>
#include <accpac/view.h>

#include <QDate>
#include <QDir>
#include <QElapsedTimer>

#include <cmath>
#include <limits>

namespace {

// The date of an Accpac yyyymmdd number; null when it holds no date (0 or a damaged value),
// so that one bad order does not stop the whole load.
QDate transferDate(const QVariant& orderDate)
{
    const QString digits = orderDate.toString().trimmed();
    if (digits.size() != 8)
        return {};
    return QDate(digits.left(4).toInt(), digits.mid(4, 2).toInt(), digits.right(2).toInt());
}

// What a connection reached, for the log: the server as its driver names it, and the
// database, a file (a path) named with its device and inode.
QString reachedBy(const Connection& connection)
{
    const QString database = connection.DefaultDatabase();
    QString reached = QDir::isAbsolutePath(database) ? ProgramLog::describeFile(database)
                                                     : QStringLiteral("database ") + database;
    const QString server = connection.ServerName();
    if (!server.isEmpty() && server != database)
        reached += QStringLiteral(" on server ") + server;
    return reached;
}

} // namespace

QString frmMain::connectionString(int engine) const
{
    // On a server site the grid reads as the signed-on user's role, with the password typed
    // at the sign-on: none is kept in a file.
    if (const auto login = Accpac::signedOnServerLogin())
        return OrderQuery::connectionString(engine, Setting::read(Setting::DSN), false, login->role,
                                            login->password);
    const bool auth = Setting::toBoolean(Setting::read(Setting::Auth));
    return OrderQuery::connectionString(
        engine, Setting::read(Setting::DSN), auth,
        auth ? QString() : Text::trim(modCryption::DecryptPWD(Setting::read(Setting::DBUser))),
        auth ? QString() : Text::trim(modCryption::DecryptPWD(Setting::read(Setting::DBPWD))));
}

OrderQuery::Filter frmMain::gridFilter() const
{
    OrderQuery::Filter filter;
    filter.engine = Setting::toInteger(Setting::read(Setting::DBEngine));
    filter.customerClass = qMax(0, m_ui->cboCustomer->currentIndex());
    filter.location = qMax(0, m_ui->cboLocation->currentIndex());
    filter.includeOne = m_ui->ChkOne->isChecked();
    filter.includeThree = m_ui->chkThree->isChecked();
    filter.includeNine = m_ui->chkNine->isChecked();
    return filter;
}

void frmMain::Load_Grid()
{
    // A load yields to the event loop: whatever asks for another meanwhile gets none, so
    // that the rows, the count and the Loading flag stay those of the one load.
    if (Loading)
        return;
    m_refreshDue = false;
    BusyCursor busy;
    DoEvents doEvents;
    try {
        setLoadCommandsEnabled(false);
        setSelectionCommandsEnabled(false);
        if (m_ui->mnuComplete->menuAction()->isVisible())
            m_ui->mnuComplete->setEnabled(false);
        SlowFetch = false;
        Loading = true;
        Reset_Totals();

        OrderGrid* grid = m_ui->flgMain;
        grid->Clear();
        grid->setFormatString(QStringLiteral(
            "^Invoice  |<Order Number                       |<Transfer Date|<Shipment Number     "
            "               |<Amount             |<Customer Number  |<Customer                  "
            "                      |ShipVia|<Ship-To Location"));
        grid->setRows(1);
        grid->setCol(0);
        grid->setColWidth(OrderRow::ShipVia, 0);
        grid->setColWidth(OrderRow::TransferDate, 1400);
        if (m_ui->cboCustomer->currentIndex() == 1) {
            grid->setColWidth(OrderRow::TransferDate, 0);
            grid->setColWidth(OrderRow::ShipTo, 0);
        }
        doEvents.now();

        if (Setting::read(Setting::DateRange) == QLatin1String("1") &&
            m_ui->chkDateRange->isChecked() && !m_ui->vreFrom->text().isEmpty() &&
            !m_ui->vreTo->text().isEmpty()) {
            Load_GridDateRange();
            return;
        }
        loadOrders(gridFilter());
    } catch (const std::exception& failure) {
        finishFailedLoad();
        const ComError error = comErrorOf(failure);
        if (error.number() == ComErrorNumber::AuthFailed ||
            error.number() == ComErrorNumber::PermissionDenied ||
            error.number() == ComErrorNumber::E_Fail) {
            modGeneral::MsgBox(
                modGeneral::ProgramTitle +
                    QStringLiteral(" was unable to connect to the Sage Accpac "
                                   "database.\r\n\nPlease ensure that your Sage Accpac "
                                   "database is running\r\nand that you have a valid ODBC "
                                   "system DSN that is\r\nconnected to the correct database."),
                modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Critical,
                QStringLiteral("Database Connection Failed"));
        } else if (error.number() != ComErrorNumber::AlreadyOpen) {
            modGeneral::reportFailure(failure, QStringLiteral("frmMain.Load_Grid"),
                                      modGeneral::Reporter::Accpac);
        }
    }
}

void frmMain::Load_GridDateRange()
{
    OrderQuery::Filter filter = gridFilter();
    filter.dateRange = true;
    filter.from = SystemLocale::parseDate(m_ui->vreFrom->text());
    filter.to = SystemLocale::parseDate(m_ui->vreTo->text());
    if (!filter.from.isValid() || !filter.to.isValid())
        throw ComError(ComErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
    loadOrders(filter);
}

void frmMain::loadOrders(const OrderQuery::Filter& filter)
{
    if (filter.engine != 1 && filter.engine != 2) {
        // No database engine chosen: nothing to load, and the window stays usable.
        endLoad();
        return;
    }
    const bool dateRange = filter.dateRange;
    SlowFetch = OrderQuery::isSlow(filter);
    const QString statement = OrderQuery::statement(filter);
    QElapsedTimer took;
    took.start();
    const QString dataSource = Setting::read(Setting::DSN);
    qCDebug(lcSelection).noquote()
        << "grid load from data source" << dataSource << ":" << statement;
    DoEvents doEvents;
    Connection connection;
    connection.setCursorLocation(adUseServer);
    connection.setCommandTimeout(0);
    connection.Open(connectionString(filter.engine));

    setStatusText(SlowFetch
                      ? QStringLiteral("Fetching of Orders may take a couple of minutes, please "
                                       "be patient...")
                      : QStringLiteral("Fetching Orders, please be patient..."));
    doEvents.now();
    Recordset records;
    records.setCursorLocation(dateRange ? adUseServer : adUseClient);
    records.Open(statement, connection, adOpenForwardOnly, adLockReadOnly, adCmdText);
    SlowFetch = false;
    setStatusText(QStringLiteral("Loading the Orders into the grid..."));
    doEvents.now();

    OrderGrid* grid = m_ui->flgMain;
    const bool cashSales = m_ui->cboCustomer->currentIndex() == 1;
    // Listed rows reach the grid in one insertion each time the window is about to repaint
    // (and when the load ends or fails), not one row and cell at a time: the user sees the
    // same rows, and the view is told of them once per batch. The last row is current.
    std::vector<OrderRow> listedRows;
    const auto showListedRows = [&] {
        if (listedRows.empty())
            return;
        grid->appendRows(std::move(listedRows));
        listedRows.clear();
        grid->setRow(grid->Rows() - 1);
        grid->setCol(0);
    };
    QStringList refusedAmounts; // shipments whose amount the database holds as no number
    int count = 0;
    try {
        while (!records.Eof()) {
            const QString orderNumber =
                records.Fields(QStringLiteral("ORDNUMBER")).Value.toString();
            const ShipmentInfo found = Fetch_ShipmentInfo(orderNumber);
            const QString shipment = Text::trim(found.number);
            const QString shipVia =
                Text::trim(records.Fields(QStringLiteral("SHIPVIA")).Value.toString());
            const bool listed =
                dateRange ? !shipment.isEmpty() || shipVia.isEmpty()
                          : !(records.Fields(QStringLiteral("COMPLETE")).Value.toInt() > 2 &&
                              !shipment.isEmpty() && found.amount == 0);
            if (listed) {
                OrderRow row;
                row.order = Text::trim(orderNumber);
                if (!cashSales)
                    row.transferDate =
                        transferDate(records.Fields(QStringLiteral("ORDDATE")).Value);
                row.shipment = shipment;
                // A shipment still being entered has no amount yet.
                if (shipment != OrderRow::NewShipment) {
                    if (std::isnan(found.amount)) {
                        row.amountRefused = true;
                        refusedAmounts << shipment;
                    } else {
                        row.amount = Books::Money::of(found.amount, 2);
                    }
                }
                row.customer =
                    Text::trim(records.Fields(QStringLiteral("CUSTOMER")).Value.toString());
                row.customerName =
                    Text::trim(records.Fields(QStringLiteral("BILNAME")).Value.toString());
                row.shipVia = shipVia;
                if (!cashSales)
                    row.shipTo =
                        Text::trim(records.Fields(QStringLiteral("SHIPTO")).Value.toString());
                listedRows.push_back(std::move(row));
                ++count;
                if (doEvents.due()) {
                    showListedRows();
                    setStatusText(QStringLiteral("Loading Order: ") + Text::trim(orderNumber));
                    doEvents.now();
                }
            }
            records.MoveNext();
        }
    } catch (...) {
        // The rows listed before the failure stay in the grid.
        showListedRows();
        throw;
    }
    showListedRows();
    records.Close();
    qCInfo(lcSelection).noquote() << QStringLiteral(
                                         "grid load: data source %1, engine %2, reached %3; %4 "
                                         "rows in %5 ms")
                                         .arg(dataSource)
                                         .arg(filter.engine)
                                         .arg(reachedBy(connection))
                                         .arg(count)
                                         .arg(took.elapsed());
    connection.Close();

    grid->setCol(0);
    setStatusText(QStringLiteral("Loading Complete. ") + QString::number(count) +
                  QStringLiteral(" records Loaded."));
    SelCustomer.clear();
    SelCustomerName.clear();
    endLoad();
    reportRefusedAmounts(refusedAmounts);
}

void frmMain::reportRefusedAmounts(const QStringList& shipments)
{
    if (shipments.isEmpty())
        return;
    const QString text =
        shipments.size() == 1
            ? QStringLiteral("The database holds no number as the amount of shipment %1. Its "
                             "row shows no amount, and it cannot be invoiced until the amount "
                             "is corrected.")
            : QStringLiteral("The database holds no number as the amount of shipments %1. "
                             "Their rows show no amount, and they cannot be invoiced until "
                             "the amounts are corrected.");
    modGeneral::ErrorMessenger(ComErrorNumber::TypeMismatch,
                               text.arg(shipments.join(QStringLiteral(", "))),
                               QStringLiteral("frmMain.Load_Grid"));
}

void frmMain::endLoad()
{
    setLoadCommandsEnabled(true);
    Loading = false;
    if (m_ui->mnuComplete->menuAction()->isVisible())
        m_ui->mnuComplete->setEnabled(true);
    gridWorkEnded();
}

void frmMain::finishFailedLoad()
{
    Loading = false;
    SlowFetch = false;
    RefreshTicks = 0;
    setLoadCommandsEnabled(true);
    gridWorkEnded();
}

frmMain::ShipmentInfo frmMain::Fetch_ShipmentInfo(const QString& orderNumber)
{
    ShipmentInfo found;
    const QString source = QStringLiteral("frmMain.Fetch_ShipmentInfo");
    modGeneral::reportFailures(source, modGeneral::Reporter::Accpac, [&] {
        modGeneral::ViewPtr view = modGeneral::OpenView(QStringLiteral("OE0692"));
        view->SetOrder(2);
        view->Browse(QStringLiteral("ORDNUMBER = \"") + Text::trim(orderNumber) + QLatin1Char('"'),
                     true);
        if (view->Fetch()) {
            found.number = view->Field(QStringLiteral("SHINUMBER")).GetValue().toString();
            // A value that is no number is kept as NaN, for the loader to refuse: taken as 0,
            // it would read as a zero-amount shipment.
            bool number = false;
            found.amount = view->Field(QStringLiteral("SHINETWTX")).GetValue().toDouble(&number);
            if (!number || !std::isfinite(found.amount))
                found.amount = std::numeric_limits<double>::quiet_NaN();
        }
    });
    return found;
}
