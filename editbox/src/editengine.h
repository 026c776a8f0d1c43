#pragma once

#include "localesource.h"
#include <vrexeditbox/vrexeditbox_export.h>

#include <QDate>
#include <QString>

#include <functional>
#include <optional>

// The keystroke engine of the typed edit box, free of widgets: it holds the text, the
// selection and the working state of one box and turns key, mouse and focus events into a
// new text, caret and selection, a beep and the character handed on to the host. The
// widget mirrors the engine's text and selection into its inner line edit.
namespace vrex {

// Edit types, by their stored values. Any value outside 0-12 behaves as Normal.
enum EditTypeCode : int
{
    Normal = 0,
    Numeric = 1,
    NumericSigned = 2,
    NumericWithSymbols = 3,
    DateMMDDYY = 4,
    TimeHHMM = 5,
    CurrencySys = 6,
    CurrencyWithSymbol = 7,
    Percent = 8,
    Uppercase = 9,
    Lowercase = 10,
    DateSys = 11,
    CurrencyDec = 12,
};

constexpr int DecimalsUnlimited = 7;

// Windows virtual key codes the engine looks at, and the shift mask bits.
enum KeyCode : int
{
    KeyBack = 8,
    KeyTab = 9,
    KeyReturn = 13,
    KeyShift = 16,
    KeyControl = 17,
    KeyMenu = 18,
    KeyEscape = 27,
    KeyLeft = 37,
    KeyUp = 38,
    KeyRight = 39,
    KeyDown = 40,
};
enum ShiftMask : int
{
    ShiftMaskShift = 1,
    ShiftMaskCtrl = 2,
    ShiftMaskAlt = 4
};
enum MouseButton : int
{
    ButtonLeft = 1,
    ButtonRight = 2,
    ButtonMiddle = 4
};

enum class FocusCause
{
    Tab,
    Mouse,
    Other
};

// The clipboard as the engine sees it; the widget passes the system clipboard.
class VREXEDITBOX_EXPORT Clipboard
{
public:
    virtual ~Clipboard() = default;
    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
};

// A clipboard that lives in memory; the default of a bare engine.
class VREXEDITBOX_EXPORT MemoryClipboard : public Clipboard
{
public:
    QString text() const override { return m_text; }
    void setText(const QString& text) override { m_text = text; }

private:
    QString m_text;
};

struct EngineSettings
{
    int editType = Normal;
    int decimals = 0;
    int centuryYear = 0;
    int maxLength = 0;
    bool locked = false;
    bool autoSelect = true;
    bool useDefaultText = true;
    QString defaultText;
};

struct KeyPressResult
{
    char16_t character = 0; // the character handed on in KeyPress (0 when refused)
    bool beep = false;
};

struct ValidateResult
{
    bool cancel = false; // keep the focus in the box
    bool beep = false;
};

// The default CenturyYear for a box placed in the given year: the last two digits of
// (year + 50).
VREXEDITBOX_EXPORT int defaultCenturyYear(int year);

// A host's rule for "Date Sys" texts: how a typed date is read and how a date is shown.
// Without one the box reads and writes dates by the locale's short-date pattern.
struct DateRule
{
    std::function<std::optional<QDate>(const QString&)> read;
    std::function<QString(const QDate&)> write;
    explicit operator bool() const { return read && write; }
};

class VREXEDITBOX_EXPORT EditEngine
{
public:
    EditEngine();

    EngineSettings& settings() { return m_settings; }
    const EngineSettings& settings() const { return m_settings; }

    // Where the engine reads the locale at focus gain, the clipboard it uses and today's
    // date (for the century rules); all must outlive the engine. Null restores the default.
    void setLocaleSource(const VrexLocaleSource* source);
    void setClipboard(Clipboard* clipboard);
    void setToday(std::function<QDate()> today);
    void setDateRule(std::function<DateRule()> rule);

    // Raised after every change of the text (the box's Change event), and for every beep.
    std::function<void()> onChange;
    std::function<void()> onBeep;

