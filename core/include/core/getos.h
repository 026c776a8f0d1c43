#pragma once

#include <QString>

namespace modGeneral {

// The operating system's name as the program knows it ("Microsoft Windows XP", ...), or the
// empty text for a system it does not name.
QString GetOS();

} // namespace modGeneral
