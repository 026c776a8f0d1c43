#include "store.h"

#include "conninfo.h"
#include "pgdb.h"
#include "sqlitedb.h"

#include <QDir>
#include <QRegularExpression>

namespace Accpac {

namespace {

// A connection string in keyword form or as a URI; a folder's name is neither.
bool isConnectionString(const QString& name)
{
    static const QRegularExpression keyword(QStringLiteral("^\\s*[A-Za-z_]+\\s*="));
    const QString text = name.trimmed();
    return text.startsWith(QLatin1String("postgresql://")) ||
           text.startsWith(QLatin1String("postgres://")) || keyword.match(text).hasMatch();
}

} // namespace

StoreLocation::StoreLocation(const QString& name)
    : m_name(name), m_onServer(isConnectionString(name))
{
}

QString StoreLocation::shown() const
{
    return m_onServer ? withoutPassword(m_name) : m_name;
}

std::unique_ptr<Database> StoreLocation::open(StoreAccess access) const
{
    if (m_onServer)
        return std::make_unique<PgDatabase>(m_name, QString());
    return openFile(m_name, access);
}

std::unique_ptr<Database> StoreLocation::openWithin(const QString& listed, StoreAccess access) const
{
    if (m_onServer)
        return std::make_unique<PgDatabase>(m_name, listed);
    return openFile(within(listed), access);
}

QString StoreLocation::within(const QString& listed) const
{
    return m_onServer ? companyConninfo(m_name, listed) : QDir(m_name).filePath(listed);
}

std::unique_ptr<Database> openFile(const QString& file, StoreAccess access)
{
    return std::make_unique<SqliteDatabase>(file, access == StoreAccess::Create,
                                            access == StoreAccess::ReadOnly
                                                ? SqliteDatabase::Access::ReadOnly
                                                : SqliteDatabase::Access::ReadWrite);
}

} // namespace Accpac
