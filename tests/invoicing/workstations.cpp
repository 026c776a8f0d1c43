#include "workstations.h"

#include <core/session.h>

#include <accpac/view.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include "batchtesting.h"

#include <teststore.h>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <csignal>

namespace Workstations {

namespace {

// The customers every round bills: credit limits above what the test command's rounds
// invoice. Long runs pass them; a batch run then shows the credit approval window, which the
// workstation closes and the figures count among the refusals.
const QStringList Customers = {QStringLiteral("1210"), QStringLiteral("1810"),
                               QStringLiteral("1100")};

QString passwordOf(const QString& user)
{
    return QStringLiteral("PW-") + user;
}

int yyyymmdd(const QDate& date)
{
    return date.year() * 10000 + date.month() * 100 + date.day();
}

// Every invoice header: number, INVUNIQ and net total.
struct Header
{
    QString number;
    int uniq = 0;
    double net = 0;
};

QList<Header> headers()
{
    QList<Header> list;
    auto view = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0420"));
    view->Browse(QString(), true);
    while (view->Fetch())
        list << Header{view->Field(QStringLiteral("INVNUMBER")).GetValue().toString(),
                       view->Field(QStringLiteral("INVUNIQ")).GetValue().toInt(),
                       view->Field(QStringLiteral("INVNETWTX")).GetValue().toDouble()};
    view->Close();
    return list;
}

// Every shipment on an invoice, with the invoice's INVUNIQ, in one pass over the invoices'
// shipments (the books grow with every round; one query per invoice would not).
QList<std::pair<int, QString>> invoicedShipments()
{
    QList<std::pair<int, QString>> list;
    auto view = modGeneral::AppDBLink->OpenView(QStringLiteral("OE0427"));
    view->Browse(QString(), true);
    while (view->Fetch())
        list << std::pair{view->Field(QStringLiteral("INVUNIQ")).GetValue().toInt(),
                          view->Field(QStringLiteral("SHINUMBER")).GetValue().toString()};
    view->Close();
    return list;
}

QList<int> receiptBatchNumbers()
{
    QList<int> list;
    auto view = modGeneral::AppDBLink->OpenView(QStringLiteral("AR0041"));
    view->Browse(QStringLiteral("CODEPYMTYP = \"CA\""), true);
    while (view->Fetch())
        list << view->Field(QStringLiteral("CNTBTCH")).GetValue().toInt();
    view->Close();
    std::sort(list.begin(), list.end());
    return list;
}

// The numbers run from the first without a gap.
QString gapIn(const QList<int>& sorted, const QString& what)
{
    for (int i = 1; i < sorted.size(); ++i)
        if (sorted[i] != sorted[i - 1] + 1)
            return QStringLiteral("%1 numbers jump from %2 to %3")
                .arg(what)
                .arg(sorted[i - 1])
                .arg(sorted[i]);
    return {};
}

double percentile(QList<double> values, double share)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = qsizetype(std::ceil(share * double(values.size()))) - 1;
    return values[std::clamp<qsizetype>(at, 0, values.size() - 1)];
}

} // namespace

// Workstation ------------------------------------------------------------------------------

QString CompanyLocation::argument(const QString& user) const
{
    const QString where =
        Accpac::isServerSite(site) ? site + QStringLiteral(" application_name=") + user : site;
    return where + u'|' + companyId;
}

