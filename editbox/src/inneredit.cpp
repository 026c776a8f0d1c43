#include "inneredit.h"
#include "dragsource.h"
#include "vrexeditbox_p.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>

namespace vrex {

namespace {

// The unshifted key of a shifted symbol on the US layout, and the Windows codes of the
// punctuation keys.
int punctuationKey(int key)
{
    static const char* const shifted = ")!@#$%^&*(";
    for (int i = 0; i < 10; ++i) {
        if (key == shifted[i])
            return '0' + i;
    }
    switch (key) {
    case ';':
    case ':':
        return 186;
    case '=':
    case '+':
        return 187;
    case ',':
    case '<':
        return 188;
    case '-':
    case '_':
        return 189;
    case '.':
    case '>':
        return 190;
    case '/':
    case '?':
        return 191;
    case '`':
    case '~':
        return 192;
    case '[':
    case '{':
        return 219;
    case '\\':
    case '|':
        return 220;
    case ']':
    case '}':
        return 221;
    case '\'':
    case '"':
        return 222;
    default:
        return 0;
    }
}

} // namespace

int virtualKey(const QKeyEvent* event)
{
    const int key = event->key();
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
        if (key <= Qt::Key_9 && (event->modifiers() & Qt::KeypadModifier))
            return 96 + (key - Qt::Key_0);
        return key;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 112 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace:
        return KeyBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return KeyTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return KeyReturn;
    case Qt::Key_Shift:
        return KeyShift;
    case Qt::Key_Control:
        return KeyControl;
    case Qt::Key_Alt:
        return KeyMenu;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_CapsLock:
        return 20;
    case Qt::Key_Escape:
        return KeyEscape;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return KeyLeft;
    case Qt::Key_Up:
        return KeyUp;
    case Qt::Key_Right:
        return KeyRight;
    case Qt::Key_Down:
        return KeyDown;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        break;
    }
    return key > 0x20 && key < 0x7f ? punctuationKey(key) : 0;
}

int shiftMask(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? ShiftMaskShift : 0) |
           (modifiers & Qt::ControlModifier ? ShiftMaskCtrl : 0) |
           (modifiers & Qt::AltModifier ? ShiftMaskAlt : 0);
}

char16_t typedCharacter(const QKeyEvent* event)
{
    const int key = event->key();
    switch (key) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Delete:
        return 0;
    default:
        break;
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier)) {
        // Ctrl with a letter types the control character of that letter (Ctrl+C is 3).
        return key >= Qt::Key_A && key <= Qt::Key_Z ? char16_t(key - Qt::Key_A + 1) : 0;
    }
    const QString text = event->text();
    if (text.isEmpty())
        return 0;
    const QChar c = text.front();
    if (c.isSurrogate() || c.unicode() < 32 || c.unicode() == 127)
        return 0;
    return c.unicode();
}

bool typesUnhandledText(const QKeyEvent* event)
{
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    return c.isSurrogate() || (c.isPrint() && typedCharacter(event) == 0 &&
                               !(event->modifiers() & Qt::ControlModifier));
}

int mouseButtons(Qt::MouseButtons buttons)
{
    return (buttons & Qt::LeftButton ? ButtonLeft : 0) |
           (buttons & Qt::RightButton ? ButtonRight : 0) |
           (buttons & Qt::MiddleButton ? ButtonMiddle : 0);
}

} // namespace vrex

InnerEdit::InnerEdit(VrexEditboxPrivate* box, QWidget* parent) : QLineEdit(parent), m_box(box)
{
    setObjectName(QStringLiteral("txtEdit"));
    setMaxLength(32767);
}

namespace {

// The style of a password box: the application's, with the box's own password character.
class PasswordStyle : public QProxyStyle
{
public:
    PasswordStyle(QChar character, QObject* owner) : m_character(character) { setParent(owner); }
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return m_character.unicode();
        return QProxyStyle::styleHint(hint, option, widget, data);
    }

private:
    QChar m_character;
};

} // namespace

void InnerEdit::setPasswordCharacter(QChar character)
{
    QStyle* old = m_passwordStyle;
    m_passwordStyle = character.isNull() ? nullptr : new PasswordStyle(character, this);
    setStyle(m_passwordStyle);
    delete old;
    setEchoMode(character.isNull() ? QLineEdit::Normal : QLineEdit::Password);
}

void InnerEdit::setBorder(bool border, bool flat)
{
    // 3D is the style's own sunken frame; flat is a single line drawn by the box.
    m_flat = border && flat;
    setFrame(border && !flat);
    setTextMargins(m_flat ? QMargins(1, 1, 1, 1) : QMargins());
    update();
}

