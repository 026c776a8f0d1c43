// The engine's checks when the box is left: completion and refusal of dates and times.
#include "editengine.h"
#include "editengine_chars.h"
#include "textformat.h"

#include <algorithm>

namespace vrex {

namespace {

QString currentYearText(const QDate& today)
{
    return QString::number(today.year()).rightJustified(4, u'0');
}

} // namespace

ValidateResult EditEngine::validate()
{
    // Nothing is typed into a locked box, so there is nothing to complete or to refuse.
    if (m_settings.locked) {
        m_changedSinceFocus = false;
        return {};
    }
    if (!m_changedSinceFocus) {
        if (m_settings.editType == DateSys &&
            (m_text == m_locale.shortDatePattern || !readSysDate(m_text)))
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
    if (const DateRule rule = m_dateRule ? m_dateRule() : DateRule{}) {
        // The host's rule decides which forms are dates, and writes the short date.
        if (const std::optional<QDate> date = rule.read(m_text)) {
            applyText(rule.write(*date));
            return {};
        }
    } else {
        const QStringList parts = m_text.split(m_locale.dateSeparator);
        const qsizetype third = parts.size() >= 3 ? parts[2].size() : 0;
        const std::optional<QDate> date =
            parseLocaleDate(m_text, m_locale, m_settings.centuryYear, today().year());
        if ((third == 4 || third == 2) && date) {
            applyText(formatLocaleDate(*date, m_locale));
            return {};
        }
    }
    highlightText();
    return {true, true};
}

} // namespace vrex
