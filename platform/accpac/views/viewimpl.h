#pragma once

#include "dictionary.h"
#include "sessioncore.h"

#include <accpac/view.h>

#include <any>
#include <memory>
#include <optional>
#include <vector>

namespace Accpac {

class ViewImpl;
class ViewRules;

class FieldImpl final : public AccpacViewField
{
public:
    FieldImpl(ViewImpl& view, int index) : m_view(view), m_index(index) {}

    QString Name() const override;
    QVariant GetValue() const override;
    void SetValue(const QVariant& value) override;
    void SetValueDirect(const QVariant& value) override;

private:
    ViewImpl& m_view;
    int m_index;
};

// An open view over one table: the record buffer, the key order, the browse selection
// and the composition. Records are read and written with cached prepared statements.
class ViewImpl final : public AccpacView, public AccpacViewFields
{
public:
    ViewImpl(std::shared_ptr<SessionCore> core, const ViewDef& def, const ViewRules& rules,
             const void* link);
    ~ViewImpl() override;

    // AccpacView
    QString ViewID() const override { return m_def.id; }
    void Compose(const std::vector<AccpacView*>& views) override;
    void ClearRecord() override;
    void InitRecord(int flags) override;
    void NewRecord() override;
    void SetOrder(int keyNumber) override;
    int Order() const override { return m_order; }
    void PrepareRead(int flags) override;
    bool Read() override;
    void Browse(const QString& filter, bool ascending) override;
    bool Fetch() override;
    bool MoveFirst() override;
    bool MoveNext() override;
    void Insert() override;
    void Update() override;
    void Process() override;
    void Post() override;
    void Close() override;
    AccpacViewFields& Fields() override { return *this; }

    // AccpacViewFields
    int Count() const override { return int(m_def.fields.size()); }
    AccpacViewField& Field(const QString& name) override;
    AccpacViewField& FieldByIndex(int index) override;

    // For the fields and the view rules.
    const ViewDef& def() const { return m_def; }
    SessionCore& core() { return *m_core; }
    Database& db() { return *m_db; }
    QVariant getValue(int index);
    void setValue(int index, const QVariant& value, bool direct);
    // Canonical values: QString, int (integers, Booleans, yyyymmdd dates), double.
    QVariant value(const QString& name) const;
    void set(const QString& name, const QVariant& canonical);
    bool hasCurrentRecord() const { return m_rowid != 0; }
    // Blanks every field; the record is no longer a stored one.
    void blank();
    // Stores the record as a new one (numbering fields that are 0).
    void insertRecord();
    const std::vector<ViewImpl*>& composition() const { return m_composed; }
    // The first view of this one's composition with that ID (nullptr when none or closed).
    ViewImpl* composed(const QString& viewId) const;
    // The views that were composed with this one.
    const std::vector<ViewImpl*>& composedBy() const { return m_composedBy; }
    [[noreturn]] void fail(const QString& message, int priority = Priority::Error);
    // What the view's rules keep between calls on this view (e.g. an invoice in the making).
    std::any& ruleState() { return m_ruleState; }
    // The stored row of the current record (0 when none).
    qint64 rowId() const { return m_rowid; }
    void setRowId(qint64 rowid) { m_rowid = rowid; }

private:
    void checkUsable(const char* operation);
    QVariant toCanonical(const FieldDef& field, const QVariant& value);
    void checkLimits(const FieldDef& field, double value);
    bool seek(bool first);
    std::optional<bool> lookUpReadAhead();
    void load(const Statement& st);
    static void loadText(QVariant& value, QByteArrayView utf8, qsizetype room);
    // The record now is as stored: nothing set by the caller, nothing changed.
    void markStored();
    QVariant storedValue(const Statement& st, int column, FieldType type) const;
    int fieldByName(const QString& name);
    void insertNumbered(std::vector<std::pair<int, QVariant>>& numbered);
    template <class F> auto guarded(F&& f) -> decltype(f());
    // A write: run whole again when the engine made its transaction give way to another's.
    template <class F> void guardedWrite(F&& f);

    std::shared_ptr<SessionCore> m_core;
    const ViewDef& m_def;
    const ViewRules& m_rules;
    Database* m_db;
    const void* m_link;
    std::vector<QVariant> m_values;
    std::vector<bool> m_setByCaller;
    std::vector<bool> m_changed; // since the record was read or stored: what Update writes
    std::vector<std::unique_ptr<FieldImpl>> m_fields;
    int m_order = 0;
    qint64 m_rowid = 0;
    bool m_closed = false;

    QByteArray m_where;
    std::vector<QVariant> m_whereParams;
    bool m_ascending = true;
    bool m_positioned = false;
    std::vector<QVariant> m_position;

    // The keyed read's statement, kept for the order and the fields it binds.
    std::optional<Statement> m_readStatement;
    int m_readOrder = -1;
    std::vector<int> m_readBound;
    std::vector<int> m_bound; // the fields of the read under way
    QByteArray m_seekSql;     // the last browse statement, its buffer reused

    std::vector<ViewImpl*> m_composed;
    std::vector<ViewImpl*> m_composedBy;
    std::any m_ruleState;
};

} // namespace Accpac
