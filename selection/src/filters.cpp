#include <selection/frmmain.h>

#include "ui_frmmain.h"

#include <core/clock.h>
#include <core/displaydate.h>
#include <core/msgbox.h>
#include <core/systemlocale.h>
#include <settings/settings.h>

#include <QCalendarWidget>
#include <QDate>

#include <vrexeditbox/vrexeditbox.h>

namespace {

// The date a date box holds, or an invalid date.
QDate boxDate(const VrexEditbox* box)
{
    return SystemLocale::parseDate(box->text());
}

} // namespace

void frmMain::connectControls()
{
    connect(m_ui->cboCustomer, &QComboBox::currentIndexChanged, this,
            [this] { cboCustomer_Click(); });
    connect(m_ui->cboLocation, &QComboBox::currentIndexChanged, this,
            [this] { cboLocation_Click(); });
    connect(m_ui->cboInterval, &QComboBox::currentIndexChanged, this,
            [this] { cboInterval_Click(); });
    connect(m_ui->cboDelCharge, &QComboBox::currentIndexChanged, this,
            [this] { cboDelCharge_Click(); });
    connect(m_ui->chkDateRange, &QCheckBox::toggled, this, [this] { chkDateRange_Click(); });
    // The grid's own input ticks rows only while no command works on them.
    connect(m_ui->flgMain, &OrderGrid::Click, this, [this] {
        if (!gridInUse())
            flgMain_Click();
    });
    connect(m_ui->flgMain, &OrderGrid::KeyPress, this, [this](int& key) {
        if (!gridInUse())
            flgMain_KeyPress(key);
    });
    connect(m_timer, &QTimer::timeout, this, [this] { tmrMain_Timer(); });
    connect(m_ui->btnFrom, &QToolButton::clicked, this, [this] { showCalendar(true); });
    connect(m_ui->btnTo, &QToolButton::clicked, this, [this] { showCalendar(false); });
    connect(m_ui->mvwMain, &QCalendarWidget::clicked, this,
            [this](QDate date) { mvwMain_DateClick(date); });
    for (VrexEditbox* box : {m_ui->vreFrom, m_ui->vreTo}) {
        const bool fromBox = box == m_ui->vreFrom;
        connect(box, &VrexEditbox::Change, this, [this] { DateEdited = true; });
        connect(box, &VrexEditbox::GotFocus, this, [this] { DateEdited = false; });
        connect(box, &VrexEditbox::KeyPress, this, [this, fromBox](int& key) {
            if (key == 116)
                showCalendar(fromBox);
        });
        connect(box, &VrexEditbox::Validate, this,
                [this, fromBox](bool& cancel) { dateBoxValidate(fromBox, cancel); });
    }
}

void frmMain::cboCustomer_Click()
{
    Setting::save(Setting::ShipVia, QString::number(m_ui->cboCustomer->currentIndex()));
    const bool all = m_ui->cboCustomer->currentIndex() == 0;
    if (!all) {
        m_ui->chkDateRange->hide();
        m_ui->chkDateRange->setChecked(false);
    } else if (Setting::read(Setting::DateRange) == QLatin1String("1")) {
        m_ui->chkDateRange->show();
    }
    for (QCheckBox* box : {m_ui->ChkOne, m_ui->chkThree, m_ui->chkNine})
        box->setEnabled(all);
    Show_IncludeBoxes();
}

void frmMain::cboLocation_Click()
{
    Setting::save(Setting::Warehouse, QString::number(m_ui->cboLocation->currentIndex()));
}

void frmMain::cboInterval_Click()
{
    RefreshInterval = std::int16_t(m_ui->cboInterval->currentData().toInt());
    Setting::save(Setting::Interval, QString::number(m_ui->cboInterval->currentIndex()));
}

