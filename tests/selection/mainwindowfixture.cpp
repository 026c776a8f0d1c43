#include "mainwindowfixture.h"

#include <core/appstate.h>
#include <settings/cryption.h>

#include <odbc/connectionstring.h>
#include <teststore.h>

#include <accpac/view.h>

#include <QApplication>
#include <QDeadlineTimer>

namespace {

void insert(AccpacView& view, const QList<std::pair<QString, QVariant>>& values)
{
    view.ClearRecord();
    view.InitRecord(0);
    for (const auto& [field, value] : values)
        view.Field(field).SetValue(value);
    view.Insert();
}

} // namespace

MainWindowFixture::MainWindowFixture(const QList<TestOrder>& orders, const QString& userId,
                                     const QString& oeVersion)
    : m_userId(userId)
{
    Sample::Options options;
    options.orders = 0;
    options.oeVersion = oeVersion;
    makeSite(options);
    addOrders(orders);
}

std::unique_ptr<MainWindowFixture> MainWindowFixture::sampleCompany(const Sample::Options& sample)
{
    return std::unique_ptr<MainWindowFixture>(new MainWindowFixture(SampleTag{}, sample));
}

MainWindowFixture::MainWindowFixture(SampleTag, const Sample::Options& sample)
    : m_userId(QStringLiteral("ADMIN"))
{
    makeSite(sample);
}

void MainWindowFixture::makeSite(const Sample::Options& sample)
{
    OdbcTestConfig::instance();
    m_hives = std::make_unique<Registry::ScopedHiveLocations>(
        Registry::HiveLocations{m_registry.filePath(QStringLiteral("machine")),
                                m_registry.filePath(QStringLiteral("user"))});
    m_site = std::make_unique<SampleSite>(sample);
    Setting::save(Setting::DSN, QStringLiteral("TMTEST"));
    Setting::save(Setting::Configure, QStringLiteral("True"));
    if (!TestStore::onServer()) {
        OdbcDataSource::registerDataSource(QStringLiteral("TMTEST"), OdbcTestConfig::sqliteDriver(),
                                           {{QStringLiteral("Database"), m_site->companyFile()}});
        Setting::save(Setting::DBEngine, QStringLiteral("1"));
        return;
    }
    // The company's schema on the server through psqlODBC: the plain SQL of engine 2 (the
    // server reads no bracketed names), and the server's login as the database user of the
    // settings, as a workstation of a server site is set up.
    OdbcDataSource::registerDataSource(QStringLiteral("TMTEST"), OdbcTestConfig::postgresDriver(),
                                       Accpac::serverOdbcAttributes(m_site->companyFile()));
    Setting::save(Setting::DBEngine, QStringLiteral("2"));
    Setting::save(Setting::Auth, QStringLiteral("False"));
    for (const auto& [keyword, value] : OdbcConnectionString::parse(TestStore::odbcLogin())) {
        if (keyword == QLatin1String("UID"))
            Setting::save(Setting::DBUser, modCryption::EncryptPWD(value));
        else if (keyword == QLatin1String("PWD"))
            Setting::save(Setting::DBPWD, modCryption::EncryptPWD(value));
    }
}

MainWindowFixture::~MainWindowFixture()
{
    if (m_window)
        m_window->close();
    m_window.reset();
    Accpac::Testing::clearSignonScript();
}

