#pragma once

#include <QString>

#include <initializer_list>

// Character tests the engine's typing and validation rules share.
namespace vrex {

inline bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

inline bool isAsciiLetter(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

inline bool hasSign(const QString& s)
{
    return s.contains(u'+') || s.contains(u'-');
}

// Digits expected at the given positions of a partly built date or time.
inline bool digitsAt(const QString& s, std::initializer_list<int> positions)
{
    for (int p : positions) {
        if (p >= s.size() || !isDigit(s[p].unicode()))
            return false;
    }
    return true;
}

} // namespace vrex