void frmMain::chkDateRange_Click()
{
    if (!m_ui->chkDateRange->isChecked()) {
        setDateRangeControlsVisible(false);
    } else {
        const QDate today = Clock::today();
        if (m_ui->vreFrom->text().isEmpty())
            m_ui->vreFrom->setText(modGeneral::Display_Date(today.addDays(-2)));
        if (m_ui->vreTo->text().isEmpty())
            m_ui->vreTo->setText(modGeneral::Display_Date(today));
        setDateRangeControlsVisible(true);
    }
    Show_IncludeBoxes();
}

void frmMain::Show_IncludeBoxes()
{
    const bool visible = Setting::read(Setting::DateRange) == QLatin1String("1") &&
                         m_ui->cboCustomer->currentIndex() == 0 && m_ui->chkDateRange->isChecked();
    for (QWidget* widget :
         {static_cast<QWidget*>(m_ui->lblGUI_4), static_cast<QWidget*>(m_ui->ChkOne),
          static_cast<QWidget*>(m_ui->chkThree), static_cast<QWidget*>(m_ui->chkNine)})
        widget->setVisible(visible);
}

void frmMain::dateBoxValidate(bool fromBox, bool& cancel)
{
    if (!DateEdited)
        return;
    VrexEditbox* box = fromBox ? m_ui->vreFrom : m_ui->vreTo;
    // While the month calendar is open (F5 or "t" in the box) it gives the date.
    if (!boxDate(box).isValid() && m_ui->mvwMain->isHidden()) {
        // Neither a date the box could not read nor an emptied box makes a date range.
        modGeneral::MsgBox(QStringLiteral("The entered date is not a valid date.\r\n"
                                          "Please enter a valid date or use the calendar."),
                           modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Exclamation,
                           QStringLiteral("Invalid Entry"));
        cancel = true;
        box->HighlightText();
        return;
    }
    const QDate from = boxDate(m_ui->vreFrom);
    const QDate to = boxDate(m_ui->vreTo);
    if (!from.isValid() || !to.isValid())
        return;
    if (fromBox && from > to)
        m_ui->vreTo->setText(m_ui->vreFrom->text());
    else if (!fromBox && to < from)
        m_ui->vreFrom->setText(m_ui->vreTo->text());
}

void frmMain::showCalendar(bool forFrom)
{
    CalendarForFrom = forFrom;
    VrexEditbox* box = forFrom ? m_ui->vreFrom : m_ui->vreTo;
    QLabel* caption = forFrom ? m_ui->lblFrom : m_ui->lblTo;
    QCalendarWidget* calendar = m_ui->mvwMain;
    const QPoint boxTopLeft = box->mapTo(centralWidget(), QPoint(0, 0));
    const QPoint captionTopLeft = caption->mapTo(centralWidget(), QPoint(0, 0));
    calendar->adjustSize();
    calendar->move(captionTopLeft.x(), boxTopLeft.y() + box->height());
    const QDate date = boxDate(box);
    calendar->setSelectedDate(date.isValid() ? date : Clock::today());
    calendar->raise();
    calendar->show();
    calendar->setFocus();
}

void frmMain::mvwMain_DateClick(const QDate& date)
{
    VrexEditbox* box = CalendarForFrom ? m_ui->vreFrom : m_ui->vreTo;
    box->setText(modGeneral::Display_Date(date));
    const QDate from = boxDate(m_ui->vreFrom);
    const QDate to = boxDate(m_ui->vreTo);
    // The date just picked wins: a From after To moves To, a To before From moves From.
    if (from.isValid() && to.isValid() && from > to) {
        if (CalendarForFrom)
            m_ui->vreTo->setText(m_ui->vreFrom->text());
        else
            m_ui->vreFrom->setText(m_ui->vreTo->text());
    }
    box->setFocus();
    m_ui->mvwMain->hide();
}

void frmMain::tmrMain_Timer()
{
    if (SlowFetch)
        return;
    if (RefreshTicks < RefreshInterval) {
        ++RefreshTicks;
        return;
    }
    // A refresh that comes due while a command holds the grid runs when it ends.
    if (m_gridCommands > 0)
        m_refreshDue = true;
    else if (!Loading)
        Load_Grid();
    RefreshTicks = 0;
}
