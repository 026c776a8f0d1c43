#pragma once

#include <QString>

// Text helpers with the program's own rules.
namespace Text {

// Removes leading and trailing blanks (spaces only: a tab or line break is data, as it is
// for every "trimmed" value the program stores or compares).
QString trim(const QString& text);

} // namespace Text
