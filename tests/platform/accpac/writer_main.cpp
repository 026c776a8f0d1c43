// Helper of the two-process tests: signs on to a site as ADMIN and inserts and updates
// <count> miscellaneous charges named <prefix><n>, or with the prefix "BATCH" creates
// <count> receipt batches and prints their numbers, one a line; with the prefix "POST" and a
// <count> of "first:last" it posts the receipt batches of those numbers, one after another. Exit
// code 0 when every write succeeded.
#include <accpac/standin.h>
#include <sample.h>
#include <system/comerror.h>

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    auto session = Accpac::createSession();
    session->Init(QString(), "AS", "AS0001", "53A");
    if (!Accpac::Testing::signOn(*session, args[1], Sample::CompanyId, "ADMIN",
                                 Sample::AdminPassword))
        return 3;
    auto link = session->OpenDBLink(1, 0);
    if (args[3] == QLatin1String("BATCH")) {
        auto batches = link->OpenView("AR0041");
        for (int i = 0, count = args[2].toInt(); i < count; ++i) {
            try {
                batches->Field("CODEPYMTYP").SetValue(QStringLiteral("CA"));
                batches->Field("CNTBTCH").SetValue(0);
                batches->NewRecord();
                batches->Field("BATCHDESC").SetValue(QStringLiteral("Other program"));
                batches->Update();
                std::printf("%d\n", batches->Field("CNTBTCH").GetValue().toInt());
            } catch (const ComError& e) {
                std::fprintf(stderr, "%s\n", e.what());
                return 1;
            }
        }
        return 0;
    }
    if (args[3] == QLatin1String("POST")) {
        auto batches = link->OpenView("AR0041");
        const QStringList range = args[2].split(u':');
        for (int number = range.value(0).toInt(); number <= range.value(1).toInt(); ++number) {
            try {
                batches->Field("CODEPYMTYP").SetValue(QStringLiteral("CA"));
                batches->Field("CNTBTCH").SetValue(number);
                if (!batches->Read())
                    return 1;
                batches->Post();
            } catch (const ComError& e) {
                std::fprintf(stderr, "%s\n", e.what());
                return 1;
            }
        }
        return 0;
    }
    auto misc = link->OpenView("OE0440");
    int failures = 0;
    for (int i = 0, count = args[2].toInt(); i < count; ++i) {
        try {
            misc->ClearRecord();
            misc->Field("MISCCHARGE").SetValue(args[3] + QString::number(i));
            misc->Field("DESC").SetValue(QStringLiteral("Written by another process"));
            misc->Insert();
            misc->Field("AMOUNT").SetValue(i);
            misc->Update();
        } catch (const ComError& e) {
            std::fprintf(stderr, "%s\n", e.what());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
