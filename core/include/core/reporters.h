#pragma once

#include <QString>

#include <cstdint>

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

} // namespace modGeneral
