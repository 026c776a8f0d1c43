// The engine's typing rules: one typed character by edit type.
#include "editengine.h"
#include "editengine_chars.h"

#include <optional>

namespace vrex {

KeyPressResult EditEngine::typeNormal(char16_t c, const QString& left, const QString& right)
{
    const QString candidate = left + QChar(c) + right;
    if (!fits(candidate))
        return {0, true};
    applyText(candidate);
    setCaret(int(left.size()) + 1);
    return {c, false};
}

// A point is taken once: never while the text outside the selection holds one.
bool EditEngine::pointAllowed(const QString& left, const QString& right) const
{
    return !left.contains(decimalPoint()) && !right.contains(decimalPoint());
}

// The decimal point of the user's locale: the one key every numeric type takes as the point.
QChar EditEngine::decimalPoint() const
{
    return m_locale.decimalPoint.isEmpty() ? QChar(u'.') : m_locale.decimalPoint.front();
}

namespace {
constexpr KeyPressResult Refused{0, true};
} // namespace

// The candidate text becomes the box's text when it fits; otherwise the key is refused.
KeyPressResult EditEngine::takeIfFits(char16_t c, const QString& candidate)
{
    if (!fits(candidate))
        return Refused;
    applyText(candidate);
    return {c, false};
}

// A point typed between left and right: taken once, and a leading point gets its "0".
KeyPressResult EditEngine::typePoint(const QString& left, const QString& right)
{
    if (!pointAllowed(left, right))
        return Refused;
    const QChar point = decimalPoint();
    return takeIfFits(point.unicode(), (left.isEmpty() ? u'0' + point : left + point) + right);
}

KeyPressResult EditEngine::typeNumeric(char16_t c, const QString& left, const QString& right)
{
    KeyPressResult r = Refused;
    if (isDigit(c)) {
        r = takeIfFits(c, left + QChar(c) + right);
    } else if (c == decimalPoint()) {
        r = typePoint(left, right);
    } else {
        // Any other character is refused and takes the selection with it.
        applyText(left + right);
    }
    setCaret(int(m_text.size()));
    return r;
}

KeyPressResult EditEngine::typeSigned(char16_t c, const QString& left, const QString& right)
{
    KeyPressResult r = Refused;
    const bool sign = c == u'+' || c == u'-';
    if (sign && !hasSign(left) && !hasSign(right) && fits(left + QChar(c) + right)) {
        r = takeIfFits(c, left + QChar(c) + right);
    } else if (c == decimalPoint()) {
        r = typePoint(left, right);
    } else if (isDigit(c)) {
        QString candidate = left + QChar(c) + right;
        if (!hasSign(candidate))
            candidate.prepend(u'+');
        r = takeIfFits(c, candidate);
    } else {
        // A sign that cannot be taken, like any other character, takes the selection with it.
        applyText(left + right);
    }
    setCaret(int(m_text.size()));
    return r;
}

KeyPressResult EditEngine::typeSymbols(char16_t c, const QString& left, const QString& right)
{
    KeyPressResult r = Refused;
    if (c == decimalPoint()) {
        r = typePoint(left, right);
    } else if (isAsciiLetter(c)) {
        applyText(left + right);
    } else {
        r = takeIfFits(c, left + QChar(c) + right);
    }
    setCaret(int(m_text.size()));
    return r;
}

namespace {

// The month/hour and day/minute builder shared by the date and time types; sep is "/" or
// ":". Returns the new text, or nothing when the key is refused.
std::optional<QString> buildDate(const QString& candidate, QChar sep, int savedCaret)
{
    const qsizetype n = candidate.size();
    const char16_t last = candidate.back().unicode();
    auto sepAt = [&](int p) { return p < n && candidate[p] == sep; };
    if (last == sep.unicode()) {
        if (n == 2 && candidate[0] != u'0' && digitsAt(candidate, {0}) && savedCaret == 1)
            return u'0' + candidate;
        if (n == 3 && savedCaret == 2 && digitsAt(candidate, {0, 1}))
            return candidate;
        if (n == 5 && candidate[3] != u'0' && digitsAt(candidate, {0, 1, 3}) && sepAt(2))
            return candidate.left(3) + u'0' + candidate.mid(3);
        if (n == 6 && digitsAt(candidate, {0, 1, 3, 4}) && sepAt(2))
            return candidate;
        return std::nullopt;
    }
    switch (n) {
    case 1:
        return last > u'1' ? u'0' + candidate + sep : candidate;
    case 2: {
        if (!digitsAt(candidate, {0, 1}))
            return std::nullopt;
        if (candidate[0] == u'0')
            return last != u'0' ? std::optional(candidate + sep) : std::nullopt;
        if (candidate[0] == u'1' && candidate.toInt() <= 12)
            return candidate + sep;
        return std::nullopt;
    }
    case 4:
        if (!digitsAt(candidate, {0, 1}) || !sepAt(2))
            return std::nullopt;
        return last > u'3' ? candidate.left(3) + u'0' + QChar(last) + sep : candidate;
    case 5: {
        if (!digitsAt(candidate, {0, 1, 3}) || !sepAt(2))
            return std::nullopt;
        if (candidate[3] != u'0')
            return candidate.mid(3, 2).toInt() <= 31 ? std::optional(candidate + sep)
                                                     : std::nullopt;
        return last != u'0' ? std::optional(candidate + sep) : std::nullopt;
    }
    case 7:
    case 8:
    case 9:
        return digitsAt(candidate, {0, 1, 3, 4}) && sepAt(2) && sepAt(5) ? std::optional(candidate)
                                                                         : std::nullopt;
    case 10:
        if (digitsAt(candidate, {0, 1, 3, 4, 6, 7, 8}) && sepAt(2) && sepAt(5) &&
            candidate.mid(6).toInt() > 0 && savedCaret >= 6)
            return candidate;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

} // namespace

KeyPressResult EditEngine::typeDate(char16_t c, const QString& left)
{
    if (!isDigit(c) && c != u'/')
        return {0, true};
    const std::optional<QString> built = buildDate(left + QChar(c), u'/', m_savedCaret);
    if (!built)
        return {0, true};
    applyText(*built);
    setCaret(int(m_text.size()));
    return {c, false};
}

KeyPressResult EditEngine::typeTime(char16_t c, const QString& left, const QString& right)
{
    const QString candidate = left + QChar(c) + right;
    std::optional<QString> built;
    if (c == u'a' || c == u'A' || c == u'p' || c == u'P') {
        // The half-day letter follows a complete "hh:mm ".
        if (candidate.size() == 7 && digitsAt(candidate, {0, 1, 3, 4}) && candidate[2] == u':' &&
            candidate[5] == u' ')
            built = candidate.toUpper() + u'M';
    } else if (c == u':') {
        // Only the hours can be completed by ":"; the minutes are completed by their digits.
        if (candidate.size() <= 3)
            built = buildDate(candidate, u':', m_savedCaret);
    } else if (isDigit(c)) {
        const qsizetype n = candidate.size();
        if (n == 1) {
            built = c > u'1' ? u'0' + candidate + u':' : candidate;
        } else if (n == 2) {
            const int hours = candidate.toInt();
            if (digitsAt(candidate, {0, 1}) && hours >= 1 && hours <= 12)
                built = candidate + u':';
        } else if (n == 4 && digitsAt(candidate, {0, 1}) && candidate[2] == u':') {
            built = c > u'5' ? candidate.left(3) + u'0' + QChar(c) + u' ' : candidate;
        } else if (n == 5 && digitsAt(candidate, {0, 1, 3}) && candidate[2] == u':') {
            built = candidate + u' ';
        }
    }
    if (!built)
        return {0, true};
    applyText(*built);
    setCaret(int(m_text.size()));
    return {c, false};
}

KeyPressResult EditEngine::typeCurrency(char16_t c, const QString& left, const QString& right)
{
    QString candidate = left + QChar(c) + right;
    int caret = int(left.size()) + 1;
    if (c == u'-') {
        if (left.contains(u'-') || right.contains(u'-'))
            return {0, true};
    } else if (c == decimalPoint()) {
        if (!pointAllowed(left, right))
            return {0, true};
        if (candidate.startsWith(decimalPoint())) {
            candidate.prepend(u'0');
            ++caret;
        }
    } else if (isDigit(c)) {
        const qsizetype point = m_text.indexOf(decimalPoint());
        if (point >= 0) {
            const int allowed =
                m_settings.editType == CurrencyDec ? m_settings.decimals : m_locale.currencyDigits;
            const qsizetype candidatePoint = candidate.indexOf(decimalPoint());
            const qsizetype after = candidatePoint < 0 ? 0 : candidate.size() - candidatePoint - 1;
            const qsizetype excess = after - allowed;
            // A digit past the allowed decimals is dropped quietly.
            if (excess > 0 && m_savedCaret > point && m_selLength < excess)
                return {c, false};
        }
    } else {
        return {0, true};
    }
    if (!fits(candidate))
        return {0, true};
    applyText(candidate);
    setCaret(caret);
    return {c, false};
}

KeyPressResult EditEngine::typePercent(char16_t c, const QString& left, const QString& right)
{
    QString candidate = left + QChar(c) + right;
    int caret = int(left.size()) + 1;
    if (c == decimalPoint()) {
        if (!pointAllowed(left, right))
            return {0, true};
        if (candidate.startsWith(decimalPoint())) {
            candidate.prepend(u'0');
            ++caret;
        }
    } else if (!isDigit(c)) {
        return {0, true};
    }
    if (!fits(candidate))
        return {0, true};
    applyText(candidate);
    setCaret(caret);
    return {c, false};
}

KeyPressResult EditEngine::typeCase(char16_t c, const QString& left, const QString& right)
{
    const char16_t converted = m_settings.editType == Uppercase
                                   ? (c >= u'a' && c <= u'z' ? char16_t(c - 32) : c)
                                   : (c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c);
    const QString candidate = left + QChar(converted) + right;
    if (!fits(candidate))
        return {0, true};
    applyText(candidate);
    setCaret(int(left.size()) + 1);
    return {converted, false};
}

} // namespace vrex
