#pragma once

#include <invoicing/batchpreview.h>

#include <QDialog>

#include <memory>

namespace Ui {
class frmBatchPreview;
}

// Shows what a batch run would do: one line per invoice to create (expandable to its rows,
// with its rule and marks), the rows left out with their reason, the count and the amount.
// "Run batch now" closes it accepted; Close rejected.
class frmBatchPreview : public QDialog
{
    Q_OBJECT

public:
    frmBatchPreview(const BatchPreview& preview, QWidget* parent = nullptr);
    ~frmBatchPreview() override;

    Ui::frmBatchPreview* ui() const { return m_ui.get(); }

private:
    void fill(const BatchPreview& preview);

    std::unique_ptr<Ui::frmBatchPreview> m_ui;
};
