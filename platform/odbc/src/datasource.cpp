#include <odbc/datasource.h>

#include <system/comerror.h>

#include <QByteArray>

#include <odbcinst.h>

namespace OdbcDataSource {
namespace {

constexpr const char* DataSourceFile = "odbc.ini";
constexpr const char* DriverFile = "odbcinst.ini";

// The installer keeps its errors in a small stack of its own; the first entry says why.
[[noreturn]] void throwInstallerError(const QString& what)
{
    DWORD code = 0;
    char message[SQL_MAX_MESSAGE_LENGTH] = {};
    WORD length = 0;
    QString text = what;
    if (SQLInstallerError(1, &code, message, sizeof message, &length) == SQL_SUCCESS &&
        message[0] != '\0') {
        text += QStringLiteral(": ") + QString::fromUtf8(message);
    }
    throw ComError(ComErrorNumber::E_Fail, text);
}

// The installer reads and writes system or user data sources after a process-wide mode;
// this sets it for one call and puts the mode it found back on every path.
class ConfigMode
{
public:
    explicit ConfigMode(Scope scope)
    {
        if (!SQLGetConfigMode(&m_previous))
            m_previous = ODBC_BOTH_DSN;
        SQLSetConfigMode(scope == Scope::System ? ODBC_SYSTEM_DSN : ODBC_USER_DSN);
    }
    ~ConfigMode() { SQLSetConfigMode(m_previous); }
    ConfigMode(const ConfigMode&) = delete;
    ConfigMode& operator=(const ConfigMode&) = delete;

private:
    UWORD m_previous = ODBC_BOTH_DSN;
};

// The key names of an odbc.ini or odbcinst.ini section ("" lists the sections).
QList<QByteArray> profileKeys(const char* section, const char* file)
{
    QByteArray buffer(64 * 1024, '\0');
    const int length =
        SQLGetPrivateProfileString(section, nullptr, "", buffer.data(), buffer.size(), file);
    QList<QByteArray> keys;
    if (length <= 0)
        return keys;
    // The names come as one buffer of NUL-terminated strings.
    for (const QByteArray& key : buffer.left(length).split('\0')) {
        if (!key.isEmpty())
            keys.append(key);
    }
    return keys;
}

bool sectionExists(const QString& name, const char* file)
{
    const QByteArray wanted = name.toUtf8();
    for (const QByteArray& section : profileKeys(nullptr, file)) {
        if (section.compare(wanted, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

bool driverInstalled(const QString& name)
{
    return sectionExists(name, DriverFile);
}

void installDriver(const QString& name, const QString& library)
{
    if (driverInstalled(name))
        return;
    // The driver description is a list of NUL-terminated strings ended by an empty one.
    QByteArray description = name.toUtf8() + '\0';
    description += "Description=" + name.toUtf8() + '\0';
    // No "Setup" library: data sources are written through this installer, never through
    // a driver's own set-up dialog, and most drivers ship none.
    description += "Driver=" + library.toUtf8() + '\0';
    description += '\0';
    char path[512] = {};
    WORD pathLength = 0;
    DWORD usageCount = 0;
    if (!SQLInstallDriverEx(description.constData(), nullptr, path, sizeof path, &pathLength,
                            ODBC_INSTALL_COMPLETE, &usageCount)) {
        throwInstallerError(QStringLiteral("Could not register the ODBC driver \"%1\"").arg(name));
    }
}

void registerDataSource(const QString& dsn, const QString& driver, const Attributes& attributes,
                        Scope scope)
{
    if (!driverInstalled(driver)) {
        throw ComError(ComErrorNumber::E_Fail,
                       QStringLiteral("The ODBC driver \"%1\" is not installed.").arg(driver));
    }
    const QByteArray section = dsn.toUtf8();
    ConfigMode mode(scope);
    if (!SQLValidDSN(section.constData()))
        throw ComError(ComErrorNumber::E_Fail,
                       QStringLiteral("\"%1\" is not a valid data source name.").arg(dsn));
    // Replace as a whole: an old attribute the new set lacks must not linger.
    SQLRemoveDSNFromIni(section.constData());
    if (!SQLWriteDSNToIni(section.constData(), driver.toUtf8().constData()))
        throwInstallerError(QStringLiteral("Could not register the data source \"%1\"").arg(dsn));
    for (const auto& [key, value] : attributes) {
        if (!SQLWritePrivateProfileString(section.constData(), key.toUtf8().constData(),
                                          value.toUtf8().constData(), DataSourceFile)) {
            throwInstallerError(
                QStringLiteral("Could not write \"%1\" of the data source \"%2\"").arg(key, dsn));
        }
    }
}

bool dataSourceExists(const QString& dsn, Scope scope)
{
    ConfigMode mode(scope);
    return sectionExists(dsn, DataSourceFile);
}

void removeDataSource(const QString& dsn, Scope scope)
{
    ConfigMode mode(scope);
    if (!sectionExists(dsn, DataSourceFile))
        return;
    if (!SQLRemoveDSNFromIni(dsn.toUtf8().constData()))
        throwInstallerError(QStringLiteral("Could not remove the data source \"%1\"").arg(dsn));
}

} // namespace OdbcDataSource
