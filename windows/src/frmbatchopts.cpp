#include <windows/frmbatchopts.h>

#include "ui_frmbatchopts.h"

#include <core/appstate.h>
#include <core/systemlocale.h>

#include <QDate>

frmBatchOpts::frmBatchOpts(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmBatchOpts>())
{
    m_ui->setupUi(this);
    m_ui->optBatch_1->setChecked(true);
    m_ui->optBatch_2->setText(m_ui->optBatch_2->text() +
                              SystemLocale::shortDate(QDate::currentDate()));
    modGeneral::BatchOption = 1;
    connect(m_ui->optBatch_1, &QRadioButton::clicked, this, [this] { optBatch_Click(1); });
    connect(m_ui->optBatch_2, &QRadioButton::clicked, this, [this] { optBatch_Click(2); });
    connect(m_ui->btnOK, &QPushButton::clicked, this, &QDialog::accept);
}

frmBatchOpts::~frmBatchOpts() = default;

void frmBatchOpts::optBatch_Click(int index)
{
    modGeneral::BatchOption = index;
}

bool frmBatchOpts::run(QWidget* parent)
{
    frmBatchOpts window(parent);
    window.exec();
    return true;
}
