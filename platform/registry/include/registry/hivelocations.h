#pragma once

#ifndef _WIN32

#include <QString>

#include <functional>

// Where the registry stand-in keeps its hive files, and how it tells about a hive it had to
// set aside. Not available under _WIN32, where the real registry is used.
namespace Registry {

struct HiveLocations
{
    QString machineFolder; // holds HKEY_LOCAL_MACHINE.reg, shared by every user
    QString userFolder;    // holds HKEY_CURRENT_USER.reg of the user running the program
};

// /var/lib/tallymerge for the machine hive; the user's configuration folder
// (QStandardPaths::GenericConfigLocation) + "/tallymerge" for the user hive.
HiveLocations defaultHiveLocations();

HiveLocations hiveLocations();
// Points the stand-in at other folders (tests use temporary ones). Takes effect for every
// later call; handles opened before stay bound to their hive's folder.
void setHiveLocations(const HiveLocations& locations);

// Restores the previous locations when it goes out of scope.
class ScopedHiveLocations
{
public:
    explicit ScopedHiveLocations(const HiveLocations& locations) : m_previous(hiveLocations())
    {
        setHiveLocations(locations);
    }
    ~ScopedHiveLocations() { setHiveLocations(m_previous); }
    ScopedHiveLocations(const ScopedHiveLocations&) = delete;
    ScopedHiveLocations& operator=(const ScopedHiveLocations&) = delete;

private:
    HiveLocations m_previous;
};

// Receives a message whenever a hive file could not be read and was set aside. The default
// reporter writes the message as a warning on the program's log output. Returns the
// previous reporter; an empty function restores the default.
using HiveReporter = std::function<void(const QString& message)>;
HiveReporter setHiveReporter(HiveReporter reporter);

} // namespace Registry

#endif
