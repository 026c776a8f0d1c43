#pragma once

#include <system/comerror.h>

#include <QString>

#include <cstdint>
#include <exception>
#include <utility>

class AccpacErrors;
class AdoErrors;

// The program's three error reporters. A procedure that fails catches the error at its
// boundary and hands the number, the description and its own source text ("module.procedure")
// to one of them; each shows modal boxes through MsgBox and returns nothing.
namespace modGeneral {

// The generic report, titled "Tallymerge Error". Number 0 shows nothing.
void ErrorMessenger(std::int32_t number, const QString& description, const QString& source);

// The report after a failed Accpac call: one "Sage Accpac Error" box per entry of the
// session's error collection whose priority is not 1 or 2, then the collection is emptied.
// An empty collection falls back on ErrorMessenger.
void ErrorAccpac(AccpacErrors& errors, std::int32_t number, const QString& description,
                 const QString& source);

// The report after a failed ODBC operation on a connection: one "Database Error" box per
// entry of the connection's error collection (each repeating the ones before it), then the
// collection is emptied. An empty collection falls back on ErrorMessenger.
void ErrorADO(AdoErrors& errors, std::int32_t number, const QString& description,
              const QString& source);

// The reporter a procedure hands its failures to: the generic report, or the report of the
// program's session's Accpac errors (the generic one when none is pending).
enum class Reporter
{
    Messenger,
    Accpac
};

// Reports a failure caught at a procedure's boundary under the procedure's source text.
void reportFailure(const std::exception& failure, const QString& source, Reporter reporter);

// Runs a procedure's work and reports a failure it throws under source. True when the work
// ran to its end.
template <class Work> bool reportFailures(const QString& source, Reporter reporter, Work&& work)
{
    try {
        std::forward<Work>(work)();
        return true;
    } catch (const std::exception& failure) {
        reportFailure(failure, source, reporter);
        return false;
    }
}

} // namespace modGeneral