Workstation::Workstation(const CompanyLocation& company, const QString& user,
                         const QString& password, const QString& settingsFolder,
                         const QProcessEnvironment& environment)
    : m_company(company), m_user(user), m_password(password), m_settings(settingsFolder)
{
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

Workstation::~Workstation()
{
    if (running()) {
        send(QStringLiteral("quit"));
        if (!m_process.waitForFinished(10000))
            kill();
    }
}

bool Workstation::start(QString* why)
{
    launch();
    return waitReady(why);
}

void Workstation::launch()
{
    m_process.start(QStringLiteral(WORKSTATION_PROGRAM),
                    {m_company.argument(m_user), m_user, m_password, m_settings});
}

bool Workstation::waitReady(QString* why)
{
    // What the program says before "ready" is what went wrong: its message boxes.
    QStringList said;
    const QDeadlineTimer deadline(60000);
    for (;;) {
        while (m_process.canReadLine()) {
            const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
            if (line == QLatin1String("ready"))
                return true;
            said << line;
        }
        if ((!running() && !m_process.bytesAvailable()) || deadline.hasExpired())
            break;
        m_process.waitForReadyRead(50);
    }
    *why = QStringLiteral("workstation %1 did not start (exit code %2): %3")
               .arg(m_user)
               .arg(m_process.exitCode())
               .arg(said.join(u'|'));
    return false;
}

void Workstation::send(const QString& command)
{
    m_process.write((command + u'\n').toUtf8());
    m_process.waitForBytesWritten(5000);
}

Answer Workstation::answer(int timeoutMs, const QString& until)
{
    Answer answer;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        while (m_process.canReadLine()) {
            const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
            if (line == QLatin1String("end"))
                return answer;
            answer.lines << line;
            const QString word = line.section(u' ', 0, 0);
            const QString rest = line.section(u' ', 1);
            if (word == QLatin1String("invoice"))
                answer.invoices << rest;
            else if (word == QLatin1String("box"))
                answer.boxes << rest;
            else if (word == QLatin1String("dialog"))
                answer.dialogs << rest;
            else if (word == QLatin1String("gone"))
                answer.gone << rest;
            else if (word == QLatin1String("grid"))
                answer.grid = rest.split(u' ', Qt::SkipEmptyParts);
            else if (word == QLatin1String("batchno"))
                answer.receiptBatch = rest.toInt();
            else if (word == QLatin1String("ms"))
                answer.ms = rest.toLongLong();
            else if (word == QLatin1String("killed") || word == QLatin1String("stopped"))
                answer.killedIn = rest;
            if (line.startsWith(until))
                return answer;
        }
        if (!running() && !m_process.bytesAvailable()) {
            answer.died = true;
            return answer;
        }
        if (deadline.hasExpired()) {
            answer.lines << QStringLiteral("(no answer in time)");
            answer.died = true;
            kill();
            return answer;
        }
        m_process.waitForReadyRead(50);
    }
}

void Workstation::kill()
{
    m_process.kill();
    m_process.waitForFinished(10000);
}

void Workstation::resume()
{
    ::kill(pid_t(m_process.processId()), SIGCONT);
}

// Boxes -----------------------------------------------------------------------------------

QString kindOf(const QString& box)
{
    QStringList words = box.split(u' ', Qt::SkipEmptyParts);
    static const QRegularExpression digit(QStringLiteral("\\d"));
    for (QString& word : words)
        if (word.contains(digit))
            word = QStringLiteral("#");
    return words.join(u' ');
}

bool isRawDatabaseText(const QString& box)
{
    static const QRegularExpression raw(
        QStringLiteral("database is locked|database table is locked|constraint failed|sqlite|"
                       "disk i/o error|no such table|no such column|syntax error|unable to open|"
                       "disk image is malformed|SQLITE_|"
                       // The server's and its drivers' own words.
                       "duplicate key|violates|deadlock detected|could not serialize|"
                       "terminating connection|administrator command|server closed the "
                       "connection|no connection to the server|could not connect|"
                       "current transaction is aborted|canceling statement|lock timeout|"
                       "relation \"|ERROR:|FATAL:|PANIC:|psqlODBC|SQLSTATE|could not receive|"
                       "could not send|pg_advisory|writelock|current_schema|connection refused|"
                       "the database system is"),
        QRegularExpression::CaseInsensitiveOption);
    return box.contains(raw);
}

