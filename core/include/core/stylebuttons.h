#pragma once

class QWidget;

namespace modGeneral {

// System colours as the program's controls take them (Windows colour values with the top
// bit set: an entry of the system palette).
constexpr unsigned SystemButtonFace = 0x8000000F;
constexpr unsigned SystemButtonText = 0x80000012;

// Restyles the push buttons of a window while it loads. With the XP look, a button of type
// 2 becomes type 3 with the button-text colour on mouse-over, and one of type 7 becomes type
// 9 (the types are the buttons' "ButtonType" property; buttons without it and of other types
// are left alone). Without it every push button gets the button-face colour as "BackColor".
// Reports nothing: a failure passes to the caller's error handler.
void Style_Buttons(QWidget* window);

} // namespace modGeneral
