#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

#include <cstdint>
#include <optional>

namespace Registry {

// One hive in memory: its keys, each with its values. Key paths are relative to the hive's
// root ("" is the root itself) and, like value names, compare without regard to case while
// keeping the case they were created with.
class Hive
{
public:
    struct Value
    {
        QString name; // empty: the key's default value
        std::uint32_t type = 0;
        QByteArray data;
    };
    struct Key
    {
        QString path;
        QList<Value> values;                 // in the order they were first set
        QHash<QString, qsizetype> positions; // folded name -> index in values
    };

    explicit Hive(QString rootName) : m_rootName(std::move(rootName)) {}

    const QString& rootName() const { return m_rootName; }

    // Joins a key path and a relative subkey path; empty components are dropped.
    static QString joinPath(const QString& path, const QString& subKey);

    bool hasKey(const QString& path) const;
    // Creates the key and its missing parents; returns true if anything was created.
    bool ensureKey(const QString& path);
    const Value* value(const QString& path, const QString& name) const;
    // Sets a value of an existing key.
    void setValue(const QString& path, const Value& value);

    // The hive as the text of a .reg export, UTF-8 encoded.
    QByteArray toRegText() const;
    // Reads such a text (UTF-8, or UTF-16LE with its byte-order mark); nothing if the text
    // is not a hive of this root.
    static std::optional<Hive> fromRegText(const QByteArray& bytes, const QString& rootName,
                                           QString* error = nullptr);

private:
    static QString fold(const QString& text) { return text.toUpper(); }
    Key& keyAt(const QString& path);

    QString m_rootName;
    QMap<QString, Key> m_keys; // by folded path; the root key is always present implicitly
};

} // namespace Registry
