#pragma once

#include <functional>

class QWidget;

// When a window of the program "activates". A window activates when it becomes the program's
// active window among the program's own windows: when it is first shown, and when the user
// comes back to it from another window of the program (a modeless window left or closed, a
// modal dialog closed). It does not activate when the user comes back from another program,
// nor when a dialog that only asks something closes: message boxes and Qt's own file, print,
// page set-up, input, colour, font and progress dialogs pass the activation over, as do the
// accounting system's finders (a window with the property "activationPassesOver" set) and
// any window opened from one of them (docs/windows.md lists the program's dialogs).
//
// The windows' Form_Activate routines run through this rule only:
//     Activation::onActivate(this, [this] { Form_Activate(); });
namespace Activation {

// Runs `handler` each time `window` (a top-level window) activates, for the window's life.
// An activation that arrives while the handler runs (it may yield to the event loop) does
// not run it again inside itself.
void onActivate(QWidget* window, std::function<void()> handler);

} // namespace Activation
