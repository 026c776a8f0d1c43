#include "propertybag.h"

#include <QRegularExpression>

void VrexPropertyBag::writeProperty(const QString& name, const QVariant& value,
                                    const QVariant& defaultValue)
{
    for (qsizetype i = 0; i < m_values.size(); ++i) {
        if (m_values[i].first == name) {
            m_values.removeAt(i);
            break;
        }
    }
    if (value == defaultValue)
        return;
    m_values.append({name, value});
}

QVariant VrexPropertyBag::readProperty(const QString& name, const QVariant& defaultValue) const
{
    m_reads.append(name);
    return contains(name) ? value(name) : defaultValue;
}

bool VrexPropertyBag::contains(const QString& name) const
{
    return std::any_of(m_values.begin(), m_values.end(),
                       [&](const auto& entry) { return entry.first == name; });
}

QVariant VrexPropertyBag::value(const QString& name) const
{
    for (const auto& entry : m_values) {
        if (entry.first == name)
            return entry.second;
    }
    return {};
}

QStringList VrexPropertyBag::names() const
{
    QStringList list;
    for (const auto& entry : m_values)
        list.append(entry.first);
    return list;
}

void VrexPropertyBag::clear()
{
    m_values.clear();
    m_reads.clear();
}

QString VrexPropertyBag::toText() const
{
    QString out;
    for (const auto& [name, value] : m_values) {
        QString v;
        if (value.typeId() == QMetaType::QString) {
            v = value.toString();
            v.replace(u'"', QStringLiteral("\"\""));
            v = u'"' + v + u'"';
        } else if (value.typeId() == QMetaType::Bool) {
            v = value.toBool() ? QStringLiteral("-1  'True") : QStringLiteral("0   'False");
        } else {
            v = value.toString();
        }
        out += name + QStringLiteral(" = ") + v + QStringLiteral("\r\n");
    }
    return out;
}

VrexPropertyBag VrexPropertyBag::fromText(const QString& text)
{
    VrexPropertyBag bag;
    static const QRegularExpression line(QStringLiteral("^\\s*(\\w+)\\s*=\\s*(.*?)\\s*$"));
    for (const QString& raw : text.split(QRegularExpression(QStringLiteral("\r?\n")))) {
        const QRegularExpressionMatch m = line.match(raw);
        if (!m.hasMatch())
            continue;
        QString v = m.captured(2);
        QVariant value;
        if (v.startsWith(u'"') && v.endsWith(u'"') && v.size() >= 2) {
            value = v.mid(1, v.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
        } else if (v.contains(QLatin1String("'True")) || v.contains(QLatin1String("'False"))) {
            value = v.startsWith(u'-');
        } else {
            bool ok = false;
            const qlonglong n = v.toLongLong(&ok);
            value = ok ? QVariant(n) : QVariant(v.toDouble());
        }
        bag.m_values.append({m.captured(1), value});
    }
    return bag;
}