    const QString& text() const { return m_text; }
    int selStart() const { return m_selStart; }
    int selLength() const { return m_selLength; }
    QString selectedText() const { return m_text.mid(m_selStart, m_selLength); }

    // The text set by the host or changed by the inner box itself (a native edit, a paste
    // through the context menu): runs the change handler.
    void setText(const QString& text);
    void textEdited(const QString& text, int selStart, int selLength);
    // The selection as the inner box has it now (clamped to the text).
    void setSelection(int start, int length);
    void highlightText() { setSelection(0, int(m_text.size())); }

    // Reads the user's locale (done at every focus gain).
    void readLocale();
    // The text a refused paste gives back (the text at focus gain, or after the last paste).
    void setAcceptedText(const QString& text) { m_acceptedText = text; }
    // A key the box cannot take: beeps and returns the refused result.
    KeyPressResult refuseKey();

    void focusIn(FocusCause cause);
    ValidateResult validate();
    void focusOut();
    void mouseDown(int button);
    void mouseUp(int button);
    void click();
    void keyDown(int keyCode, int shift);
    KeyPressResult keyPress(char16_t character);
    void keyUp(int keyCode, int shift);

    // Working state, for the widget and for tests.
    int savedCaret() const { return m_savedCaret; }
    const QString& acceptedText() const { return m_acceptedText; }
    bool changedSinceFocus() const { return m_changedSinceFocus; }
    bool highlightPending() const { return m_highlightPending; }
    bool mouseIsDown() const { return m_mouseDown; }
    bool clipboardKeysAllowed() const { return m_clipboardAllowed; }
    void setClipboardKeysAllowed(bool allowed) { m_clipboardAllowed = allowed; }
    const VrexLocaleValues& localeValues() const { return m_locale; }
    int beepCount() const { return m_beeps; }
    QDate today() const;

private:
    bool isDateType() const;
    std::optional<QDate> readSysDate(const QString& text) const;
    QChar decimalPoint() const;
    bool pointAllowed(const QString& left, const QString& right) const;
    void beep();
    void applyText(const QString& text);
    void setGuarded(const QString& text);
    void runChangeHandler();
    void checkPaste();
    void setCaret(int position);
    bool fits(const QString& candidate) const;
    KeyPressResult takeIfFits(char16_t c, const QString& candidate);
    KeyPressResult typePoint(const QString& left, const QString& right);

    bool handleControl(char16_t c);
    KeyPressResult handleTyped(char16_t c);
    KeyPressResult typeNormal(char16_t c, const QString& left, const QString& right);
    KeyPressResult typeNumeric(char16_t c, const QString& left, const QString& right);
    KeyPressResult typeSigned(char16_t c, const QString& left, const QString& right);
    KeyPressResult typeSymbols(char16_t c, const QString& left, const QString& right);
    KeyPressResult typeDate(char16_t c, const QString& left);
    KeyPressResult typeTime(char16_t c, const QString& left, const QString& right);
    KeyPressResult typeCurrency(char16_t c, const QString& left, const QString& right);
    KeyPressResult typePercent(char16_t c, const QString& left, const QString& right);
    KeyPressResult typeCase(char16_t c, const QString& left, const QString& right);

    ValidateResult validateChanged();
    ValidateResult validateDateMMDDYY();
    ValidateResult validateDateSys();

    EngineSettings m_settings;
    const VrexLocaleSource* m_localeSource = nullptr;
    Clipboard* m_clipboard = nullptr;
    MemoryClipboard m_ownClipboard;
    std::function<QDate()> m_today;
    std::function<DateRule()> m_dateRule;
    VrexLocaleValues m_locale;

    QString m_text;
    int m_selStart = 0;
    int m_selLength = 0;
    int m_savedCaret = 0;
    QString m_acceptedText;
    bool m_highlightPending = false;
    bool m_mouseDown = false;
    bool m_clipboardAllowed = false;
    bool m_changedSinceFocus = false;
    bool m_changeGuard = false;
    int m_beeps = 0;
};

} // namespace vrex
