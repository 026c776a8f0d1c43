#pragma once

#include <accpac/standin.h>

namespace Accpac::State {

// Process-wide hooks of the stand-in (single window thread, as the program).
std::optional<std::optional<Testing::SignonAnswer>>& signonAnswer();
Testing::FinderPicker& finderPicker();

} // namespace Accpac::State
