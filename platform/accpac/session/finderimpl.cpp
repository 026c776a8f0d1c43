#include "finderimpl.h"

#include "sessionimpl.h"
#include "standinstate.h"

#include <accpac/session.h>
#include <system/comerror.h>

#include <QDate>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace Accpac {

namespace {

// The values a picked record returns, per view: code or ID first, then its description.
QStringList finderColumns(const QString& viewId, AccpacView& view)
{
    static const QHash<QString, QStringList> columns = {
        {QStringLiteral("BK0001"), {"BANK", "NAME"}},
        {QStringLiteral("OE0440"), {"MISCCHARGE", "DESC"}},
        {QStringLiteral("AS0003"), {"USERID", "USERNAME"}},
        {QStringLiteral("AR0041"), {"CNTBTCH", "DATEBTCH", "BATCHDESC", "IDBANK"}},
        {QStringLiteral("AR0024"), {"IDCUST", "NAMECUST", "CODECURN"}},
        {QStringLiteral("OE0520"), {"ORDNUMBER", "CUSTOMER", "BILNAME"}},
        {QStringLiteral("OE0692"), {"SHINUMBER", "ORDNUMBER", "CUSTOMER"}},
        {QStringLiteral("OE0420"), {"INVNUMBER", "CUSTOMER", "BILNAME"}},
    };
    if (columns.contains(viewId))
        return columns.value(viewId);
    // Receipt types: the code field's name depends on the layout, so take the first field.
    QStringList result;
    const int count = view.Fields().Count();
    for (int i = 0; i < count && result.size() < 2; ++i)
        result << view.Fields().FieldByIndex(i).Name();
    return result;
}

} // namespace

bool FinderImpl::Show(QWidget* parent)
{
    m_values.clear();
    if (!m_session || !m_session->IsOpened())
        throw ComError(ComErrorNumber::E_Fail,
                       QStringLiteral("The finder needs a signed-on session."));
    auto link = m_session->OpenDBLink(1, 0);
    auto view = link->OpenView(m_viewId);
    const QStringList columns = finderColumns(m_viewId, *view);
    view->Browse(m_filter, true);
    QList<QVariantList> rows;
    constexpr int MaxRows = 20000;
    while (rows.size() < MaxRows && view->Fetch()) {
        QVariantList row;
        for (const QString& c : columns)
            row << view->Field(c).GetValue();
        rows << row;
    }
    view->Close();

    int picked = -1;
    if (const auto& picker = State::finderPicker()) {
        picked = picker(rows);
    } else {
        FinderDialog dialog(QStringLiteral("Finder - %1").arg(m_viewId), columns, rows, parent);
        if (dialog.exec() == QDialog::Accepted)
            picked = dialog.pickedRow();
    }
    if (picked < 0 || picked >= rows.size())
        return false;
    m_values = rows.at(picked);
    return true;
}

FinderDialog::FinderDialog(const QString& title, const QStringList& columns,
                           const QList<QVariantList>& rows, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    setModal(true);
    // A finder only asks for a value: its host's window does not activate anew when it
    // closes (the desktop's rule for such dialogs reads this property).
    setProperty("activationPassesOver", true);
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("txtSearch"));
    m_search->setPlaceholderText(tr("Search"));
    m_table = new QTableWidget(int(rows.size()), int(columns.size()), this);
    m_table->setObjectName(QStringLiteral("tblRecords"));
    m_table->setHorizontalHeaderLabels(columns);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < columns.size() && c < rows[r].size(); ++c) {
            const QVariant& v = rows[r][c];
            const QString text =
                v.typeId() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate) : v.toString();
            auto* item = new QTableWidgetItem(text);
            item->setData(Qt::UserRole, r);
            m_table->setItem(r, c, item);
        }
    }
    m_table->resizeColumnsToContents();
    if (!rows.isEmpty())
        m_table->selectRow(0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnSelect"));
    buttons->button(QDialogButtonBox::Ok)->setText(tr("&Select"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &FinderDialog::pick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, &FinderDialog::pick);
    connect(m_search, &QLineEdit::textChanged, this, &FinderDialog::applySearch);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    resize(560, 380);
}

void FinderDialog::applySearch(const QString& text)
{
    const QString needle = text.trimmed();
    int first = -1;
    for (int r = 0; r < m_table->rowCount(); ++r) {
        bool match = needle.isEmpty();
        for (int c = 0; !match && c < m_table->columnCount(); ++c)
            if (auto* item = m_table->item(r, c))
                match = item->text().contains(needle, Qt::CaseInsensitive);
        m_table->setRowHidden(r, !match);
        if (match && first < 0)
            first = r;
    }
    if (first >= 0)
        m_table->selectRow(first);
    else
        m_table->clearSelection();
}

void FinderDialog::pick()
{
    const auto selected = m_table->selectionModel()->selectedRows();
    if (selected.isEmpty() || m_table->isRowHidden(selected.first().row()))
        return;
    m_picked = selected.first().row();
    accept();
}

} // namespace Accpac
