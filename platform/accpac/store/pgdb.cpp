#include "pgdb.h"

#include "conninfo.h"

#include <QRegularExpression>

#include <libpq-fe.h>

#include <netdb.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <new>

namespace Accpac {

namespace {

using Kind = StorageError::Kind;

// Writers of one store lock its write lock's one row first, as SQLite's BEGIN IMMEDIATE
// locks the file: numbers taken as the highest plus one are never taken twice, and two
// writers never deadlock. Only the roles granted UPDATE of the row (those who bill in a
// company, the site's administrators) may lock it, where an advisory lock would be open to
// every login of the server. A schema not made yet (its transaction makes it) has no row and
// no other writer.
const QByteArray BeginWrite = QByteArray("BEGIN; DO $$BEGIN IF current_schema() IS NOT NULL THEN "
                                         "PERFORM 1 FROM ") +
                              ServerAdministration::WriteLockTable + " FOR UPDATE; END IF; END$$";

QString sqlState(const PGresult* result)
{
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    return QString::fromLatin1(state ? state : "");
}

Kind kindOf(const QString& state, bool connectionBad)
{
    if (connectionBad || state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01") ||
        state == QLatin1String("57P02") || state == QLatin1String("57P03"))
        return Kind::ConnectionLost;
    if (state.startsWith(QLatin1String("23")))
        return Kind::Constraint;
    if (state == QLatin1String("40001") || state == QLatin1String("40P01"))
        return Kind::Serialization;
    if (state == QLatin1String("55P03"))
        return Kind::Busy;
    if (state == QLatin1String("42501"))
        return Kind::Refused;
    if (state == QLatin1String("3F000"))
        return Kind::NotADatabase;
    return Kind::Other;
}

QString firstLine(const char* text)
{
    return QString::fromUtf8(text ? text : "").trimmed().section(u'\n', 0, 0).trimmed();
}

// Notices (an object that exists already, ...) are not the user's business.
void ignoreNotice(void*, const char*) {}

// The options of a connection string; empty when it cannot be read (`error` says why).
QList<std::pair<QByteArray, QByteArray>> parseConninfo(const QByteArray& conninfo,
                                                       QString* error = nullptr)
{
    QList<std::pair<QByteArray, QByteArray>> options;
    char* message = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(conninfo.constData(), &message);
    if (!parsed) {
        if (error)
            *error = firstLine(message ? message : "out of memory");
        PQfreemem(message);
        return options;
    }
    for (PQconninfoOption* o = parsed; o->keyword; ++o)
        if (o->val && *o->val)
            options.append({QByteArray(o->keyword), QByteArray(o->val)});
    PQconninfoFree(parsed);
    return options;
}

QByteArray option(const QList<std::pair<QByteArray, QByteArray>>& options, const char* key)
{
    for (const auto& [k, v] : options)
        if (k == key)
            return v;
    return {};
}

// The server a connection string names, as messages name it: host and port.
QString serverOf(const QList<std::pair<QByteArray, QByteArray>>& options)
{
    QByteArray host = option(options, "host");
    if (host.isEmpty())
        host = option(options, "hostaddr");
    if (host.isEmpty())
        host = "localhost";
    const QByteArray port = option(options, "port");
    return QString::fromUtf8(host) + QStringLiteral(" port ") +
           QString::fromUtf8(port.isEmpty() ? QByteArray("5432") : port);
}

// A right the role lacks, in words: the statement's verb and object, read from the statement
// (the server's words come in its language).
QString missingRight(const QString& role, const QByteArray& sql)
{
    struct Verb
    {
        const char* pattern;
        const char* words;
        const char* privilege;
    };
    static const Verb verbs[] = {
        {"^INSERT\\s+INTO\\s+", "add rows to table", "INSERT"},
        {"^UPDATE\\s+", "change table", "UPDATE"},
        {"^DELETE\\s+FROM\\s+", "remove rows from table", "DELETE"},
        {"^SELECT\\b.*?\\bFROM\\s+", "read table", "SELECT"},
        {"^CREATE\\s+SCHEMA\\s+", "create schema", "CREATE on the database"}};
    const QString text = QString::fromUtf8(sql.simplified());
    for (const Verb& v : verbs) {
        const QRegularExpression pattern(QLatin1String(v.pattern) +
                                             QStringLiteral("\"?([\\w.\"]+)"),
                                         QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch m = pattern.match(text);
        if (m.hasMatch())
            return QStringLiteral("Role \"%1\" has no right to %2 %3 (%4); ask the site's "
                                  "administrator to grant it")
                .arg(role, QLatin1String(v.words),
                     m.captured(1).remove(u'"').section(u'.', -1).toUpper(),
                     QLatin1String(v.privilege));
    }
    return QStringLiteral("The database server refused role \"%1\" this work (%2); ask the "
                          "site's administrator for the right")
        .arg(role, text.section(u' ', 0, 1));
}

// How a connection was tried: the connection (bad when refused), and why it failed, told by
// the server's SQLSTATE (never its words, which come in the server's language) or by what
// libpq says of the socket.
struct Attempt
{
    PGconn* conn = nullptr;
    QString state;         // the server's SQLSTATE; empty when the server did not answer
    bool timedOut = false; // no answer within connect_timeout
};

// Connects as PQconnectdb does, with the server's errors given as SQLSTATEs only.
Attempt attemptConnection(const QByteArray& conninfo, int timeoutSeconds)
{
    const char* keywords[] = {"connect_timeout", "application_name", "dbname", nullptr};
    const char* values[] = {"10", "tallymerge", conninfo.constData(), nullptr};
    Attempt attempt;
    attempt.conn = PQconnectStartParams(keywords, values, 1);
    if (!attempt.conn)
        throw std::bad_alloc();
    PQsetErrorVerbosity(attempt.conn, PQERRORS_SQLSTATE);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(std::max(timeoutSeconds, 2));
    PostgresPollingStatusType polled = PGRES_POLLING_WRITING;
    while (PQstatus(attempt.conn) != CONNECTION_BAD && polled != PGRES_POLLING_OK &&
           polled != PGRES_POLLING_FAILED) {
        pollfd socket = {PQsocket(attempt.conn),
                         short(polled == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int ready = left.count() > 0 ? ::poll(&socket, 1, int(left.count())) : 0;
        if (ready == 0) {
            attempt.timedOut = true;
            PQfinish(attempt.conn);
            attempt.conn = nullptr;
            return attempt;
        }
        if (ready > 0 || errno != EINTR)
            polled = PQconnectPoll(attempt.conn);
    }
    // "FATAL:  28P01", after the host's name when libpq tried several.
    static const QRegularExpression code(QStringLiteral(":  ([0-9A-Z]{5})$"),
                                         QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = code.match(QString::fromUtf8(PQerrorMessage(attempt.conn)));
    if (m.hasMatch())
        attempt.state = m.captured(1);
    else if (PQconnectionNeedsPassword(attempt.conn))
        attempt.state = QStringLiteral("28P01");
    return attempt;
}

// True when the host the connection string names is a name that does not resolve.
bool unknownHost(const QList<std::pair<QByteArray, QByteArray>>& options)
{
    const QByteArray host = option(options, "host");
    if (host.isEmpty() || host.startsWith('/') || host.contains(',') ||
        !option(options, "hostaddr").isEmpty())
        return false;
    addrinfo* found = nullptr;
    const int error = ::getaddrinfo(host.constData(), nullptr, nullptr, &found);
    if (found)
        ::freeaddrinfo(found);
    return error == EAI_NONAME || error == EAI_FAIL;
}

// Why no connection was made, in one sentence that names the server.
QString connectFailure(const QList<std::pair<QByteArray, QByteArray>>& options,
                       const Attempt& attempt)
{
    const QString server = serverOf(options);
    const QString database = QString::fromUtf8(option(options, "dbname"));
    const QString user = QString::fromUtf8(option(options, "user"));
    const QString& state = attempt.state;
    if (attempt.timedOut)
        return QStringLiteral("The database server %1 did not answer in time.").arg(server);
    if (state == QLatin1String("28P01"))
        return QStringLiteral("The database server %1 refused user %2: the user name or the "
                              "password is wrong.")
            .arg(server, user);
    if (state == QLatin1String("28000"))
        return QStringLiteral("The database server %1 does not let user %2 log in to the "
                              "database \"%3\" from here.")
            .arg(server, user, database);
    if (state == QLatin1String("3D000"))
        return QStringLiteral("The database server %1 has no database \"%2\".")
            .arg(server, database);
    if (state == QLatin1String("42501"))
        return QStringLiteral("The database server %1 does not let user %2 connect to the "
                              "database \"%3\"; ask the site's administrator.")
            .arg(server, user, database);
    if (state == QLatin1String("53300"))
        return QStringLiteral("The database server %1 has no connection free; try again "
                              "later.")
            .arg(server);
    if (state.startsWith(QLatin1String("57P")))
        return QStringLiteral("The database server %1 is starting or stopping; try again "
                              "later.")
            .arg(server);
    if (!state.isEmpty())
        return QStringLiteral("The database server %1 refused the connection (SQLSTATE %2).")
            .arg(server, state);
    if (unknownHost(options))
        return QStringLiteral("The database server %1 cannot be reached: its host name is "
                              "unknown.")
            .arg(server);
    return QStringLiteral("The database server %1 refused the connection: no server is "
                          "listening there.")
        .arg(server);
}

// The connection's time to answer: the connection string's connect_timeout, or 10 seconds.
int connectTimeout(const QList<std::pair<QByteArray, QByteArray>>& options)
{
    const QByteArray given = option(options, "connect_timeout");
    return given.isEmpty() ? 10 : given.toInt();
}

} // namespace

class PgStatement final : public PreparedStatement
{
public:
    PgStatement(PgDatabase& db, const QByteArray& sql) : m_db(db), m_sql(sql)
    {
        m_text = PgDatabase::translate(sql, &m_parameters);
        const QByteArray head = sql.trimmed().left(6).toUpper();
        m_readOnly = head == "SELECT";
        m_values.resize(m_parameters);
        m_null.assign(m_parameters, true);
        prepare();
    }
    ~PgStatement() override { PQclear(m_result); }

    void bindNull(int index) override { slot(index) = QByteArray(), m_null[index - 1] = true; }
    void bindText(int index, const QString& value) override { set(index, value.toUtf8()); }
    void bindInt(int index, qint64 value) override { set(index, QByteArray::number(value)); }
    void bindDouble(int index, double value) override
    {
        set(index, QByteArray::number(value, 'g', 17));
    }
    bool step() override
    {
        if (!m_result)
            run();
        return ++m_row < PQntuples(m_result);
    }
    int columnCount() const override { return m_result ? PQnfields(m_result) : 0; }
    bool isNull(int column) const override { return PQgetisnull(m_result, m_row, column) != 0; }
    qint64 columnInt(int column) const override
    {
        const char* text = PQgetvalue(m_result, m_row, column);
        // Booleans come as t and f; a sum or an average may come with decimals.
        if (*text == 't' || *text == 'f')
            return *text == 't';
        char* end = nullptr;
        const qint64 n = std::strtoll(text, &end, 10);
        return *end == '.' || *end == 'e' ? qint64(std::strtod(text, nullptr)) : n;
    }
    double columnDouble(int column) const override
    {
        return std::strtod(PQgetvalue(m_result, m_row, column), nullptr);
    }
    QString columnText(int column) const override
    {
        if (PQgetisnull(m_result, m_row, column))
            return {};
        return QString::fromUtf8(PQgetvalue(m_result, m_row, column),
                                 PQgetlength(m_result, m_row, column));
    }
    QByteArrayView columnUtf8(int column) const override
    {
        return {PQgetvalue(m_result, m_row, column), PQgetlength(m_result, m_row, column)};
    }
    // The server's text of the value; the parameter it is bound to reads it back exactly.
    QVariant columnValue(int column) const override
    {
        return isNull(column) ? QVariant() : QVariant(columnText(column));
    }
    void reset() override
    {
        PQclear(m_result);
        m_result = nullptr;
        m_row = -1;
        std::fill(m_null.begin(), m_null.end(), true);
    }
    bool isReadOnly() const override { return m_readOnly; }

private:
    QByteArray& slot(int index)
    {
        if (index < 1 || index > int(m_values.size()))
            throw StorageError(
                Kind::Other, 0,
                QStringLiteral("parameter %1 is not one of the statement").arg(index));
        return m_values[index - 1];
    }
    void set(int index, QByteArray value)
    {
        slot(index) = std::move(value);
        m_null[index - 1] = false;
    }

    void prepare()
    {
        m_name = m_db.newStatementName().toLatin1();
        PQclear(m_db.sendRetried(m_sql, true, [&](PGconn* conn) {
            m_generation = m_db.generation();
            return PQprepare(conn, m_name.constData(), m_text.constData(), 0, nullptr);
        }));
    }

    void run()
    {
        std::vector<const char*> values(m_values.size());
        for (size_t i = 0; i < m_values.size(); ++i)
            values[i] = m_null[i] ? nullptr : m_values[i].constData();
        // A read of its own on a connection the server ended meanwhile (a restart, a cut) is
        // read again on a new one: nothing was changed.
        m_result = m_db.sendRetried(m_sql, m_readOnly, [&](PGconn* conn) {
            if (m_generation != m_db.generation())
                prepare();
            return PQexecPrepared(conn, m_name.constData(), int(values.size()), values.data(),
                                  nullptr, nullptr, 0);
        });
        m_row = -1;
        m_db.m_changes = std::atoi(PQcmdTuples(m_result));
        if (!m_readOnly)
            PgDatabase::observeWrite(m_sql);
    }

    PgDatabase& m_db;
    QByteArray m_sql;
    QByteArray m_text;
    QByteArray m_name;
    int m_parameters = 0;
    int m_generation = 0;
    bool m_readOnly = false;
    std::vector<QByteArray> m_values;
    std::vector<bool> m_null;
    PGresult* m_result = nullptr;
    int m_row = -1;
};

QList<std::pair<QString, QString>> conninfoOptions(const QString& conninfo)
{
    QList<std::pair<QString, QString>> options;
    for (const auto& [key, value] : parseConninfo(conninfo.toUtf8()))
        if (key != "password")
            options.append({QString::fromUtf8(key), QString::fromUtf8(value)});
    return options;
}

QString withoutPassword(const QString& conninfo)
{
    const auto options = conninfoOptions(conninfo);
    if (options.isEmpty())
        return QStringLiteral("(a connection string that cannot be read)");
    QStringList kept;
    for (const auto& [key, value] : options)
        kept << key + u'=' + value;
    return kept.join(u' ');
}

namespace {

QString quotedOption(const QByteArray& value)
{
    QString text = QString::fromUtf8(value);
    text.replace(u'\\', QLatin1String("\\\\")).replace(u'\'', QLatin1String("\\'"));
    return u'\'' + text + u'\'';
}

} // namespace

QString conninfoWith(const QString& conninfo, const QString& key, const QString& value)
{
    QStringList kept;
    for (const auto& [k, v] : parseConninfo(conninfo.toUtf8()))
        if (k != key.toUtf8())
            kept << QString::fromUtf8(k) + u'=' + quotedOption(v);
    kept << key + u'=' + quotedOption(value.toUtf8());
    return kept.join(u' ');
}

QString companyConninfo(const QString& siteConninfo, const QString& schema)
{
    return conninfoWith(siteConninfo, QStringLiteral("options"),
                        QStringLiteral("-csearch_path=") + schema);
}

PgDatabase::PgDatabase(const QString& conninfo, const QString& schema)
    : m_conninfo(conninfo.toUtf8()), m_schema(schema)
{
    connect();
}

PgDatabase::~PgDatabase()
{
    dropStatements();
    PQfinish(m_conn);
}

LoginAnswer tryConnection(const QString& conninfo)
{
    const QByteArray text = conninfo.toUtf8();
    QString error;
    const auto options = parseConninfo(text, &error);
    if (options.isEmpty())
        throw StorageError(Kind::Refused, 0,
                           QStringLiteral("The connection string cannot be read: %1.").arg(error));
    const Attempt attempt = attemptConnection(text, connectTimeout(options));
    const bool accepted = attempt.conn && PQstatus(attempt.conn) == CONNECTION_OK;
    PQfinish(attempt.conn);
    if (accepted)
        return LoginAnswer::Accepted;
    // The server answers a wrong password and an unknown role alike; a role that may not log
    // in is told only after its password was right.
    if (attempt.state == QLatin1String("28P01"))
        return LoginAnswer::WrongPassword;
    if (attempt.state == QLatin1String("28000"))
        return LoginAnswer::NotPermitted;
    throw StorageError(Kind::Refused, 0, connectFailure(options, attempt));
}

void PgDatabase::connect()
{
    QString error;
    const auto options = parseConninfo(m_conninfo, &error);
    if (options.isEmpty())
        throw StorageError(Kind::Refused, 0,
                           QStringLiteral("The connection string cannot be read: %1.").arg(error));
    m_server = serverOf(options);
    // A server that does not answer is given up after a while rather than waited for; the
    // connection string may set its own time.
    const Attempt attempt = attemptConnection(m_conninfo, connectTimeout(options));
    m_conn = attempt.conn;
    if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
        PQfinish(m_conn);
        m_conn = nullptr;
        throw StorageError(Kind::Refused, 0, connectFailure(options, attempt));
    }
    PQsetErrorVerbosity(m_conn, PQERRORS_DEFAULT);
    PQsetNoticeProcessor(m_conn, ignoreNotice, nullptr);
    setUpSession();
}

void PgDatabase::setUpSession()
{
    QByteArray sql = "SET lock_timeout = '" + QByteArray::number(LockWaitSeconds) +
                     "s'; SET client_encoding = 'UTF8'; SET extra_float_digits = 3";
    if (!m_schema.isEmpty()) {
        QByteArray schema = m_schema.toUtf8();
        schema.replace('"', "\"\"");
        sql += "; SET search_path TO \"" + schema + '"';
    }
    PGresult* result = PQexec(m_conn, sql.constData());
    if (PQresultStatus(result) != PGRES_COMMAND_OK)
        raise(result, sql);
    PQclear(result);
    // Whether the database's texts sort byte by byte, as the program can compare them (the
    // locale provider's column is read as JSON, so that a server without it reads as libc).
    const char* query = "SELECT current_schema(), COALESCE(to_jsonb(d) ->> 'datlocprovider', "
                        "'c') = 'c' AND d.datcollate IN ('C', 'POSIX') FROM pg_database d "
                        "WHERE d.datname = current_database()";
    result = PQexec(m_conn, query);
    if (PQresultStatus(result) != PGRES_TUPLES_OK || PQntuples(result) != 1)
        raise(result, query);
    if (m_schema.isEmpty())
        m_schema = QString::fromUtf8(PQgetisnull(result, 0, 0) ? "" : PQgetvalue(result, 0, 0));
    m_bytewiseTexts = *PQgetvalue(result, 0, 1) == 't';
    PQclear(result);
}

pg_conn* PgDatabase::connection()
{
    if (PQstatus(m_conn) == CONNECTION_BAD) {
        const auto options = parseConninfo(m_conninfo);
        const Attempt attempt = attemptConnection(m_conninfo, connectTimeout(options));
        if (!attempt.conn || PQstatus(attempt.conn) != CONNECTION_OK) {
            PQfinish(attempt.conn);
            throw StorageError(Kind::ConnectionLost, 0,
                               QStringLiteral("The connection to the database server %1 was "
                                              "lost and cannot be made again. %2")
                                   .arg(m_server, connectFailure(options, attempt)));
        }
        PQfinish(m_conn);
        m_conn = attempt.conn;
        PQsetErrorVerbosity(m_conn, PQERRORS_DEFAULT);
        PQsetNoticeProcessor(m_conn, ignoreNotice, nullptr);
        setUpSession();
        ++m_generation;
    }
    return m_conn;
}

QString PgDatabase::newStatementName()
{
    return QStringLiteral("tm%1").arg(++m_statements);
}

void PgDatabase::raise(pg_result* result, const QByteArray& sql)
{
    const QString state = sqlState(result);
    const bool lost = PQstatus(m_conn) == CONNECTION_BAD;
    QString message =
        firstLine(result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr);
    if (message.isEmpty())
        message = firstLine(PQerrorMessage(m_conn));
    const QString context =
        firstLine(result ? PQresultErrorField(result, PG_DIAG_CONTEXT) : nullptr);
    PQclear(result);
    const Kind kind = kindOf(state, lost);
    switch (kind) {
    case Kind::ConnectionLost:
        // The server's and libpq's words ("terminating connection due to administrator
        // command", "server closed the connection unexpectedly") tell a clerk nothing more.
        message = QStringLiteral("The connection to the database server %1 was lost; what was "
                                 "not yet saved was not kept.")
                      .arg(m_server);
        break;
    case Kind::Busy:
        message = sql == BeginWrite
                      ? QStringLiteral("The books of %1 are being written by another session; "
                                       "waited %2 seconds for them")
                            .arg(m_schema)
                            .arg(LockWaitSeconds)
                      : QStringLiteral("Waited %1 seconds for a record another session holds "
                                       "locked (%2)")
                            .arg(LockWaitSeconds)
                            .arg(context.isEmpty() ? message : context);
        break;
    case Kind::Other:
        if (sql == BeginWrite && state == QLatin1String("42P01"))
            message = QStringLiteral("The books of %1 have no write lock: the site was set up by "
                                     "an older program; run tallymerge-admin create-site again")
                          .arg(m_schema);
        break;
    case Kind::Refused:
        message = sql == BeginWrite
                      ? QStringLiteral("Role \"%1\" has no right to write in schema %2 (UPDATE of "
                                       "its write lock); ask the site's administrator to grant "
                                       "it")
                            .arg(QString::fromUtf8(PQuser(m_conn)), m_schema)
                      : missingRight(QString::fromUtf8(PQuser(m_conn)), sql);
        break;
    case Kind::Serialization:
        // The server's words name internal process numbers; what happened is one of two.
        message = state == QLatin1String("40P01")
                      ? QStringLiteral("Another session was changing the same records at the "
                                       "same moment (a deadlock), and the database server "
                                       "stopped this work to let the other go on; nothing of "
                                       "it was kept")
                      : QStringLiteral("Another session changed records this work had read "
                                       "(a serialization conflict), and the database server "
                                       "stopped this work; nothing of it was kept");
        break;
    default:
        break;
    }
    throw StorageError(kind, 0, message);
}

PGresult* PgDatabase::sendRetried(const QByteArray& sql, bool safeOnNewConnection,
                                  const std::function<PGresult*(PGconn*)>& send)
{
    for (int attempt = 0;; ++attempt) {
        PGconn* conn = connection();
        const bool alone = !inTransaction();
        PGresult* result = send(conn);
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            return result;
        const bool again =
            alone && ((attempt < SerializationRetries &&
                       kindOf(sqlState(result), false) == Kind::Serialization) ||
                      (safeOnNewConnection && attempt == 0 && PQstatus(conn) == CONNECTION_BAD));
        if (!again)
            raise(result, sql);
        PQclear(result);
        // Text that began a transaction left it open and failed.
        if (inTransaction())
            PQclear(PQexec(conn, "ROLLBACK"));
    }
}

void PgDatabase::exec(const QByteArray& sql)
{
    execText(sql, translate(sql));
}

void PgDatabase::execAsWritten(const QByteArray& sql)
{
    execText(sql, sql);
}

void PgDatabase::execText(const QByteArray& sql, const QByteArray& text)
{
    countExec(sql);
    // The beginning of a transaction on a connection the server ended meanwhile (a restart,
    // a cut) begins again on a new one: nothing was changed yet.
    PGresult* result = sendRetried(sql, sql.startsWith("BEGIN"),
                                   [&](PGconn* conn) { return PQexec(conn, text.constData()); });
    m_changes = std::atoi(PQcmdTuples(result));
    PQclear(result);
    observeWrite(sql);
}

QByteArray PgDatabase::passwordVerifier(const QString& role, const QByteArray& password)
{
    char* made = PQencryptPasswordConn(connection(), password.constData(),
                                       role.toUtf8().constData(), "scram-sha-256");
    if (!made)
        throw StorageError(Kind::Other, 0,
                           QStringLiteral("The password of role %1 cannot be encrypted: %2")
                               .arg(role, QString::fromUtf8(PQerrorMessage(m_conn)).trimmed()));
    const QByteArray text(made);
    PQfreemem(made);
    return text;
}

void PgDatabase::setBulkLoading(bool on)
{
    // The server's log is flushed at the next durable commit, which also makes the earlier
    // ones durable.
    exec(on ? "SET synchronous_commit = off" : "SET synchronous_commit = on");
}

bool PgDatabase::inTransaction() const
{
    const PGTransactionStatusType status = PQtransactionStatus(m_conn);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

const Dialect& PgDatabase::dialect() const
{
    static const Dialect d = {
        .integerType = "BIGINT",
        .realType = "DOUBLE PRECISION",
        .rowKeyColumn = "BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY",
        .beginWrite = BeginWrite,
        .beginRead = "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY",
        .storeSetup =
            {// ROUND of a binary number to some decimals, as SQLite has it.
             "CREATE OR REPLACE FUNCTION round(double precision, integer) RETURNS double "
             "precision LANGUAGE sql IMMUTABLE AS 'SELECT pg_catalog.round($1::numeric, "
             "$2)::double precision'",
             // GROUP_CONCAT(value, separator), as SQLite has it.
             "CREATE OR REPLACE FUNCTION group_concat_step(text, text, text) RETURNS text "
             "LANGUAGE sql IMMUTABLE AS 'SELECT CASE WHEN $1 IS NULL THEN $2 WHEN $2 IS NULL "
             "THEN $1 ELSE $1 || $3 || $2 END'",
             "CREATE OR REPLACE AGGREGATE group_concat(text, text) (SFUNC = group_concat_step, "
             "STYPE = text)"},
        // The list made an array first: "= ANY" of an array is an index condition, where
        // "IN" of a set function may be planned as a scan of the whole table.
        .inTextsOfJsonArray = " = ANY(ARRAY(SELECT json_array_elements_text(CAST(?1 AS json))))",
        .inIntegersOfJsonArray = " = ANY(ARRAY(SELECT CAST(json_array_elements_text(CAST(?1 AS "
                                 "json)) AS BIGINT)))",
        .hasTable = "SELECT 1 FROM pg_tables WHERE schemaname = current_schema() AND tablename "
                    "= LOWER(?)",
        .tableNames = QByteArray("SELECT UPPER(tablename) FROM pg_tables WHERE schemaname = "
                                 "current_schema() AND tablename <> '") +
                      WriteLockTable + "' ORDER BY 1",
        .columnNames = "SELECT UPPER(a.attname) FROM pg_attribute a JOIN pg_class c ON c.oid = "
                       "a.attrelid WHERE c.relnamespace = current_schema()::regnamespace AND "
                       "c.relname = LOWER(?) AND a.attnum > 0 AND NOT a.attisdropped ORDER BY "
                       "a.attnum",
        // The rights of the site's roles keep the journal's entries as they were added.
        .journalGuards = {},
    };
    return d;
}

QString PgDatabase::location() const
{
    return QStringLiteral("schema %1 of database %2 on %3")
        .arg(m_schema, QString::fromUtf8(PQdb(m_conn)), m_server);
}

std::unique_ptr<PreparedStatement> PgDatabase::prepareNew(const QByteArray& sql)
{
    return std::make_unique<PgStatement>(*this, sql);
}

bool PgDatabase::schemaExists()
{
    Statement st = prepare("SELECT 1 FROM pg_namespace WHERE nspname = ?");
    st.bindText(1, m_schema);
    return st.step();
}

QByteArray PgDatabase::translate(const QByteArray& sql, int* parameters)
{
    QByteArray out;
    out.reserve(sql.size() + 16);
    int next = 0;
    int highest = 0;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            // A literal is copied as it is; an identifier folded to lower case.
            qsizetype end = i + 1;
            while (end < sql.size()) {
                if (sql[end] == c && (end + 1 >= sql.size() || sql[end + 1] != c))
                    break;
                end += sql[end] == c ? 2 : 1; // a doubled quote stands for itself
            }
            const QByteArray quoted = sql.mid(i, end - i + 1);
            out += c == '"' ? quoted.toLower() : quoted;
            i = end;
        } else if (c == '?') {
            qsizetype end = i + 1;
            while (end < sql.size() && sql[end] >= '0' && sql[end] <= '9')
                ++end;
            const int n = end > i + 1 ? sql.mid(i + 1, end - i - 1).toInt() : ++next;
            highest = std::max(highest, n);
            out += '$' + QByteArray::number(n);
            i = end - 1;
        } else {
            out += c;
        }
    }
    if (parameters)
        *parameters = highest;
    return out;
}

} // namespace Accpac
