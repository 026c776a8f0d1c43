#include <system/ansi.h>

#include <array>

namespace Ansi {
namespace {

// Windows-1252 codes 0x80 to 0x9F; the undefined ones keep their own value.
constexpr std::array<char16_t, 32> High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

int codeOf(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (std::size_t i = 0; i < High.size(); ++i) {
        if (High[i] == u)
            return int(0x80 + i);
    }
    return -1;
}

QChar charOf(int code)
{
    if (code >= 0x80 && code <= 0x9F)
        return QChar(High[std::size_t(code - 0x80)]);
    return QChar(char16_t(code & 0xFF));
}

QByteArray fromUnicode(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar c : text) {
        const int code = codeOf(c);
        bytes.append(code < 0 ? '?' : char(code));
    }
    return bytes;
}

QString toUnicode(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char b : bytes)
        text.append(charOf(static_cast<unsigned char>(b)));
    return text;
}

} // namespace Ansi
