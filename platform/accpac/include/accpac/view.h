#pragma once

#include <QString>
#include <QVariant>

#include <vector>

// One field of a view's current record. Values cross as QVariant: text as QString, 16- and
// 32-bit integers as int, amounts as double, Booleans as bool, dates as QDate (a blank date
// is a null QDate). SetValue accepts any of those plus numeric text and yyyymmdd numbers.
class AccpacViewField
{
public:
    virtual ~AccpacViewField() = default;

    virtual QString Name() const = 0;
    virtual QVariant GetValue() const = 0;
    // Sets the value as a user would: the view may react (defaults, checks).
    virtual void SetValue(const QVariant& value) = 0;
    // Sets the value without the view's reaction to it.
    virtual void SetValueDirect(const QVariant& value) = 0;
};

class AccpacViewFields
{
public:
    virtual ~AccpacViewFields() = default;

    virtual int Count() const = 0;
    // By name; an unknown name throws (after leaving an entry in the session's Errors).
    virtual AccpacViewField& Field(const QString& name) = 0;
    // By position, 0 to Count() - 1.
    virtual AccpacViewField& FieldByIndex(int index) = 0;
};

// An open view: a table of the company (or of the system) with its record buffer, key order
// and browse selection. Every failing call throws ComError after leaving its message and
// priority in the session's Errors.
class AccpacView
{
public:
    virtual ~AccpacView() = default;

    virtual QString ViewID() const = 0;

    // Links this view with the views of its composition, in the order the layout fixes.
    // The views must have been opened through the same company link.
    virtual void Compose(const std::vector<AccpacView*>& views) = 0;

    virtual void ClearRecord() = 0;
    virtual void InitRecord(int flags) = 0;
    virtual void NewRecord() = 0;

    virtual void SetOrder(int keyNumber) = 0;
    virtual int Order() const = 0;
    virtual void PrepareRead(int flags) = 0;
    // Keyed read under the current order; returns whether a record was found.
    virtual bool Read() = 0;
    // Selects the records matching filter (empty: all) in the current key order.
    virtual void Browse(const QString& filter, bool ascending) = 0;
    // The next record of the selection; false at its end.
    virtual bool Fetch() = 0;
    // The first record that matches the selection now.
    virtual bool MoveFirst() = 0;
    virtual bool MoveNext() = 0;

    virtual void Insert() = 0;
    virtual void Update() = 0;
    virtual void Process() = 0;
    virtual void Post() = 0;
    virtual void Close() = 0;

    virtual AccpacViewFields& Fields() = 0;
    // Shorthand for Fields().Field(name).
    AccpacViewField& Field(const QString& name) { return Fields().Field(name); }
};
