#pragma once

// Program-wide values that more than one window or module reads. They live for the whole
// run, on the one window thread.
namespace modGeneral {

// The operating system is Windows XP: push buttons, the status bar and the print window
// adapt their look to it.
inline bool IsWinXP = false;

} // namespace modGeneral
