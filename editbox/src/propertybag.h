#pragma once

#include <vrexeditbox/vrexeditbox_export.h>

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

// The store a window design keeps a control's properties in: named values, written only
// when they differ from their default, read back with the default when absent. It keeps the
// order of writing, and remembers the order in which names were read.
class VREXEDITBOX_EXPORT VrexPropertyBag
{
public:
    void writeProperty(const QString& name, const QVariant& value, const QVariant& defaultValue);
    QVariant readProperty(const QString& name, const QVariant& defaultValue) const;

    bool contains(const QString& name) const;
    QVariant value(const QString& name) const;
    QStringList names() const;
    QStringList readOrder() const { return m_reads; }
    void clearReadOrder() { m_reads.clear(); }
    void clear();

    // A line per property, "Name = value" as a form file writes it; strings quoted.
    QString toText() const;
    static VrexPropertyBag fromText(const QString& text);

private:
    QList<QPair<QString, QVariant>> m_values;
    mutable QStringList m_reads;
};
