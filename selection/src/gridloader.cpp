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
#include <QHash>

namespace {

// The date of an Accpac yyyymmdd number in the system's short form; empty when it holds no
// date (0 or a damaged value), so that one bad order does not stop the whole load.
QString transferDate(const QVariant& orderDate)
{
    const QString digits = orderDate.toString().trimmed();
    if (digits.size() != 8)
        return {};
    const QDate date(digits.left(4).toInt(), digits.mid(4, 2).toInt(), digits.right(2).toInt());
    return date.isValid() ? SystemLocale::shortDate(date) : QString();
}

// Transfer dates by their yyyymmdd number, each made once per load: orders share their
// dates, and the locale's date formatting is slow. Other values are not kept.
class TransferDates
{
public:
    QString operator()(const QVariant& orderDate)
    {
        const int type = orderDate.typeId();
        if (type != QMetaType::Int && type != QMetaType::LongLong)
            return transferDate(orderDate);
        const qlonglong number = orderDate.toLongLong();
        auto known = m_made.constFind(number);
        if (known == m_made.cend())
            known = m_made.insert(number, transferDate(orderDate));
        return *known;
    }

private:
    QHash<qlonglong, QString> m_made;
};

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
        grid->setColWidth(7, 0);
        grid->setColWidth(2, 1400);
        if (m_ui->cboCustomer->currentIndex() == 1) {
            grid->setColWidth(2, 0);
            grid->setColWidth(8, 0);
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
    std::vector<OrderGridModel::Row> listedRows;
    const auto showListedRows = [&] {
        if (listedRows.empty())
            return;
        grid->appendRows(std::move(listedRows));
        listedRows.clear();
        grid->setRow(grid->Rows() - 1);
        grid->setCol(0);
    };
    TransferDates transferDates;
    int count = 0;
    try {
        while (!records.Eof()) {
            const QString orderNumber =
                records.Fields(QStringLiteral("ORDNUMBER")).Value.toString();
            ShipNumber.clear();
            ShipAmount = 0;
            Fetch_ShipmentInfo(orderNumber);
            const QString shipment = Text::trim(ShipNumber);
            const QString shipVia =
                Text::trim(records.Fields(QStringLiteral("SHIPVIA")).Value.toString());
            const bool listed =
                dateRange ? !shipment.isEmpty() || shipVia.isEmpty()
                          : !(records.Fields(QStringLiteral("COMPLETE")).Value.toInt() > 2 &&
                              !shipment.isEmpty() && ShipAmount == 0);
            if (listed) {
                OrderGridModel::Row row{std::vector<QString>(std::size_t(grid->Cols())),
                                        OrderGrid::Picture::Unchecked};
                row.cells[1] = Text::trim(orderNumber);
                if (!cashSales)
                    row.cells[2] = transferDates(records.Fields(QStringLiteral("ORDDATE")).Value);
                row.cells[3] = shipment;
                if (shipment != QLatin1String("*** NEW ***"))
                    row.cells[4] = modGeneral::Format_Decimals(ShipAmount, 2);
                row.cells[5] =
                    Text::trim(records.Fields(QStringLiteral("CUSTOMER")).Value.toString());
                row.cells[6] =
                    Text::trim(records.Fields(QStringLiteral("BILNAME")).Value.toString());
                row.cells[7] = shipVia;
                if (!cashSales)
                    row.cells[8] =
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

void frmMain::Fetch_ShipmentInfo(const QString& orderNumber)
{
    const QString source = QStringLiteral("frmMain.Fetch_ShipmentInfo");
    modGeneral::reportFailures(source, modGeneral::Reporter::Accpac, [&] {
        modGeneral::ViewPtr view = modGeneral::OpenView(QStringLiteral("OE0692"));
        view->SetOrder(2);
        view->Browse(QStringLiteral("ORDNUMBER = \"") + Text::trim(orderNumber) + QLatin1Char('"'),
                     true);
        if (view->Fetch()) {
            ShipNumber = view->Field(QStringLiteral("SHINUMBER")).GetValue().toString();
            ShipAmount = view->Field(QStringLiteral("SHINETWTX")).GetValue().toDouble();
        }
    });
}