void InnerEdit::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    if (!m_flat)
        return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void InnerEdit::keyPressEvent(QKeyEvent* event)
{
    if (!m_box)
        return QLineEdit::keyPressEvent(event);
    m_box->keyPress(event);
}

void InnerEdit::keyReleaseEvent(QKeyEvent* event)
{
    if (!m_box)
        return QLineEdit::keyReleaseEvent(event);
    QLineEdit::keyReleaseEvent(event);
    if (!event->isAutoRepeat())
        m_box->keyRelease(event);
}

void InnerEdit::focusInEvent(QFocusEvent* event)
{
    if (!m_box)
        return QLineEdit::focusInEvent(event);
    QLineEdit::focusInEvent(event);
    m_box->focusIn(event->reason());
}

void InnerEdit::focusOutEvent(QFocusEvent* event)
{
    if (!m_box)
        return QLineEdit::focusOutEvent(event);
    m_box->syncFromEdit();
    QLineEdit::focusOutEvent(event);
    m_box->leave(event->reason());
}

void InnerEdit::mousePressEvent(QMouseEvent* event)
{
    if (!m_box)
        return QLineEdit::mousePressEvent(event);
    if (pressStartsDrag(event)) {
        // The selection stays as it is while the press may still become a drag.
        m_pressPosition = event->position().toPoint();
        m_dragTimer.start(QApplication::startDragTime(), this);
    } else {
        QLineEdit::mousePressEvent(event);
    }
    m_box->mousePress(event);
}

void InnerEdit::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_box)
        return QLineEdit::mouseReleaseEvent(event);
    if (m_dragTimer.isActive()) {
        // A click on the selection that never became a drag puts the caret there.
        m_dragTimer.stop();
        setCursorPosition(cursorPositionAt(event->position().toPoint()));
    }
    QLineEdit::mouseReleaseEvent(event);
    m_box->mouseRelease(event);
}

void InnerEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!m_box)
        return QLineEdit::mouseDoubleClickEvent(event);
    QLineEdit::mouseDoubleClickEvent(event);
    m_box->syncFromEdit();
    m_box->doubleClicked = true;
    Q_EMIT m_box->q->DblClick();
}

void InnerEdit::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_box)
        return QLineEdit::mouseMoveEvent(event);
    if (!m_dragTimer.isActive())
        QLineEdit::mouseMoveEvent(event);
    m_box->syncFromEdit();
    Q_EMIT m_box->q->MouseMove(vrex::mouseButtons(event->buttons()),
                               vrex::shiftMask(event->modifiers()), event->position().x(),
                               event->position().y());
    if (m_dragTimer.isActive() && (event->buttons() & Qt::LeftButton) &&
        (event->position().toPoint() - m_pressPosition).manhattanLength() >
            QApplication::startDragDistance())
        dragSelection();
}

void InnerEdit::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_dragTimer.timerId())
        return dragSelection();
    QLineEdit::timerEvent(event);
}

bool InnerEdit::pressStartsDrag(const QMouseEvent* event)
{
    // A password is never dragged out, as it is never copied.
    if (m_box->q->oleDragMode() != VrexEditbox::Drag_Automatic ||
        event->button() != Qt::LeftButton || (event->modifiers() & Qt::ShiftModifier) ||
        echoMode() != QLineEdit::Normal || !hasSelectedText())
        return false;
    const int at = cursorPositionAt(event->position().toPoint());
    return at >= selectionStart() && at < selectionEnd();
}

void InnerEdit::dragSelection()
{
    m_dragTimer.stop();
    VrexEditbox* box = m_box->q;
    const int start = selectionStart();
    const int length = selectionLength();
    const QString dragged = selectedText();
    auto* data = new vrex::DragData(box);
    data->setText(dragged);
    // The host may add formats and narrow the effects; a locked box only lets its text be
    // copied.
    int allowed = isReadOnly() ? 1 : 3;
    Q_EMIT box->OLEStartDrag(data, allowed);
    allowed &= isReadOnly() ? 1 : 3;
    if (allowed == 0) {
        delete data;
        return;
    }

    // Qt owns the drag once it runs (a window system may finish it later and delete it).
    QPointer<QDrag> drag = new QDrag(this);
    drag->setMimeData(data);
    QObject::connect(drag, &QDrag::actionChanged, this, [box, drag](Qt::DropAction action) {
        int effect = vrex::dropEffects(action);
        bool defaultCursors = true;
        Q_EMIT box->OLEGiveFeedback(effect, defaultCursors);
        // The host's own pointer (a pixmap cursor it set) stays for this effect.
        const QCursor* own = QGuiApplication::overrideCursor();
        if (drag && !defaultCursors && own && !own->pixmap().isNull())
            drag->setDragCursor(own->pixmap(), action);
    });
    const Qt::DropAction done =
        drag->exec(vrex::dropActions(allowed), allowed & 2 ? Qt::MoveAction : Qt::CopyAction);
    if (!m_box)
        return;
    // The release that ended the drag went to the drop target.
    m_box->engine.mouseUp(vrex::ButtonLeft);
    // A move out of the box takes the text away, as a cut does (a move within the box is
    // the drop's own work; text the host changed meanwhile is left alone).
    if (done == Qt::MoveAction && (!drag || drag->target() != this) && !isReadOnly() &&
        text().mid(start, length) == dragged) {
        setSelection(start, length);
        del();
        m_box->syncFromEdit();
    }
    int effect = vrex::dropEffects(done);
    Q_EMIT box->OLECompleteDrag(effect);
}

