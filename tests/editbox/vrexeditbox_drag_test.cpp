// Drags out of an edit box (OLEDragMode automatic) through Qt's real drag machinery: the
// mouse on the selected text starts a QDrag, whose nested event loop is driven by window
// events posted from a timer, as the window system would send them.
#include <vrexeditbox/vrexeditbox.h>

#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

namespace {

const QString kNote = QStringLiteral("application/x-vrex-note");

// A drop target that takes what it is offered with the proposed action, reading the text
// and the note format (which the source fills in only when it is read).
class Target : public QWidget
{
public:
    explicit Target(QWidget* parent) : QWidget(parent)
    {
        setAcceptDrops(true);
        setMinimumSize(200, 40);
    }
    QString text;
    QByteArray note;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
    void dragMoveEvent(QDragMoveEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override
    {
        text = event->mimeData()->text();
        note = event->mimeData()->data(kNote);
        event->acceptProposedAction();
    }
};

} // namespace

class VrexEditboxDragTest : public QObject
{
    Q_OBJECT

private:
    QWidget* m_window = nullptr;
    VrexEditbox* m_box = nullptr;
    Target* m_target = nullptr;
    QStringList m_events;
    int m_allowed = 3; // the effects the host leaves in OLEStartDrag

    QLineEdit* edit() const { return m_box->innerEdit(); }

    void newBox(const QString& text)
    {
        delete m_window;
        m_window = new QWidget;
        auto* layout = new QVBoxLayout(m_window);
        m_box = new VrexEditbox(m_window);
        m_box->setMinimumSize(200, 24);
        m_target = new Target(m_window);
        layout->addWidget(m_box);
        layout->addWidget(m_target);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        m_box->setText(text);
        m_box->setOLEDragMode(VrexEditbox::Drag_Automatic);
        m_events.clear();
        m_allowed = 3;
        connect(m_box, &VrexEditbox::OLEStartDrag, this, [this](QMimeData* data, int& allowed) {
            m_events << QStringLiteral("OLEStartDrag %1 %2").arg(data->text()).arg(allowed);
            data->setData(kNote, {}); // declared now, made only when a target reads it
            allowed = m_allowed;
        });
        connect(m_box, &VrexEditbox::OLESetData, this, [this](QMimeData* data, int& format) {
            m_events << QStringLiteral("OLESetData %1").arg(format);
            data->setData(kNote, "note of " + data->text().toUtf8());
        });
        connect(m_box, &VrexEditbox::OLEGiveFeedback, this, [this](int& effect, bool&) {
            m_events << QStringLiteral("OLEGiveFeedback %1").arg(effect);
        });
        connect(m_box, &VrexEditbox::OLECompleteDrag, this, [this](int& effect) {
            m_events << QStringLiteral("OLECompleteDrag %1").arg(effect);
        });
        connect(m_box, &VrexEditbox::MouseUp, this,
                [this](int, int, double, double) { m_events << QStringLiteral("MouseUp"); });
    }

    // A point of the inner box over the character at the given position.
    QPoint overCharacter(int position)
    {
        const int y = edit()->height() / 2;
        for (int x = 0; x < edit()->width(); ++x) {
            if (edit()->cursorPositionAt(QPoint(x, y)) == position + 1)
                return {x - 2, y};
        }
        return {-1, -1};
    }
    QPoint inWindow(QWidget* widget, QPoint at) const { return widget->mapTo(m_window, at); }

    // Presses on a character and moves the mouse away with the button held, as the window
    // system delivers it; `during` runs from a timer inside the drag's event loop.
    void dragFrom(int position, std::function<void()> during)
    {
        const QPoint from = overCharacter(position);
        QVERIFY(from.x() >= 0);
        QWindow* window = m_window->windowHandle();
        QTest::mousePress(window, Qt::LeftButton, {}, inWindow(edit(), from));
        QTimer::singleShot(0, this, std::move(during));
        QTest::mouseMove(window, inWindow(edit(), from + QPoint(30, 0)));
    }

    // The mouse goes to the target and is released there.
    void dropOnTarget()
    {
        QWindow* window = m_window->windowHandle();
        const QPoint at = inWindow(m_target, m_target->rect().center());
        QTest::mouseMove(window, at - QPoint(5, 0));
        QTest::mouseMove(window, at);
        QTest::mouseRelease(window, Qt::LeftButton, {}, at);
    }

    // The mouse is released back over the box, which takes no drops: nothing is dropped.
    void dropNowhere()
    {
        QWindow* window = m_window->windowHandle();
        const QPoint at = inWindow(edit(), QPoint(2, edit()->height() / 2));
        QTest::mouseMove(window, at);
        QTest::mouseRelease(window, Qt::LeftButton, {}, at);
    }

    // Qt's offscreen platform ends every drag at once, as dropped nowhere; the drops are
    // driven on a real X server (the _x11 run of this test under Xvfb).
    static bool dragLoopRuns() { return QGuiApplication::platformName() != u"offscreen"; }

private Q_SLOTS:
    void cleanupTestCase() { delete m_window; }

