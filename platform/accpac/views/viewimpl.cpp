#include "viewimpl.h"

#include "filter.h"
#include "viewrules.h"

#include <QDate>
#include <QDateTime>
#include <QStringDecoder>

#include <cmath>
#include <limits>

namespace Accpac {

namespace {

QVariant blankValue(FieldType type)
{
    switch (type) {
    case FieldType::Text:
        return QString();
    case FieldType::Double:
        return 0.0;
    default:
        return 0;
    }
}

QString typeName(FieldType type)
{
    switch (type) {
    case FieldType::Text:
        return QStringLiteral("text");
    case FieldType::Int16:
        return QStringLiteral("a 16-bit integer");
    case FieldType::Int32:
        return QStringLiteral("a 32-bit integer");
    case FieldType::Double:
        return QStringLiteral("a number");
    case FieldType::Date:
        return QStringLiteral("a date");
    case FieldType::Bool:
        return QStringLiteral("a Boolean");
    }
    return {};
}

// A value as messages and the call log show it: a password as asterisks.
QString shown(const FieldDef& f, const QString& value)
{
    return f.secret && !value.isEmpty() ? QStringLiteral("********") : value;
}

bool isNumeric(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

int dateNumber(const QDate& d)
{
    return d.isValid() ? d.year() * 10000 + d.month() * 100 + d.day() : 0;
}

QDate numberDate(qint64 n)
{
    return n == 0 ? QDate() : QDate(int(n / 10000), int(n / 100 % 100), int(n % 100));
}

QByteArray columnList(const ViewDef& def, const std::vector<int>& fields)
{
    QByteArray out;
    for (int i : fields) {
        if (!out.isEmpty())
            out += ',';
        out += quoted(def.fields[i].column);
    }
    return out;
}

} // namespace

// Fields -------------------------------------------------------------------------------------

QString FieldImpl::Name() const
{
    return m_view.def().fields[m_index].name;
}

QVariant FieldImpl::GetValue() const
{
    return m_view.getValue(m_index);
}

void FieldImpl::SetValue(const QVariant& value)
{
    m_view.setValue(m_index, value, false);
}

void FieldImpl::SetValueDirect(const QVariant& value)
{
    m_view.setValue(m_index, value, true);
}

// The view ----------------------------------------------------------------------------------

ViewImpl::ViewImpl(std::shared_ptr<SessionCore> core, const ViewDef& def, const ViewRules& rules,
                   const void* link)
    : m_core(std::move(core)), m_def(def), m_rules(rules),
      m_db(def.store == Store::System ? m_core->systemDb.get() : m_core->companyDb.get()),
      m_link(link), m_values(def.fields.size()), m_setByCaller(def.fields.size()),
      m_changed(def.fields.size()), m_fields(def.fields.size())
{
    blank();
}

ViewImpl::~ViewImpl()
{
    for (ViewImpl* v : m_composed)
        if (v)
            std::erase(v->m_composedBy, this);
    for (ViewImpl* v : m_composedBy)
        std::replace(v->m_composed.begin(), v->m_composed.end(), this,
                     static_cast<ViewImpl*>(nullptr));
}

void ViewImpl::fail(const QString& message, int priority)
{
    m_core->fail(message, priority);
}

template <class F> auto ViewImpl::guarded(F&& f) -> decltype(f())
{
    try {
        return f();
    } catch (const StorageError& e) {
        fail(QStringLiteral("View %1: %2").arg(m_def.id, e.message()));
    }
}

template <class F> void ViewImpl::guardedWrite(F&& f)
{
    guarded([&] { runRetried(*m_db, f); });
}

void ViewImpl::checkUsable(const char* operation)
{
    m_core->logCall(m_def.id, operation);
    if (m_closed)
        fail(QStringLiteral("View %1 has been closed; %2 is not possible.")
                 .arg(m_def.id, QLatin1String(operation)));
    if (!m_core->opened)
        fail(QStringLiteral("The session of view %1 has been closed.").arg(m_def.id));
}

void ViewImpl::blank()
{
    for (size_t i = 0; i < m_values.size(); ++i)
        m_values[i] = blankValue(m_def.fields[i].type);
    std::fill(m_setByCaller.begin(), m_setByCaller.end(), false);
    std::fill(m_changed.begin(), m_changed.end(), false);
    m_rowid = 0;
}

int ViewImpl::fieldByName(const QString& name)
{
    int index = m_def.fieldIndex(name);
    if (index < 0)
        index = m_def.fieldIndex(name.trimmed().toUpper());
    if (index < 0)
        fail(QStringLiteral("\"%1\" is not a field of view %2.").arg(name, m_def.id));
    return index;
}

AccpacViewField& ViewImpl::Field(const QString& name)
{
    return FieldByIndex(fieldByName(name));
}

AccpacViewField& ViewImpl::FieldByIndex(int index)
{
    if (index < 0 || index >= Count())
        fail(QStringLiteral("Field number %1 is not a field of view %2.").arg(index).arg(m_def.id));
    auto& field = m_fields[index];
    if (!field)
        field = std::make_unique<FieldImpl>(*this, index);
    return *field;
}

QVariant ViewImpl::getValue(int index)
{
    const FieldDef& f = m_def.fields[index];
    if (m_core->logEnabled)
        m_core->logCall(m_def.id, "GetValue", {f.name});
    const QVariant& v = m_values[index];
    switch (f.type) {
    case FieldType::Date:
        return numberDate(v.toLongLong());
    case FieldType::Bool:
        return v.toInt() != 0;
    default:
        return v;
    }
}

void ViewImpl::setValue(int index, const QVariant& value, bool direct)
{
    const FieldDef& f = m_def.fields[index];
    if (m_core->logEnabled)
        m_core->logCall(m_def.id, direct ? "SetValueDirect" : "SetValue",
                        {f.name, shown(f, value.toString())});
    if (m_closed)
        fail(QStringLiteral("View %1 has been closed; its fields cannot be set.").arg(m_def.id));
    // What the caller sets is written, even a value the record holds already: the record
    // may be older than the stored one.
    m_values[index] = toCanonical(f, value);
    m_setByCaller[index] = true;
    m_changed[index] = true;
}

void ViewImpl::markStored()
{
    std::fill(m_setByCaller.begin(), m_setByCaller.end(), false);
    std::fill(m_changed.begin(), m_changed.end(), false);
}

QVariant ViewImpl::value(const QString& name) const
{
    const int index = m_def.fieldIndex(name);
    return index < 0 ? QVariant() : m_values[index];
}

void ViewImpl::set(const QString& name, const QVariant& canonical)
{
    const int index = m_def.fieldIndex(name);
    if (index < 0)
        return;
    // The rules' own values are written only where they change the record.
    QVariant value = toCanonical(m_def.fields[index], canonical);
    if (m_values[index] != value) {
        m_values[index] = std::move(value);
        m_changed[index] = true;
    }
}

QVariant ViewImpl::toCanonical(const FieldDef& f, const QVariant& value)
{
    auto mismatch = [&]() {
        fail(QStringLiteral("The value \"%1\" cannot be stored in field %2 of view %3, which "
                            "holds %4.")
                 .arg(shown(f, value.toString()), f.name, m_def.id, typeName(f.type)));
    };
    const bool isText = value.typeId() == QMetaType::QString ||
                        value.typeId() == QMetaType::QByteArray ||
                        value.typeId() == QMetaType::QChar;
    switch (f.type) {
    case FieldType::Text: {
        if (!value.isValid() || value.isNull())
            return QString();
        if (!isText && !isNumeric(value) && value.typeId() != QMetaType::Bool)
            mismatch();
        QString text = value.toString();
        if (text.size() > f.size)
            fail(QStringLiteral("The value \"%1\" is too long for field %2 of view %3 (at most "
                                "%4 characters).")
                     .arg(shown(f, text), f.name, m_def.id, QString::number(f.size)));
        return text;
    }
    case FieldType::Double: {
        double d = 0;
        if (isText) {
            const QString t = value.toString().trimmed();
            bool ok = true;
            d = t.isEmpty() ? 0.0 : t.toDouble(&ok);
            if (!ok)
                mismatch();
        } else if (isNumeric(value) || value.typeId() == QMetaType::Bool) {
            d = value.toDouble();
        } else if (value.isValid()) {
            mismatch();
        }
        if (!std::isfinite(d))
            mismatch();
        checkLimits(f, d);
        return d;
    }
    case FieldType::Date: {
        if (!value.isValid() || value.isNull())
            return 0;
        if (value.typeId() == QMetaType::QDate)
            return dateNumber(value.toDate());
        if (value.typeId() == QMetaType::QDateTime)
            return dateNumber(value.toDateTime().date());
        qint64 n = -1;
        if (isText) {
            const QString t = value.toString().trimmed();
            const QDate iso = QDate::fromString(t, Qt::ISODate);
            if (iso.isValid())
                return dateNumber(iso);
            bool ok = false;
            n = t.isEmpty() ? 0 : t.toLongLong(&ok);
            if (!t.isEmpty() && !ok)
                mismatch();
        } else if (isNumeric(value)) {
            const double d = value.toDouble();
            if (d != std::floor(d))
                mismatch();
            n = qint64(d);
        } else {
            mismatch();
        }
        if (n != 0 && !numberDate(n).isValid())
            mismatch();
        return int(n);
    }
    default: {
        // 16- and 32-bit integers and Booleans.
        qint64 n = 0;
        if (value.typeId() == QMetaType::Bool) {
            n = value.toBool() ? 1 : 0;
        } else if (isText) {
            const QString t = value.toString().trimmed();
            bool ok = true;
            if (!t.isEmpty()) {
                n = t.toLongLong(&ok);
                if (!ok) {
                    const double d = t.toDouble(&ok);
                    if (!ok || d != std::floor(d) || std::abs(d) > 9.0e15)
                        mismatch();
                    n = qint64(d);
                }
            }
        } else if (isNumeric(value)) {
            const double d = value.toDouble();
            if (!std::isfinite(d) || d != std::floor(d) || std::abs(d) > 9.0e15)
                mismatch();
            n = value.typeId() == QMetaType::Double ? qint64(d) : value.toLongLong();
        } else if (value.isValid()) {
            mismatch();
        }
        if (f.type == FieldType::Bool)
            return n != 0 ? 1 : 0;
        const qint64 lo = f.type == FieldType::Int16 ? std::numeric_limits<qint16>::min()
                                                     : std::numeric_limits<qint32>::min();
        const qint64 hi = f.type == FieldType::Int16 ? std::numeric_limits<qint16>::max()
                                                     : std::numeric_limits<qint32>::max();
        if (n < lo || n > hi)
            fail(QStringLiteral("The value %1 is out of range for field %2 of view %3 (%4 to "
                                "%5).")
                     .arg(n)
                     .arg(f.name, m_def.id)
                     .arg(lo)
                     .arg(hi));
        checkLimits(f, double(n));
        return int(n);
    }
    }
}

void ViewImpl::checkLimits(const FieldDef& f, double value)
{
    if (value >= f.minimum && value <= f.maximum)
        return;
    QString allowed;
    if (std::isinf(f.maximum))
        allowed = QStringLiteral("at least %1").arg(f.minimum);
    else if (std::isinf(f.minimum))
        allowed = QStringLiteral("at most %1").arg(f.maximum);
    else
        allowed = QStringLiteral("%1 to %2").arg(f.minimum).arg(f.maximum);
    fail(QStringLiteral("The value %1 is out of range for field %2 of view %3 (%4).")
             .arg(value)
             .arg(f.name, m_def.id, allowed));
}

void ViewImpl::Compose(const std::vector<AccpacView*>& views)
{
    QStringList ids;
    for (AccpacView* v : views)
        ids << (v ? v->ViewID() : QStringLiteral("(none)"));
    m_core->logCall(m_def.id, "Compose", ids);
    if (m_closed || !m_core->opened)
        fail(QStringLiteral("View %1 has been closed and cannot be composed.").arg(m_def.id));
    if (!m_composed.empty())
        fail(QStringLiteral("View %1 has been composed already.").arg(m_def.id));
    const bool known = std::find(m_def.compositions.begin(), m_def.compositions.end(), ids) !=
                       m_def.compositions.end();
    if (!known)
        fail(QStringLiteral("View %1 cannot be composed with %2.")
                 .arg(m_def.id, ids.isEmpty() ? QStringLiteral("no views") : ids.join(u", ")));
    std::vector<ViewImpl*> composed;
    for (AccpacView* v : views) {
        auto* impl = dynamic_cast<ViewImpl*>(v);
        if (!impl || impl == this || impl->m_link != m_link || impl->m_closed)
            fail(QStringLiteral("View %1 can only be composed with other open views of the "
                                "same company link.")
                     .arg(m_def.id));
        if (std::find(composed.begin(), composed.end(), impl) != composed.end())
            fail(QStringLiteral("View %1 cannot be composed with the same view %2 twice.")
                     .arg(m_def.id, impl->m_def.id));
        composed.push_back(impl);
    }
    m_composed = std::move(composed);
    for (ViewImpl* v : m_composed)
        v->m_composedBy.push_back(this);
}

void ViewImpl::ClearRecord()
{
    checkUsable("ClearRecord");
    blank();
}

void ViewImpl::InitRecord(int flags)
{
    if (m_core->logEnabled)
        m_core->logCall(m_def.id, "InitRecord", {QString::number(flags)});
    if (m_closed)
        fail(QStringLiteral("View %1 has been closed; InitRecord is not possible.").arg(m_def.id));
    blank();
    guarded([&] { m_rules.initRecord(*this); });
}

void ViewImpl::NewRecord()
{
    checkUsable("NewRecord");
    guardedWrite([&] { m_rules.newRecord(*this); });
}

void ViewImpl::SetOrder(int keyNumber)
{
    if (m_core->logEnabled)
        m_core->logCall(m_def.id, "SetOrder", {QString::number(keyNumber)});
    if (keyNumber < 0 || keyNumber >= int(m_def.keys.size()))
        fail(QStringLiteral("View %1 has no key %2 (keys 0 to %3).")
                 .arg(m_def.id)
                 .arg(keyNumber)
                 .arg(m_def.keys.size() - 1));
    m_order = keyNumber;
    m_positioned = false;
}

void ViewImpl::PrepareRead(int flags)
{
    if (m_core->logEnabled)
        m_core->logCall(m_def.id, "PrepareRead", {QString::number(flags)});
    if (m_closed)
        fail(QStringLiteral("View %1 has been closed; PrepareRead is not possible.").arg(m_def.id));
}

QVariant ViewImpl::storedValue(const Statement& st, int column, FieldType type) const
{
    switch (type) {
    case FieldType::Text:
        return st.columnText(column);
    case FieldType::Double: {
        // A stored value that is no number (a damaged file) is handed on as it is, for the
        // reader to refuse, rather than as 0.
        const QVariant stored = st.columnValue(column);
        bool number = false;
        const double value = stored.toDouble(&number);
        return number || stored.isNull() ? QVariant(value) : stored;
    }
    default:
        return int(st.columnInt(column));
    }
}

void ViewImpl::load(const Statement& st)
{
    m_rowid = st.columnInt(0);
    int column = 1;
    for (int i : m_def.storedFields) {
        if (m_def.fields[i].type == FieldType::Text)
            loadText(m_values[i], st.columnUtf8(column++), m_def.fields[i].size);
        else
            m_values[i] = storedValue(st, column++, m_def.fields[i].type);
    }
    markStored();
}

// A view read again and again (a keyed read) decodes each stored text into the string it
// already holds; a string another holds too, or one too short, is replaced by one with room
// for the field's longest text, which the next reads reuse.
void ViewImpl::loadText(QVariant& value, QByteArrayView utf8, qsizetype room)
{
    if (utf8.isNull()) {
        value = QString();
        return;
    }
    if (value.typeId() != QMetaType::QString)
        value = QString();
    QString& text = *static_cast<QString*>(value.data());
    if (!text.isDetached() || text.capacity() < utf8.size()) {
        text = QString();
        text.reserve(qMax(utf8.size(), room));
    }
    text.resize(utf8.size());
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QChar* end = decoder.appendToBuffer(text.data(), utf8);
    text.truncate(end - text.constData());
}

bool ViewImpl::Read()
{
    checkUsable("Read");
    return guarded([&] {
        const auto& key = m_def.keys[m_order];
        // The key, then the status fields the caller set, which narrow the read ("is it
        // active?"); kept in the view, so that a read allocates nothing for it.
        std::vector<int>& bound = m_bound;
        bound.assign(key.begin(), key.end());
        for (int i = 0; i < int(m_def.fields.size()); ++i)
            if (m_def.fields[i].qualifier && m_setByCaller[i] &&
                std::find(key.begin(), key.end(), i) == key.end())
                bound.push_back(i);
        // A view is mostly read the same way again: keep the last statement.
        if (!m_readStatement || m_readOrder != m_order || m_readBound != bound) {
            QByteArray sql = m_def.selectFrom + " WHERE ";
            for (size_t n = 0; n < bound.size(); ++n)
                sql += (n ? " AND " : "") + quoted(m_def.fields[bound[n]].column) + "=?";
            sql += m_def.orderBy[m_order] + " LIMIT 1";
            m_readStatement.reset();
            m_readStatement.emplace(m_db->prepare(sql));
            m_readOrder = m_order;
            m_readBound = bound;
        }
        // The statement stays leased to the view; each read leaves it rewound, so that it
        // holds no read of the store between reads.
        Statement& st = *m_readStatement;
        struct Rewind
        {
            Statement& st;
            ~Rewind() { st.rewind(); }
        } rewind{st};
        for (int n = 0; n < int(bound.size()); ++n)
            st.bind(n + 1, m_values[bound[n]]);
        if (!st.step()) {
            m_rowid = 0;
            return false;
        }
        load(st);
        return true;
    });
}

void ViewImpl::Browse(const QString& filter, bool ascending)
{
    if (m_core->logEnabled)
        m_core->logCall(m_def.id, "Browse",
                        {filter, ascending ? QStringLiteral("True") : QStringLiteral("False")});
    if (m_closed || !m_core->opened)
        fail(QStringLiteral("View %1 has been closed; Browse is not possible.").arg(m_def.id));
    try {
        CompiledFilter compiled = compileFilter(filter, m_def);
        m_where = std::move(compiled.sql);
        m_whereParams = std::move(compiled.params);
    } catch (const FilterError& e) {
        fail(QStringLiteral("The filter \"%1\" of view %2 is not valid at position %3: %4.")
                 .arg(filter, m_def.id, QString::number(e.position), e.message));
    }
    m_ascending = ascending;
    m_positioned = false;
}

bool ViewImpl::seek(bool first)
{
    return guarded([&] {
        const auto& order = m_def.orders[m_order];
        const bool after = !first && m_positioned;
        if (!after)
            if (const std::optional<bool> found = lookUpReadAhead())
                return *found;
        // Put together from the texts the view's definition prepared once.
        const QByteArray& orderBy =
            m_ascending ? m_def.orderBy[m_order] : m_def.orderByDescending[m_order];
        QByteArray& sql = m_seekSql;
        sql.resize(0);
        sql.reserve(m_def.selectFrom.size() + m_where.size() + orderBy.size() +
                    2 * m_def.orderColumns[m_order].size() + 32);
        sql.append(m_def.selectFrom);
        if (!m_where.isEmpty() || after)
            sql.append(" WHERE ");
        if (!m_where.isEmpty())
            sql.append('(').append(m_where).append(')');
        if (after) {
            if (!m_where.isEmpty())
                sql.append(" AND ");
            sql.append('(')
                .append(m_def.orderColumns[m_order])
                .append(m_ascending ? ")>(" : ")<(")
                .append(m_def.orderPlaceholders[m_order])
                .append(')');
        }
        sql.append(orderBy).append(" LIMIT 1");
        Statement st = m_db->prepare(sql);
        int n = 1;
        for (const QVariant& p : m_whereParams)
            st.bind(n++, p);
        if (after)
            for (const QVariant& p : m_position)
                st.bind(n++, p);
        if (!st.step())
            return false;
        load(st);
        m_position.clear();
        for (int i : order)
            m_position.push_back(m_values[i]);
        m_positioned = true;
        return true;
    });
}

bool ViewImpl::Fetch()
{
    checkUsable("Fetch");
    return seek(false);
}

bool ViewImpl::MoveFirst()
{
    checkUsable("MoveFirst");
    return seek(true);
}

bool ViewImpl::MoveNext()
{
    checkUsable("MoveNext");
    return seek(false);
}

void ViewImpl::insertRecord()
{
    // Numbering and the insert are one transaction, so two sessions never take one number.
    // A number taken in a transaction that is not committed is given back: the record keeps
    // what the caller gave it, and a second try numbers it again.
    std::vector<std::pair<int, QVariant>> numbered; // the fields numbered, their values before
    const qint64 rowidBefore = m_rowid;
    try {
        insertNumbered(numbered);
    } catch (...) {
        for (const auto& [i, before] : numbered)
            m_values[i] = before;
        m_rowid = rowidBefore;
        throw;
    }
}

void ViewImpl::insertNumbered(std::vector<std::pair<int, QVariant>>& numbered)
{
    Transaction tx(*m_db);
    const auto& primary = m_def.keys.front();
    for (int i : primary) {
        const FieldDef& f = m_def.fields[i];
        if (!f.autoNumber || m_values[i].toLongLong() != 0)
            continue;
        QByteArray sql =
            "SELECT COALESCE(MAX(" + quoted(f.column) + "),0)+1 FROM " + quoted(m_def.table);
        std::vector<int> others;
        for (int j : primary)
            if (j != i)
                others.push_back(j);
        for (size_t n = 0; n < others.size(); ++n)
            sql += (n ? " AND " : " WHERE ") + quoted(m_def.fields[others[n]].column) + "=?";
        Statement st = m_db->prepare(sql);
        for (size_t n = 0; n < others.size(); ++n)
            st.bind(int(n) + 1, m_values[others[n]]);
        st.step();
        const qint64 next = st.columnInt(0);
        if (next > std::numeric_limits<qint32>::max())
            fail(QStringLiteral("View %1 has run out of numbers for field %2.")
                     .arg(m_def.id, f.name));
        numbered.emplace_back(i, m_values[i]);
        m_values[i] = int(next);
    }
    QByteArray sql = "INSERT INTO " + quoted(m_def.table) + " (" +
                     columnList(m_def, m_def.storedFields) + ") VALUES (";
    for (size_t i = 0; i < m_def.storedFields.size(); ++i)
        sql += i ? ",?" : "?";
    sql += ") RETURNING " + quoted(QLatin1String(RowKeyColumn));
    {
        Statement st = m_db->prepare(sql);
        int n = 1;
        for (int i : m_def.storedFields)
            st.bind(n++, m_values[i]);
        try {
            st.step();
            m_rowid = st.columnInt(0);
        } catch (const StorageError& e) {
            if (!e.isConstraint())
                throw;
            QStringList key;
            for (int i : primary)
                key << m_values[i].toString();
            fail(QStringLiteral("A record with the key %1 already exists in view %2.")
                     .arg(key.join(u", "), m_def.id));
        }
    }
    tx.commit();
    std::fill(m_changed.begin(), m_changed.end(), false);
}

void ViewImpl::Insert()
{
    checkUsable("Insert");
    guardedWrite([&] {
        m_rules.beforeInsert(*this);
        if (!m_rules.insert(*this))
            insertRecord();
    });
}

void ViewImpl::Update()
{
    checkUsable("Update");
    guardedWrite([&] {
        // The rules' checks of the stored record (a receipt batch still open) and the write
        // are one transaction: another program cannot change the record in between.
        Transaction tx(*m_db);
        m_rules.beforeUpdate(*this);
        if (m_rules.update(*this)) {
            tx.commit();
            return;
        }
        if (m_rowid == 0)
            fail(QStringLiteral("View %1 has no current record to update; read it first.")
                     .arg(m_def.id));
        // Only the fields changed since the record was read are written: the rest of the
        // stored record stays as it is now (another program may have changed it meanwhile),
        // and a server grants billing the columns it changes, not whole records. Fields the
        // engine keeps (invoice marks, balances, batch totals) are never written back from
        // the caller's copy. The stored record comes back with the statement, so the record
        // then holds what is stored without a second one; with nothing changed it is only
        // read, which also finds a record deleted meanwhile.
        std::vector<int> changed;
        for (int i : m_def.updatableFields)
            if (m_changed[i])
                changed.push_back(i);
        QByteArray sql;
        if (changed.empty()) {
            sql = "SELECT " + m_def.selectList + " FROM " + quoted(m_def.table);
        } else {
            sql = "UPDATE " + quoted(m_def.table) + " SET ";
            for (size_t n = 0; n < changed.size(); ++n)
                sql += (n ? "," : "") + quoted(m_def.fields[changed[n]].column) + "=?";
        }
        sql += " WHERE " + quoted(QLatin1String(RowKeyColumn)) + "=?";
        if (!changed.empty())
            sql += " RETURNING " + m_def.selectList;
        {
            Statement st = m_db->prepare(sql);
            int n = 1;
            for (int i : changed)
                st.bind(n++, m_values[i]);
            st.bindInt(n, m_rowid);
            bool updated = false;
            try {
                updated = st.step();
            } catch (const StorageError& e) {
                if (!e.isConstraint())
                    throw;
                fail(QStringLiteral("The update of view %1 would duplicate the key of another "
                                    "record.")
                         .arg(m_def.id));
            }
            if (!updated)
                fail(QStringLiteral("The record of view %1 has been deleted by another user.")
                         .arg(m_def.id));
            load(st);
        } // the statement is done before the commit
        tx.commit();
    });
}

ViewImpl* ViewImpl::composed(const QString& viewId) const
{
    for (ViewImpl* v : m_composed)
        if (v && v->m_def.id == viewId)
            return v;
    return nullptr;
}

void ViewImpl::Process()
{
    checkUsable("Process");
    guarded([&] { m_rules.process(*this); });
}

void ViewImpl::Post()
{
    checkUsable("Post");
    guardedWrite([&] { m_rules.post(*this); });
}

void ViewImpl::Close()
{
    m_core->logCall(m_def.id, "Close");
    m_closed = true;
}

} // namespace Accpac
