#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmBatchOpts;
}

// Asks how a batch invoicing run selects its shipments and leaves the answer in the
// program-wide modGeneral::BatchOption: 1 all valid shipments, 2 only today's.
class frmBatchOpts : public QDialog
{
    Q_OBJECT

public:
    explicit frmBatchOpts(QWidget* parent = nullptr);
    ~frmBatchOpts() override;

    Ui::frmBatchOpts* ui() const { return m_ui.get(); }

    // Shows the window modally. However it is closed, the batch run goes on with the last
    // option chosen, so the answer is always true.
    static bool run(QWidget* parent);

private:
    void optBatch_Click(int index);

    std::unique_ptr<Ui::frmBatchOpts> m_ui;
};
