#include <core/activation.h>

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace Activation {
namespace {

// A dialog outside the program's code that only asks for something (the accounting system's
// finder) says so with this property.
const char* const PassOverProperty = "activationPassesOver";

// Qt's own dialogs, wherever they are opened (the printing screen's file and print dialogs,
// the edit box's warning): each takes the focus for a moment, as a message box does.
const char* const QtDialogs[] = {"QMessageBox",      "QFileDialog",         "QAbstractPrintDialog",
                                 "QPageSetupDialog", "QPrintPreviewDialog", "QInputDialog",
                                 "QColorDialog",     "QFontDialog",         "QProgressDialog",
                                 "QErrorMessage"};

// One of those dialogs, or a window opened from one (the print dialog's printer properties).
bool passesOver(const QWidget* window)
{
    for (; window; window = window->parentWidget() ? window->parentWidget()->window() : nullptr) {
        if (window->property(PassOverProperty).toBool())
            return true;
        for (const char* dialog : QtDialogs)
            if (window->inherits(dialog))
                return true;
    }
    return false;
}

// The handler of one window, kept as the window's child so that it dies with it.
class Handler : public QObject
{
public:
    Handler(QWidget* window, std::function<void()> body) : QObject(window), m_body(std::move(body))
    {
    }

    void run()
    {
        if (m_running)
            return;
        m_running = true;
        // The window may close inside its handler, and this object with it.
        const QPointer<Handler> alive(this);
        m_body();
        if (alive)
            m_running = false;
    }

private:
    std::function<void()> m_body;
    bool m_running = false;
};

// Watches every window of the program becoming active and remembers the last one that is
// not passed over. Another program taking the focus activates none of ours, so coming back
// from it finds the same window remembered.
class Tracker : public QObject
{
public:
    static Tracker& instance()
    {
        static auto* tracker = [] {
            auto* created = new Tracker(qApp);
            qApp->installEventFilter(created);
            return created;
        }();
        return *tracker;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::WindowActivate)
            return false;
        auto* window = qobject_cast<QWidget*>(watched);
        if (!window || !window->isWindow() || passesOver(window) || window == m_current)
            return false;
        m_current = window;
        for (QObject* child : window->children()) {
            if (auto* handler = dynamic_cast<Handler*>(child)) {
                handler->run();
                break;
            }
        }
        return false;
    }

private:
    using QObject::QObject;
    QPointer<QWidget> m_current;
};

} // namespace

void onActivate(QWidget* window, std::function<void()> handler)
{
    Tracker::instance();
    new Handler(window, std::move(handler));
}

} // namespace Activation
