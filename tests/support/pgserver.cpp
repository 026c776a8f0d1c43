#include "pgserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <arpa/inet.h>
#include <csignal>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr const char* DirPrefix = "tallymerge-pg-";
constexpr const char* SuperUser = "postgres";

// A port that is free right now on 127.0.0.1 (the kernel picks it); the server binds it
// a moment later, and a lost race is retried with another one.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        throw PostgresServer::Failure("socket() failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    if (port == 0)
        throw PostgresServer::Failure("no free TCP port on 127.0.0.1");
    return port;
}

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH);
}

// Folders of fixtures whose test program died without cleaning up: their server has
// followed the program (parent-death signal); only the files are left to remove.
void removeAbandonedFolders()
{
    const QDir temp(QDir::tempPath());
    static const QRegularExpression name(QStringLiteral("^%1(\\d+)-").arg(DirPrefix));
    for (const QString& entry : temp.entryList({QStringLiteral("%1*").arg(DirPrefix)},
                                               QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = name.match(entry);
        if (match.hasMatch() && !processAlive(match.captured(1).toLongLong()))
            QDir(temp.filePath(entry)).removeRecursively();
    }
}

// The template of this fixture's folder; abandoned folders go first.
QString folderTemplate()
{
    removeAbandonedFolders();
    return QDir::tempPath() + QStringLiteral("/%1%2-XXXXXX").arg(DirPrefix).arg(::getpid());
}

QString tail(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = file.readAll();
    return QString::fromUtf8(all.right(2000));
}

} // namespace

PostgresServer::PostgresServer() : PostgresServer(Options{}) {}

PostgresServer::PostgresServer(const Options& options) : m_options(options), m_dir(folderTemplate())
{
    if (!available())
        throw Failure("the PostgreSQL server programs are not installed");
    if (!m_dir.isValid())
        throw Failure("cannot create the temporary folder of the server");
    if (::geteuid() == 0) {
        // initdb and postgres refuse root: the cluster belongs to "nobody".
        const passwd* account = ::getpwnam("nobody");
        if (account == nullptr)
            throw Failure("running as root and there is no user \"nobody\" to run the server");
        m_dropPrivileges = true;
        m_uid = account->pw_uid;
        m_gid = account->pw_gid;
        if (::chown(QFile::encodeName(m_dir.path()).constData(), m_uid, m_gid) != 0)
            throw Failure("cannot hand the server folder to \"nobody\"");
    }
    if (!QDir(m_dir.path()).mkdir(QStringLiteral("sock")) ||
        (m_dropPrivileges &&
         ::chown(QFile::encodeName(socketDir()).constData(), m_uid, m_gid) != 0)) {
        throw Failure("cannot create the socket folder of the server");
    }
    initCluster();
    try {
        startServer();
        createRole(m_options.user, m_options.password);
        // The login owns the sites made in its databases, and makes their users' roles.
        execute(QStringLiteral("ALTER ROLE %1 CREATEROLE").arg(quoteIdentifier(m_options.user)),
                QString::fromLatin1(SuperUser));
        execute(QStringLiteral("CREATE DATABASE %1 OWNER %2")
                    .arg(quoteIdentifier(m_options.database), quoteIdentifier(m_options.user)),
                QString::fromLatin1(SuperUser));
    } catch (...) {
        stopServer();
        throw;
    }
}

PostgresServer::~PostgresServer()
{
    stopServer();
}

QString PostgresServer::binDir()
{
    return QStringLiteral("/usr/lib/postgresql/15/bin");
}

bool PostgresServer::available()
{
    const QDir bin(binDir());
    return QFileInfo(bin.filePath(QStringLiteral("initdb"))).isExecutable() &&
           QFileInfo(bin.filePath(QStringLiteral("postgres"))).isExecutable() &&
           QFileInfo(bin.filePath(QStringLiteral("psql"))).isExecutable();
}

QString PostgresServer::socketDir() const
{
    return m_dir.filePath(QStringLiteral("sock"));
}

