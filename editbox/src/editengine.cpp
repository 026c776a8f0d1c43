#include "editengine.h"
#include "textformat.h"

#include <algorithm>

namespace vrex {

namespace {

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool isAsciiLetter(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool hasSign(const QString& s)
{
    return s.contains(u'+') || s.contains(u'-');
}

QString currentYearText(const QDate& today)
{
    return QString::number(today.year()).rightJustified(4, u'0');
}

const FixedLocaleSource& defaultLocaleSource()
{
    static const FixedLocaleSource source;
    return source;
}

} // namespace

int defaultCenturyYear(int year)
{
    // The last two characters of the year 50 years on, as a number (2007 -> 57, 2060 -> 10).
    return QString::number(year + 50).right(2).toInt();
}

EditEngine::EditEngine()
{
    m_settings.centuryYear = defaultCenturyYear(today().year());
}

void EditEngine::setLocaleSource(const VrexLocaleSource* source)
{
    m_localeSource = source;
}

void EditEngine::setClipboard(Clipboard* clipboard)
{
    m_clipboard = clipboard;
}

void EditEngine::setToday(std::function<QDate()> today)
{
    m_today = std::move(today);
}

QDate EditEngine::today() const
{
    return m_today ? m_today() : QDate::currentDate();
}

bool EditEngine::isDateType() const
{
    return m_settings.editType == DateMMDDYY || m_settings.editType == DateSys;
}

void EditEngine::beep()
{
    ++m_beeps;
    if (onBeep)
        onBeep();
}

void EditEngine::setSelection(int start, int length)
{
    const int size = int(m_text.size());
    m_selStart = std::clamp(start, 0, size);
    m_selLength = std::clamp(length, 0, size - m_selStart);
}

bool EditEngine::fits(const QString& candidate) const
{
    return m_settings.maxLength < 1 || candidate.size() <= m_settings.maxLength;
}

void EditEngine::setCaret(int position)
{
    setSelection(position, 0);
}

void EditEngine::applyText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    setSelection(m_selStart, m_selLength);
    runChangeHandler();
}

void EditEngine::setGuarded(const QString& text)
{
    m_changeGuard = true;
    m_text = text;
    setSelection(m_selStart, m_selLength);
    m_changeGuard = false;
}

void EditEngine::setText(const QString& text)
{
    m_selStart = 0;
    m_selLength = 0;
    applyText(text);
}

void EditEngine::textEdited(const QString& text, int selStart, int selLength)
{
    if (text == m_text) {
        setSelection(selStart, selLength);
        return;
    }
    m_text = text;
    setSelection(selStart, selLength);
    runChangeHandler();
}

void EditEngine::runChangeHandler()
{
    if (m_changeGuard)
        return;
    if (m_clipboardAllowed)
        checkPaste();
    m_changedSinceFocus = true;
    if (m_mouseDown)
        m_clipboardAllowed = false;
    if (onChange)
        onChange();
}

void EditEngine::checkPaste()
{
    const QString trimmed = m_text.trimmed();
    const bool blank = trimmed.isEmpty();
    const bool loneSign = trimmed == u"+" || trimmed == u"-";
    // The text the paste leaves, in the form typing would have given it; nothing when the
    // paste is refused.
    std::optional<QString> result = m_text;
    const int type = m_settings.editType;
    const bool numeric = type == Numeric || type == NumericSigned || type == CurrencySys ||
                         type == CurrencyWithSymbol || type == CurrencyDec || type == Percent;
    if (numeric && blank)
        result = QString(); // blanks are no number: the box is empty
    auto withSign = [](QString text) {
        return text.startsWith(u'+') || text.startsWith(u'-') ? text : u'+' + text;
    };
    switch (m_settings.editType) {
    case Numeric:
        if (!blank) {
            result = plainNumber(m_text, m_locale, false);
            if (result)
                result->remove(u'+').remove(u'-');
        }
        break;
    case NumericSigned:
        if (loneSign) {
            result = trimmed;
        } else if (!blank) {
            result = plainNumber(m_text, m_locale, false);
            if (result)
                result = withSign(*result);
        }
        break;
    case NumericWithSymbols:
        if (std::any_of(m_text.begin(), m_text.end(),
                        [](QChar c) { return isAsciiLetter(c.unicode()); }))
            result.reset();
        break;
    case DateMMDDYY:
    case TimeHHMM:
    case DateSys:
        if (!blank && !isDateOrTime(m_text, m_locale, m_settings.centuryYear, today().year()))
            result.reset();
        break;
    case CurrencySys:
    case CurrencyWithSymbol:
    case CurrencyDec:
        if (trimmed == u"-") {
            result = trimmed;
        } else if (!blank) {
            result = plainNumber(m_text, m_locale, true);
            if (result)
                result = withSign(*result);
        }
        break;
    case Percent:
        if (!blank) {
            QString number = trimmed;
            if (number.endsWith(u'%'))
                number.chop(1);
            result = plainNumber(number, m_locale, false);
            if (result && hasSign(*result))
                result.reset();
        }
        break;
    case Uppercase:
        result = m_text.toUpper();
        break;
    case Lowercase:
        result = m_text.toLower();
        break;
    default:
        break;
    }
    // A paste never makes the text longer than the box allows.
    if (!result || (m_settings.maxLength > 0 && result->size() > m_settings.maxLength)) {
        setGuarded(m_acceptedText);
        setCaret(int(m_text.size()));
        beep();
        return;
    }
    if (*result != m_text)
        setGuarded(*result);
    if (type == Numeric || type == NumericSigned || type == CurrencySys ||
        type == CurrencyWithSymbol || type == CurrencyDec)
        m_acceptedText = m_text;
}

void EditEngine::focusIn(FocusCause cause)
{
    bool selectAll = false;
    if (m_settings.autoSelect) {
        if (cause == FocusCause::Mouse)
            m_highlightPending = true;
        else
            selectAll = true;
    }
    if (selectAll)
        highlightText();
    const int type = m_settings.editType;
    // Numbers, amounts and dates are read and written in the user's locale of the moment.
    readLocale();
    // A locked box shows its text as it is.
    if (type == DateSys && !m_settings.locked && m_text.trimmed().isEmpty()) {
        // The pattern is the box's own text, never checked as a paste.
        const bool allowed = m_clipboardAllowed;
        m_clipboardAllowed = false;
        applyText(m_locale.shortDatePattern);
        m_clipboardAllowed = allowed;
        if (selectAll)
            highlightText();
        else
            setCaret(0);
    }
    m_acceptedText = m_text;
    m_changedSinceFocus = false;
}

void EditEngine::readLocale()
{
    m_locale = (m_localeSource ? *m_localeSource : defaultLocaleSource()).read();
}

KeyPressResult EditEngine::refuseKey()
{
    beep();
    return {0, true};
}

void EditEngine::focusOut()
{
    validate();
    m_highlightPending = true;
}

void EditEngine::mouseDown(int button)
{
    m_mouseDown = true;
    if (button & ButtonRight)
        m_clipboardAllowed = true;
}

void EditEngine::mouseUp(int)
{
    m_mouseDown = false;
}

void EditEngine::click()
{
    if (m_settings.autoSelect && m_highlightPending) {
        highlightText();
        m_highlightPending = false;
    }
    if (!m_settings.locked)
        m_savedCaret = m_selStart;
    if (isDateType())
        setSelection(m_selStart, int(m_text.size()) - m_selStart);
}

void EditEngine::keyDown(int keyCode, int shift)
{
    // The Ctrl key allows the clipboard keys; so does any key pressed while Ctrl is held,
    // so that a second Ctrl+V without releasing Ctrl still pastes.
    if (keyCode == KeyControl || (shift & ShiftMaskCtrl))
        m_clipboardAllowed = true;
    if (!m_settings.locked)
        m_savedCaret = m_selStart;
    if (isDateType() && keyCode >= KeyLeft && keyCode <= KeyDown)
        m_selLength = 0;
}

void EditEngine::keyUp(int keyCode, int)
{
    if (m_settings.editType == DateMMDDYY && keyCode >= KeyLeft && keyCode <= KeyDown) {
        m_savedCaret = m_selStart;
        setSelection(m_selStart, int(m_text.size()) - m_selStart);
    }
    m_clipboardAllowed = false;
}

KeyPressResult EditEngine::keyPress(char16_t character)
{
    if (m_settings.locked)
        return {character, false};
    if (handleControl(character))
        return {character, false};
    KeyPressResult r = handleTyped(character);
    if (r.beep)
        beep();
    m_changedSinceFocus = true;
    return r;
}

bool EditEngine::handleControl(char16_t c)
{
    const int caret = std::min(m_savedCaret, int(m_text.size()));
    const QString left = m_text.left(caret);
    const QString right = m_text.mid(std::max(m_selStart + m_selLength, caret));
    switch (c) {
    case 3:
    case 24:
        // An empty selection leaves the clipboard as it is.
        if (m_clipboardAllowed && m_selLength > 0)
            (m_clipboard ? m_clipboard : &m_ownClipboard)->setText(selectedText());
        if (c == 24) {
            setCaret(int(left.size()));
            applyText(left + right);
            setCaret(int(left.size()));
        }
        return true;
    case 22:
        if (m_clipboardAllowed) {
            const QString pasted = (m_clipboard ? m_clipboard : &m_ownClipboard)->text();
            // The caret goes behind the pasted text, unless the paste check undoes it.
            m_selStart = caret + int(pasted.size());
            m_selLength = 0;
            applyText(left + pasted + right);
            setSelection(m_selStart, 0);
        }
        return true;
    case 8:
        if (!m_text.trimmed().isEmpty()) {
            if (m_selLength == m_text.size())
                applyText(QString());
            else
                applyText(left.left(left.size() - 1) + right);
        }
        if (m_savedCaret >= 1)
            setCaret(m_savedCaret - 1);
        return true;
    case 9:
    case 13:
    case 26:
        return true;
    case 27:
        applyText(m_acceptedText);
        highlightText();
        if (m_settings.useDefaultText)
            m_acceptedText = m_settings.defaultText;
        return true;
    default:
        return false;
    }
}

KeyPressResult EditEngine::handleTyped(char16_t c)
{
    // Other control characters (Ctrl+A and the like) never enter the text.
    if (c < 32 || c == 127)
        return {0, true};
    const int caret = std::min(m_savedCaret, int(m_text.size()));
    const QString left = m_text.left(caret);
    const QString right = m_text.mid(std::max(m_selStart + m_selLength, caret));
    switch (m_settings.editType) {
    case Numeric:
        return typeNumeric(c, left, right);
    case NumericSigned:
        return typeSigned(c, left, right);
    case NumericWithSymbols:
        return typeSymbols(c, left, right);
    case DateMMDDYY:
        return typeDate(c, left);
    case TimeHHMM:
        return typeTime(c, left, right);
    case CurrencySys:
    case CurrencyWithSymbol:
    case CurrencyDec:
        return typeCurrency(c, left, right);
    case Percent:
        return typePercent(c, left, right);
    case Uppercase:
    case Lowercase:
        return typeCase(c, left, right);
    case DateSys: {
        const QString candidate = left + QChar(c);
        if (!fits(candidate))
            return {0, true};
        applyText(candidate);
        setCaret(int(m_text.size()));
        return {c, false};
    }
    default:
        return typeNormal(c, left, right);
    }
}

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

KeyPressResult EditEngine::typeNumeric(char16_t c, const QString& left, const QString& right)
{
    KeyPressResult r{c, false};
    const QChar point = decimalPoint();
    if (isDigit(c) || (c == point && pointAllowed(left, right))) {
        const QString candidate = c != point       ? left + QChar(c) + right
                                  : left.isEmpty() ? u'0' + point + right
                                                   : left + point + right;
        if (fits(candidate))
            applyText(candidate);
        else
            r = {0, true};
    } else if (c == point) {
        r = {0, true};
    } else {
        // Any other character is refused and takes the selection with it.
        r = {0, true};
        applyText(left + right);
    }
    setCaret(int(m_text.size()));
    return r;
}

KeyPressResult EditEngine::typeSigned(char16_t c, const QString& left, const QString& right)
{
    KeyPressResult r{c, false};
    if ((c == u'+' || c == u'-') && !hasSign(left) && !hasSign(right) &&
        fits(left + QChar(c) + right)) {
        applyText(left + QChar(c) + right);
    } else if (c == decimalPoint() && pointAllowed(left, right)) {
        const QString candidate =
            (left.isEmpty() ? u'0' + decimalPoint() : left + decimalPoint()) + right;
        if (fits(candidate))
            applyText(candidate);
        else
            r = {0, true};
    } else if (isDigit(c)) {
        QString candidate = left + QChar(c) + right;
        if (!hasSign(candidate))
            candidate.prepend(u'+');
        if (fits(candidate))
            applyText(candidate);
        else
            r = {0, true};
    } else if (c == decimalPoint()) {
        r = {0, true};
    } else {
        r = {0, true};
        applyText(left + right);
    }
    setCaret(int(m_text.size()));
    return r;
}

KeyPressResult EditEngine::typeSymbols(char16_t c, const QString& left, const QString& right)
{
    KeyPressResult r{c, false};
    if (c == decimalPoint()) {
        const QString candidate =
            (left.isEmpty() ? u'0' + decimalPoint() : left + decimalPoint()) + right;
        if (pointAllowed(left, right) && fits(candidate))
            applyText(candidate);
        else
            r = {0, true};
    } else if (isAsciiLetter(c)) {
        r = {0, true};
        applyText(left + right);
    } else if (fits(left + QChar(c) + right)) {
        applyText(left + QChar(c) + right);
    } else {
        r = {0, true};
    }
    setCaret(int(m_text.size()));
    return r;
}

namespace {

// Digits expected at the given positions of a partly built date or time.
bool digitsAt(const QString& s, std::initializer_list<int> positions)
{
    for (int p : positions) {
        if (p >= s.size() || !isDigit(s[p].unicode()))
            return false;
    }
    return true;
}

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

ValidateResult EditEngine::validate()
{
    // Nothing is typed into a locked box, so there is nothing to complete or to refuse.
    if (m_settings.locked) {
        m_changedSinceFocus = false;
        return {};
    }
    if (!m_changedSinceFocus) {
        if (m_settings.editType == DateSys &&
            (m_text == m_locale.shortDatePattern ||
             !parseLocaleDate(m_text, m_locale, m_settings.centuryYear, today().year())))
            applyText(QString());
        m_changedSinceFocus = false;
        return {};
    }
    // The box's own rewrites are not pastes.
    const bool allowed = m_clipboardAllowed;
    m_clipboardAllowed = false;
    const ValidateResult r = validateChanged();
    m_clipboardAllowed = allowed;
    // A refused entry stays to be checked again when the box is left next time.
    m_changedSinceFocus = r.cancel;
    if (r.beep)
        beep();
    return r;
}

ValidateResult EditEngine::validateChanged()
{
    switch (m_settings.editType) {
    case Numeric:
    case NumericWithSymbols:
    case NumericSigned: {
        if (m_text.isEmpty() || m_settings.decimals < 0 || m_settings.decimals > 6)
            return {};
        const std::optional<DecimalNumber> n = parseNumber(m_text, m_locale);
        if (!n)
            return {};
        QString formatted = formatFixed(*n, m_settings.decimals, m_locale);
        if (m_settings.editType == NumericSigned && m_text.trimmed().startsWith(u'+'))
            formatted.prepend(u'+');
        applyText(formatted);
        return {};
    }
    case DateMMDDYY:
        return validateDateMMDDYY();
    case TimeHHMM:
        if (m_text.trimmed().isEmpty())
            return {};
        applyText(m_text.size() > 6 ? (m_text.size() == 7 ? m_text + u'M' : m_text)
                                    : m_text + QStringLiteral("AM"));
        return {};
    case CurrencySys:
    case CurrencyWithSymbol:
    case CurrencyDec: {
        if (m_text == u"-") {
            applyText(QString());
            return {};
        }
        // A formatted amount (with its groups and symbol) reads back as it was written.
        const std::optional<DecimalNumber> n = parseAmount(m_text, m_locale);
        if (m_text.isEmpty() || !n)
            return {};
        const int digits = m_settings.editType == CurrencyDec
                               ? std::clamp(m_settings.decimals, 0, 7)
                               : m_locale.currencyDigits;
        const bool symbol = m_settings.editType == CurrencyWithSymbol;
        applyText(formatCurrency(*n, digits, m_locale, symbol));
        return {};
    }
    case Percent: {
        QString stripped = m_text;
        stripped.remove(u'%');
        const std::optional<DecimalNumber> n = parseNumber(stripped, m_locale);
        if (m_text.isEmpty() || !n)
            return {};
        applyText(formatPercent(*n, m_locale));
        return {};
    }
    case DateSys:
        return validateDateSys();
    default:
        return {};
    }
}

ValidateResult EditEngine::validateDateMMDDYY()
{
    const QString t = m_text;
    const QString year = currentYearText(today());
    const bool shape = digitsAt(t, {0, 1, 3, 4}) && t.size() > 5 && t[2] == u'/' && t[5] == u'/';
    if (t.size() <= 6) {
        applyText(QString());
    } else if (t.size() == 7 && shape) {
        applyText(t.left(6) + QStringLiteral("200") + t.mid(6));
    } else if (t.size() == 8 && shape && digitsAt(t, {6, 7})) {
        const int yy = t.mid(6).toInt();
        const int full = expandTwoDigitYear(yy, m_settings.centuryYear, today().year());
        applyText(t.left(6) + QString::number(full).rightJustified(4, u'0'));
    } else if (t.size() == 9 && t[2] == u'/' && t[5] == u'/') {
        if (t.mid(6) == year.left(3)) {
            applyText(t + year.back());
        } else {
            return {true, true};
        }
    }
    return {};
}

ValidateResult EditEngine::validateDateSys()
{
    if (m_text.trimmed().isEmpty())
        return {};
    const QStringList parts = m_text.split(m_locale.dateSeparator);
    const qsizetype third = parts.size() >= 3 ? parts[2].size() : 0;
    const std::optional<QDate> date =
        parseLocaleDate(m_text, m_locale, m_settings.centuryYear, today().year());
    if ((third == 4 || third == 2) && date) {
        applyText(formatLocaleDate(*date, m_locale));
        return {};
    }
    highlightText();
    return {true, true};
}

} // namespace vrex
