#include "vrexeditbox_p.h"

#include <vrexeditbox/localesource.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>

namespace {

VrexEditbox::MessageHook& messageHook()
{
    static VrexEditbox::MessageHook hook;
    return hook;
}

std::function<void()>& beepHook()
{
    static std::function<void()> hook;
    return hook;
}

std::function<QDate()>& clockHook()
{
    static std::function<QDate()> hook;
    return hook;
}

const VrexLocaleSource*& localeSourceHook()
{
    static const VrexLocaleSource* source = nullptr;
    return source;
}

// Reads whichever locale source is installed at the moment of the focus gain.
class CurrentLocaleSource : public VrexLocaleSource
{
public:
    VrexLocaleValues read() const override
    {
        if (const VrexLocaleSource* source = localeSourceHook())
            return source->read();
        return QtLocaleSource::valuesFor(QLocale::system());
    }
};

class SystemClipboard : public vrex::Clipboard
{
public:
    QString text() const override { return QGuiApplication::clipboard()->text(); }
    void setText(const QString& text) override { QGuiApplication::clipboard()->setText(text); }
};

CurrentLocaleSource g_currentLocale;
SystemClipboard g_systemClipboard;

QDate today()
{
    return clockHook() ? clockHook()() : QDate::currentDate();
}

} // namespace

VrexEditboxPrivate::VrexEditboxPrivate(VrexEditbox* owner)
    : q(owner), edit(new InnerEdit(this, owner))
{
    engine.setLocaleSource(&g_currentLocale);
    engine.setClipboard(&g_systemClipboard);
    engine.setToday(&today);
    engine.settings().centuryYear = vrex::defaultCenturyYear(today().year());
    engine.onBeep = [] {
        if (beepHook())
            beepHook()();
        else
            QApplication::beep();
    };
    engine.onChange = [this] {
        syncToEdit();
        Q_EMIT q->Change();
    };
    QObject::connect(edit, &QLineEdit::textChanged, q, [this] { editChanged(); });
}

void VrexEditboxPrivate::syncToEdit()
{
    syncing = true;
    if (edit->text() != engine.text())
        edit->setText(engine.text());
    if (engine.selLength() > 0)
        edit->setSelection(engine.selStart(), engine.selLength());
    else
        edit->setCursorPosition(engine.selStart());
    syncing = false;
}

void VrexEditboxPrivate::syncFromEdit()
{
    if (edit->hasSelectedText())
        engine.setSelection(edit->selectionStart(), edit->selectionLength());
    else
        engine.setSelection(edit->cursorPosition(), 0);
}

void VrexEditboxPrivate::editChanged()
{
    // A change the line edit made itself: Delete, the context menu, a drop, its undo.
    if (syncing)
        return;
    const int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    engine.textEdited(edit->text(), start, edit->selectionLength());
    syncToEdit();
}

void VrexEditboxPrivate::showBackColor(uint color)
{
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, VrexEditbox::toColor(color));
    edit->setPalette(palette);
}

void VrexEditboxPrivate::showForeColor(uint color)
{
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Text, VrexEditbox::toColor(color));
    edit->setPalette(palette);
}

void VrexEditboxPrivate::markChanged(const char* name)
{
    Q_EMIT q->propertyChanged(QString::fromLatin1(name));
}

void VrexEditboxPrivate::message(const QString& text)
{
    const QString title = QStringLiteral("vrexeditbox");
    if (messageHook()) {
        messageHook()(text, title);
        return;
    }
    QMessageBox::warning(QApplication::activeWindow(), title, text);
}

void VrexEditboxPrivate::invalidValue()
{
    // The inner box's own error for a value it cannot take.
    message(QStringLiteral("Invalid property value."));
}

void VrexEditboxPrivate::keyPress(QKeyEvent* event)
{
    syncFromEdit();
    const int shift = vrex::shiftMask(event->modifiers());
    int keyCode = vrex::virtualKey(event);
    engine.keyDown(keyCode, shift);
    syncToEdit();
    Q_EMIT q->KeyDown(keyCode, shift);

    const char16_t typed = vrex::typedCharacter(event);
    if (typed == 0) {
        if (keyCode == 0 && vrex::virtualKey(event) != 0) {
            event->accept(); // the host took the key
            return;
        }
        // Navigation and Delete stay the line edit's own; its paste and cut keys are
        // checked as pastes.
        if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut))
            engine.setClipboardKeysAllowed(true);
        edit->baseKeyPress(event);
        syncFromEdit();
        return;
    }

    typeCharacter(typed);
    // Enter goes on to the window (its default button), as a line edit lets it.
    if (typed == 13)
        event->ignore();
    else
        event->accept();
}

void VrexEditboxPrivate::typeCharacter(char16_t typed)
{
    const QString textBefore = engine.text();
    const int startBefore = engine.selStart();
    const int lengthBefore = engine.selLength();
    // A password box never hands its text to the clipboard.
    if (!passwordChar.isEmpty() && (typed == 3 || typed == 24))
        engine.setClipboardKeysAllowed(false);
    const vrex::KeyPressResult result = engine.keyPress(typed);
    syncToEdit();
    int keyAscii = result.character;
    Q_EMIT q->KeyPress(keyAscii);
    if (keyAscii != result.character && !engine.settings().locked) {
        // The host changed the character: the key counts as if it had typed that one.
        engine.textEdited(textBefore, startBefore, lengthBefore);
        if (keyAscii > 0 && keyAscii <= 0xFFFF)
            engine.keyPress(char16_t(keyAscii));
        syncToEdit();
    }
}

