#pragma once

#include <QString>

// The program's start-up.
namespace modStart {

// The program's title, stamped into the settings as "Name".
inline const QString ProgramTitle = QStringLiteral("Tallymerge");

// The program's version as "major.minor.revision", stamped into the settings as "Version".
QString ProgramVersion();

// Detects the operating system, stamps the version into the settings, prepares the search
// path on the first start, and shows the first window. A failing step is reported and the
// next one runs: start-up is never abandoned for a registry or file error.
void Main();

} // namespace modStart
