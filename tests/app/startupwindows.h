#pragma once

#include <windows/frmsplash.h>

#include <QApplication>
#include <QList>
#include <QWidget>

// The program's windows that start-up left on the screen.
template <class Window> QList<Window*> visibleWindows()
{
    QList<Window*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<Window*>(widget); window && window->isVisible())
            windows.append(window);
    }
    return windows;
}

// Deletes every splash still around, so that no timer of one test unloads it in another.
inline void releaseSplashes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* splash = qobject_cast<frmSplash*>(widget))
            delete splash;
    }
}
