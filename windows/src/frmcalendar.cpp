#include <windows/frmcalendar.h>

#include "ui_frmcalendar.h"

#include <core/displaydate.h>
#include <core/reporters.h>
#include <core/twips.h>

#include <system/comerror.h>

#include <QApplication>
#include <QCalendarWidget>

namespace {

// Raised on Windows when the calendar is hidden while another modal window lies on top.
constexpr std::int32_t ModalWindowOnTop = 402;

} // namespace

frmCalendar::frmCalendar(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmCalendar>())
{
    m_ui->setupUi(this);
    // A drop-down: no frame, and a click outside it closes it.
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    connect(m_ui->mvwCal, &QCalendarWidget::clicked, this,
            [this](QDate date) { mvwCal_DateClick(date); });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (isVisible() && now && now->window() != this)
            mvwCal_LostFocus();
    });
    Form_Load();
}

frmCalendar::~frmCalendar() = default;

void frmCalendar::Form_Load()
{
    // The window is exactly the month calendar.
    QCalendarWidget* calendar = m_ui->mvwCal;
    calendar->resize(calendar->sizeHint());
    calendar->move(0, 0);
    setFixedSize(calendar->size());
}

void frmCalendar::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Form_Activate();
}

void frmCalendar::Form_Activate()
{
    move(Twips::toPixels(dssFormLeft + 45, logicalDpiX()),
         Twips::toPixels(dssFormTop + 15, logicalDpiY()));
    const QDate start = dssStartDate.isValid() ? dssStartDate : QDate::currentDate();
    m_ui->mvwCal->setSelectedDate(start);
    m_ui->mvwCal->setCurrentPage(start.year(), start.month());
    m_ui->mvwCal->setFocus(Qt::PopupFocusReason);
}

void frmCalendar::mvwCal_DateClick(const QDate& date)
{
    if (dssControl) {
        // The typed edit box publishes its text as "Text", a plain text box as "text".
        const char* property =
            dssControl->metaObject()->indexOfProperty("Text") >= 0 ? "Text" : "text";
        dssControl->setProperty(property, modGeneral::Display_Date(date));
    }
    hide();
}

void frmCalendar::mvwCal_LostFocus()
{
    try {
        hide();
    } catch (const std::exception& failure) {
        if (comErrorOf(failure).number() != ModalWindowOnTop)
            modGeneral::reportFailure(failure, QStringLiteral("frmCalendar.mvwCal_LostFocus"),
                                      modGeneral::Reporter::Messenger);
    }
}