QString PostgresServer::quoteLiteral(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString PostgresServer::quoteIdentifier(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void PostgresServer::createRole(const QString& name, const QString& password) const
{
    execute(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD %2")
                .arg(quoteIdentifier(name), quoteLiteral(password)),
            QString::fromLatin1(SuperUser));
}

QList<std::pair<QString, QString>> PostgresServer::odbcAttributes() const
{
    return {{QStringLiteral("Servername"), host()},
            {QStringLiteral("Port"), QString::number(m_port)},
            {QStringLiteral("Database"), m_options.database},
            {QStringLiteral("SSLmode"), QStringLiteral("disable")}};
}

QString PostgresServer::execute(const QString& sql, const QString& database) const
{
    return run(QStringLiteral("psql"),
               {QStringLiteral("--no-psqlrc"), QStringLiteral("--quiet"),
                QStringLiteral("--no-align"), QStringLiteral("--tuples-only"),
                QStringLiteral("--set=ON_ERROR_STOP=1"), QStringLiteral("--host=") + socketDir(),
                QStringLiteral("--port=%1").arg(m_port),
                QStringLiteral("--username=%1").arg(QLatin1String(SuperUser)),
                QStringLiteral("--dbname=") + (database.isEmpty() ? m_options.database : database),
                QStringLiteral("--file=-")},
               sql.toUtf8());
}

void PostgresServer::initCluster()
{
    run(QStringLiteral("initdb"),
        {QStringLiteral("--pgdata=") + m_dir.filePath(QStringLiteral("data")),
         QStringLiteral("--username=%1").arg(QLatin1String(SuperUser)),
         QStringLiteral("--auth=trust"), QStringLiteral("--encoding=UTF8"),
         QStringLiteral("--locale=C"), QStringLiteral("--no-sync"),
         QStringLiteral("--no-instructions")});
    // Only the superuser, used by the fixture itself over the socket, skips the password;
    // every other role must give its password, over the socket and over TCP.
    QFile hba(m_dir.filePath(QStringLiteral("data/pg_hba.conf")));
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Failure("cannot write pg_hba.conf");
    hba.write(QByteArray("local all ") + SuperUser +
              " trust\n"
              "local all all scram-sha-256\n"
              "host all all 127.0.0.1/32 scram-sha-256\n");
}

void PostgresServer::restart()
{
    stopServer();
    startServer(m_port);
}

void PostgresServer::startServer(int port)
{
    const QString log = m_dir.filePath(QStringLiteral("server.log"));
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = port > 0 ? port : freePort();
        m_server = std::make_unique<QProcess>();
        m_server->setProgram(QDir(binDir()).filePath(QStringLiteral("postgres")));
        m_server->setArguments({QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")),
                                QStringLiteral("-p"), QString::number(m_port), QStringLiteral("-k"),
                                socketDir(), QStringLiteral("-c"),
                                QStringLiteral("listen_addresses=127.0.0.1"), QStringLiteral("-c"),
                                QStringLiteral("fsync=off"), QStringLiteral("-c"),
                                QStringLiteral("synchronous_commit=off"), QStringLiteral("-c"),
                                QStringLiteral("full_page_writes=off"), QStringLiteral("-c"),
                                QStringLiteral("shared_buffers=16MB"), QStringLiteral("-c"),
                                QStringLiteral("max_connections=60")});
        m_server->setProcessChannelMode(QProcess::MergedChannels);
        m_server->setStandardOutputFile(log, QIODevice::Append);
        if (m_options.durable) // the later setting of each wins
            m_server->setArguments(
                m_server->arguments() +
                QStringList{QStringLiteral("-c"), QStringLiteral("fsync=on"), QStringLiteral("-c"),
                            QStringLiteral("synchronous_commit=on"), QStringLiteral("-c"),
                            QStringLiteral("full_page_writes=on")});
        const bool drop = m_dropPrivileges;
        const uid_t uid = m_uid;
        const gid_t gid = m_gid;
        const pid_t parent = ::getpid();
        m_server->setChildProcessModifier([drop, uid, gid, parent] {
            if (drop &&
                (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)) {
                ::_exit(126);
            }
            // Set after the user change, which clears it: the server shuts down at once
            // (SIGQUIT) when the test program dies.
            ::prctl(PR_SET_PDEATHSIG, SIGQUIT);
            if (::getppid() != parent)
                ::_exit(125);
        });
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        m_server->setProcessEnvironment(environment);
        m_server->start();
        if (!m_server->waitForStarted(10000))
            throw Failure("cannot start postgres: " + m_server->errorString().toStdString());
        try {
            waitUntilReady();
            return;
        } catch (const Failure&) {
            const QString text = tail(log);
            stopServer();
            // Another program took the port between our check and the server's bind.
            if (!text.contains(QLatin1String("could not bind")) &&
                !text.contains(QLatin1String("could not create any TCP/IP sockets")))
                throw Failure("the PostgreSQL server did not start:\n" + text.toStdString());
        }
    }
    throw Failure("the PostgreSQL server found no free port");
}

// The server writes "ready" as the status line of postmaster.pid once it accepts
// connections; reading it costs no process start.
void PostgresServer::waitUntilReady()
{
    QDeadlineTimer deadline(30000);
    const QString pidFile = m_dir.filePath(QStringLiteral("data/postmaster.pid"));
    while (!deadline.hasExpired()) {
        if (m_server->state() == QProcess::NotRunning || m_server->waitForFinished(0))
            throw Failure("the server stopped while starting");
        QFile file(pidFile);
        if (file.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> lines = file.readAll().split('\n');
            if (lines.size() > 7 && lines.at(7).trimmed() == "ready")
                return;
        }
        QThread::msleep(20);
    }
    throw Failure("the server was not ready within 30 seconds");
}

void PostgresServer::stopServer() noexcept
{
    if (!m_server)
        return;
    if (m_server->state() != QProcess::NotRunning) {
        // Fast shutdown: open sessions a test left behind are ended, not waited for.
        ::kill(static_cast<pid_t>(m_server->processId()), SIGINT);
        if (!m_server->waitForFinished(15000)) {
            ::kill(static_cast<pid_t>(m_server->processId()), SIGQUIT);
            if (!m_server->waitForFinished(5000)) {
                m_server->kill();
                m_server->waitForFinished(5000);
            }
        }
    }
    m_server.reset();
}

QString PostgresServer::run(const QString& program, const QStringList& arguments,
                            const QByteArray& input) const
{
    QProcess process;
    process.setProgram(QDir(binDir()).filePath(program));
    process.setArguments(arguments);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Nothing of the caller's PostgreSQL settings may redirect the fixture's programs.
    for (const QString& key : environment.keys()) {
        if (key.startsWith(QLatin1String("PG")))
            environment.remove(key);
    }
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.insert(QStringLiteral("HOME"), m_dir.path());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_dir.path());
    const bool drop = m_dropPrivileges;
    const uid_t uid = m_uid;
    const gid_t gid = m_gid;
    process.setChildProcessModifier([drop, uid, gid] {
        if (drop && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
            ::_exit(126);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    process.start();
    if (!process.waitForStarted(10000))
        throw Failure("cannot start " + program.toStdString());
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        throw Failure(program.toStdString() + " did not finish within a minute");
    }
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        throw Failure(program.toStdString() + " failed: " +
                      QString::fromUtf8(process.readAllStandardError()).toStdString());
    }
    return output;
}
