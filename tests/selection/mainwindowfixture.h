#pragma once

#include <selection/frmmain.h>

#include <core/session.h>
#include <settings/settings.h>

#include <accpac/standin.h>
#include <odbc/datasource.h>
#include <registry/hivelocations.h>

#include <auditbooks.h>
#include <odbctestconfig.h>
#include <samplesite.h>
#include <scriptedboxes.h>

#include <QTemporaryDir>

#include <memory>

// One order of a test's order book, with its shipments (number and net amount) in the
// order they are entered.
struct TestOrder
{
    QString number;
    QString customer = QStringLiteral("1200");
    QString name = QStringLiteral("Mr. Ronald Black");
    QString shipVia = QStringLiteral("9");
    int complete = 1;
    int onHold = 0;
    QString location = QStringLiteral("100");
    int orderDate = 20261201;
    QList<std::pair<QString, double>> shipments;
    QString shipTo = QStringLiteral("MAIN");
    // Each shipment with one order line and one shipment line worth its amount, so that an
    // invoice of it has lines and totals.
    bool withLines = false;
};

// A company with exactly the orders a test enters, reached by the main window through the
// ODBC data source "TMTEST" and the embedded Accpac session, with the settings in a private
// registry hive. The company is an SQLite file (SQLite3 driver), or, when the tests run on
// the server (TestStore::onServer), a schema of the tests' PostgreSQL server (psqlODBC).
class MainWindowFixture
{
public:
    explicit MainWindowFixture(const QList<TestOrder>& orders,
                               const QString& userId = QStringLiteral("ADMIN"),
                               const QString& oeVersion = QStringLiteral("56A"));
    // The sample company as the generator makes it (by default the installed order book of
    // 300 orders, revisions included), with the settings in a private hive.
    static std::unique_ptr<MainWindowFixture> sampleCompany(const Sample::Options& sample = {});
    ~MainWindowFixture();

    // Creates the main window and runs its load; the first activation loads the grid.
    frmMain& open();
    // Creates the main window, runs its load and shows it as the program does: the window
    // manager activates it, and that first activation loads the grid.
    frmMain& openShown();
    // Points the sign-on at the company and answers it as the fixture's user: the next main
    // window to load, however it is created, signs on.
    void scriptSignon();
    frmMain& window() { return *m_window; }
    // The window once created, during its load too; null before.
    frmMain* windowIfAny() { return m_window.get(); }
    QString companyFile() const { return m_site->companyFile(); }
    QString siteFolder() const { return m_site->folder(); }
    // The machine and user hive folders of the settings.
    Registry::HiveLocations hiveLocations() const
    {
        return {m_registry.filePath(QStringLiteral("machine")),
                m_registry.filePath(QStringLiteral("user"))};
    }
    void addOrders(const QList<TestOrder>& orders);
    // The books' auditor on the company with this machine's settings: every problem found.
    QStringList auditProblems() const
    {
        return auditBooks(companyFile(), hiveLocations().machineFolder);
    }

    ScriptedBoxes boxes;

private:
    struct SampleTag
    {
    };
    MainWindowFixture(SampleTag, const Sample::Options& sample);
    // Makes the site of `sample` with the settings' hive and the data source TMTEST.
    void makeSite(const Sample::Options& sample);
    // Signs on, creates the window and runs its load; false when the sign-on failed.
    bool load();

    QTemporaryDir m_registry;
    std::unique_ptr<Registry::ScopedHiveLocations> m_hives;
    std::unique_ptr<SampleSite> m_site;
    std::unique_ptr<frmMain> m_window;
    QString m_userId;
};

// Ticks the refresh timer, as time passing does, until the refresh comes due: the last tick
// reloads the grid, or leaves the reload for when the grid is free.
void tickUntilRefresh(frmMain& window);

// Configures the delivery charge's item code as a clerk does: stored by the configuration
// window, and read by the main window when it activates again after it.
void configureDeliveryChargeCode(frmMain& window, const QString& code);

// A cheque of the sample's bank SPRINGBK dated 7 Dec 2026, pending for the next invoice as
// the prepayment window leaves it.
void setPendingCheque(int batch, double amount, const QString& number);