bool companyIsFree(const QString& companyStore)
{
    if (Accpac::isServerSite(companyStore)) {
        // The writers' lock is the row of the company's write lock: a session that can lock
        // it (and, outside a transaction, lets it go at once) finds it free.
        static const QString takeTheLock = QStringLiteral(
            "SELECT COUNT(*) FROM (SELECT 1 FROM writelock FOR UPDATE SKIP LOCKED) AS free");
        return TestStore::query(companyStore, takeTheLock) == QStringList{QStringLiteral("1")};
    }
    sqlite3* db = nullptr;
    bool free = sqlite3_open_v2(QFile::encodeName(companyStore).constData(), &db,
                                SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (free)
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return free;
}

quint32 seedOfRun()
{
    bool ok = false;
    const uint seed = qEnvironmentVariable("TALLYMERGE_SEED").toUInt(&ok);
    return ok ? seed : std::random_device{}();
}

bool isCutCompletion(const QString& problem)
{
    return problem.contains(
        QStringLiteral("is invoiced with nothing left to ship or on back order, but it is not "
                       "complete"));
}

QStringList shipmentsOn(const QStringList& invoiceNumbers)
{
    QStringList shipments;
    for (const BatchTesting::Invoice& invoice : BatchTesting::invoices())
        if (invoiceNumbers.contains(invoice.number))
            shipments += invoice.shipments;
    shipments.sort();
    return shipments;
}

QString Figures::report() const
{
    QStringList lines;
    lines << QStringLiteral("rounds: %1").arg(rounds)
          << QStringLiteral("invoices made: %1").arg(invoices)
          << QStringLiteral("receipt batches made: %1, prepaid invoices: %2")
                 .arg(receiptBatches)
                 .arg(prepaidInvoices)
          << QStringLiteral("batch runs: %1").arg(batchRuns)
          << QStringLiteral("double invoices: %1").arg(doubleInvoices)
          << QStringLiteral("time per invoice: p50 %1 ms, p99 %2 ms")
                 .arg(percentile(msPerInvoice, 0.5), 0, 'f', 1)
                 .arg(percentile(msPerInvoice, 0.99), 0, 'f', 1);
    int refused = 0;
    for (auto it = refusals.begin(); it != refusals.end(); ++it)
        refused += it.value();
    lines << QStringLiteral("refusals: %1").arg(refused);
    for (auto it = refusals.begin(); it != refusals.end(); ++it)
        lines << QStringLiteral("  %1 x %2").arg(it.value(), 6).arg(it.key());
    if (!faults.isEmpty())
        lines << QStringLiteral("faults made:");
    for (auto it = faults.begin(); it != faults.end(); ++it)
        lines << QStringLiteral("  %1 x %2").arg(it.value(), 6).arg(it.key());
    return lines.join(u'\n');
}

// Harness ----------------------------------------------------------------------------------

Harness::Harness(int workstations, quint32 seed) : m_seed(seed), m_random(seed)
{
    m_fixture = std::make_unique<MainWindowFixture>(QList<TestOrder>{});
    for (int n = 1; n <= workstations; ++n) {
        const QString user = QStringLiteral("WS%1").arg(n);
        Accpac::Admin::addUser(m_fixture->siteFolder(), user, QStringLiteral("Clerk ") + user,
                               passwordOf(user), Accpac::Admin::HashStrength::Minimal);
        Accpac::Admin::addAuthorisation(m_fixture->siteFolder(), user, company().companyId,
                                        QStringLiteral("OE"), QStringLiteral("OECLERK"));
    }
    addOrders(3);
    for (int n = 1; n <= workstations; ++n) {
        const QString user = QStringLiteral("WS%1").arg(n);
        m_workstations.push_back(
            std::make_unique<Workstation>(company(), user, passwordOf(user), settingsOf(user)));
    }
}

Harness::~Harness()
{
    m_workstations.clear();
}

QString Harness::settingsOf(const QString& user) const
{
    // The machine's settings as the test's own: the data source, its engine and its login.
    const QString machine = m_settings.filePath(user + QStringLiteral("/machine"));
    const QString hive = QStringLiteral("/HKEY_LOCAL_MACHINE.reg");
    if (!QFile::exists(machine + hive)) {
        QDir().mkpath(machine);
        QFile::copy(m_fixture->hiveLocations().machineFolder + hive, machine + hive);
    }
    return m_settings.filePath(user);
}

bool Harness::startAll(QString* why)
{
    for (auto& workstation : m_workstations)
        workstation->launch();
    for (auto& workstation : m_workstations)
        if (!workstation->waitReady(why))
            return false;
    return true;
}

CompanyLocation Harness::company() const
{
    return {m_fixture->siteFolder(), Sample::CompanyId};
}

bool Harness::takesCommands(int n) const
{
    return m_workstations[size_t(n)]->running() && !m_hung.contains(n);
}

bool Harness::restart(int n, QString* why, const QProcessEnvironment& environment)
{
    m_hung.remove(n);
    const QString user = QStringLiteral("WS%1").arg(n + 1);
    m_workstations[size_t(n)] = std::make_unique<Workstation>(company(), user, passwordOf(user),
                                                              settingsOf(user), environment);
    return m_workstations[size_t(n)]->start(why);
}

void Harness::addOrders(int perCustomer)
{
    QList<TestOrder> orders;
    std::uniform_int_distribution<int> cents(1000, 6000);
    for (const QString& customer : Customers) {
        for (int i = 0; i < perCustomer; ++i, ++m_nextOrder) {
            TestOrder order;
            order.number = QStringLiteral("WO%1").arg(m_nextOrder, 6, 10, QLatin1Char('0'));
            order.customer = customer;
            order.name = QStringLiteral("Customer ") + customer;
            order.orderDate = yyyymmdd(QDate::currentDate());
            const QString shipment =
                QStringLiteral("WS%1").arg(m_nextOrder, 6, 10, QLatin1Char('0'));
            const double amount = cents(m_random) / 100.0;
            order.shipments = {{shipment, amount}};
            order.withLines = true;
            orders << order;
            m_shipments << Shipment{shipment, order.number, customer, amount};
        }
    }
    m_fixture->addOrders(orders);
}

QList<Shipment> Harness::openShipments() const
{
    QSet<QString> invoiced;
    for (const auto& [uniq, shipment] : invoicedShipments())
        invoiced.insert(shipment);
    QList<Shipment> open;
    for (const Shipment& shipment : m_shipments)
        if (!invoiced.contains(shipment.number))
            open << shipment;
    return open;
}

QString Harness::randomCommand(const QList<Shipment>& open, bool invoiceOnly)
{
    std::uniform_int_distribution<int> percent(0, invoiceOnly ? 54 : 99);
    const int action = percent(m_random);
    const QString customer = Customers[std::uniform_int_distribution<int>(0, 2)(m_random)];
    const auto shipmentsOf = [&open](const QString& customer) {
        QList<Shipment> list;
        for (const Shipment& shipment : open)
            if (shipment.customer == customer)
                list << shipment;
        return list;
    };
    QList<Shipment> candidates = shipmentsOf(customer);
    if (invoiceOnly && candidates.isEmpty() && !open.isEmpty())
        candidates = shipmentsOf(open.first().customer);
    if (action >= 75 || candidates.isEmpty())
        return QStringLiteral("batch");
    std::shuffle(candidates.begin(), candidates.end(), m_random);
    const int count = std::uniform_int_distribution<int>(
        1, int(std::min<qsizetype>(4, candidates.size())))(m_random);
    QStringList numbers;
    double smallest = 1e9;
    for (int i = 0; i < count; ++i) {
        numbers << candidates[i].number;
        smallest = std::min(smallest, candidates[i].amount);
    }
    if (action < 55)
        return QStringLiteral("invoice ") + numbers.join(u' ');
    // Half the smallest shipment: the invoice can take it whichever shipments it gets.
    return QStringLiteral("prepay %1 ").arg(std::floor(smallest * 50) / 100, 0, 'f', 2) +
           numbers.join(u' ');
}

QStringList Harness::playRound(const QList<Fault>& faults)
{
    QStringList problems;
    if (faults.contains(Fault::KilledInAWrite))
        armKill(problems);
    const int revoked = faults.contains(Fault::GrantTakenAway) ? randomWorkstation() : -1;
    if (revoked >= 0)
        setGranted(revoked, false);
    const QList<Shipment> open = openShipments();
    QMap<int, QString> commands;
    for (int n = 0; n < size(); ++n)
        if (takesCommands(n))
            commands.insert(n, randomCommand(open, m_armed.contains(n)));
    const bool cut = faults.contains(Fault::ConnectionsEnded);
    if (cut)
        setWritePace(WritePaceWhileCut, problems);
    const QMap<int, Answer> answers = runAtOnce(
        commands, problems, cut ? [this] { endConnectionsSoon(); } : std::function<void()>());
    for (auto it = answers.begin(); it != answers.end(); ++it) {
        if (m_armed.contains(it.key()) && !it->killedIn.isEmpty())
            restartKilled(it.key(), *it, problems);
        else if (it->died)
            problems << QStringLiteral("workstation %1 ended during \"%2\": %3")
                            .arg(workstation(it.key()).user(), commands.value(it.key()),
                                 it->lines.join(u'|'));
    }
    if (revoked >= 0)
        setGranted(revoked, true);
    if (cut)
        setWritePace(0, problems);
    ++figures.rounds;
    problems += faults.isEmpty() ? checkBooks() : checkBooksAfterFaults();
    addOrders(std::max(1, size() / 2));
    problems += checkGrids();
    return problems;
}

QMap<int, Answer> Harness::runAtOnce(const QMap<int, QString>& commands, QStringList& problems,
                                     const std::function<void()>& meanwhile)
{
    for (auto it = commands.begin(); it != commands.end(); ++it)
        workstation(it.key()).send(it.value());
    if (meanwhile)
        meanwhile();
    QMap<int, Answer> answers;
    QSet<QString> announcedNow;
    for (auto it = commands.begin(); it != commands.end(); ++it) {
        const Answer answer = workstation(it.key()).answer();
        const QString who = workstation(it.key()).user();
        for (const QString& box : answer.boxes) {
            if (isRawDatabaseText(box))
                problems
                    << QStringLiteral("%1 was shown the database's own text: %2").arg(who, box);
            ++figures.refusals[kindOf(box)];
        }
        for (const QString& dialog : answer.dialogs)
            ++figures.refusals[QStringLiteral("window: ") + dialog];
        for (const QString& number : answer.invoices) {
            if (announcedNow.contains(number) || announcedBy.contains(number))
                problems << QStringLiteral("invoice %1 announced twice").arg(number);
            announcedNow.insert(number);
            announcedBy.insert(number, who);
        }
        figures.invoices += int(answer.invoices.size());
        if (answer.receiptBatch > 0)
            ++figures.receiptBatches;
        if (it.value().startsWith(QLatin1String("prepay ")) && !answer.invoices.isEmpty())
            ++figures.prepaidInvoices;
        if (it.value() == QLatin1String("batch"))
            ++figures.batchRuns;
        if (!answer.invoices.isEmpty() && !it.value().startsWith(QLatin1String("refresh")))
            for (int i = 0; i < answer.invoices.size(); ++i)
                figures.msPerInvoice << double(answer.ms) / double(answer.invoices.size());
        answers.insert(it.key(), answer);
    }
    // Every announced invoice exists; one the clerk asked for holds exactly the ticked
    // shipments but those not listed and those the clerk was told were left out.
    QMap<QString, int> stored;
    for (const Header& header : headers())
        stored.insert(header.number, header.uniq);
    for (const QString& number : announcedNow)
        if (!stored.contains(number))
            problems
                << QStringLiteral("invoice %1 was announced but is not in the books").arg(number);
    QMap<int, QStringList> onInvoice;
    for (const auto& [uniq, shipment] : invoicedShipments())
        onInvoice[uniq] << shipment;
    static const QRegularExpression leftOut(
        QStringLiteral("Shipment \"([^\"]+)\" is on invoice \\S+ already\\. It was left out"));
    for (auto it = answers.begin(); it != answers.end(); ++it) {
        const QString command = commands.value(it.key());
        if (command == QLatin1String("batch") || it->invoices.size() != 1)
            continue;
        QStringList expected = command.split(u' ').mid(command.startsWith(u'p') ? 2 : 1);
        for (const QString& gone : it->gone)
            expected.removeAll(gone);
        for (const QString& box : it->boxes)
            if (const auto match = leftOut.match(box); match.hasMatch())
                expected.removeAll(match.captured(1));
        expected.sort();
        QStringList made = onInvoice.value(stored.value(it->invoices.first()));
        made.sort();
        if (made != expected)
            problems << QStringLiteral("invoice %1 of %2 holds %3, the clerk ticked %4")
                            .arg(it->invoices.first(), workstation(it.key()).user(),
                                 made.join(u' '), expected.join(u' '));
    }
    return answers;
}

QStringList Harness::checkGrids()
{
    QStringList open;
    for (const Shipment& shipment : openShipments())
        open << shipment.order;
    open.sort();
    QMap<int, QString> commands;
    for (int n = 0; n < size(); ++n)
        if (takesCommands(n))
            commands.insert(n, QStringLiteral("refresh"));
    QStringList problems;
    const QMap<int, Answer> answers = runAtOnce(commands, problems);
    for (auto it = answers.begin(); it != answers.end(); ++it) {
        if (it->grid != open)
            problems << QStringLiteral(
                            "the grid of %1 lists %2 orders, the company has %3 open: %4")
                            .arg(workstation(it.key()).user())
                            .arg(it->grid.size())
                            .arg(open.size())
                            .arg(it->lines.join(u'|'));
    }
    return problems;
}

QStringList Harness::checkBooks()
{
    QStringList problems = m_fixture->auditProblems();
    QMap<QString, double> amounts;
    for (const Shipment& shipment : m_shipments)
        amounts.insert(shipment.number, shipment.amount);

    // No shipment on two invoices; every invoice has shipments worth its total.
    const QList<Header> stored = headers();
    QMap<int, QString> numberOf;
    for (const Header& header : stored)
        numberOf.insert(header.uniq, header.number);
    QMap<QString, QString> invoiceOf;
    QMap<QString, double> shipped;
    for (const auto& [uniq, shipment] : invoicedShipments()) {
        const QString number = numberOf.value(uniq);
        if (invoiceOf.contains(shipment)) {
            ++figures.doubleInvoices;
            problems << QStringLiteral("shipment %1 is on invoices %2 and %3")
                            .arg(shipment, invoiceOf.value(shipment), number);
        }
        invoiceOf.insert(shipment, number);
        shipped[number] += amounts.value(shipment);
    }
    // Invoice numbers unique, from INVUNIQ, without a gap.
    QList<int> uniqs;
    QSet<QString> numbers;
    for (const Header& header : stored) {
        uniqs << header.uniq;
        if (!shipped.contains(header.number))
            problems << QStringLiteral("invoice %1 has no shipment").arg(header.number);
        if (numbers.contains(header.number))
            problems << QStringLiteral("invoice number %1 is given twice").arg(header.number);
        numbers.insert(header.number);
        if (header.number != QStringLiteral("IN%1").arg(header.uniq, 7, 10, QLatin1Char('0')))
            problems
                << QStringLiteral("invoice %1 has INVUNIQ %2").arg(header.number).arg(header.uniq);
        if (std::abs(header.net - shipped.value(header.number)) > 0.005)
            problems << QStringLiteral("invoice %1 totals %2, its shipments %3")
                            .arg(header.number)
                            .arg(header.net)
                            .arg(shipped.value(header.number));
    }
    std::sort(uniqs.begin(), uniqs.end());
    if (const QString gap = gapIn(uniqs, QStringLiteral("Invoice")); !gap.isEmpty())
        problems << gap;
    if (const QString gap = gapIn(receiptBatchNumbers(), QStringLiteral("Receipt batch"));
        !gap.isEmpty())
        problems << gap;
    return problems;
}

} // namespace Workstations
