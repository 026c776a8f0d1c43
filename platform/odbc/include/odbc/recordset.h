#pragma once

#include <odbc/connection.h>

#include <QString>
#include <QVariant>

#include <memory>

// One column of the current record. Value is a null QVariant for SQL NULL; otherwise
// QString (text, GUID), int or qlonglong (integers, numeric without decimals), double
// (floating point, numeric with decimals), bool (bit), QDate / QTime / QDateTime, or
// QByteArray (binary).
struct Field
{
    QString Name;
    QVariant Value;
};

// A forward-only, read-only result set of one SQL statement, the shape the grid loader
// reads. EOF is spelled Eof because the C library reserves the macro EOF.
class Recordset
{
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Follows the connection's CursorLocation unless set before Open.
    CursorLocationEnum CursorLocation() const;
    void setCursorLocation(CursorLocationEnum location);

    // Sends `source` as command text on the open connection and reads the first record.
    // A statement that returns no columns leaves the record set closed.
    void Open(const QString& source, Connection& activeConnection,
              CursorTypeEnum cursorType = adOpenForwardOnly, LockTypeEnum lockType = adLockReadOnly,
              int options = adCmdText);
    ObjectStateEnum State() const;
    bool Eof() const;
    void MoveNext();

    int FieldCount() const;
    // By name, ignoring case, or by position; throw 3265 for no such field and 3021 at EOF.
    // The reference shows the current record until MoveNext or Close: copy the Value to
    // keep it.
    const Field& Fields(const QString& name) const;
    const Field& Fields(int index) const;

    void Close();

private:
    friend class Connection;
    void openStatement(const QString& source, Connection::Private& connection);
    void release() noexcept;
    struct Private;
    std::unique_ptr<Private> d;
};
