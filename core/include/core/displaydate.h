#pragma once

#include <QString>
#include <QVariant>

namespace modGeneral {

// A date for display in the system's short date format; the empty text for an empty value,
// Null, and dates on or before 1 January 1900 (Accpac's "no date"). A value that is no date
// is reported through ErrorMessenger and gives the empty text.
QString Display_Date(const QVariant& value);

} // namespace modGeneral
