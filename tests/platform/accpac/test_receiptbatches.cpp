// Receipt batches of the stand-in: numbering between two programs, open, posted and deleted
// batches, and what an Update or a Post may do to them.
#include "sitetest.h"

#include <system/comerror.h>

#include <gtest/gtest.h>

#include <QDate>
#include <QProcess>
#include <QSet>

namespace {

class ReceiptBatches : public SiteTest
{
protected:
    std::unique_ptr<AccpacView> batch(int number, int order = 0, int status = 0)
    {
        auto view = link->OpenView(QStringLiteral("AR0041"));
        view->SetOrder(order);
        view->Field(QStringLiteral("CODEPYMTYP")).SetValue(QStringLiteral("CA"));
        if (status != 0)
            view->Field(QStringLiteral("BATCHSTAT")).SetValue(status);
        view->Field(QStringLiteral("CNTBTCH")).SetValue(number);
        return view;
    }

    int newBatch(const QString& description)
    {
        auto view = batch(0);
        view->NewRecord();
        view->Field(QStringLiteral("BATCHDESC")).SetValue(description);
        view->Update();
        return view->Field(QStringLiteral("CNTBTCH")).GetValue().toInt();
    }

    QString refusal(const std::function<void()>& call)
    {
        session->Errors().Clear();
        try {
            call();
        } catch (const ComError& e) {
            session->Errors().Clear();
            return e.description();
        }
        return {};
    }
};

// The sample company's batches: 1 and 3 open, 2 and 5 posted, 4 deleted. Only the open
// ones are read under the open status; every one is read by number alone.
TEST_F(ReceiptBatches, SampleBatchesByStatus)
{
    for (int number = 1; number <= 5; ++number) {
        const bool open = number == 1 || number == 3;
        EXPECT_EQ(batch(number, 1, 1)->Read(), open) << number;
        auto any = batch(number);
        ASSERT_TRUE(any->Read()) << number;
        EXPECT_EQ(any->Field(QStringLiteral("BATCHSTAT")).GetValue().toInt() == 1, open);
    }
    // Batch 4 is deleted and 5 posted.
    auto deleted = batch(4);
    ASSERT_TRUE(deleted->Read());
    EXPECT_EQ(deleted->Field(QStringLiteral("BATCHSTAT")).GetValue().toInt(), 2);
}

// An open batch takes changes and can be posted once; after that it takes neither, and a
// deleted batch takes none either. A caller cannot reopen a batch through its status.
TEST_F(ReceiptBatches, OnlyOpenBatchesChange)
{
    const int number = newBatch(QStringLiteral("To be posted"));
    auto view = batch(number);
    ASSERT_TRUE(view->Read());
    view->Field(QStringLiteral("IDBANK")).SetValue(QStringLiteral("TDCAD"));
    view->Field(QStringLiteral("BATCHSTAT")).SetValue(3);
    view->Update();
    EXPECT_EQ(view->Field(QStringLiteral("BATCHSTAT")).GetValue().toInt(), 1);
    view->Post();
    EXPECT_EQ(view->Field(QStringLiteral("BATCHSTAT")).GetValue().toInt(), 3);
    EXPECT_FALSE(batch(number, 1, 1)->Read());

    auto again = batch(number);
    ASSERT_TRUE(again->Read());
    EXPECT_EQ(again->Field(QStringLiteral("IDBANK")).GetValue().toString(), "TDCAD");
    again->Field(QStringLiteral("BATCHSTAT")).SetValue(1);
    again->Field(QStringLiteral("BATCHDESC")).SetValue(QStringLiteral("Reopened"));
    EXPECT_EQ(refusal([&] { again->Update(); }),
              QStringLiteral("Receipt batch %1 is posted and cannot be changed.").arg(number));
    EXPECT_EQ(refusal([&] { again->Post(); }),
              QStringLiteral("Receipt batch %1 is posted and cannot be posted.").arg(number));

    auto deleted = batch(4);
    ASSERT_TRUE(deleted->Read());
    deleted->Field(QStringLiteral("BATCHDESC")).SetValue(QStringLiteral("Undeleted"));
    EXPECT_EQ(refusal([&] { deleted->Update(); }),
              QStringLiteral("Receipt batch 4 is deleted and cannot be changed."));
    auto check = batch(4);
    ASSERT_TRUE(check->Read());
    EXPECT_EQ(check->Field(QStringLiteral("BATCHDESC")).GetValue().toString(), "Entered in error");

    // Without a record read there is nothing to post.
    auto blank = link->OpenView(QStringLiteral("AR0041"));
    EXPECT_FALSE(refusal([&] { blank->Post(); }).isEmpty());
}

// Two programs creating batches at the same moment never get the same number, and every
// batch either made is stored once.
TEST_F(ReceiptBatches, TwoProgramsNeverShareABatchNumber)
{
    constexpr int PerProgram = 40;
    QProcess other;
    other.start(QStringLiteral(ACCPAC_WRITER),
                {site->folder, QString::number(PerProgram), QStringLiteral("BATCH")});
    ASSERT_TRUE(other.waitForStarted());
    QSet<int> mine;
    for (int i = 0; i < PerProgram; ++i)
        mine.insert(newBatch(QStringLiteral("This program")));
    ASSERT_TRUE(other.waitForFinished(60000));
    EXPECT_EQ(other.exitCode(), 0) << other.readAllStandardError().toStdString();
    QSet<int> theirs;
    for (const QByteArray& line : other.readAllStandardOutput().split('\n'))
        if (!line.trimmed().isEmpty())
            theirs.insert(line.trimmed().toInt());
    EXPECT_EQ(mine.size(), PerProgram);
    EXPECT_EQ(theirs.size(), PerProgram);
    EXPECT_TRUE(QSet<int>(mine).intersect(theirs).isEmpty());

    auto all = link->OpenView(QStringLiteral("AR0041"));
    all->Browse(QStringLiteral("BATCHDESC = \"Other program\" OR BATCHDESC = \"This program\""),
                true);
    int stored = 0;
    while (all->Fetch())
        ++stored;
    EXPECT_EQ(stored, 2 * PerProgram);
}

// A Post by another program is never undone by an Update here, however the two meet: the
// status check and the write of an Update are one step. This program keeps changing the
// batches while the other posts them; at the end every batch is posted, and an Update after
// the Post was refused.
TEST_F(ReceiptBatches, AnUpdateNeverReopensABatchPostedMeanwhile)
{
    constexpr int Count = 100;
    const int first = newBatch(QStringLiteral("Posted meanwhile"));
    int last = first;
    while (last < first + Count - 1)
        last = newBatch(QStringLiteral("Posted meanwhile"));
    QProcess other;
    other.start(
        QStringLiteral(ACCPAC_WRITER),
        {site->folder, QStringLiteral("%1:%2").arg(first).arg(last), QStringLiteral("POST")});
    ASSERT_TRUE(other.waitForStarted());
    int refused = 0;
    while (other.state() != QProcess::NotRunning) {
        for (int number = first; number <= last; ++number) {
            auto view = batch(number);
            if (!view->Read())
                continue;
            view->Field(QStringLiteral("BATCHDESC")).SetValue(QStringLiteral("Changed here"));
            if (!refusal([&] { view->Update(); }).isEmpty())
                ++refused;
        }
        other.waitForFinished(0);
    }
    EXPECT_EQ(other.exitCode(), 0) << other.readAllStandardError().toStdString();
    EXPECT_GT(refused, 0);
    for (int number = first; number <= last; ++number) {
        auto view = batch(number);
        ASSERT_TRUE(view->Read());
        EXPECT_EQ(view->Field(QStringLiteral("BATCHSTAT")).GetValue().toInt(), 3) << number;
    }
}

} // namespace
