#include "creditwindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

CreditWindowScript::CreditWindowScript(Answer answer) : m_answer(std::move(answer))
{
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
    m_timer.start();
}

void CreditWindowScript::poll()
{
    auto* window = qobject_cast<frmCreditCheck*>(QApplication::activeModalWidget());
    if (!window || !window->isVisible())
        return;
    if (window == m_current) {
        ++leftOpen;
        window->close();
        return;
    }
    m_current = window;
    Shown values{window->Customer,
                 window->CustID,
                 window->Total,
                 window->m_CreditAvail,
                 window->m_dblOutstand,
                 {},
                 window->ui()->lblExceed->text()};
    QTreeWidget* list = window->ui()->lvwCredit;
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        values.amounts << list->topLevelItem(row)->text(2);
    shown << values;
    m_answer(*window);
}

namespace CreditWindow {

void type(VrexEditbox* box, const QString& text)
{
    box->setFocus();
    QTest::keyClicks(box->innerEdit(), text);
}

void approve(frmCreditCheck& window, const QString& user, const QString& password)
{
    type(window.ui()->vreUser, user);
    type(window.ui()->vrePWD, password);
    QTest::mouseClick(window.ui()->btnApprove, Qt::LeftButton);
}

void cancel(frmCreditCheck& window)
{
    QTest::mouseClick(window.ui()->btnCancel, Qt::LeftButton);
}

} // namespace CreditWindow
