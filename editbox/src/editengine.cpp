// The engine's state: text and selection, focus, mouse, key dispatch, control keys and
// the paste check.
#include "editengine.h"
#include "editengine_chars.h"
#include "textformat.h"

#include <algorithm>
#include <optional>

namespace vrex {

namespace {

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

void EditEngine::setDateRule(std::function<DateRule()> rule)
{
    m_dateRule = std::move(rule);
}

std::optional<QDate> EditEngine::readSysDate(const QString& text) const
{
    const DateRule rule = m_dateRule ? m_dateRule() : DateRule{};
    if (rule)
        return rule.read(text);
    return parseLocaleDate(text, m_locale, m_settings.centuryYear, today().year());
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
        if (!blank && !(m_settings.editType == DateSys && readSysDate(m_text)) &&
            !isDateOrTime(m_text, m_locale, m_settings.centuryYear, today().year()))
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

} // namespace vrex
