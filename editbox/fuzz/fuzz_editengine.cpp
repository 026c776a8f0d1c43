// Feeds random key, mouse, focus and clipboard sequences to the keystroke engine of every edit
// type and checks what must always hold: no crash, the selection within the text, a locked
// box that never changes, and a "Numeric" box that typing alone fills with digits and at
// most one point.
#include "editengine.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace vrex;

namespace {

// Keys worth trying often: the ones the rules look at, then anything.
const char16_t kKeys[] = {u'0', u'1', u'2', u'3', u'5', u'7', u'9', u'.', u'/',   u':',  u'+', u'-',
                          u' ', u'a', u'A', u'p', u'P', u'M', u'x', u'%', u'$',   u',',  3,    8,
                          9,    13,   22,   24,   26,   27,   1,    127,  0x00e9, 0x20ac};

class Input
{
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_pos >= m_size; }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

// The user's locale: English (United States), or German (Germany) with its decimal comma.
VrexLocaleValues germanLocale()
{
    VrexLocaleValues v;
    v.currencySymbol = QStringLiteral("€");
    v.currencyPosition = 3;
    v.shortDatePattern = QStringLiteral("dd.MM.yyyy");
    v.dateSeparator = QStringLiteral(".");
    v.decimalPoint = QStringLiteral(",");
    v.groupSeparator = QStringLiteral(".");
    return v;
}

bool digitsAndOnePoint(const QString& text, QChar point)
{
    int points = 0;
    for (QChar c : text) {
        if (c == point)
            ++points;
        else if (c < u'0' || c > u'9')
            return false;
    }
    return points <= 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in(data, size);
    EditEngine e;
    MemoryClipboard clipboard;
    const uint8_t mode = in.byte();
    const FixedLocaleSource locale(mode & 0x20 ? germanLocale() : VrexLocaleValues());
    e.setLocaleSource(&locale);
    e.setClipboard(&clipboard);
    e.setToday([] { return QDate(2026, 12, 8); });

    e.settings().editType = mode % 14; // 13 stands for any value past the list
    e.settings().decimals = in.byte() % 8;
    e.settings().centuryYear = in.byte() % 100;
    e.settings().maxLength = in.byte() % 4 == 0 ? in.byte() % 16 : 0;
    e.settings().autoSelect = in.byte() & 1;
    e.settings().useDefaultText = in.byte() & 1;
    const bool locked = (mode & 0x80) != 0;
    // "Typing alone": no clipboard, no text from outside.
    const bool typingOnly = !locked && (mode & 0x40) != 0;
    if (!typingOnly)
        e.settings().defaultText = QStringLiteral("1a/");
    e.settings().locked = locked;
    if (!typingOnly) {
        e.setText(QString::fromLatin1("12/3x.:4"));
        clipboard.setText(QStringLiteral("-7.5"));
    }
    e.focusIn(FocusCause::Tab);
    const QString lockedText = e.text();

    int ctrlDown = 0;
    while (!in.empty()) {
        const uint8_t op = in.byte();
        const uint8_t arg = in.byte();
        switch (op % 12) {
        case 0:
        case 1:
        case 2:
        case 3: {
            char16_t key =
                arg < 2 * sizeof(kKeys) / sizeof(kKeys[0]) ? kKeys[arg / 2] : char16_t(arg);
            if (typingOnly && e.settings().editType == Numeric && (key == 22 || key == 24))
                key = u'5'; // the clipboard keys are no typing
            e.keyDown(key >= u'a' && key <= u'z' ? key - 32 : key, ctrlDown ? ShiftMaskCtrl : 0);
            e.keyPress(key);
            e.keyUp(key, 0);
            break;
        }
        case 4:
            e.keyDown(KeyLeft + arg % 4, 0);
            e.setSelection(e.selStart() - 1 + arg % 3, 0);
            e.keyUp(KeyLeft + arg % 4, 0);
            break;
        case 5:
            e.setSelection(arg % 16, (arg >> 4) % 16);
            break;
        case 6:
            if (!typingOnly) {
                e.keyDown(KeyControl, ShiftMaskCtrl);
                ctrlDown = 1;
            }
            break;
        case 7:
            e.keyUp(KeyControl, 0);
            ctrlDown = 0;
            break;
        case 8:
            e.mouseDown(arg & 1 ? ButtonRight : ButtonLeft);
            e.mouseUp(ButtonLeft);
            e.click();
            break;
        case 9:
            e.validate();
            e.focusOut();
            e.focusIn(arg & 1 ? FocusCause::Mouse : FocusCause::Tab);
            break;
        case 10:
            if (!typingOnly && !locked) {
                QString pasted;
                for (int i = 0; i < arg % 6 && !in.empty(); ++i)
                    pasted += QChar(kKeys[in.byte() % (sizeof(kKeys) / sizeof(kKeys[0]))]);
                clipboard.setText(pasted);
            }
            break;
        default:
            if (!typingOnly && !locked)
                e.textEdited(e.text().left(arg % 8), arg % 5, 0);
            break;
        }
        if (e.selStart() < 0 || e.selLength() < 0 || e.selStart() + e.selLength() > e.text().size())
            fail("selection outside the text");
        if (e.savedCaret() < 0)
            fail("negative saved caret");
        if (locked && e.text() != lockedText)
            fail("a locked box changed");
        if (typingOnly && e.settings().editType == Numeric &&
            !digitsAndOnePoint(e.text(), locale.read().decimalPoint.front()))
            fail("numeric box holds more than digits and one point");
    }
    return 0;
}
