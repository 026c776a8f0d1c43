#pragma once

#include <QLineEdit>

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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    VrexEditboxPrivate* m_box;
};

namespace vrex {
// Windows key code and shift mask of a Qt key event, and the character it types (0 when it
// types none: arrows, Delete, function keys).
int virtualKey(const QKeyEvent* event);
int shiftMask(Qt::KeyboardModifiers modifiers);
char16_t typedCharacter(const QKeyEvent* event);
int mouseButtons(Qt::MouseButtons buttons);
} // namespace vrex
