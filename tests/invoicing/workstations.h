#pragma once

#include <mainwindowfixture.h>

#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QStringList>

#include <functional>
#include <memory>
#include <random>

// The several-workstations harness: real workstation programs (tm_workstation), each signed
// on as a user of its own to one company, invoicing the same customers' shipments at once,
// with the books checked after every round.
namespace Workstations {

// Where the company lives; the one place that names it: a site (a folder of SQLite files, or
// a database server's connection string) and a company of it.
struct CompanyLocation
{
    QString site;
    QString companyId;
    // As the workstation program of `user` takes it. On a server, the workstation's
    // sessions carry the user's ID as their application name, so that a test can find and
    // end them.
    QString argument(const QString& user) const;
};

// What a workstation answered to one command.
struct Answer
{
    QStringList invoices; // announced, in order
    QStringList boxes;    // "title|text"
    QStringList dialogs;  // other modal windows it closed
    QStringList gone;
    QStringList grid; // order numbers after a refresh
    int receiptBatch = 0;
    qint64 ms = 0;
    bool died = false; // the program ended before its answer was complete
    QString killedIn;  // the table of the write an armed kill (or stop) stopped
    QStringList lines; // everything it said
};

// One workstation program.
class Workstation
{
public:
    Workstation(const CompanyLocation& company, const QString& user, const QString& password,
                const QString& settingsFolder,
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    ~Workstation();
    // Starts the program and waits for its load; false (with the reason) when it failed.
    bool start(QString* why);
    // The same in two halves, so that several programs load at once.
    void launch();
    bool waitReady(QString* why);
    void send(const QString& command);
    // The answer to the command sent last, up to its "end" (or, given `until`, up to the
    // first line that begins with it).
    Answer answer(int timeoutMs = 120000, const QString& until = QStringLiteral("end"));
    void kill();
    // Lets a workstation stopped at a write ("arm ...:stop") go on.
    void resume();
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    QString user() const { return m_user; }

private:
    CompanyLocation m_company;
    QString m_user;
    QString m_password;
    QString m_settings;
    QProcess m_process;
};

// A refusal's kind: its title and text with every word that holds a digit replaced by "#".
QString kindOf(const QString& box);
// The box shows a database's own text (a lock, a constraint, SQLite's or the server's words)
// rather than a message of the program.
bool isRawDatabaseText(const QString& box);
// No program holds the company's write lock: a writer would begin without waiting.
bool companyIsFree(const QString& companyStore);
// TALLYMERGE_SEED, else a random seed.
quint32 seedOfRun();
// The auditor's sentence for an order whose completion a kill cut short; the next batch run
// completes it.
bool isCutCompletion(const QString& problem);
// The shipments on the given invoices, sorted.
QStringList shipmentsOn(const QStringList& invoiceNumbers);

// A shipment the harness made: one per order.
struct Shipment
{
    QString number;
    QString order;
    QString customer;
    double amount = 0;
};

// A fault a round can be played with.
enum class Fault
{
    // A workstation is killed inside the first write of its next invoice (KillAtWrite).
    KilledInAWrite,
    // Every connection of the run's sites is ended in the middle of the round's work.
    ConnectionsEnded,
    // A clerk loses the company's grant for the round and gets it back after it.
    GrantTakenAway,
};
// The faults of a run of `rounds` rounds, by round: each kind `times` times, at rounds the
// seed picks. An SQLite site gets kills only: it has no server whose connections could end,
// and its rights are checked at the sign-on alone.
QMultiMap<int, Fault> planFaults(quint32 seed, int rounds, int times, bool onServer);
// The plan in words, e.g. "round 7: connections ended; round 12: a kill".
QString describe(const QMultiMap<int, Fault>& plan);

// The figures of a harness run.
struct Figures
{
    int rounds = 0;
    int invoices = 0;
    int receiptBatches = 0;
    int prepaidInvoices = 0;
    int batchRuns = 0;
    int doubleInvoices = 0;
    QMap<QString, int> refusals; // by kind
    QMap<QString, int> faults;   // made, by kind
    QList<double> msPerInvoice;
    QString report() const;
};

class Harness
{
public:
    // A fresh company with `workstations` users WS1, WS2, ... each signed on at a workstation.
    Harness(int workstations, quint32 seed);
    ~Harness();

