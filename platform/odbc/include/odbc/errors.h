#pragma once

#include <QString>

#include <cstdint>

// One diagnostic record of an ODBC connection, in the shape the program's database error
// report reads it.
struct AdoError
{
    std::int32_t Number = 0;
    QString Description; // with the driver manager's and driver's bracketed prefixes
    QString Source;
    QString SQLState;
    std::int32_t NativeError = 0;
};

// The Errors collection of a connection: the diagnostics of its last failed operation.
class AdoErrors
{
public:
    virtual ~AdoErrors() = default;

    virtual int Count() const = 0;
    virtual AdoError Item(int index) const = 0;
    virtual void Clear() = 0;
};
