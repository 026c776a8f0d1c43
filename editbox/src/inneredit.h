#pragma once

#include <QBasicTimer>
#include <QLineEdit>
#include <QMimeData>

class VrexEditboxPrivate;

// The inner line edit "txtEdit": hands every key, mouse and focus event to its edit box
// first, which decides what the line edit itself still does.
class InnerEdit : public QLineEdit
{
public:
    InnerEdit(VrexEditboxPrivate* box, QWidget* parent);
    void baseKeyPress(QKeyEvent* event) { QLineEdit::keyPressEvent(event); }
    // From now on the line edit is on its own (its box is going away).
    void detach() { m_box = nullptr; }
    // The character shown for each character of a password (none: the text is shown).
    void setPasswordCharacter(QChar character);
    // No border, the style's 3D frame, or a flat single line.
    void setBorder(bool border, bool flat);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    bool manualDrop() const;
    void dragOver(QDropEvent* event, int state);
    // Drags out of the box (OLEDragMode automatic): a left press on the selected text
    // starts one once the mouse moves or stays down long enough.
    bool pressStartsDrag(const QMouseEvent* event);
    void dragSelection();

    VrexEditboxPrivate* m_box;
    const QMimeData* m_dragData = nullptr; // of the drag over the box, for its leave event
    QPointF m_dragPosition;
    QPoint m_pressPosition;  // of a press that may start a drag out of the box
    QBasicTimer m_dragTimer; // runs while such a press waits to become a drag
    QStyle* m_passwordStyle = nullptr;
    bool m_flat = false;
};

namespace vrex {
// Windows key code and shift mask of a Qt key event, and the character it types (0 when it
// types none: arrows, Delete, function keys).
int virtualKey(const QKeyEvent* event);
int shiftMask(Qt::KeyboardModifiers modifiers);
char16_t typedCharacter(const QKeyEvent* event);
// Whether the key types text that typedCharacter cannot hand to the box as one character.
bool typesUnhandledText(const QKeyEvent* event);
int mouseButtons(Qt::MouseButtons buttons);
} // namespace vrex
