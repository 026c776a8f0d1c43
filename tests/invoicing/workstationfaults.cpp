// The faults a harness round can be played with: a workstation killed inside its invoice's
// write, the server's connections ended while the workstations work, and a clerk's grant
// taken away for a round.
#include "workstations.h"

#include <accpac/standin.h>

#include <teststore.h>

#include <QThread>

#include <algorithm>

namespace Workstations {

namespace {

QString nameOf(Fault fault)
{
    switch (fault) {
    case Fault::KilledInAWrite:
        return QStringLiteral("a workstation killed in its invoice's write");
    case Fault::ConnectionsEnded:
        return QStringLiteral("the server's connections ended");
    case Fault::GrantTakenAway:
        return QStringLiteral("a clerk's grant taken away");
    }
    return {};
}

const QString Program = QStringLiteral("OE");
const QString Profile = QStringLiteral("OECLERK");

} // namespace

QMultiMap<int, Fault> planFaults(quint32 seed, int rounds, int times, bool onServer)
{
    // A generator of its own, so that the rounds' commands of a seed stay as they were.
    std::mt19937 random(seed);
    // The first round runs as the workstations signed on.
    std::uniform_int_distribution<int> round(std::min(2, rounds), rounds);
    QList<Fault> kinds = {Fault::KilledInAWrite};
    if (onServer)
        kinds << Fault::ConnectionsEnded << Fault::GrantTakenAway;
    QMultiMap<int, Fault> plan;
    for (Fault kind : kinds)
        for (int i = 0; i < times; ++i)
            plan.insert(round(random), kind);
    return plan;
}

QString describe(const QMultiMap<int, Fault>& plan)
{
    QStringList rounds;
    for (auto it = plan.begin(); it != plan.end(); ++it)
        rounds << QStringLiteral("round %1: %2").arg(it.key()).arg(nameOf(it.value()));
    return rounds.join(QStringLiteral("; "));
}

int Harness::randomWorkstation()
{
    QList<int> candidates;
    for (int n = 0; n < size(); ++n)
        if (takesCommands(n) && !m_armed.contains(n))
            candidates << n;
    if (candidates.isEmpty())
        return -1;
    return candidates[std::uniform_int_distribution<qsizetype>(0, candidates.size() - 1)(m_random)];
}

void Harness::armKill(QStringList& problems)
{
    const int victim = randomWorkstation();
    if (victim < 0)
        return;
    // The invoice's header or its first shipment: both inside the invoice's transaction.
    const QString write = std::uniform_int_distribution<int>(0, 1)(m_random) == 0
                              ? QStringLiteral("insert:OEINVH:1")
                              : QStringLiteral("insert:OEINVS:1");
    runAtOnce({{victim, QStringLiteral("arm ") + write}}, problems);
    m_armed.insert(victim);
}

void Harness::restartKilled(int n, const Answer& answer, QStringList& problems)
{
    m_armed.remove(n);
    ++figures.faults[QStringLiteral("workstation killed inside its write to ") + answer.killedIn];
    if (!answer.died)
        problems << QStringLiteral("workstation %1 lived on after its kill: %2")
                        .arg(workstation(n).user(), answer.lines.join(u'|'));
    QString why;
    if (!restart(n, &why))
        problems << why;
}

QStringList Harness::fireArmedKills()
{
    QStringList problems;
    for (int n : QSet<int>(m_armed)) {
        const Answer answer =
            runAtOnce({{n, randomCommand(openShipments(), true)}}, problems).value(n);
        if (answer.killedIn.isEmpty())
            problems << QStringLiteral("workstation %1 was not killed in its invoice: %2")
                            .arg(workstation(n).user(), answer.lines.join(u'|'));
        else
            restartKilled(n, answer, problems);
    }
    return problems + checkBooks();
}

QStringList Harness::checkBooksAfterFaults()
{
    const QStringList books = checkBooks();
    if (std::none_of(books.begin(), books.end(), isCutCompletion))
        return books;
    const int clerk = randomWorkstation();
    if (clerk < 0)
        return books;
    QStringList problems;
    runAtOnce({{clerk, QStringLiteral("batch")}}, problems);
    return problems + checkBooks();
}

void Harness::setGranted(int n, bool granted)
{
    const QString user = workstation(n).user();
    if (granted) {
        Accpac::Admin::addAuthorisation(company().site, user, company().companyId, Program,
                                        Profile);
        return;
    }
    Accpac::Admin::revokeAuthorisation(company().site, user, company().companyId, Program, Profile);
    ++figures.faults[QStringLiteral("a clerk's grant taken away for a round")];
}

void Harness::endConnectionsSoon()
{
    // While the paced writes go on: in a write transaction, mostly, or between two.
    QThread::msleep(std::uniform_int_distribution<unsigned long>(50, 600)(m_random));
    ++figures.faults[TestStore::endConnections()];
}

void Harness::setWritePace(int ms, QStringList& problems)
{
    QMap<int, QString> commands;
    for (int n = 0; n < size(); ++n)
        if (takesCommands(n))
            commands.insert(n, QStringLiteral("arm pace:%1").arg(ms));
    runAtOnce(commands, problems);
}

} // namespace Workstations
