#include <core/stylebuttons.h>

#include <core/appstate.h>

#include <QPushButton>
#include <QToolButton>
#include <QWidget>

namespace modGeneral {

void Style_Buttons(QWidget* window)
{
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!qobject_cast<QPushButton*>(button) && !qobject_cast<QToolButton*>(button))
            continue;
        if (IsWinXP) {
            const QVariant type = button->property("ButtonType");
            if (!type.isValid())
                continue;
            if (type.toInt() == 2) {
                button->setProperty("ButtonType", 3);
                button->setProperty("MouseOver", SystemButtonText);
            } else if (type.toInt() == 7) {
                button->setProperty("ButtonType", 9);
            }
        } else {
            button->setProperty("BackColor", SystemButtonFace);
            button->setBackgroundRole(QPalette::Button);
            button->setAutoFillBackground(true);
        }
    }
}

} // namespace modGeneral
