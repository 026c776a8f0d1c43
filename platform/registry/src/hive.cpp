#include "hive.h"

#include <QStringDecoder>
#include <QStringList>

namespace Registry {

namespace {

const QByteArray Header = "Windows Registry Editor Version 5.00";
constexpr std::uint32_t TypeString = 1;
constexpr std::uint32_t TypeBinary = 3;
constexpr std::uint32_t TypeDword = 4;
constexpr int WrapColumn = 76;

// Appends count UTF-16 code units, at(i) giving each, as UTF-8 with the two escapes of the
// format. Returns false, with out unchanged, if the text holds a control character or a
// lone surrogate, which the quoted form cannot carry.
template <typename At> bool appendEscaped(QByteArray& out, qsizetype count, At at)
{
    const qsizetype start = out.size();
    const auto fail = [&] {
        out.truncate(start);
        return false;
    };
    for (qsizetype i = 0; i < count; ++i) {
        char32_t c = at(i);
        if (c < 0x20 || QChar::isLowSurrogate(c))
            return fail();
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= count || !QChar::isLowSurrogate(at(i + 1)))
                return fail();
            c = QChar::surrogateToUcs4(char16_t(c), at(++i));
        }
        if (c == u'\\' || c == u'"')
            out += '\\';
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return true;
}

void appendEscaped(QByteArray& out, QStringView text)
{
    appendEscaped(out, text.size(), [text](qsizetype i) { return text[i].unicode(); });
}

// A REG_SZ value can be written as "text" only if that text reads back to the very same
// bytes: even size, exactly one terminating NUL, no control characters, valid UTF-16.
bool appendPlainString(QByteArray& out, const QByteArray& data)
{
    if (data.size() < 2 || data.size() % 2 != 0 || data.at(data.size() - 1) != 0 ||
        data.at(data.size() - 2) != 0)
        return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    const qsizetype start = out.size();
    out += '"';
    if (!appendEscaped(out, data.size() / 2 - 1, [bytes](qsizetype i) {
            return char16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        })) {
        out.truncate(start);
        return false;
    }
    out += "\"\n";
    return true;
}

void appendHex(QByteArray& out, unsigned value, int digits)
{
    static const char Digits[] = "0123456789abcdef";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += Digits[(value >> shift) & 0xF];
}

void appendValue(QByteArray& out, const Hive::Value& value)
{
    const qsizetype lineStart = out.size();
    if (value.name.isEmpty()) {
        out += '@';
    } else {
        out += '"';
        appendEscaped(out, value.name);
        out += '"';
    }
    out += '=';
    if (value.type == TypeString && appendPlainString(out, value.data))
        return;
    if (value.type == TypeDword && value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number = (number << 8) | static_cast<unsigned char>(value.data.at(i));
        out += "dword:";
        appendHex(out, number, 8);
        out += '\n';
        return;
    }
    if (value.type == TypeBinary) {
        out += "hex:";
    } else {
        out += "hex(";
        out += QByteArray::number(value.type, 16);
        out += "):";
    }
    // Long data is wrapped over several lines the way the registry editor does it.
    qsizetype wrapFrom = lineStart;
    for (qsizetype i = 0; i < value.data.size(); ++i) {
        appendHex(out, static_cast<unsigned char>(value.data.at(i)), 2);
        if (i + 1 < value.data.size()) {
            out += ',';
            if (out.size() - wrapFrom >= WrapColumn) {
                out += "\\\n  ";
                wrapFrom = out.size() - 2;
            }
        }
    }
    out += '\n';
}

// Reads a quoted, escaped text starting at pos (on the opening quote); leaves pos after the
// closing quote.
std::optional<QString> quoted(const QString& line, qsizetype& pos)
{
    if (pos >= line.size() || line.at(pos) != u'"')
        return std::nullopt;
    QString out;
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line.at(pos);
        if (c == u'"') {
            ++pos;
            return out;
        }
        if (c == u'\\') {
            if (++pos >= line.size() || (line.at(pos) != u'\\' && line.at(pos) != u'"'))
                return std::nullopt;
        }
        out += line.at(pos);
    }
    return std::nullopt;
}

std::optional<QByteArray> hexBytes(const QString& text)
{
    QByteArray out;
    const QStringList parts = text.split(u',');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString part = parts.at(i).trimmed();
        if (part.isEmpty() && i == parts.size() - 1)
            break; // a trailing comma, or no data at all
        bool ok = false;
        const uint byte = part.toUInt(&ok, 16);
        if (!ok || part.size() > 2 || byte > 0xFF)
            return std::nullopt;
        out.append(char(byte));
    }
    return out;
}

