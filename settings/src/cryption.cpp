#include <settings/cryption.h>

#include <core/ansi.h>
#include <core/reporters.h>
#include <core/text.h>

#include <system/comerror.h>

#include <cmath>

namespace modCryption {
namespace {

const QString Key = QStringLiteral("walnut");

// Lengths are counted in 16-bit signed integers: texts must stay below this.
constexpr qsizetype LengthLimit = 32767;

int keyCode(int& k)
{
    k = k % int(Key.size()) + 1;
    return Ansi::codeOf(Key.at(k - 1));
}

// A half-sum in the intermediate text: "97" or "97.5".
QString halfSum(int sum)
{
    return QString::number(sum / 2) + (sum % 2 ? QStringLiteral(".5") : QString());
}

// Leading digits, an optional full stop and fraction digits, whatever follows; 0 when there
// are none. The full stop is the decimal point whatever the regional settings say.
double plainNumber(const QString& text)
{
    double value = 0;
    qsizetype i = 0;
    for (; i < text.size() && text.at(i).isDigit(); ++i)
        value = value * 10 + text.at(i).digitValue();
    if (i < text.size() && text.at(i) == QLatin1Char('.')) {
        double scale = 0.1;
        for (++i; i < text.size() && text.at(i).isDigit(); ++i, scale /= 10)
            value += text.at(i).digitValue() * scale;
    }
    return value;
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

const ComError Overflow(ComErrorNumber::Overflow, QStringLiteral("Overflow"));

} // namespace

QString EncryptPWD(const QString& text)
{
    try {
        if (text.size() >= LengthLimit)
            throw Overflow;
        const QString s = text + QLatin1Char(' ');
        QString mid;
        int k = 0;
        for (QChar c : s) {
            const int code = Ansi::codeOf(c);
            if (code < 0) {
                throw ComError(ComErrorNumber::InvalidProcedureCall,
                               QStringLiteral("The character \"%1\" cannot be stored.").arg(c));
            }
            mid += QLatin1Char(' ') + halfSum(code + keyCode(k));
            if (mid.size() >= LengthLimit)
                throw Overflow;
        }
        QString out;
        out.reserve(mid.size() * 2);
        for (qsizetype j = mid.size() - 1; j >= 0; --j)
            out += QStringLiteral("%1")
                       .arg(Ansi::codeOf(mid.at(j)), 2, 16, QLatin1Char('0'))
                       .toUpper();
        return Text::trim(out);
    } catch (const std::exception& failure) {
        modGeneral::reportFailure(failure, QStringLiteral("modCryption.EncryptPWD"),
                                  modGeneral::Reporter::Messenger);
        return {};
    }
}

QString DecryptPWD(const QString& stored)
{
    try {
        if (stored.size() >= LengthLimit)
            throw Overflow;
        // Undo the reversal: each pair's character goes in front.
        QString r;
        for (qsizetype i = 0; i < stored.size(); i += 2) {
            const QString pair = stored.mid(i, 2);
            int code = 0;
            bool valid = true;
            for (QChar c : pair) {
                const int digit = hexDigit(c);
                valid = valid && digit >= 0;
                code = code * 16 + digit;
            }
            if (!valid) {
                modGeneral::ErrorMessenger(ComErrorNumber::TypeMismatch,
                                           QStringLiteral("Type mismatch"),
                                           QStringLiteral("modCryption.DecryptPWD"));
                continue;
            }
            r.prepend(Ansi::charOf(code));
        }
        // Position 0 is the leading blank; every later blank ends one half-sum. The digits
        // after the last blank belong to the blank added when scrambling and are dropped.
        QString out;
        QString num;
        int k = 0;
        for (qsizetype i = 1; i < r.size(); ++i) {
            if (r.at(i) != QLatin1Char(' ')) {
                num += r.at(i);
                continue;
            }
            const double code = std::nearbyint(plainNumber(num) * 2 - keyCode(k));
            if (code >= 0 && code <= 255)
                out += Ansi::charOf(int(code));
            num.clear();
        }
        return Text::trim(out);
    } catch (const std::exception& failure) {
        modGeneral::reportFailure(failure, QStringLiteral("modCryption.DecryptPWD"),
                                  modGeneral::Reporter::Messenger);
        return {};
    }
}

} // namespace modCryption