    quint32 seed() const { return m_seed; }
    CompanyLocation company() const;
    MainWindowFixture& fixture() { return *m_fixture; }
    Workstation& workstation(int n) { return *m_workstations[size_t(n)]; }
    // Starts every workstation at once and waits until each has loaded its grid.
    bool startAll(QString* why);
    int size() const { return int(m_workstations.size()); }
    // A workstation that hangs takes no commands from the rounds and refreshes until it is
    // killed or restarted.
    void setHung(int n) { m_hung.insert(n); }
    // (Re)starts workstation n, in the environment given (the system's by default).
    bool restart(int n, QString* why,
                 const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());

    // New orders of the round's customers, `perCustomer` each, dated today.
    void addOrders(int perCustomer);
    // Shipments not on any invoice, per the company.
    QList<Shipment> openShipments() const;

    // One round: every workstation gets a random command at once (invoice, prepayment or
    // batch run), with the faults given made in it; the answers are checked and counted.
    // Problems found are returned.
    QStringList playRound(const QList<Fault>& faults = {});
    // A kill armed in one of the last rounds may not have met an invoice's write yet (the
    // others took its shipments): each such workstation invoices alone now and is killed in
    // the write. Problems found are returned.
    QStringList fireArmedKills();
    // Sends one command to each workstation in `commands` (index → command) at once, runs
    // `meanwhile` while they work, and collects their answers, counting and checking each.
    QMap<int, Answer> runAtOnce(const QMap<int, QString>& commands, QStringList& problems,
                                const std::function<void()>& meanwhile = {});
    // Every workstation refreshes; each grid must list exactly the open orders.
    QStringList checkGrids();
    // The auditor and the harness's own rules on the books.
    QStringList checkBooks();

    Figures figures;
    // Who announced each invoice: number → user.
    QMap<QString, QString> announcedBy;

private:
    // The settings folder of a workstation, its machine settings copied from the test's.
    QString settingsOf(const QString& user) const;
    // An invoice only for a workstation armed to be killed in its write.
    QString randomCommand(const QList<Shipment>& open, bool invoiceOnly = false);
    // Running and not hung.
    bool takesCommands(int n) const;
    // A random workstation that takes commands and is not armed to be killed; -1 when none.
    int randomWorkstation();
    // Arms a random workstation to be killed inside the first write of its next invoice.
    void armKill(QStringList& problems);
    // A workstation armed so died in its write: counted, and started again.
    void restartKilled(int n, const Answer& answer, QStringList& problems);
    // Takes the clerk's grant of the company away (false) or gives it back.
    void setGranted(int n, bool granted);
    // checkBooks after a round with faults: a completion a fault cut short is made first by
    // a clerk's batch run, as the next one of the office would make it.
    QStringList checkBooksAfterFaults();
    // Ends every connection of the run's sites at a random moment of the round's work.
    void endConnectionsSoon();
    // Every write of every workstation takes `ms` milliseconds (0: as fast as it can), so
    // that a moment picked while they work falls inside a write transaction.
    void setWritePace(int ms, QStringList& problems);
    static constexpr int WritePaceWhileCut = 40;

    quint32 m_seed;
    std::mt19937 m_random;
    QTemporaryDir m_settings;
    std::unique_ptr<MainWindowFixture> m_fixture;
    std::vector<std::unique_ptr<Workstation>> m_workstations;
    QList<Shipment> m_shipments;
    int m_nextOrder = 1;
    QSet<int> m_hung;
    QSet<int> m_armed; // to be killed in their next invoice's write
};

} // namespace Workstations
