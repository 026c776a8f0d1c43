#include "vrexeditbox_p.h"

#include "designstore.h"
#include "localesource.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>

#include <utility>

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

vrex::DateRule& dateRuleHook()
{
    static vrex::DateRule hook;
    return hook;
}

std::function<QLocale()>& userLocaleHook()
{
    static std::function<QLocale()> hook;
    return hook;
}

// Reads whichever locale is installed at the moment of the focus gain.
class CurrentLocaleSource : public VrexLocaleSource
{
public:
    VrexLocaleValues read() const override
    {
        if (const VrexLocaleSource* source = localeSourceHook())
            return source->read();
        return QtLocaleSource::valuesFor(userLocaleHook() ? userLocaleHook()() : QLocale::system());
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

} // namespace

QDate vrex::today()
{
    return clockHook() ? clockHook()() : QDate::currentDate();
}

void vrex::setLocaleSource(const VrexLocaleSource* source)
{
    localeSourceHook() = source;
}

VrexEditboxPrivate::VrexEditboxPrivate(VrexEditbox* owner)
    : q(owner), edit(new InnerEdit(this, owner))
{
    engine.setLocaleSource(&g_currentLocale);
    engine.setClipboard(&g_systemClipboard);
    engine.setToday(&vrex::today);
    engine.setDateRule([] { return dateRuleHook(); });
    engine.settings().centuryYear = vrex::defaultCenturyYear(vrex::today().year());
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

namespace {

// Whether the new text is the old one with one stretch taken out (Delete, a cut, a drag
// moved away): the only change the line edit may make on its own without a check.
bool isDeletion(const QString& before, const QString& after)
{
    if (after.size() >= before.size())
        return false;
    qsizetype prefix = 0;
    while (prefix < after.size() && after[prefix] == before[prefix])
        ++prefix;
    return after.mid(prefix) == before.right(after.size() - prefix);
}

} // namespace

void VrexEditboxPrivate::editChanged()
{
    // A change the line edit made itself: Delete, its paste keys, the context menu, a
    // middle click, a drop, its undo. Whatever it brings in is checked as a paste, so no
    // text reaches the box past its rules.
    if (syncing)
        return;
    const int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    const bool allowed = engine.clipboardKeysAllowed();
    if (!focused) {
        // A drop onto a box without the focus: checked in today's locale, and a refused
        // text gives back what the box showed.
        engine.readLocale();
        engine.setAcceptedText(engine.text());
    }
    if (!isDeletion(engine.text(), edit->text()))
        engine.setClipboardKeysAllowed(true);
    engine.textEdited(edit->text(), start, edit->selectionLength());
    engine.setClipboardKeysAllowed(allowed && !engine.mouseIsDown());
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

void VrexEditboxPrivate::applyDesignDefault()
{
    // While the design is being loaded (until the box is first shown), the default text
    // replaces the saved text (Designer writes Text before DefaultText and UseDefaultText).
    if (q->testAttribute(Qt::WA_WState_Polished))
        return;
    designDefaultGiven = true;
    if (!engine.settings().useDefaultText)
        return;
    engine.setText(engine.settings().defaultText);
    syncToEdit();
}

QString VrexEditboxPrivate::designText(const QString& text)
{
    // A design edited by hand may list its Text after DefaultText: the first Text a named
    // (designed) box gets after them, before it is shown, is the design's saved text and
    // gives way to the default text. Any later Text is the host's and stays.
    if (q->testAttribute(Qt::WA_WState_Polished) || designTextSeen)
        return text;
    designTextSeen = true;
    const bool replaced =
        designDefaultGiven && engine.settings().useDefaultText && !q->objectName().isEmpty();
    return replaced ? engine.settings().defaultText : text;
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
    message(VrexEditbox::tr("Invalid property value."));
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
        if (vrex::typesUnhandledText(event)) {
            // A character the box cannot take as one key (beyond the Basic Multilingual
            // Plane): never inserted by the line edit behind the box's back.
            refuseText(event->text());
            event->accept();
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

void VrexEditboxPrivate::refuseText(const QString& text)
{
    // A locked box passes the key on as it is; an unlocked one refuses it with a beep.
    int keyAscii = text.isEmpty() ? 0 : int(text.toUcs4().value(0));
    if (!engine.settings().locked) {
        engine.refuseKey();
        keyAscii = 0;
    }
    Q_EMIT q->KeyPress(keyAscii);
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
    for (qsizetype i = 0; i < text.size(); ++i) {
        syncFromEdit();
        engine.keyDown(0, 0);
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            refuseText(text.mid(i, 2));
            ++i;
        } else if (text[i].isSurrogate()) {
            refuseText(QString());
        } else {
            typeCharacter(text[i].unicode());
        }
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
    // The line edit selects everything when entered by Tab, Backtab or a shortcut; the
    // selection is the box's own decision (AutoSelect), so the line edit's is taken back.
    syncToEdit();
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
        // The host hears of an entry the box refused itself too (cancel arrives set), so
        // that it can say why.
        bool cancel = engine.validate().cancel;
        syncToEdit();
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
    // The release that ends a double click raises no second Click.
    const bool afterDoubleClick = std::exchange(doubleClicked, false);
    if (event->button() == Qt::LeftButton && !afterDoubleClick &&
        edit->rect().contains(event->position().toPoint())) {
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

void VrexEditbox::setUserLocale(std::function<QLocale()> locale)
{
    userLocaleHook() = std::move(locale);
}

void VrexEditbox::setDateRule(std::function<std::optional<QDate>(const QString&)> read,
                              std::function<QString(const QDate&)> write)
{
    dateRuleHook() = {std::move(read), std::move(write)};
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

void VrexEditbox::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Enabled and Font are QWidget's own; setting them marks them changed all the same.
    if (event->type() == QEvent::EnabledChange)
        d->markChanged("Enabled");
    else if (event->type() == QEvent::FontChange && testAttribute(Qt::WA_SetFont))
        d->markChanged("Font");
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
