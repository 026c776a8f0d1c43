#pragma once

#include <registry/hivelocations.h>

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

// Points the registry stand-in at hive folders inside a fresh temporary folder for the
// lifetime of the object, and collects what the stand-in reports.
class TemporaryHives
{
public:
    // The folders are made in baseFolder (the system's temporary folder by default).
    explicit TemporaryHives(const QString& baseFolder = QDir::tempPath())
        : m_dir(baseFolder + QLatin1String("/tallymerge-XXXXXX")),
          m_scope({m_dir.path() + QLatin1String("/machine"), m_dir.path() + QLatin1String("/user")})
    {
        m_previousReporter =
            Registry::setHiveReporter([this](const QString& message) { reports.append(message); });
    }
    ~TemporaryHives() { Registry::setHiveReporter(m_previousReporter); }

    QString root() const { return m_dir.path(); }
    QString machineFolder() const { return m_dir.path() + QLatin1String("/machine"); }
    QString userFolder() const { return m_dir.path() + QLatin1String("/user"); }
    QString machineHive() const
    {
        return machineFolder() + QLatin1String("/HKEY_LOCAL_MACHINE.reg");
    }
    QString userHive() const { return userFolder() + QLatin1String("/HKEY_CURRENT_USER.reg"); }

    QStringList reports;

private:
    QTemporaryDir m_dir;
    Registry::ScopedHiveLocations m_scope;
    Registry::HiveReporter m_previousReporter;
};
