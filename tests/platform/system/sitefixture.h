#pragma once

#include <accpac/standin.h>
#include <sample.h>
#include <system/sitefiles.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <optional>
#include <stdexcept>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

// A sample site inside a fresh temporary folder that also holds the machine hive: the
// layout of /var/lib/tallymerge, in a place of the test's own.
class SharedSite
{
public:
    // With a group, the folder is first given to it as the install does (2770), so that
    // everything made inside shows whether it is made for the group.
    explicit SharedSite(int orders = 5, std::optional<gid_t> group = std::nullopt)
    {
        if (group) {
            const QByteArray root = QFile::encodeName(m_dir.path());
            if (::chown(root.constData(), uid_t(-1), *group) != 0 ||
                ::chmod(root.constData(), SiteFiles::SharedFolderMode) != 0)
                throw std::runtime_error("cannot give the folder to the group");
        }
        Sample::Options options;
        options.folder = siteFolder();
        options.orders = orders;
        options.strength = Accpac::Admin::HashStrength::Minimal;
        Sample::createSampleSite(options);
    }

    QString root() const { return m_dir.path(); }
    QString siteFolder() const { return m_dir.filePath(QStringLiteral("site")); }
    QString systemFile() const { return m_dir.filePath(QStringLiteral("site/system.db")); }
    QString companyFile() const { return m_dir.filePath(QStringLiteral("site/SAMINC.db")); }
    QString machineHive() const { return m_dir.filePath(QStringLiteral("HKEY_LOCAL_MACHINE.reg")); }

private:
    QTemporaryDir m_dir;
};

inline mode_t modeOf(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

inline gid_t groupOf(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_gid : gid_t(-1);
}

inline QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A group ID that no group of the machine uses: the test's stand-in for the program's
// group, so that the tests never add a group to the machine.
inline gid_t unusedGroupId()
{
    for (gid_t gid = 64000; gid > 1000; --gid)
        if (::getgrgid(gid) == nullptr)
            return gid;
    return 0;
}

// Runs a program as the account "nobody", with the given supplementary groups only.
struct RunResult
{
    int exitCode = -1;
    QString output;
};

inline RunResult runAsNobody(const QString& program, const QStringList& args,
                             std::vector<gid_t> groups)
{
    const passwd* nobody = ::getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : uid_t(-1);
    const gid_t gid = nobody ? nobody->pw_gid : gid_t(-1);
    QProcess process;
    process.setProgram(program);
    process.setArguments(args);
    // The leak checker's suppressions (under the sanitizers) are read by the other account
    // too: a copy beside the program, which that account can reach.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString lsan = environment.value(QStringLiteral("LSAN_OPTIONS"));
    static const QRegularExpression suppressions(QStringLiteral("suppressions=([^:]+)"));
    if (const auto match = suppressions.match(lsan); match.hasMatch()) {
        const QString copy = QFileInfo(program).path() + QStringLiteral("/lsan.supp");
        QFile::remove(copy);
        QFile::copy(match.captured(1), copy);
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        lsan.replace(match.capturedStart(1), match.capturedLength(1), copy);
        environment.insert(QStringLiteral("LSAN_OPTIONS"), lsan);
    }
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setChildProcessModifier([uid, gid, groups] {
        if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(gid) != 0 ||
            ::setuid(uid) != 0)
            ::_exit(126);
    });
    process.start();
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAll()).trimmed()};
}
