// Randomized batch runs: each seed generates a grid, previews and runs it over a fresh sample
// company, audits the books and compares the preview, the run and the batch rules (see
// batchgenerator.h). The seeds come from TALLYMERGE_BATCH_SEEDS ("first:count"), by default
// 300 seeds from 1 (fewer under the sanitizers, which run much slower). Every failing seed is
// printed with the line that replays it; tools/batch-seeds.sh runs any number of seeds.
#include "batchgenerator.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int DefaultSeeds = 25;
#else
constexpr int DefaultSeeds = 300;
#endif

struct SeedRange
{
    std::uint32_t first = 1;
    int count = DefaultSeeds;
};

SeedRange seedRange()
{
    SeedRange range;
    const QString text = qEnvironmentVariable("TALLYMERGE_BATCH_SEEDS");
    if (!text.isEmpty()) {
        range.first = text.section(u':', 0, 0).toUInt();
        range.count = text.section(u':', 1, 1).isEmpty() ? 1 : text.section(u':', 1, 1).toInt();
    }
    return range;
}

// Whether the batch rules leave the clerk's own ticks at 12.34 + 87.66 for a customer
// flagged for the delivery charge, with the charge on and no cash sale: the window must
// charge it, although its single-precision total is a little above 100.00. Runs with an
// earlier failed run are left out (their grid changes before the run).
bool clerkIsLeftExactlyOneHundred(const BatchGenerator::GeneratedRun& run)
{
    if (run.failedEarlierAt >= 0 || !run.deliveryCharge)
        return false;
    QSet<int> invoiced;
    for (const QList<int>& rows : BatchGenerator::invoicedRows(run, -1))
        invoiced.unite(QSet<int>(rows.begin(), rows.end()));
    QList<qint64> amounts;
    for (int i = 0; i < run.rows.size(); ++i) {
        const BatchGenerator::GeneratedRow& r = run.rows[i];
        if (!r.tickedBefore || invoiced.contains(i))
            continue;
        if (r.row.shipVia == QLatin1String("1") || r.row.shipment == BatchGenerator::NewShipment ||
            !BatchGenerator::flaggedInSample(r.row.customer))
            return false;
        if (r.cents != 0)
            amounts << r.cents;
    }
    std::sort(amounts.begin(), amounts.end());
    return amounts == QList<qint64>{1234, 8766};
}

} // namespace

TEST(RandomizedBatchRuns, PreviewRunRulesAndBooksAgree)
{
    // Each seed makes a company of its own: in memory, where the machine has it, so that the
    // seeds are not held up by the disk.
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        qputenv("TMPDIR", "/dev/shm");
    const SeedRange range = seedRange();
    ASSERT_GT(range.count, 0);
    QList<std::uint32_t> failed;
    QElapsedTimer clock;
    clock.start();
    for (int n = 0; n < range.count; ++n) {
        const std::uint32_t seed = range.first + std::uint32_t(n);
        const QStringList problems = BatchGenerator::checkSeed(seed);
        if (problems.isEmpty())
            continue;
        failed << seed;
        ADD_FAILURE() << problems.join(u'\n').toStdString()
                      << "\nReplay: TALLYMERGE_BATCH_SEEDS=" << seed << ":1 tm_batchgen_tests";
    }
    QStringList seeds;
    for (const std::uint32_t seed : failed)
        seeds << QString::number(seed);
    std::printf("%d seeds from %u in %.1f s; failing seeds: %s\n", range.count, range.first,
                double(clock.elapsed()) / 1000.0,
                seeds.isEmpty() ? "none" : qPrintable(seeds.join(u' ')));
}

// The generator covers what it promises over the default seeds: every setting, revisions,
// rows without a shipment, the shipment being entered, ticks before the run, older dates,
// a pending prepayment and the clerk's cheques at the run's pauses, earlier failed runs,
// cash sales, amounts whose sums single precision misses, orders invoiced in part elsewhere,
// three locales, customers of both kinds, and the clerk left with exactly 100.00 to invoice.
TEST(RandomizedBatchRuns, SeedsCoverEveryKindOfGrid)
{
    QSet<QString> seen;
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        const BatchGenerator::GeneratedRun run = BatchGenerator::generate(seed);
        const auto& s = run.settings;
        seen << QStringLiteral("separator ") + s.separator
             << QStringLiteral("combination %1%2 option %3")
                    .arg(s.orderNum, s.invComplete)
                    .arg(s.batchOption)
             << QStringLiteral("customers %1")
                    .arg(run.customers.size() == 1    ? "one"
                         : run.customers.size() >= 15 ? "many"
                                                      : "some");
        if (run.prepayment)
            seen << QStringLiteral("prepayment");
        if (run.failedEarlierAt >= 0)
            seen << QStringLiteral("failed earlier");
        seen << QStringLiteral("at pauses %1").arg(int(run.atPauses))
             << QStringLiteral("locale ") + run.locale;
        if (!run.partlyInvoiced.isEmpty())
            seen << QStringLiteral("invoiced in part elsewhere");
        if (clerkIsLeftExactlyOneHundred(run))
            seen << QStringLiteral("clerk's 100.00");
        for (const auto& r : run.rows) {
            if (r.row.shipment.isEmpty())
                seen << QStringLiteral("no shipment");
            else if (r.row.shipment == BatchGenerator::NewShipment)
                seen << QStringLiteral("new shipment");
            if (r.tickedBefore)
                seen << QStringLiteral("ticked");
            if (!r.row.today)
                seen << QStringLiteral("older");
            if (r.cents > 0 && r.cents <= 10000)
                seen << QStringLiteral("small");
            if (r.row.shipVia == QLatin1String("1"))
                seen << QStringLiteral("cash sale");
            if (r.cents == 1234 || r.cents == 8766)
                seen << QStringLiteral("awkward cents");
        }
    }
    for (const char* separator : {"0", "1", "2", "7"})
        EXPECT_TRUE(seen.contains(QStringLiteral("separator ") + QLatin1String(separator)));
    for (const char* combination : {"00", "01", "10", "11"}) {
        for (int option : {1, 2})
            EXPECT_TRUE(seen.contains(QStringLiteral("combination %1 option %2")
                                          .arg(QLatin1String(combination))
                                          .arg(option)))
                << combination << option;
    }
    for (const char* kind : {"customers one",
                             "customers some",
                             "customers many",
                             "prepayment",
                             "failed earlier",
                             "no shipment",
                             "new shipment",
                             "ticked",
                             "older",
                             "small",
                             "cash sale",
                             "awkward cents",
                             "at pauses 1",
                             "at pauses 2",
                             "at pauses 3",
                             "locale en_US",
                             "locale de_DE",
                             "locale fr_FR",
                             "invoiced in part elsewhere",
                             "clerk's 100.00"})
        EXPECT_TRUE(seen.contains(QLatin1String(kind))) << kind;
}