void VrexEditboxPrivate::typeCommitted(const QString& text)
{
    // Characters from an input method arrive without keys; each is typed as one.
    for (QChar c : text) {
        if (c.isSurrogate())
            continue;
        syncFromEdit();
        engine.keyDown(0, 0);
        typeCharacter(c.unicode());
    }
}

void VrexEditboxPrivate::keyRelease(QKeyEvent* event)
{
    syncFromEdit();
    const int shift = vrex::shiftMask(event->modifiers());
    int keyCode = vrex::virtualKey(event);
    engine.keyUp(keyCode, shift);
    syncToEdit();
    Q_EMIT q->KeyUp(keyCode, shift);
}

void VrexEditboxPrivate::focusIn(Qt::FocusReason reason)
{
    // Coming back from another window or a menu, or after a refused entry, is no new
    // focus gain.
    if (focused) {
        refocusing = false;
        syncToEdit();
        return;
    }
    focused = true;
    syncFromEdit();
    const vrex::FocusCause cause = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
                                       ? vrex::FocusCause::Tab
                                   : reason == Qt::MouseFocusReason ? vrex::FocusCause::Mouse
                                                                    : vrex::FocusCause::Other;
    engine.focusIn(cause);
    syncToEdit();
    if (autoFocus) {
        backColor = backColorGotFocus;
        showBackColor(backColor);
    }
    Q_EMIT q->GotFocus();
}

namespace {

// Whether moving the focus to this widget checks the box being left; a widget says no
// with a CausesValidation property of false, as a Cancel button does.
bool targetCausesValidation(QWidget* target)
{
    for (QWidget* w = target; w; w = w->parentWidget()) {
        if (auto* box = qobject_cast<VrexEditbox*>(w))
            return box->causesValidation();
        const QVariant v = w->property("CausesValidation");
        if (v.isValid())
            return v.toBool();
        if (w->isWindow())
            break;
    }
    return true;
}

} // namespace

void VrexEditboxPrivate::leave(Qt::FocusReason reason)
{
    if (!focused || reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return;
    QWidget* target = QApplication::focusWidget();
    if (target && target != edit && targetCausesValidation(target)) {
        bool cancel = engine.validate().cancel;
        syncToEdit();
        if (!cancel)
            Q_EMIT q->Validate(cancel);
        if (cancel) {
            // The entry is refused: the focus goes back to the box, with no new focus gain.
            refocusing = true;
            QTimer::singleShot(0, edit, [this] {
                if (refocusing && edit->isVisible())
                    edit->setFocus(Qt::OtherFocusReason);
                refocusing = false;
            });
            return;
        }
    }
    focused = false;
    engine.focusOut();
    syncToEdit();
    if (autoFocus) {
        backColor = backColorNormal;
        showBackColor(backColor);
    }
    Q_EMIT q->LostFocus();
}

void VrexEditboxPrivate::mousePress(QMouseEvent* event)
{
    syncFromEdit();
    engine.mouseDown(vrex::mouseButtons(event->button()));
    Q_EMIT q->MouseDown(vrex::mouseButtons(event->button()), vrex::shiftMask(event->modifiers()),
                        event->position().x(), event->position().y());
}

void VrexEditboxPrivate::mouseRelease(QMouseEvent* event)
{
    syncFromEdit();
    engine.mouseUp(vrex::mouseButtons(event->button()));
    Q_EMIT q->MouseUp(vrex::mouseButtons(event->button()), vrex::shiftMask(event->modifiers()),
                      event->position().x(), event->position().y());
    if (event->button() == Qt::LeftButton && edit->rect().contains(event->position().toPoint())) {
        engine.click();
        syncToEdit();
        Q_EMIT q->Click();
    }
}

VrexEditbox::VrexEditbox(QWidget* parent) : QWidget(parent), d(new VrexEditboxPrivate(this))
{
    setFocusProxy(d->edit);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8);
    setFont(font);
    d->edit->setAcceptDrops(false);
    d->showBackColor(d->backColor);
    d->showForeColor(d->foreColor);
    d->edit->setGeometry(0, 0, width(), height());
}

VrexEditbox::~VrexEditbox()
{
    // The inner box goes first, while the state it reports to still exists; the focus it
    // loses on the way is no leaving of the box.
    d->edit->detach();
    delete d->edit;
}

void VrexEditbox::setMessageHook(MessageHook hook)
{
    messageHook() = std::move(hook);
}

void VrexEditbox::setBeepHook(std::function<void()> hook)
{
    beepHook() = std::move(hook);
}

void VrexEditbox::setLocaleSource(const VrexLocaleSource* source)
{
    localeSourceHook() = source;
}

void VrexEditbox::setClock(std::function<QDate()> today)
{
    clockHook() = std::move(today);
}

void VrexEditbox::HighlightText()
{
    d->engine.highlightText();
    d->syncToEdit();
}

QLineEdit* VrexEditbox::innerEdit() const
{
    return d->edit;
}

void VrexEditbox::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    d->edit->setGeometry(0, 0, width(), height());
}

QSize VrexEditbox::sizeHint() const
{
    return d->edit->sizeHint();
}

QSize VrexEditbox::minimumSizeHint() const
{
    return d->edit->minimumSizeHint();
}
