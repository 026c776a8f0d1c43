#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <stdexcept>
#include <utility>

class QProcess;

// A private PostgreSQL server for one test program: its own cluster in a temporary folder,
// its own port on 127.0.0.1 and its own socket folder, so it never meets a server of the
// machine or of another test running at the same time.
//
// The constructor creates the cluster (initdb), a login role with a password (scram) that may
// create roles, a database owned by that role, starts the server and waits until it accepts
// connections. The destructor stops the server and removes the folder. Should the test program die
// without running the destructor, the server follows it (it is started with a parent-death
// signal) and the next fixture that starts removes the abandoned folder.
//
// initdb refuses to run as root, so under root (CI) the cluster belongs to the unprivileged
// user "nobody" and every server program runs as that user; otherwise they run as the
// current user. Any failure to set the server up throws PostgresServer::Failure.
class PostgresServer
{
public:
    class Failure : public std::runtime_error
    {
    public:
        using std::runtime_error::runtime_error;
    };

    struct Options
    {
        QString database = QStringLiteral("tallymerge");
        QString user = QStringLiteral("tmuser");
        QString password = QStringLiteral("Tm-Test-Pass");
        // Every commit written to disk before it returns, as a site's server runs (the
        // benchmarks); the tests' servers skip that for speed.
        bool durable = false;
    };

    PostgresServer();
    explicit PostgresServer(const Options& options);
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // True when the server programs are installed; tests skip without them.
    static bool available();
    static QString binDir();

    QString host() const { return QStringLiteral("127.0.0.1"); }
    int port() const { return m_port; }
    QString socketDir() const;
    QString database() const { return m_options.database; }
    QString user() const { return m_options.user; }
    QString password() const { return m_options.password; }
    // The login's connection string to `database` (the fixture's database when empty).
    QString conninfo(const QString& database = {}) const
    {
        return QStringLiteral("host=%1 port=%2 dbname=%3 user=%4 password=%5")
            .arg(host())
            .arg(port())
            .arg(database.isEmpty() ? this->database() : database, user(), password());
    }

    // Runs SQL as the cluster's superuser in `database` (the fixture's database when empty)
    // and returns what psql prints unaligned and without headers, one line per row with
    // "|" between columns. Throws Failure with psql's message when a statement fails.
    QString execute(const QString& sql, const QString& database = {}) const;

    // Stops the server as `pg_ctl restart -m fast` does (every session ended, its open
    // transaction rolled back) and starts it again on the same port.
    void restart();

    // Adds a login role with this password (any characters).
    void createRole(const QString& name, const QString& password) const;

    // The psqlODBC data source attributes (keyword, value) that reach the fixture's database
    // over TCP, where the password is checked; add "Driver" or register them as a DSN.
    QList<std::pair<QString, QString>> odbcAttributes() const;

    // SQL text and identifier quoting for statements built by tests.
    static QString quoteLiteral(const QString& text);
    static QString quoteIdentifier(const QString& name);

private:
    void initCluster();
    // On `port`, or on a free one when 0.
    void startServer(int port = 0);
    void waitUntilReady();
    void stopServer() noexcept;
    QString run(const QString& program, const QStringList& arguments,
                const QByteArray& input = {}) const;

    Options m_options;
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_server;
    int m_port = 0;
    bool m_dropPrivileges = false;
    unsigned m_uid = 0;
    unsigned m_gid = 0;
};
