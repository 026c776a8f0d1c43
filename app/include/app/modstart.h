#pragma once

#include <QString>

class frmMain;
class frmSplash;

// The program's start-up.
namespace modStart {

// The program's version as "major.minor.revision", stamped into the settings as "Version".
QString ProgramVersion();

// Detects the operating system, stamps the version into the settings, prepares the search
// path on the first start, and shows the splash window. A failing step is reported and the
// next one runs: start-up is never abandoned for a registry or file error.
void Main();

// Shows the splash window without waiting; when it unloads, the main window loads
// (ShowMainWindow), and the program ends when that finds no sign-on.
frmSplash* ShowSplash();

// Loads the main window (signing on to Accpac) and shows it; nullptr when the sign-on
// failed or was cancelled, after the "Program Termination" message.
frmMain* ShowMainWindow();

} // namespace modStart
