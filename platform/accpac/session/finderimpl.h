#pragma once

#include <accpac/finder.h>

#include <QDialog>
#include <QList>
#include <QStringList>
#include <QVariantList>

class QLineEdit;
class QTableWidget;

namespace Accpac {

class FinderImpl final : public AccpacFinder
{
public:
    void SetSession(AccpacSession* session) override { m_session = session; }
    void SetViewID(const QString& viewId) override { m_viewId = viewId; }
    void SetFilter(const QString& filter) override { m_filter = filter; }
    bool Show(QWidget* parent) override;
    QVariantList Values() const override { return m_values; }

private:
    AccpacSession* m_session = nullptr;
    QString m_viewId;
    QString m_filter;
    QVariantList m_values;
};

// The finder's list: a search box over the rows; OK or a double click picks the current row.
class FinderDialog final : public QDialog
{
    Q_OBJECT

public:
    FinderDialog(const QString& title, const QStringList& columns, const QList<QVariantList>& rows,
                 QWidget* parent = nullptr);
    // The picked row, -1 when none.
    int pickedRow() const { return m_picked; }

private:
    void applySearch(const QString& text);
    void pick();

    QLineEdit* m_search;
    QTableWidget* m_table;
    int m_picked = -1;
};

} // namespace Accpac