std::optional<Hive::Value> valueData(const QString& dataText)
{
    Hive::Value value;
    if (dataText.startsWith(u'"')) {
        qsizetype pos = 0;
        const auto text = quoted(dataText, pos);
        if (!text || !dataText.mid(pos).trimmed().isEmpty())
            return std::nullopt;
        value.type = TypeString;
        for (const QChar c : *text) {
            value.data.append(char(c.unicode() & 0xFF));
            value.data.append(char(c.unicode() >> 8));
        }
        value.data.append(2, '\0');
        return value;
    }
    if (dataText.startsWith(QLatin1String("dword:"))) {
        const QString digits = dataText.mid(6).trimmed();
        bool ok = false;
        const uint number = digits.toUInt(&ok, 16);
        if (!ok || digits.isEmpty() || digits.size() > 8)
            return std::nullopt;
        value.type = TypeDword;
        for (int i = 0; i < 4; ++i)
            value.data.append(char((number >> (8 * i)) & 0xFF));
        return value;
    }
    qsizetype colon = dataText.indexOf(u':');
    if (!dataText.startsWith(QLatin1String("hex")) || colon < 0)
        return std::nullopt;
    const QString kind = dataText.left(colon);
    if (kind == QLatin1String("hex")) {
        value.type = TypeBinary;
    } else if (kind.startsWith(QLatin1String("hex(")) && kind.endsWith(u')')) {
        bool ok = false;
        value.type = kind.mid(4, kind.size() - 5).toUInt(&ok, 16);
        if (!ok)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    const auto bytes = hexBytes(dataText.mid(colon + 1));
    if (!bytes)
        return std::nullopt;
    value.data = *bytes;
    return value;
}

std::optional<QString> decodedText(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder decoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
        QString text = decoder(bytes.mid(2));
        if (decoder.hasError())
            return std::nullopt;
        return text;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

QString Hive::joinPath(const QString& path, const QString& subKey)
{
    QStringList parts = path.split(u'\\', Qt::SkipEmptyParts);
    parts += subKey.split(u'\\', Qt::SkipEmptyParts);
    return parts.join(u'\\');
}

bool Hive::hasKey(const QString& path) const
{
    return path.isEmpty() || m_keys.contains(fold(path));
}

bool Hive::ensureKey(const QString& path)
{
    bool created = false;
    QString partial;
    for (const QString& part : path.split(u'\\', Qt::SkipEmptyParts)) {
        partial = joinPath(partial, part);
        // An existing key keeps the case it was created with, also as part of a longer path.
        if (const auto it = m_keys.constFind(fold(partial)); it != m_keys.constEnd()) {
            partial = it->path;
        } else {
            m_keys.insert(fold(partial), Key{partial, {}, {}});
            created = true;
        }
    }
    return created;
}

Hive::Key& Hive::keyAt(const QString& path)
{
    auto it = m_keys.find(fold(path));
    if (it == m_keys.end())
        it = m_keys.insert(fold(path), Key{path, {}, {}});
    return *it;
}

const Hive::Value* Hive::value(const QString& path, const QString& name) const
{
    const auto key = m_keys.constFind(fold(path));
    if (key == m_keys.constEnd())
        return nullptr;
    const auto position = key->positions.constFind(fold(name));
    return position == key->positions.constEnd() ? nullptr : &key->values.at(*position);
}

void Hive::setValue(const QString& path, const Value& value)
{
    Key& key = keyAt(path);
    const QString folded = fold(value.name);
    if (const auto position = key.positions.constFind(folded);
        position != key.positions.constEnd()) {
        Value& existing = key.values[*position];
        existing.type = value.type;
        existing.data = value.data;
        return;
    }
    key.positions.insert(folded, key.values.size());
    key.values.append(value);
}

QByteArray Hive::toRegText() const
{
    QByteArray out = Header + '\n';
    for (const Key& key : m_keys) {
        if (key.path.isEmpty() && key.values.isEmpty())
            continue;
        out += "\n[";
        out += joinPath(m_rootName, key.path).toUtf8();
        out += "]\n";
        for (const Value& value : key.values)
            appendValue(out, value);
    }
    return out;
}

std::optional<Hive> Hive::fromRegText(const QByteArray& bytes, const QString& rootName,
                                      QString* error)
{
    const auto fail = [error](const QString& why) -> std::optional<Hive> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const auto text = decodedText(bytes);
    if (!text)
        return fail(QStringLiteral("the text is not valid UTF-8 or UTF-16"));
    QStringList lines = text->split(u'\n');
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }

    Hive hive(rootName);
    std::optional<QString> section;
    bool headerSeen = false;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString lineNumber = QString::number(n + 1);
        QString line = lines.at(n).trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (!headerSeen) {
            if (line != QLatin1String(Header))
                return fail(QStringLiteral("line %1: the header is missing").arg(lineNumber));
            headerSeen = true;
            continue;
        }
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']'))
                return fail(QStringLiteral("line %1: unfinished key name").arg(lineNumber));
            const QString full = line.mid(1, line.size() - 2);
            const QStringList parts = full.split(u'\\');
            if (fold(parts.first()) != fold(rootName))
                return fail(QStringLiteral("line %1: key outside %2").arg(lineNumber, rootName));
            section = joinPath(QString(), QStringList(parts.mid(1)).join(u'\\'));
            hive.ensureKey(*section);
            continue;
        }
        if (!section)
            return fail(QStringLiteral("line %1: value outside a key").arg(lineNumber));
        Value value;
        qsizetype pos = 0;
        if (line.startsWith(QLatin1String("@="))) {
            pos = 1;
        } else {
            const auto name = quoted(line, pos);
            if (!name || pos >= line.size() || line.at(pos) != u'=')
                return fail(QStringLiteral("line %1: bad value name").arg(lineNumber));
            value.name = *name;
        }
        QString dataText = line.mid(pos + 1).trimmed();
        if (dataText.startsWith(QLatin1String("hex"))) {
            // A continued line must be followed by more data: a file cut right after a
            // line break would otherwise lose the rest of the value unnoticed.
            while (dataText.endsWith(u'\\')) {
                if (n + 1 >= lines.size() || lines.at(n + 1).trimmed().isEmpty())
                    return fail(QStringLiteral("line %1: unfinished data").arg(lineNumber));
                dataText.chop(1);
                dataText += lines.at(++n).trimmed();
            }
        }
        const auto data = valueData(dataText);
        if (!data)
            return fail(QStringLiteral("line %1: bad value data").arg(lineNumber));
        value.type = data->type;
        value.data = data->data;
        hive.setValue(*section, value);
    }
    if (!headerSeen)
        return fail(QStringLiteral("the file is empty"));
    return hive;
}

} // namespace Registry
