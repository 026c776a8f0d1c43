// The private PostgreSQL server fixture other tests build on: it starts, takes SQL,
// refuses bad SQL clearly, runs as an unprivileged user under root, and leaves nothing
// behind (no server, no folder), also after a test program died without cleaning up.

#include "pgserver.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool acceptsConnections(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool connected =
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

QStringList fixtureFolders()
{
    return QDir(QDir::tempPath()).entryList({"tallymerge-pg-*"}, QDir::Dirs | QDir::NoDotAndDotDot);
}

TEST(PostgresServerFixture, RunsAPrivateServerAndCleansUp)
{
    if (!PostgresServer::available())
        GTEST_SKIP() << "PostgreSQL is not installed";

    // A folder left by a test program that died: its process is gone.
    const pid_t dead = ::fork();
    if (dead == 0)
        ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const QString abandoned = QDir::tempPath() + QString("/tallymerge-pg-%1-abcdef").arg(dead);
    ASSERT_TRUE(QDir().mkpath(abandoned + "/data"));

    int port = 0;
    QString socketDir;
    {
        PostgresServer::Options options;
        options.database = "shop floor";
        options.user = "o'clerk";
        options.password = "it's;{secret}";
        PostgresServer server(options);
        EXPECT_FALSE(QFileInfo::exists(abandoned));
        port = server.port();
        socketDir = server.socketDir();
        EXPECT_TRUE(acceptsConnections(port));
        EXPECT_EQ(server.host(), "127.0.0.1");
        // The socket lives in the fixture's own folder.
        EXPECT_TRUE(QFileInfo::exists(socketDir + QString("/.s.PGSQL.%1").arg(port)));

        EXPECT_EQ(server.execute("SELECT current_database(), 40 + 2").trimmed(), "shop floor|42");
        EXPECT_EQ(server
                      .execute("SELECT rolname FROM pg_authid WHERE rolcanlogin AND "
                               "rolpassword LIKE 'SCRAM-SHA-256$%' ORDER BY 1")
                      .trimmed(),
                  "o'clerk");
        EXPECT_EQ(server
                      .execute("SELECT pg_catalog.pg_get_userbyid(datdba) FROM pg_database "
                               "WHERE datname = current_database()")
                      .trimmed(),
                  "o'clerk");
        server.execute("CREATE TABLE t (a text); INSERT INTO t VALUES ('x'), ('y');");
        EXPECT_EQ(server.execute("SELECT string_agg(a, ',' ORDER BY a) FROM t").trimmed(), "x,y");
        try {
            server.execute("SELECT * FROM missing_table");
            ADD_FAILURE() << "bad SQL was accepted";
        } catch (const PostgresServer::Failure& failure) {
            EXPECT_NE(std::string(failure.what()).find("missing_table"), std::string::npos);
        }

        // Under root the cluster belongs to an unprivileged user.
        struct stat data
        {
        };
        ASSERT_EQ(::stat(QFile::encodeName(socketDir + "/../data").constData(), &data), 0);
        if (::geteuid() == 0)
            EXPECT_NE(data.st_uid, 0u);
        else
            EXPECT_EQ(data.st_uid, ::geteuid());

        // A second server at the same time gets its own port.
        PostgresServer second;
        EXPECT_NE(second.port(), port);
        EXPECT_EQ(second.execute("SELECT 1").trimmed(), "1");
    }
    EXPECT_FALSE(acceptsConnections(port));
    EXPECT_FALSE(QFileInfo::exists(socketDir));
    for (const QString& folder : fixtureFolders())
        EXPECT_FALSE(folder.startsWith(QString("tallymerge-pg-%1-").arg(::getpid())));
}

} // namespace