void MainWindowFixture::addOrders(const QList<TestOrder>& orders)
{
    auto header = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0520"));
    auto shipments = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0692"));
    auto orderLines = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0500"));
    auto shipmentLines = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0691"));
    for (const TestOrder& order : orders) {
        insert(*header, {{QStringLiteral("ORDNUMBER"), order.number},
                         {QStringLiteral("CUSTOMER"), order.customer},
                         {QStringLiteral("BILNAME"), order.name},
                         {QStringLiteral("TYPE"), 1},
                         {QStringLiteral("ONHOLD"), order.onHold},
                         {QStringLiteral("COMPLETE"), order.complete},
                         {QStringLiteral("SHIPVIA"), order.shipVia},
                         {QStringLiteral("SHIPTO"), order.shipTo},
                         {QStringLiteral("LOCATION"), order.location},
                         {QStringLiteral("ORDDATE"), order.orderDate}});
        const int uniq = header->Field(QStringLiteral("ORDUNIQ")).GetValue().toInt();
        for (const auto& [number, amount] : order.shipments) {
            insert(*shipments, {{QStringLiteral("SHINUMBER"), number},
                                {QStringLiteral("ORDUNIQ"), uniq},
                                {QStringLiteral("ORDNUMBER"), order.number},
                                {QStringLiteral("CUSTOMER"), order.customer},
                                {QStringLiteral("SHIDATE"), order.orderDate},
                                {QStringLiteral("COMPLETE"), 1},
                                {QStringLiteral("LOCATION"), order.location},
                                {QStringLiteral("SHINETWTX"), amount}});
            if (!order.withLines)
                continue;
            // One line shipped in full, worth the shipment's amount.
            const int shipmentUniq = shipments->Field(QStringLiteral("SHIUNIQ")).GetValue().toInt();
            insert(*orderLines, {{QStringLiteral("ORDUNIQ"), uniq},
                                 {QStringLiteral("LINETYPE"), 1},
                                 {QStringLiteral("ITEM"), QStringLiteral("A1-100")},
                                 {QStringLiteral("LOCATION"), order.location},
                                 {QStringLiteral("QTYORDERED"), 1},
                                 {QStringLiteral("QTYSHIPPED"), 1},
                                 {QStringLiteral("UNITPRICE"), amount},
                                 {QStringLiteral("EXTINVMISC"), amount}});
            insert(*shipmentLines, {{QStringLiteral("SHIUNIQ"), shipmentUniq},
                                    {QStringLiteral("ORDUNIQ"), uniq},
                                    {QStringLiteral("ORDLINENUM"), 1},
                                    {QStringLiteral("ITEM"), QStringLiteral("A1-100")},
                                    {QStringLiteral("QTYSHIPPED"), 1},
                                    {QStringLiteral("UNITPRICE"), amount},
                                    {QStringLiteral("EXTSHIMISC"), amount},
                                    {QStringLiteral("ORDQTYORD"), 1}});
        }
    }
    header->Close();
    shipments->Close();
    orderLines->Close();
    shipmentLines->Close();
}

void MainWindowFixture::scriptSignon()
{
    Accpac::setSiteFolder(m_site->folder());
    const QString password = m_userId == QLatin1String("ADMIN") ? Sample::AdminPassword
                             : m_userId == Sample::SupervisorId ? Sample::SupervisorPassword
                                                                : Sample::ClerkPassword;
    Accpac::Testing::setSignonAnswer(
        Accpac::Testing::SignonAnswer{Sample::CompanyId, m_userId, password});
}

frmMain& MainWindowFixture::open()
{
    if (load())
        m_window->Form_Activate();
    return *m_window;
}

frmMain& MainWindowFixture::openShown()
{
    if (!load())
        return *m_window;
    m_window->show();
    m_window->activateWindow();
    // The window manager's activation arrives through the event loop.
    const QDeadlineTimer deadline(5000);
    while (QApplication::activeWindow() != m_window.get() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (QApplication::activeWindow() != m_window.get())
        qWarning("The main window did not become active.");
    return *m_window;
}

bool MainWindowFixture::load()
{
    scriptSignon();
    m_window = std::make_unique<frmMain>();
    if (!m_window->Form_Load())
        return false;
    m_window->resize(1100, 600);
    return true;
}

void setPendingCheque(int batch, double amount, const QString& number)
{
    auto& pending = modGeneral::PendingPrepayment;
    pending = {};
    pending.Present = true;
    pending.BatchNumber = batch;
    pending.BankCode = QStringLiteral("SPRINGBK");
    pending.ReceiptType = QStringLiteral("CHECK");
    pending.ReceiptDate = QDate(2026, 12, 7);
    pending.ReceiptNumber = number;
    pending.Amount = amount;
}

void tickUntilRefresh(frmMain& window)
{
    for (int tick = window.refreshTicks(); tick <= window.refreshInterval(); ++tick)
        window.tmrMain_Timer();
}

void configureDeliveryChargeCode(frmMain& window, const QString& code)
{
    Setting::save(Setting::DelCharge, code);
    window.mnuFileSub_Click(11);
    if (auto* configure = window.findChild<QWidget*>(QStringLiteral("frmConfigure")))
        configure->close();
    window.Form_Activate();
}
