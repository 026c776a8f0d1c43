#pragma once

#include <QDate>
#include <QDialog>
#include <QPointer>

#include <memory>

class QCalendarWidget;

namespace Ui {
class frmCalendar;
}

// The month calendar that drops down under a date box. The caller sets the public members,
// then shows the window modally; a click on a date writes the date, in the short date
// format, into the box's "Text" and hides the calendar. A click elsewhere, or the calendar
// losing the focus, hides it without touching the box.
class frmCalendar : public QDialog
{
    Q_OBJECT

public:
    explicit frmCalendar(QWidget* parent = nullptr);
    ~frmCalendar() override;

    Ui::frmCalendar* ui() const { return m_ui.get(); }

    // Screen position of the calendar's top and left edge, in twips, before the small
    // offset the window adds.
    int dssFormTop = 0;
    int dssFormLeft = 0;
    // The month shown first, with this date selected.
    QDate dssStartDate;
    // The date box that receives the clicked date.
    QPointer<QWidget> dssControl;

    void mvwCal_DateClick(const QDate& date);
    void mvwCal_LostFocus();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void Form_Activate();

    std::unique_ptr<Ui::frmCalendar> m_ui;
};
