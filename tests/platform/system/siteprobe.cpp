// Helper of the site access test: does one thing to a site as the account it runs as and
// prints "done" (exit 0) or "refused: <why>" (exit 1).
//   read-users <site>                        reads the user table
//   write-company <file>                     changes a company file
//   write-file <file>                        opens any file for writing (a hive, a lock file)
//   write-hive <machine folder> <user folder>  sets a value in the machine hive
//   write-user-hive <machine folder> <user folder>  sets a value in the user's own hive
//   invoice <site> <customer> <shipment>     signs on as ADMIN and invoices the shipment
#include <accpac/standin.h>
#include <invoicesequence.h>
#include <registry/hivelocations.h>
#include <registry/registry.h>
#include <sample.h>
#include <system/comerror.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace {

int done()
{
    std::printf("done\n");
    return 0;
}

int refused(const QString& why)
{
    std::printf("refused: %s\n", qPrintable(why));
    return 1;
}

int sqlite(const QString& file, int flags, const char* sql)
{
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &db, flags, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    }
    const QString why = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close(db);
    return rc == SQLITE_OK ? done() : refused(why);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString op = args.value(0);
    if (op == QLatin1String("read-users") && args.size() == 2)
        return sqlite(QDir(args[1]).filePath(QStringLiteral("system.db")), SQLITE_OPEN_READONLY,
                      "SELECT USERID, PWVERIFIER FROM USERS");
    if (op == QLatin1String("write-company") && args.size() == 2)
        return sqlite(args[1], SQLITE_OPEN_READWRITE, "UPDATE CSCOM SET NAME = NAME || ' '");
    if (op == QLatin1String("write-file") && args.size() == 2) {
        const int fd = ::open(QFile::encodeName(args[1]).constData(), O_WRONLY | O_APPEND);
        if (fd < 0)
            return refused(QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        return done();
    }
    if ((op == QLatin1String("write-hive") || op == QLatin1String("write-user-hive")) &&
        args.size() == 3) {
        using namespace Registry;
        Registry::setHiveLocations({args[1], args[2]});
        const HKEY root =
            op == QLatin1String("write-hive") ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        HKEY key = nullptr;
        LONG rc = RegCreateKeyEx(root, QStringLiteral("Software\\Probe"), 0, QString(),
                                 REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (rc == ERROR_SUCCESS) {
            const QByteArray data("p\0r\0o\0b\0e\0\0\0", 12);
            rc = RegSetValueEx(key, QStringLiteral("Probe"), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(data.constData()), DWORD(data.size()));
            RegCloseKey(key);
        }
        return rc == ERROR_SUCCESS ? done() : refused(QStringLiteral("error %1").arg(rc));
    }
    if (op == QLatin1String("invoice") && args.size() == 4) {
        auto session = Accpac::createSession();
        session->Init(QString(), QStringLiteral("AS"), QStringLiteral("AS0001"),
                      QStringLiteral("53A"));
        if (!Accpac::Testing::signOn(*session, args[1], Sample::CompanyId, QStringLiteral("ADMIN"),
                                     Sample::AdminPassword))
            return refused(session->Errors().Message(0));
        try {
            auto link = session->OpenDBLink(1, 0);
            Sample::InvoiceRequest request;
            request.customer = args[2];
            request.shipments = {args[3]};
            const auto result = Sample::createInvoice(*link, request);
            if (result.invoiceNumber.isEmpty())
                return refused(QStringLiteral("no invoice"));
            std::printf("invoice %s\n", qPrintable(result.invoiceNumber));
            return done();
        } catch (const ComError& e) {
            return refused(e.description());
        }
    }
    std::fprintf(stderr, "usage: see siteprobe.cpp\n");
    return 2;
}