void InnerEdit::contextMenuEvent(QContextMenuEvent* event)
{
    if (!m_box)
        return QLineEdit::contextMenuEvent(event);
    // The menu's own paste is a paste: the right button allows the clipboard keys.
    m_box->engine.mouseDown(vrex::ButtonRight);
    QLineEdit::contextMenuEvent(event);
    // The menu took the button's release; the button is up again now.
    m_box->engine.mouseUp(vrex::ButtonRight);
    m_box->engine.setClipboardKeysAllowed(false);
    m_box->syncFromEdit();
}

namespace {

// Takes the effect the host left: none refuses the drop, otherwise copy before move.
void applyEffect(QDropEvent* event, int effect)
{
    if (effect & 1)
        event->setDropAction(Qt::CopyAction);
    else if (effect & 2)
        event->setDropAction(Qt::MoveAction);
    if (effect & 3)
        event->accept();
    else
        event->ignore();
}

} // namespace

bool InnerEdit::manualDrop() const
{
    return m_box && m_box->q->oleDropMode() == VrexEditbox::Drop_Manual;
}

void InnerEdit::dragOver(QDropEvent* event, int state)
{
    m_dragData = event->mimeData();
    m_dragPosition = event->position();
    int effect = vrex::dropEffects(event->possibleActions());
    Q_EMIT m_box->q->OLEDragOver(event->mimeData(), effect, vrex::mouseButtons(event->buttons()),
                                 vrex::shiftMask(event->modifiers()), event->position().x(),
                                 event->position().y(), state);
    applyEffect(event, effect);
}

void InnerEdit::dragEnterEvent(QDragEnterEvent* event)
{
    // Manual: the host decides through OLEDragOver; automatic: the line edit's own handling.
    if (!manualDrop())
        return QLineEdit::dragEnterEvent(event);
    dragOver(event, 0);
}

void InnerEdit::dragMoveEvent(QDragMoveEvent* event)
{
    if (!manualDrop())
        return QLineEdit::dragMoveEvent(event);
    dragOver(event, 2);
}

void InnerEdit::dragLeaveEvent(QDragLeaveEvent* event)
{
    if (!manualDrop())
        return QLineEdit::dragLeaveEvent(event);
    int effect = 0;
    Q_EMIT m_box->q->OLEDragOver(m_dragData, effect, 0, 0, m_dragPosition.x(), m_dragPosition.y(),
                                 1);
    m_dragData = nullptr;
}

void InnerEdit::dropEvent(QDropEvent* event)
{
    if (!m_box)
        return QLineEdit::dropEvent(event);
    m_dragData = nullptr;
    if (manualDrop()) {
        // The host takes the data; the box inserts nothing itself.
        int effect = vrex::dropEffects(event->possibleActions());
        Q_EMIT m_box->q->OLEDragDrop(
            event->mimeData(), effect, vrex::mouseButtons(event->buttons()),
            vrex::shiftMask(event->modifiers()), event->position().x(), event->position().y());
        applyEffect(event, effect);
        return;
    }
    // An automatic drop is checked like a paste.
    m_box->engine.setClipboardKeysAllowed(true);
    QLineEdit::dropEvent(event);
    m_box->engine.setClipboardKeysAllowed(false);
    m_box->syncFromEdit();
}

void InnerEdit::inputMethodEvent(QInputMethodEvent* event)
{
    if (!m_box)
        return QLineEdit::inputMethodEvent(event);
    // The box builds its text itself: only committed characters count, typed one by one.
    m_box->typeCommitted(event->commitString());
    event->accept();
}
