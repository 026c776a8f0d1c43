#include "filter.h"

namespace Accpac {

namespace {

class Parser
{
public:
    Parser(const QString& text, const ViewDef& def) : m_text(text), m_def(def) {}

    CompiledFilter run()
    {
        skipBlanks();
        if (m_pos == m_text.size())
            return {};
        expression(0);
        skipBlanks();
        if (m_pos != m_text.size())
            fail(QStringLiteral("AND, OR or the end of the filter expected"));
        return std::move(m_out);
    }

private:
    [[noreturn]] void fail(const QString& what) const { throw FilterError{int(m_pos) + 1, what}; }

    void skipBlanks()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace())
            ++m_pos;
    }

    // Is the keyword (AND / OR) next, as a whole word?
    bool keywordAt(qsizetype pos, QLatin1String word) const
    {
        if (m_text.size() - pos < word.size() ||
            QStringView(m_text).mid(pos, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        const qsizetype end = pos + word.size();
        return end == m_text.size() ||
               !(m_text.at(end).isLetterOrNumber() || m_text.at(end) == u'_');
    }

    bool acceptKeyword(QLatin1String word)
    {
        skipBlanks();
        if (!keywordAt(m_pos, word))
            return false;
        m_pos += word.size();
        return true;
    }

    void expression(int depth)
    {
        if (depth > 64)
            fail(QStringLiteral("too many nested parentheses"));
        term(depth);
        while (acceptKeyword(QLatin1String("OR"))) {
            m_out.sql += " OR ";
            term(depth);
        }
    }

    void term(int depth)
    {
        factor(depth);
        while (acceptKeyword(QLatin1String("AND"))) {
            m_out.sql += " AND ";
            factor(depth);
        }
    }

    void factor(int depth)
    {
        skipBlanks();
        if (m_pos < m_text.size() && m_text.at(m_pos) == u'(') {
            ++m_pos;
            m_out.sql += '(';
            expression(depth + 1);
            skipBlanks();
            if (m_pos >= m_text.size() || m_text.at(m_pos) != u')')
                fail(QStringLiteral("\")\" expected"));
            ++m_pos;
            m_out.sql += ')';
            return;
        }
        comparison();
    }

    void comparison()
    {
        skipBlanks();
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() &&
               (m_text.at(m_pos).isLetterOrNumber() || m_text.at(m_pos) == u'_'))
            ++m_pos;
        if (start == m_pos)
            fail(QStringLiteral("a field name expected"));
        const QString name = m_text.mid(start, m_pos - start).toUpper();
        const int index = m_def.fieldIndex(name);
        if (index < 0 || !m_def.fields[index].stored) {
            m_pos = start;
            fail(QStringLiteral("\"%1\" is not a field of view %2").arg(name, m_def.id));
        }
        const FieldDef& field = m_def.fields[index];

        skipBlanks();
        const char* op = nullptr;
        const QStringView rest = QStringView(m_text).mid(m_pos);
        static const std::pair<const char*, const char*> ops[] = {
            {"<=", "<="}, {">=", ">="}, {"<>", "<>"}, {"!=", "<>"},
            {"==", "="},  {"=", "="},   {"<", "<"},   {">", ">"}};
        for (const auto& [text, sql] : ops) {
            if (rest.startsWith(QLatin1String(text))) {
                op = sql;
                m_pos += qsizetype(qstrlen(text));
                break;
            }
        }
        if (!op)
            fail(QStringLiteral("a comparison (=, <>, <, <=, >, >=) expected after \"%1\"")
                     .arg(name));

        skipBlanks();
        const qsizetype valueStart = m_pos;
        QVariant value = readValue();
        // A bare number compared with a text field compares as written ("0100").
        if (field.type == FieldType::Text && value.typeId() != QMetaType::QString)
            value = m_text.mid(valueStart, m_pos - valueStart);
        m_out.sql += '"' + field.column.toLatin1() + "\" " + op + " ?";
        m_out.params.push_back(convert(field, value, valueStart));
    }

    // A quoted text or a bare number.
    QVariant readValue()
    {
        if (m_pos >= m_text.size())
            fail(QStringLiteral("a value expected"));
        if (m_text.at(m_pos) == u'"') {
            const qsizetype open = m_pos++;
            for (qsizetype i = m_pos; i < m_text.size(); ++i) {
                if (m_text.at(i) != u'"')
                    continue;
                if (closesValue(i + 1)) {
                    const QString value = m_text.mid(m_pos, i - m_pos);
                    m_pos = i + 1;
                    return value;
                }
            }
            m_pos = open;
            fail(QStringLiteral("the text value has no closing double quote"));
        }
        const qsizetype start = m_pos;
        if (m_pos < m_text.size() && (m_text.at(m_pos) == u'-' || m_text.at(m_pos) == u'+'))
            ++m_pos;
        while (m_pos < m_text.size() && (m_text.at(m_pos).isDigit() || m_text.at(m_pos) == u'.'))
            ++m_pos;
        bool ok = false;
        const double number = m_text.mid(start, m_pos - start).toDouble(&ok);
        if (!ok ||
            (m_pos < m_text.size() && (m_text.at(m_pos).isLetter() || m_text.at(m_pos) == u'_'))) {
            m_pos = start;
            fail(QStringLiteral("a number or a text in double quotes expected"));
        }
        return number;
    }

    // A double quote closes the value when the end, ")" or AND/OR follows it.
    bool closesValue(qsizetype pos) const
    {
        while (pos < m_text.size() && m_text.at(pos).isSpace())
            ++pos;
        if (pos == m_text.size() || m_text.at(pos) == u')')
            return true;
        if (pos > 0 && !m_text.at(pos - 1).isSpace())
            return false;
        return keywordAt(pos, QLatin1String("AND")) || keywordAt(pos, QLatin1String("OR"));
    }

    QVariant convert(const FieldDef& field, const QVariant& value, qsizetype at)
    {
        const bool isText = value.typeId() == QMetaType::QString;
        switch (field.type) {
        case FieldType::Text:
            return isText ? value.toString() : QString::number(value.toDouble(), 'g', 17);
        default: {
            // Integers and dates compare with the number as SQLite compares numbers.
            bool ok = true;
            const double d = isText ? value.toString().trimmed().toDouble(&ok) : value.toDouble();
            if (!ok)
                break;
            return d;
        }
        }
        m_pos = at;
        fail(QStringLiteral("\"%1\" is not a number, as field %2 needs")
                 .arg(value.toString(), field.name));
    }

    const QString& m_text;
    const ViewDef& m_def;
    qsizetype m_pos = 0;
    CompiledFilter m_out;
};

} // namespace

CompiledFilter compileFilter(const QString& filter, const ViewDef& def)
{
    return Parser(filter, def).run();
}

} // namespace Accpac
