#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <limits>
#include <vector>

namespace Accpac {

// The column that keys each row of a view's table: the engine numbers it on insert.
inline constexpr const char* RowKeyColumn = "ROWKEY";

enum class FieldType
{
    Text,
    Int16,
    Int32,
    Double,
    Date,
    Bool
};

// Which database holds a view's table: the company file or the site's system database.
enum class Store
{
    Company,
    System
};

struct FieldDef
{
    QString name;
    QString column; // column of the table (differs from name in older layouts)
    FieldType type = FieldType::Text;
    int size = 0;            // characters, for text
    bool stored = true;      // false: a command field that lives in the record buffer only
    bool qualifier = false;  // narrows a keyed read when set by the caller before it
    bool autoNumber = false; // 0 on insert: the next number within the other key fields
    bool engineKept = false; // kept by the engine: Update does not write the caller's value
    bool secret = false;     // a password: its value is never shown in a message or the call log
    // Numeric fields: the values the field accepts (SetValue refuses others).
    double minimum = -std::numeric_limits<double>::infinity();
    double maximum = std::numeric_limits<double>::infinity();
};

struct ViewDef
{
    QString id;
    QString table;
    QString application; // the application that must be active ("" for none)
    QString minVersion;  // the least version of that application the view exists in
    Store store = Store::Company;
    std::vector<FieldDef> fields;
    QHash<QString, int> index; // field name -> position
    // keys[n]: the fields of key n; orders[n]: key n followed by the rest of key 0, which
    // makes every order total.
    std::vector<std::vector<int>> keys;
    std::vector<std::vector<int>> orders;
    // The compositions the layouts use: each entry the view IDs in array order.
    std::vector<QStringList> compositions;

    // Prepared once: ""ROWKEY", "A", "B", ..." of the stored fields, and their positions.
    QByteArray selectList;
    std::vector<int> storedFields;
    std::vector<int> updatableFields; // the stored fields Update writes

    int fieldIndex(const QString& name) const { return index.value(name, -1); }

    // Prepared once for the reads: "SELECT <selectList> FROM "TABLE"", and for each order
    // its columns ("A","B"), as many "?,?" and its ORDER BY clause, ascending and descending.
    QByteArray selectFrom;
    std::vector<QByteArray> orderColumns;
    std::vector<QByteArray> orderPlaceholders;
    std::vector<QByteArray> orderBy;
    std::vector<QByteArray> orderByDescending;
};

// The view of an ID for a company whose applications have these versions; nullptr when the
// ID is unknown. Receipt types ("AR0012") come in two layouts chosen by the AR version.
const ViewDef* findView(const QString& viewId, const QString& arVersion);
// Every table definition (one per table, newest layout), for creating a database.
std::vector<const ViewDef*> allTables();
bool isKnownViewId(const QString& viewId);

// A table or column name quoted for SQL (the same text on both engines).
QByteArray quoted(const QString& name);

} // namespace Accpac
