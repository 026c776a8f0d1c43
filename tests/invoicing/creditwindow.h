#pragma once

#include <invoicing/frmcreditcheck.h>

#include "ui_frmcreditcheck.h"

#include <QPointer>
#include <QTimer>

#include <functional>

// Stands in for the supervisor at the credit approval window an invoice run shows modally:
// each window that opens is handed once to the answer, which works it through its controls
// and closes it. A window the answer leaves open is cancelled, so that no test waits for
// a user who is not there. Restores nothing: it only watches while it lives.
class CreditWindowScript
{
public:
    using Answer = std::function<void(frmCreditCheck&)>;
    explicit CreditWindowScript(Answer answer);

    // The values each window was shown with, in order.
    struct Shown
    {
        QString customer;
        QString custId;
        double total = 0;
        double creditAvail = 0;
        double outstanding = 0;
        QStringList amounts; // the amount column of lvwCredit, row by row
        QString exceed;      // lblExceed
    };
    QList<Shown> shown;
    int leftOpen = 0;

private:
    void poll();

    Answer m_answer;
    QTimer m_timer;
    QPointer<frmCreditCheck> m_current;
};

namespace CreditWindow {

// Types into an edit box as the keyboard does.
void type(VrexEditbox* box, const QString& text);
// Types the user and password and presses Approve.
void approve(frmCreditCheck& window, const QString& user, const QString& password);
// Presses Cancel.
void cancel(frmCreditCheck& window);

} // namespace CreditWindow
