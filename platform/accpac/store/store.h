#pragma once

// Where a site or a store is kept, and the one place that chooses the engine for it.

#include "storage.h"

#include <QString>

#include <memory>

namespace Accpac {

// The file of a site's system data in the site's folder.
inline constexpr const char* SiteSystemFile = "system.db";

enum class StoreAccess
{
    ReadWrite,
    // Never writes a file, not even its journal mode: for reading a file before it is known
    // to be one this program may change. A store on a server is opened as for ReadWrite: the
    // rights of the login decide there.
    ReadOnly,
    // A file is made when it is not there; on a server the caller's SQL makes the schema.
    Create
};

// A site's folder or a store's file, or a database server named by a libpq connection string
// ("host=db1 dbname=books", "postgresql://..."). Which of the two a name is is told here
// only, once, when the location is made.
class StoreLocation
{
public:
    explicit StoreLocation(const QString& name);

    const QString& name() const { return m_name; }
    bool onServer() const { return m_onServer; }
    // As messages and logs name it: the connection string without its password, or the name
    // as given.
    QString shown() const;
    // The store the name itself names: the file, or the schema the connection string's
    // search path names (none given: the first of the login's search path).
    std::unique_ptr<Database> open(StoreAccess access = StoreAccess::ReadWrite) const;
    // A store of a site by the name the site lists it under: a file of the site's folder, or
    // a schema of the site's database (empty: as open()).
    std::unique_ptr<Database> openWithin(const QString& listed,
                                         StoreAccess access = StoreAccess::ReadWrite) const;
    // Where that store is, as a StoreLocation names it: the file's path, or the site's
    // connection string with the schema as its search path.
    QString within(const QString& listed) const;

private:
    QString m_name;
    bool m_onServer;
};

// A file of this program's, opened as a file whatever its name looks like.
std::unique_ptr<Database> openFile(const QString& file, StoreAccess access);

} // namespace Accpac
