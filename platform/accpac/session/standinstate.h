#pragma once

#include <accpac/standin.h>

#include <memory>

namespace Accpac {
struct SessionCore;
class ErrorsImpl;
} // namespace Accpac

namespace Accpac::State {

// Process-wide hooks of the stand-in (single window thread, as the program).
std::optional<std::optional<Testing::SignonAnswer>>& signonAnswer();
Testing::FinderPicker& finderPicker();
// The sign-on made last, which the accounting system's screens work under.
std::weak_ptr<SessionCore>& signedOnCore();
Testing::PrintDialogAnswer& printDialogAnswer();
Testing::MessageRecorder& screenMessageRecorder();
Testing::QuestionAnswer& screenQuestionAnswer();
std::optional<Testing::SessionFault>& sessionFault();
// Throws the fault set for this call, if any, once.
void throwSessionFault(Testing::SessionCall call, ErrorsImpl& errors);

} // namespace Accpac::State
