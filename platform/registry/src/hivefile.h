#pragma once

#include "hive.h"

#include <registry/registry.h>

#include <functional>

namespace Registry {

// One hive file on disk (folder + "/" + root name + ".reg"). Reading takes no lock, as every
// write replaces the file in one rename. Writing locks a companion ".lock" file (flock), so
// two copies of the program never lose each other's changes: each write re-reads the hive
// under the lock, applies its one change and replaces the file atomically.
class HiveFile
{
public:
    HiveFile(QString folder, QString rootName);

    QString path() const;

    // The hive as stored now; empty if there is no file. A file that cannot be parsed is
    // set aside under a new name (and reported), and the hive reads as empty.
    Hive load() const;

    // Applies change to the current hive under the lock and writes the result if it
    // differs. change returns ERROR_SUCCESS or the error to give back (nothing is written
    // then). A write that fails leaves the old file as it was and gives ERROR_CANTWRITE.
    LONG update(const std::function<LONG(Hive&)>& change) const;

private:
    // *stillInPlace (optional) tells whether a damaged file could not be set aside.
    Hive parsedOrSetAside(const QByteArray& bytes, bool locked, bool* stillInPlace = nullptr) const;
    bool writeAtomically(const QByteArray& bytes) const;

    QString m_folder;
    QString m_rootName;
};

} // namespace Registry