    // The selected text moves to the target: the events in order, the note made only when
    // the target reads it, the text taken out of the box as a cut takes it.
    void dragMovesTheSelectionOut()
    {
        if (!dragLoopRuns())
            QSKIP("the offscreen platform runs no drag loop");
        newBox(QStringLiteral("hello world"));
        m_box->setSelStart(6);
        m_box->setSelLength(5);
        dragFrom(8, [this] { dropOnTarget(); });
        QTRY_COMPARE(m_target->text, QStringLiteral("world"));
        QCOMPARE(m_target->note, QByteArray("note of world"));
        QCOMPARE(m_box->text(), QStringLiteral("hello "));
        QCOMPARE(edit()->text(), QStringLiteral("hello "));
        QCOMPARE(m_events, (QStringList{"OLEStartDrag world 3", "OLEGiveFeedback 2", "OLESetData 0",
                                        "OLECompleteDrag 2"}));

        // Text the host changed while the drag ran is not cut.
        newBox(QStringLiteral("hello world"));
        m_box->setSelStart(6);
        m_box->setSelLength(5);
        connect(m_box, &VrexEditbox::OLEStartDrag, this,
                [this](QMimeData*, int&) { m_box->setText(QStringLiteral("other text")); });
        dragFrom(8, [this] { dropOnTarget(); });
        QTRY_COMPARE(m_target->text, QStringLiteral("world"));
        QTRY_VERIFY(m_events.contains(QStringLiteral("OLECompleteDrag 2")));
        QCOMPARE(m_box->text(), QStringLiteral("other text"));
    }

    // Copy only (the host's choice, or a locked box's) leaves the text in the box.
    void copyLeavesTheText()
    {
        if (!dragLoopRuns())
            QSKIP("the offscreen platform runs no drag loop");
        newBox(QStringLiteral("abc"));
        m_box->HighlightText();
        m_allowed = 1;
        dragFrom(1, [this] { dropOnTarget(); });
        QTRY_COMPARE(m_target->text, QStringLiteral("abc"));
        QCOMPARE(m_box->text(), QStringLiteral("abc"));
        QTRY_VERIFY(m_events.contains(QStringLiteral("OLECompleteDrag 1")));

        newBox(QStringLiteral("abc"));
        m_box->setLocked(true);
        m_box->HighlightText();
        dragFrom(1, [this] { dropOnTarget(); });
        QTRY_COMPARE(m_target->text, QStringLiteral("abc"));
        QCOMPARE(m_events.first(), QStringLiteral("OLEStartDrag abc 1"));
        QTRY_VERIFY(m_events.contains(QStringLiteral("OLECompleteDrag 1")));
        QCOMPARE(m_box->text(), QStringLiteral("abc"));
    }

    // A drag that nobody takes ends with no effect and the text as it was; the host can
    // refuse a drag in OLEStartDrag; holding the button on the selection starts one too.
    void dragsNobodyTakes()
    {
        newBox(QStringLiteral("hello world"));
        m_box->setSelStart(6);
        m_box->setSelLength(5);
        dragFrom(8, [this] { dropNowhere(); });
        QTRY_VERIFY(m_events.contains(QStringLiteral("OLECompleteDrag 0")));
        QCOMPARE(m_events.first(), QStringLiteral("OLEStartDrag world 3"));
        QCOMPARE(m_box->text(), QStringLiteral("hello world"));
        QCOMPARE(m_target->text, QString());
        // Nobody read the note, so the host never had to make it.
        QVERIFY(m_events.filter(QStringLiteral("OLESetData")).isEmpty());

        newBox(QStringLiteral("abc"));
        m_box->HighlightText();
        m_allowed = 0;
        dragFrom(1, [this] { dropNowhere(); });
        QTRY_VERIFY(m_events.contains(QStringLiteral("MouseUp")));
        QCOMPARE(m_events.filter(QStringLiteral("OLE")), QStringList{"OLEStartDrag abc 3"});
        QCOMPARE(m_box->text(), QStringLiteral("abc"));

        newBox(QStringLiteral("abc"));
        m_box->HighlightText();
        QWindow* window = m_window->windowHandle();
        const QPoint at = inWindow(edit(), overCharacter(1));
        QTimer::singleShot(QApplication::startDragTime() + 50, this, [this] { dropNowhere(); });
        QTest::mousePress(window, Qt::LeftButton, {}, at);
        QTRY_VERIFY(m_events.contains(QStringLiteral("OLECompleteDrag 0")));
        QCOMPARE(m_events.first(), QStringLiteral("OLEStartDrag abc 3"));
    }

    // Manual drag mode, a press outside the selection, a password: no drag; a press on the
    // selection released without moving puts the caret there.
    void noDragWhereTheBoxOffersNone()
    {
        // The mouse goes from the character to the target as in a drag; nothing is dragged.
        auto noDragFrom = [this](int position) {
            dragFrom(position, [this] { dropOnTarget(); });
            QTRY_VERIFY(m_events.contains(QStringLiteral("MouseUp")));
            QVERIFY(m_events.filter(QStringLiteral("OLE")).isEmpty());
            QCOMPARE(m_target->text, QString());
        };
        newBox(QStringLiteral("hello world"));
        m_box->setOLEDragMode(VrexEditbox::Drag_Manual);
        m_box->setSelStart(6);
        m_box->setSelLength(5);
        noDragFrom(8);

        newBox(QStringLiteral("hello world"));
        m_box->setSelStart(6);
        m_box->setSelLength(5);
        noDragFrom(2);

        newBox(QStringLiteral("secret"));
        m_box->setPasswordChar(QStringLiteral("*"));
        m_box->HighlightText();
        noDragFrom(2);

        newBox(QStringLiteral("hello world"));
        m_box->setSelStart(6);
        m_box->setSelLength(5);
        const QPoint at = overCharacter(8);
        QTest::mouseClick(m_window->windowHandle(), Qt::LeftButton, {}, inWindow(edit(), at));
        QVERIFY(m_events.filter(QStringLiteral("OLE")).isEmpty());
        QCOMPARE(m_box->selLength(), 0);
        QCOMPARE(m_box->selStart(), edit()->cursorPositionAt(at));
    }
};

QTEST_MAIN(VrexEditboxDragTest)
#include "vrexeditbox_drag_test.moc"
