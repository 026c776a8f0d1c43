// Table-driven tests of the keystroke engine: every row starts a box of one edit type with a
// text and a selection, types keys as a keyboard does and checks the text, the caret, the
// beeps and the character handed on to the host.
#include "enginedriver.h"

#include "editengine.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace vrex;

namespace {

const QDate kToday(2026, 12, 8);

struct Row
{
    int type;
    const char* start; // text before typing
    int selStart;
    int selLength;
    const char* keys;
    const char* text; // text after typing
    int caret;
    int beeps;
    int lastCharacter; // handed on by the last key
    int decimals = 0;
    int maxLength = 0;
};

void setUp(EditEngine& e, const Row& row)
{
    e.setToday([] { return kToday; });
    e.settings().editType = row.type;
    e.settings().decimals = row.decimals;
    e.settings().maxLength = row.maxLength;
    e.settings().centuryYear = defaultCenturyYear(kToday.year());
    e.setText(QString::fromUtf8(row.start));
    e.focusIn(FocusCause::Other);
    e.setSelection(row.selStart, row.selLength);
}

void runTable(const std::vector<Row>& rows)
{
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "type " << row.type << " start '" << row.start
                                        << "' keys '" << row.keys << "'");
        EditEngine e;
        FixedLocaleSource locale;
        e.setLocaleSource(&locale);
        setUp(e, row);
        const TypedKeys typed = typeKeys(e, QString::fromUtf8(row.keys));
        EXPECT_EQ(e.text().toStdString(), row.text);
        EXPECT_EQ(e.selStart(), row.caret);
        EXPECT_EQ(typed.beeps, row.beeps);
        EXPECT_EQ(typed.characters.back(), row.lastCharacter);
        EXPECT_LE(e.selStart() + e.selLength(), e.text().size());
    }
}

} // namespace

TEST(EditEngineTyping, Normal)
{
    runTable({
        {Normal, "", 0, 0, "ab", "ab", 2, 0, 'b'},
        {Normal, "ad", 1, 0, "bc", "abcd", 3, 0, 'c'},
        {Normal, "abc", 1, 1, "X", "aXc", 2, 0, 'X'},
        {Normal, "", 0, 0, "abcd", "abc", 3, 1, 0, 0, 3},
        {Normal, "abc", 0, 3, "d", "d", 1, 0, 'd', 0, 3},
        {99, "", 0, 0, "x1", "x1", 2, 0, '1'},
        // Ctrl+A and other control characters never enter the text.
        {Normal, "ab", 2, 0, "\x01", "ab", 2, 1, 0},
    });
}

TEST(EditEngineTyping, Numeric)
{
    runTable({
        {Numeric, "", 0, 0, "12", "12", 2, 0, '2'},
        {Numeric, "", 0, 0, ".", "0.", 2, 0, '.'},
        {Numeric, "", 0, 0, "1.5.", "1.5", 3, 1, 0},
        {Numeric, "1234", 1, 2, "a", "14", 2, 1, 0},
        {Numeric, "12", 0, 0, "-", "12", 2, 1, 0},
        {Numeric, "1.5", 0, 0, ".", "1.5", 3, 1, 0},
        {Numeric, "12", 1, 0, "9", "192", 3, 0, '9'},
        {Numeric, "", 0, 0, "1234", "123", 3, 1, 0, 0, 3},
    });
}

TEST(EditEngineTyping, NumericSigned)
{
    runTable({
        {NumericSigned, "", 0, 0, "5", "+5", 2, 0, '5'},
        {NumericSigned, "", 0, 0, "-5", "-5", 2, 0, '5'},
        {NumericSigned, "", 0, 0, "+5", "+5", 2, 0, '5'},
        {NumericSigned, "+5", 2, 0, "-", "+5", 2, 1, 0},
        {NumericSigned, "+5", 2, 0, ".25", "+5.25", 5, 0, '5'},
        {NumericSigned, "+512", 2, 1, "x", "+52", 3, 1, 0},
        {NumericSigned, "", 0, 0, ".", "0.", 2, 0, '.'},
        {NumericSigned, "-1.5", 4, 0, ".", "-1.5", 4, 1, 0},
    });
}

TEST(EditEngineTyping, NumericWithSymbols)
{
    runTable({
        {NumericWithSymbols, "", 0, 0, "(555) 12-3", "(555) 12-3", 10, 0, '3'},
        {NumericWithSymbols, "", 0, 0, ".", "0.", 2, 0, '.'},
        {NumericWithSymbols, "1.2", 3, 0, ".", "1.2", 3, 1, 0},
        {NumericWithSymbols, "12-34", 1, 3, "Z", "14", 2, 1, 0},
        {NumericWithSymbols, "", 0, 0, "#$%", "#$%", 3, 0, '%'},
    });
}

TEST(EditEngineTyping, CurrencyDigitLimit)
{
    runTable({
        // Decimals 2: a third decimal is dropped quietly, the key still handed on.
        {CurrencyDec, "", 0, 0, "12.34", "12.34", 5, 0, '4', 2},
        {CurrencyDec, "12.34", 5, 0, "5", "12.34", 5, 0, '5', 2},
        // With the last decimal selected the digit replaces it.
        {CurrencyDec, "12.34", 4, 1, "9", "12.39", 5, 0, '9', 2},
        // Before the point digits are always taken.
        {CurrencyDec, "12.34", 0, 0, "9", "912.34", 1, 0, '9', 2},
        {CurrencyDec, "1.2", 3, 0, "345", "1.234", 5, 0, '5', 3},
        {CurrencyDec, "1.", 2, 0, "1234567", "1.1234567", 9, 0, '7', 7},
        {CurrencyDec, "1.1234567", 9, 0, "8", "1.1234567", 9, 0, '8', 7},
        {CurrencyDec, "1", 1, 0, "5", "15", 2, 0, '5', 0},
        {CurrencyDec, "1.", 2, 0, "5", "1.", 2, 0, '5', 0},
        // The locale's currency digits for the two other currency types.
        {CurrencySys, "9.99", 4, 0, "9", "9.99", 4, 0, '9'},
        {CurrencyWithSymbol, "9.9", 3, 0, "9", "9.99", 4, 0, '9'},
        {CurrencySys, "", 0, 0, ".5", "0.5", 3, 0, '5'},
        {CurrencySys, "", 0, 0, "-12", "-12", 3, 0, '2'},
        {CurrencySys, "-12", 3, 0, "-", "-12", 3, 1, 0},
        {CurrencySys, "1.5", 3, 0, ".", "1.5", 3, 1, 0},
        {CurrencySys, "15", 2, 0, "x", "15", 2, 1, 0},
        {CurrencySys, "15", 2, 0, "+", "15", 2, 1, 0},
    });
}

TEST(EditEngineTyping, Percent)
{
    runTable({
        {Percent, "", 0, 0, ".", "0.", 2, 0, '.'},
        {Percent, "", 0, 0, ".5.", "0.5", 3, 1, 0},
        {Percent, "12", 2, 0, ".5", "12.5", 4, 0, '5'},
        {Percent, "12", 2, 0, "%", "12", 2, 1, 0},
        {Percent, "1.5", 0, 0, ".", "1.5", 0, 1, 0},
        {Percent, "", 0, 0, "-", "", 0, 1, 0},
    });
}

TEST(EditEngineTyping, UpperAndLowerCase)
{
    runTable({
        {Uppercase, "", 0, 0, "a", "A", 1, 0, 'A'},
        {Uppercase, "AC", 1, 0, "b1-", "AB1-C", 4, 0, '-'},
        {Uppercase, "ABC", 0, 3, "x", "X", 1, 0, 'X'},
        {Lowercase, "", 0, 0, "A", "a", 1, 0, 'a'},
        {Lowercase, "xz", 1, 0, "Y", "xyz", 2, 0, 'y'},
        {Uppercase, "AB", 2, 0, "c", "AB", 2, 1, 0, 0, 2},
    });
}

TEST(EditEngineTyping, DateSys)
{
    runTable({
        {DateSys, "", 0, 0, "5/7/26", "5/7/26", 6, 0, '6'},
        // What follows the caret is dropped.
        {DateSys, "1/2/2026", 2, 0, "9", "1/9", 3, 0, '9'},
        {DateSys, "", 0, 0, "x", "x", 1, 0, 'x'},
    });
}

// The date builder, by length of the candidate (left of the caret plus the key).
TEST(EditEngineTyping, DateBuilderTable)
{
    runTable({
        // 1 character
        {DateMMDDYY, "", 0, 0, "5", "05/", 3, 0, '5'},
        {DateMMDDYY, "", 0, 0, "2", "02/", 3, 0, '2'},
        {DateMMDDYY, "", 0, 0, "0", "0", 1, 0, '0'},
        {DateMMDDYY, "", 0, 0, "1", "1", 1, 0, '1'},
        // 2 characters
        {DateMMDDYY, "", 0, 0, "05", "05/", 3, 0, '5'},
        {DateMMDDYY, "", 0, 0, "00", "0", 1, 1, 0},
        {DateMMDDYY, "", 0, 0, "10", "10/", 3, 0, '0'},
        {DateMMDDYY, "", 0, 0, "12", "12/", 3, 0, '2'},
        {DateMMDDYY, "", 0, 0, "13", "1", 1, 1, 0},
        {DateMMDDYY, "", 0, 0, "19", "1", 1, 1, 0},
        // 3 characters: refused
        {DateMMDDYY, "12", 2, 0, "5", "12", 2, 1, 0},
        // 4 characters (mm/d)
        {DateMMDDYY, "12/", 3, 0, "5", "12/05/", 6, 0, '5'},
        {DateMMDDYY, "12/", 3, 0, "3", "12/3", 4, 0, '3'},
        {DateMMDDYY, "12/", 3, 0, "0", "12/0", 4, 0, '0'},
        // 5 characters (mm/dd)
        {DateMMDDYY, "12/3", 4, 0, "1", "12/31/", 6, 0, '1'},
        {DateMMDDYY, "12/3", 4, 0, "2", "12/3", 4, 1, 0},
        {DateMMDDYY, "12/1", 4, 0, "9", "12/19/", 6, 0, '9'},
        {DateMMDDYY, "12/0", 4, 0, "7", "12/07/", 6, 0, '7'},
        {DateMMDDYY, "12/0", 4, 0, "0", "12/0", 4, 1, 0},
        // 6 characters: refused
        {DateMMDDYY, "12/05", 5, 0, "1", "12/05", 5, 1, 0},
        // 7 to 10 characters: the year
        {DateMMDDYY, "12/07/", 6, 0, "2", "12/07/2", 7, 0, '2'},
        {DateMMDDYY, "12/07/2", 7, 0, "0", "12/07/20", 8, 0, '0'},
        {DateMMDDYY, "12/07/20", 8, 0, "2", "12/07/202", 9, 0, '2'},
        {DateMMDDYY, "12/07/202", 9, 0, "6", "12/07/2026", 10, 0, '6'},
        {DateMMDDYY, "12/07/000", 9, 0, "0", "12/07/000", 9, 1, 0},
        // more than 10: refused
        {DateMMDDYY, "12/07/2026", 10, 0, "1", "12/07/2026", 10, 1, 0},
        // whole sequences
        {DateMMDDYY, "", 0, 0, "5707", "05/07/07", 8, 0, '7'},
        {DateMMDDYY, "", 0, 0, "12312026", "12/31/2026", 10, 0, '6'},
        // everything after the caret is dropped
        {DateMMDDYY, "12/31/2026", 3, 0, "5", "12/05/", 6, 0, '5'},
        // letters are refused
        {DateMMDDYY, "", 0, 0, "a", "", 0, 1, 0},
    });
}

// The "/" key completes a part typed short.
TEST(EditEngineTyping, DateSeparatorCompletions)
{
    runTable({
        {DateMMDDYY, "5", 1, 0, "/", "05/", 3, 0, '/'},
        {DateMMDDYY, "0", 1, 0, "/", "0", 1, 1, 0},
        {DateMMDDYY, "12", 2, 0, "/", "12/", 3, 0, '/'},
        {DateMMDDYY, "12/5", 4, 0, "/", "12/05/", 6, 0, '/'},
        {DateMMDDYY, "12/0", 4, 0, "/", "12/0", 4, 1, 0},
        {DateMMDDYY, "12/05", 5, 0, "/", "12/05/", 6, 0, '/'},
        {DateMMDDYY, "12/05/", 6, 0, "/", "12/05/", 6, 1, 0},
        {DateMMDDYY, "", 0, 0, "/", "", 0, 1, 0},
    });
}

TEST(EditEngineTyping, TimeBuilder)
{
    runTable({
        {TimeHHMM, "", 0, 0, "5", "05:", 3, 0, '5'},
        {TimeHHMM, "", 0, 0, "1", "1", 1, 0, '1'},
        {TimeHHMM, "", 0, 0, "12", "12:", 3, 0, '2'},
        {TimeHHMM, "", 0, 0, "09", "09:", 3, 0, '9'},
        {TimeHHMM, "", 0, 0, "00", "0", 1, 1, 0},
        {TimeHHMM, "", 0, 0, "13", "1", 1, 1, 0},
        {TimeHHMM, "12:", 3, 0, "3", "12:3", 4, 0, '3'},
        {TimeHHMM, "12:", 3, 0, "7", "12:07 ", 6, 0, '7'},
        // A minute tens digit of 6 gets its "0" too: no 60-69 minutes.
        {TimeHHMM, "12:", 3, 0, "6", "12:06 ", 6, 0, '6'},
        {TimeHHMM, "12:", 3, 0, "5", "12:5", 4, 0, '5'},
        {TimeHHMM, "12:3", 4, 0, "0", "12:30 ", 6, 0, '0'},
        {TimeHHMM, "12:30 ", 6, 0, "a", "12:30 AM", 8, 0, 'a'},
        {TimeHHMM, "12:30 ", 6, 0, "P", "12:30 PM", 8, 0, 'P'},
        {TimeHHMM, "12:30 ", 6, 0, "5", "12:30 ", 6, 1, 0},
        {TimeHHMM, "", 0, 0, "a", "", 0, 1, 0},
        {TimeHHMM, "", 0, 0, "x", "", 0, 1, 0},
        {TimeHHMM, "5", 1, 0, ":", "05:", 3, 0, ':'},
        {TimeHHMM, "12", 2, 0, ":", "12:", 3, 0, ':'},
        {TimeHHMM, "12:3", 4, 0, ":", "12:3", 4, 1, 0},
        {TimeHHMM, "", 0, 0, "830p", "08:30 PM", 8, 0, 'p'},
    });
}

TEST(EditEngineTyping, LockedBoxChangesNothingButPassesKeys)
{
    EditEngine e;
    e.settings().locked = true;
    e.setText(QStringLiteral("abc"));
    e.focusIn(FocusCause::Other);
    for (int type : {Normal, Numeric, DateMMDDYY, Uppercase}) {
        e.settings().editType = type;
        const TypedKeys typed = typeKeys(e, QStringLiteral("x5/\b\x1b"));
        EXPECT_EQ(e.text(), QStringLiteral("abc"));
        EXPECT_EQ(typed.beeps, 0);
        EXPECT_EQ(typed.characters, (QList<int>{'x', '5', '/', 8, 27}));
    }
    // Focus gain and leaving leave it alone too, even as an empty "Date Sys" box.
    e.settings().editType = DateSys;
    e.setText(QString());
    e.focusIn(FocusCause::Tab);
    EXPECT_EQ(e.text(), QString());
    e.setText(QStringLiteral("n/a"));
    e.focusOut();
    EXPECT_EQ(e.text(), QStringLiteral("n/a"));
}

TEST(EditEngineControlKeys, BackspaceEscapeAndCut)
{
    EditEngine e;
    e.setText(QStringLiteral("hello"));
    e.focusIn(FocusCause::Other); // selects the whole text
    // Backspace over the whole selection empties the box.
    EXPECT_EQ(typeKeys(e, QStringLiteral("\b")).characters.back(), 8);
    EXPECT_EQ(e.text(), QString());

    e.setText(QStringLiteral("hello"));
    e.setSelection(3, 0);
    typeKeys(e, QStringLiteral("\b"));
    EXPECT_EQ(e.text(), QStringLiteral("helo"));
    EXPECT_EQ(e.selStart(), 2);

    // With a part selected, the character before the caret goes with the selection.
    e.setText(QStringLiteral("hello"));
    e.setSelection(2, 2);
    typeKeys(e, QStringLiteral("\b"));
    EXPECT_EQ(e.text(), QStringLiteral("ho"));
    EXPECT_EQ(e.selStart(), 1);

    // A blank text stays as it is.
    e.setText(QStringLiteral("  "));
    e.setSelection(2, 0);
    typeKeys(e, QStringLiteral("\b"));
    EXPECT_EQ(e.text(), QStringLiteral("  "));

    // Ctrl+X without the clipboard still cuts the selection out.
    MemoryClipboard clipboard;
    e.setClipboard(&clipboard);
    clipboard.setText(QStringLiteral("kept"));
    e.setText(QStringLiteral("abcdef"));
    e.setSelection(1, 3);
    typeKeys(e, QStringLiteral("\x18"));
    EXPECT_EQ(e.text(), QStringLiteral("aef"));
    EXPECT_EQ(e.selStart(), 1);
    EXPECT_EQ(clipboard.text(), QStringLiteral("kept"));
    // With Ctrl down it copies first.
    e.setText(QStringLiteral("abcdef"));
    e.setSelection(1, 3);
    EXPECT_EQ(pressWithCtrl(e, 24), 24);
    EXPECT_EQ(clipboard.text(), QStringLiteral("bcd"));
    e.setSelection(0, 2);
    pressWithCtrl(e, 3);
    EXPECT_EQ(clipboard.text(), QStringLiteral("ae"));
    EXPECT_EQ(e.text(), QStringLiteral("aef"));
    // Ctrl+C typed without Ctrl down (no key-down of Ctrl) copies nothing.
    e.setSelection(0, 3);
    typeKeys(e, QStringLiteral("\x03"));
    EXPECT_EQ(clipboard.text(), QStringLiteral("ae"));

    // Escape: first the text of the focus gain, then the default text.
    e.settings().defaultText = QStringLiteral("DEF");
    e.setText(QStringLiteral("start"));
    e.focusIn(FocusCause::Other);
    e.setSelection(5, 0);
    typeKeys(e, QStringLiteral("xy"));
    EXPECT_EQ(e.text(), QStringLiteral("startxy"));
    typeKeys(e, QStringLiteral("\x1b"));
    EXPECT_EQ(e.text(), QStringLiteral("start"));
    EXPECT_EQ(e.selLength(), 5);
    typeKeys(e, QStringLiteral("\x1b"));
    EXPECT_EQ(e.text(), QStringLiteral("DEF"));
    // Without UseDefaultText Escape keeps coming back to the focus-gain text.
    e.settings().useDefaultText = false;
    e.setText(QStringLiteral("one"));
    e.focusIn(FocusCause::Other);
    e.setSelection(3, 0);
    typeKeys(e, QStringLiteral("z\x1b\x1b"));
    EXPECT_EQ(e.text(), QStringLiteral("one"));
    // Tab, Enter and Ctrl+Z do nothing and pass on.
    EXPECT_EQ(typeKeys(e, QStringLiteral("\t\r\x1a")).characters, (QList<int>{9, 13, 26}));
    EXPECT_EQ(e.text(), QStringLiteral("one"));
}

namespace {

struct PasteRow
{
    int type;
    const char* before;
    const char* clipboard;
    const char* after;
    bool beep;
    const char* accepted; // accepted text after the paste
};

} // namespace

TEST(EditEnginePaste, ChecksByType)
{
    const std::vector<PasteRow> rows = {
        {Numeric, "1", "23", "123", false, "123"},
        {Numeric, "", "-23", "23", false, "23"},
        {Numeric, "1", "-23", "1", true, "1"},
        {Numeric, "1", "abc", "1", true, "1"},
        {Numeric, "1", "2.5.1", "1", true, "1"},
        {NumericSigned, "", "5", "+5", false, "+5"},
        {NumericSigned, "", "-5", "-5", false, "-5"},
        {NumericSigned, "", "-", "-", false, "-"},
        {NumericSigned, "7", "x", "7", true, "7"},
        {CurrencySys, "", "12.5", "+12.5", false, "+12.5"},
        {CurrencyDec, "", "-", "-", false, "-"},
        {CurrencyWithSymbol, "3", "$", "3", true, "3"},
        {DateMMDDYY, "", "12/25/2026", "12/25/2026", false, ""},
        {DateMMDDYY, "", "hello", "", true, ""},
        {TimeHHMM, "", "9:30 PM", "9:30 PM", false, ""},
        {TimeHHMM, "", "25:30", "", true, ""},
        // "Date Sys" shows its pattern, selected, on focus gain; the paste replaces it.
        {DateSys, "", "2/29/2024", "2/29/2024", false, "M/d/yyyy"},
        {DateSys, "", "2/30/2024", "M/d/yyyy", true, "M/d/yyyy"},
        {Uppercase, "A", "bc", "ABC", false, "A"},
        {Lowercase, "a", "BC", "abc", false, "a"},
        {Normal, "a", "x y", "ax y", false, "a"},
        // Every type keeps only texts of its kind: no letters among the symbols, a percent
        // box only an unsigned number (its "%" dropped).
        {Percent, "1", "zz", "1", true, "1"},
        {Percent, "", "12.5%", "12.5", false, ""},
        {Percent, "", "-5", "", true, ""},
        {NumericWithSymbols, "1", "a-b", "1", true, "1"},
        {NumericWithSymbols, "1", "-2", "1-2", false, "1"},
        // Pasted numbers arrive as typing writes them: no blanks, groups or symbol.
        {Numeric, "", " 1,234.5 ", "1234.5", false, "1234.5"},
        {CurrencyWithSymbol, "", "$1,234.50", "+1234.50", false, "+1234.50"},
        {CurrencySys, "", "1.234,50", "", true, ""},
    };
    for (const PasteRow& row : rows) {
        SCOPED_TRACE(testing::Message() << "type " << row.type << " paste " << row.clipboard);
        EditEngine e;
        MemoryClipboard clipboard;
        e.setClipboard(&clipboard);
        e.setToday([] { return kToday; });
        e.settings().editType = row.type;
        e.setText(QString::fromUtf8(row.before));
        e.focusIn(FocusCause::Other);
        if (row.type != DateSys)
            e.setSelection(int(e.text().size()), 0);
        clipboard.setText(QString::fromUtf8(row.clipboard));
        int changes = 0;
        e.onChange = [&] { ++changes; };
        const int beeps = e.beepCount();
        EXPECT_EQ(pressWithCtrl(e, 22), 22);
        EXPECT_EQ(e.text().toStdString(), row.after);
        EXPECT_EQ(e.beepCount() - beeps, row.beep ? 1 : 0);
        EXPECT_EQ(e.acceptedText().toStdString(), row.accepted);
        EXPECT_EQ(changes, 1);
        EXPECT_LE(e.selStart(), e.text().size());
    }
}

TEST(EditEnginePaste, CaretAfterPasteAndNoPasteWithoutCtrl)
{
    EditEngine e;
    MemoryClipboard clipboard;
    e.setClipboard(&clipboard);
    clipboard.setText(QStringLiteral("XY"));
    e.setText(QStringLiteral("abcd"));
    e.setSelection(1, 2);
    pressWithCtrl(e, 22);
    EXPECT_EQ(e.text(), QStringLiteral("aXYd"));
    EXPECT_EQ(e.selStart(), 3);
    // Character 22 without the Ctrl key pastes nothing.
    typeKeys(e, QString(QChar(22)));
    EXPECT_EQ(e.text(), QStringLiteral("aXYd"));
    // A paste longer than the box allows is undone.
    e.settings().maxLength = 5;
    e.setSelection(4, 0);
    pressWithCtrl(e, 22);
    EXPECT_EQ(e.text(), QString());
    // A change made with the mouse down (the context menu's paste) ends the clipboard rule.
    e.settings().maxLength = 0;
    e.mouseDown(ButtonRight);
    EXPECT_TRUE(e.clipboardKeysAllowed());
    e.textEdited(QStringLiteral("pasted"), 6, 0);
    EXPECT_FALSE(e.clipboardKeysAllowed());
    e.mouseUp(ButtonRight);
}

namespace {

std::string validated(int type, const QString& text, int decimals = 0, int centuryYear = 76,
                      bool* cancel = nullptr, const VrexLocaleValues& locale = {})
{
    EditEngine e;
    FixedLocaleSource source(locale);
    e.setLocaleSource(&source);
    e.setToday([] { return kToday; });
    e.settings().editType = type;
    e.settings().decimals = decimals;
    e.settings().centuryYear = centuryYear;
    e.focusIn(FocusCause::Other);
    e.setText(text); // marks the box changed since the focus gain
    const ValidateResult r = e.validate();
    if (cancel)
        *cancel = r.cancel;
    EXPECT_EQ(r.beep, r.cancel);
    EXPECT_EQ(e.changedSinceFocus(), r.cancel);
    return e.text().toStdString();
}

} // namespace

TEST(EditEngineValidate, NumericFormatsForEveryDecimals)
{
    const char* expected[] = {"12",      "12.3",     "12.35",     "12.345",
                              "12.3450", "12.34500", "12.345000", "12.345"};
    for (int decimals = 0; decimals <= 7; ++decimals) {
        SCOPED_TRACE(decimals);
        EXPECT_EQ(validated(Numeric, QStringLiteral("12.345"), decimals), expected[decimals]);
        EXPECT_EQ(validated(NumericWithSymbols, QStringLiteral("12.345"), decimals),
                  expected[decimals]);
    }
    EXPECT_EQ(validated(Numeric, QStringLiteral("0."), 2), "0.00");
    EXPECT_EQ(validated(Numeric, QStringLiteral("9.995"), 2), "10.00");
    EXPECT_EQ(validated(Numeric, QStringLiteral("0.5"), 0), "1");
    EXPECT_EQ(validated(Numeric, QStringLiteral("007"), 1), "7.0");
    EXPECT_EQ(validated(Numeric, QStringLiteral("123456789012345678.5"), 0), "123456789012345679");
    EXPECT_EQ(validated(Numeric, QString(), 2), "");
    EXPECT_EQ(validated(NumericWithSymbols, QStringLiteral("(555) 1"), 2), "(555) 1");
    EXPECT_EQ(validated(NumericSigned, QStringLiteral("+12.5"), 2), "+12.50");
    EXPECT_EQ(validated(NumericSigned, QStringLiteral("-12.5"), 0), "-13");
    EXPECT_EQ(validated(NumericSigned, QStringLiteral("-0.001"), 2), "0.00");
    EXPECT_EQ(validated(NumericSigned, QStringLiteral("+"), 2), "+");
}

TEST(EditEngineValidate, DateMMDDYYCompletion)
{
    bool cancel = false;
    EXPECT_EQ(validated(DateMMDDYY, QStringLiteral("05/07"), 0, 57), "");
    EXPECT_EQ(validated(DateMMDDYY, QStringLiteral("05/07/"), 0, 57), "");
    EXPECT_EQ(validated(DateMMDDYY, QStringLiteral("05/07/7"), 0, 57), "05/07/2007");
    // Two-digit years in the 2000s around CenturyYear.
    EXPECT_EQ(validated(DateMMDDYY, QStringLiteral("05/07/07"), 0, 57), "05/07/2007");
    EXPECT_EQ(validated(DateMMDDYY, QStringLiteral("05/07/57"), 0, 57), "05/07/2057");
    EXPECT_EQ(validated(DateMMDDYY, QStringLiteral("05/07/58"), 0, 57), "05/07/1958");
    EXPECT_EQ(validated(DateMMDDYY, QStringLiteral("05/07/98"), 0, 57), "05/07/1998");
    EXPECT_EQ(validated(DateMMDDYY, QStringLiteral("05/07/00"), 0, 0), "05/07/2000");
    EXPECT_EQ(validated(DateMMDDYY, QStringLiteral("05/07/01"), 0, 0), "05/07/1901");
    EXPECT_EQ(validated(DateMMDDYY, QStringLiteral("05/07/99"), 0, 99), "05/07/2099");
    // Three year digits: the current decade is completed, anything else is refused.
    EXPECT_EQ(validated(DateMMDDYY, QStringLiteral("05/07/202"), 0, 57, &cancel), "05/07/2026");
    EXPECT_FALSE(cancel);
    EXPECT_EQ(validated(DateMMDDYY, QStringLiteral("05/07/199"), 0, 57, &cancel), "05/07/199");
    EXPECT_TRUE(cancel);
    EXPECT_EQ(validated(DateMMDDYY, QStringLiteral("05/07/2007"), 0, 57), "05/07/2007");
}

TEST(EditEngineValidate, TimeCurrencyAndPercent)
{
    EXPECT_EQ(validated(TimeHHMM, QStringLiteral("12:30 ")), "12:30 AM");
    EXPECT_EQ(validated(TimeHHMM, QStringLiteral("12:30 P")), "12:30 PM");
    EXPECT_EQ(validated(TimeHHMM, QStringLiteral("12:30 PM")), "12:30 PM");
    EXPECT_EQ(validated(TimeHHMM, QString()), "");

    EXPECT_EQ(validated(CurrencySys, QStringLiteral("1234.5")), "1,234.50");
    EXPECT_EQ(validated(CurrencySys, QStringLiteral("-")), "");
    EXPECT_EQ(validated(CurrencySys, QStringLiteral("+12.5")), "12.50");
    EXPECT_EQ(validated(CurrencySys, QStringLiteral("-1234567.891")), "-1,234,567.89");
    EXPECT_EQ(validated(CurrencyWithSymbol, QStringLiteral("1234.5")), "$1,234.50");
    EXPECT_EQ(validated(CurrencyWithSymbol, QStringLiteral("-5")), "-$5.00");
    EXPECT_EQ(validated(CurrencyDec, QStringLiteral("1234.5"), 3), "1,234.500");
    EXPECT_EQ(validated(CurrencyDec, QStringLiteral("0.5"), 0), "1");
    EXPECT_EQ(validated(CurrencyDec, QStringLiteral("-."), 2), "-.");

    VrexLocaleValues euro;
    euro.currencySymbol = QStringLiteral("€");
    euro.currencyPosition = 3;
    euro.decimalPoint = QStringLiteral(",");
    euro.groupSeparator = QStringLiteral(".");
    euro.currencyDigits = 0;
    EXPECT_EQ(validated(CurrencyWithSymbol, QStringLiteral("1234,5"), 0, 76, nullptr, euro),
              "1.235 €");
    EXPECT_EQ(validated(CurrencySys, QStringLiteral("1234,5"), 0, 76, nullptr, euro), "1.235");
    // A formatted amount formats again to itself.
    EXPECT_EQ(validated(CurrencyWithSymbol, QStringLiteral("1.235 €"), 0, 76, nullptr, euro),
              "1.235 €");

    EXPECT_EQ(validated(Percent, QStringLiteral("12.5")), "12.50%");
    EXPECT_EQ(validated(Percent, QStringLiteral("0.")), "0.00%");
    EXPECT_EQ(validated(Percent, QStringLiteral("1234")), "1,234.00%");
}

TEST(EditEngineValidate, DateSysWithTwoAndFourDigitYears)
{
    bool cancel = false;
    EXPECT_EQ(validated(DateSys, QStringLiteral("5/7/2026"), 0, 76, &cancel), "5/7/2026");
    EXPECT_EQ(validated(DateSys, QStringLiteral("05/07/26"), 0, 76, &cancel), "5/7/2026");
    EXPECT_EQ(validated(DateSys, QStringLiteral("5/7/98"), 0, 76, &cancel), "5/7/1998");
    EXPECT_EQ(validated(DateSys, QStringLiteral("5/7/77"), 0, 77, &cancel), "5/7/2077");
    EXPECT_FALSE(cancel);
    for (const char* bad : {"5/7/202", "5/7", "13/1/2026", "2/30/2024", "5/7/2026x", "a/b/cd"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(validated(DateSys, QString::fromUtf8(bad), 0, 76, &cancel), bad);
        EXPECT_TRUE(cancel);
    }
    EXPECT_EQ(validated(DateSys, QString(), 0, 76, &cancel), "");
    EXPECT_FALSE(cancel);

    VrexLocaleValues german;
    german.shortDatePattern = QStringLiteral("dd.MM.yyyy");
    german.dateSeparator = QStringLiteral(".");
    EXPECT_EQ(validated(DateSys, QStringLiteral("7.5.26"), 0, 76, &cancel, german), "07.05.2026");
    EXPECT_EQ(validated(DateSys, QStringLiteral("7/5/26"), 0, 76, &cancel, german), "7/5/26");
    EXPECT_TRUE(cancel);
}

// A host's date rule decides which texts are dates and how they are shown, month names
// included; what it cannot read is refused, and an untouched box it cannot read is emptied.
TEST(EditEngineValidate, DateSysByTheHostsRule)
{
    EditEngine e;
    FixedLocaleSource source;
    e.setLocaleSource(&source);
    e.setDateRule([] {
        return DateRule{
            [](const QString& text) -> std::optional<QDate> {
                const QDate d = QLocale::c().toDate(text.trimmed(), "d MMM yyyy");
                return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
            },
            [](const QDate& date) { return QLocale::c().toString(date, "d MMM yyyy"); }};
    });
    e.settings().editType = DateSys;
    for (const auto& [typed, shown, refused] : {std::tuple{"6 dec 2026", "6 Dec 2026", false},
                                                std::tuple{"06 Dec 2026", "6 Dec 2026", false},
                                                std::tuple{"12/6/2026", "12/6/2026", true},
                                                std::tuple{"31 Feb 2026", "31 Feb 2026", true}}) {
        SCOPED_TRACE(typed);
        e.focusIn(FocusCause::Other);
        e.setText(QString::fromUtf8(typed));
        const ValidateResult r = e.validate();
        EXPECT_EQ(r.cancel, refused);
        EXPECT_EQ(e.text(), QString::fromUtf8(shown));
    }
    e.focusIn(FocusCause::Other);
    e.setText(QStringLiteral("7 Dec 2026"));
    e.focusIn(FocusCause::Other);
    EXPECT_FALSE(e.validate().cancel);
    EXPECT_EQ(e.text(), QStringLiteral("7 Dec 2026"));
    e.setText(QStringLiteral("5/7/2026")); // the pattern's reading, not the rule's
    e.focusIn(FocusCause::Other);
    e.validate();
    EXPECT_EQ(e.text(), QString());
}

TEST(EditEngineFocus, DateSysShowsPatternAndEmptiesItUntouched)
{
    EditEngine e;
    e.settings().editType = DateSys;
    e.focusIn(FocusCause::Tab);
    EXPECT_EQ(e.text(), QStringLiteral("M/d/yyyy"));
    EXPECT_EQ(e.selLength(), 8);
    EXPECT_FALSE(e.validate().cancel);
    EXPECT_EQ(e.text(), QString());
    // A date already there stays when the box is left untouched; a non-date goes.
    e.setText(QStringLiteral("5/7/2026"));
    e.focusIn(FocusCause::Tab);
    e.focusOut();
    EXPECT_EQ(e.text(), QStringLiteral("5/7/2026"));
    e.setText(QStringLiteral("junk"));
    e.focusIn(FocusCause::Tab);
    e.focusOut();
    EXPECT_EQ(e.text(), QString());
    // Entered with Ctrl held, the pattern is still shown (it is no paste).
    e.setText(QString());
    e.keyDown(KeyControl, ShiftMaskCtrl);
    e.focusIn(FocusCause::Other);
    EXPECT_EQ(e.text(), QStringLiteral("M/d/yyyy"));
    e.keyUp(KeyControl, 0);
    // The first key replaces the pattern.
    e.focusIn(FocusCause::Other);
    e.setSelection(0, 0);
    typeKeys(e, QStringLiteral("1"));
    EXPECT_EQ(e.text(), QStringLiteral("1"));
}

TEST(EditEngineFocus, AutoSelectAndClicks)
{
    EditEngine e;
    e.setText(QStringLiteral("abc"));
    e.focusIn(FocusCause::Tab);
    EXPECT_EQ(e.selLength(), 3);
    e.focusOut();
    EXPECT_TRUE(e.highlightPending());
    // Focus by the mouse: the click selects.
    e.focusIn(FocusCause::Mouse);
    e.setSelection(1, 0);
    e.mouseDown(ButtonLeft);
    e.mouseUp(ButtonLeft);
    e.click();
    EXPECT_EQ(e.selLength(), 3);
    EXPECT_FALSE(e.highlightPending());
    e.setSelection(2, 0);
    e.click();
    EXPECT_EQ(e.selLength(), 0);
    EXPECT_EQ(e.savedCaret(), 2);
    // No AutoSelect: nothing is selected on focus.
    e.settings().autoSelect = false;
    e.setSelection(1, 0);
    e.focusIn(FocusCause::Tab);
    EXPECT_EQ(e.selLength(), 0);
    // Date types select from a click to the end, and arrows in "Date MM/DD/YY" too.
    e.settings().editType = DateMMDDYY;
    e.setText(QStringLiteral("12/31/2026"));
    e.setSelection(3, 0);
    e.click();
    EXPECT_EQ(e.selStart(), 3);
    EXPECT_EQ(e.selLength(), 7);
    e.keyDown(KeyLeft, 0);
    EXPECT_EQ(e.selLength(), 0);
    e.setSelection(2, 0); // the line edit moved the caret
    e.keyUp(KeyLeft, 0);
    EXPECT_EQ(e.savedCaret(), 2);
    EXPECT_EQ(e.selLength(), 8);
}

TEST(EditEngineFocus, ValidationOnlyAfterAChange)
{
    EditEngine e;
    e.settings().editType = Numeric;
    e.settings().decimals = 2;
    e.setText(QStringLiteral("5"));
    e.focusIn(FocusCause::Tab);
    e.validate();
    EXPECT_EQ(e.text(), QStringLiteral("5"));
    e.setSelection(1, 0);
    typeKeys(e, QStringLiteral("1"));
    EXPECT_TRUE(e.changedSinceFocus());
    e.focusOut();
    EXPECT_EQ(e.text(), QStringLiteral("51.00"));
    EXPECT_FALSE(e.changedSinceFocus());
}

TEST(EditEngineDefaults, CenturyYearOfANewBox)
{
    EXPECT_EQ(defaultCenturyYear(2007), 57);
    EXPECT_EQ(defaultCenturyYear(2060), 10);
    EXPECT_EQ(defaultCenturyYear(2049), 99);
    EXPECT_EQ(defaultCenturyYear(2050), 0);
}

// One number reading and writing, the user's locale's, for every numeric type: typed, pasted
// and formatted in English (United States) and in German (Germany).
TEST(EditEngineLocale, NumbersInTheUsersLocale)
{
    struct Case
    {
        QLocale locale;
        char16_t point;
        const char* amount;   // 1234.5 with two currency digits, no symbol
        const char* withSign; // ... with the symbol
        const char* percent;  // 12.5 as a percentage
    };
    const Case cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), u'.', "1,234.50", "$1,234.50", "12.50%"},
        {QLocale(QLocale::German, QLocale::Germany), u',', "1.234,50", "1.234,50 €", "12,50%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        const QtLocaleSource source(c.locale);
        auto engine = [&](int type, int decimals = 2) {
            auto e = std::make_unique<EditEngine>();
            e->setLocaleSource(&source);
            e->setToday([] { return kToday; });
            e->settings().editType = type;
            e->settings().decimals = decimals;
            e->focusIn(FocusCause::Other);
            return e;
        };
        auto typeKeys = [](EditEngine& e, const QString& keys) {
            for (QChar k : keys) {
                e.keyDown(0, 0);
                e.keyPress(k.unicode());
            }
        };
        // A text with P standing for the locale's point.
        auto n = [&c](const char* pattern) {
            return QString::fromUtf8(pattern).replace(u'P', QChar(c.point));
        };
        // The locale's point is the point of every numeric type; the other one is refused.
        for (int type : {Numeric, NumericSigned, CurrencySys, CurrencyDec, Percent}) {
            SCOPED_TRACE(type);
            auto e = engine(type);
            typeKeys(*e, n(c.point == u'.' ? "12P5," : "12P5."));
            EXPECT_EQ(e->text(), n(type == NumericSigned ? "+12P5" : "12P5"));
        }
        // Typed, left, formatted; entered again, changed and formatted again.
        for (int type : {CurrencySys, CurrencyWithSymbol, CurrencyDec}) {
            SCOPED_TRACE(type);
            auto e = engine(type);
            typeKeys(*e, n("1234P5"));
            e->focusOut();
            const QString formatted =
                QString::fromUtf8(type == CurrencyWithSymbol ? c.withSign : c.amount);
            EXPECT_EQ(e->text(), formatted);
            e->focusIn(FocusCause::Other);
            e->setSelection(int(e->text().size()), 0);
            typeKeys(*e, QStringLiteral("\b"));
            e->focusOut();
            EXPECT_EQ(e->text(), formatted);
        }
        auto numeric = engine(Numeric, 3);
        typeKeys(*numeric, n("7P25"));
        numeric->focusOut();
        EXPECT_EQ(numeric->text(), n("7P250"));
        auto percent = engine(Percent);
        typeKeys(*percent, n("12P5"));
        percent->focusOut();
        EXPECT_EQ(percent->text(), QString::fromUtf8(c.percent));
        // A pasted amount in the locale's own writing is taken, as typing would write it.
        MemoryClipboard clipboard;
        auto pasted = engine(CurrencyDec);
        pasted->setClipboard(&clipboard);
        clipboard.setText(QString::fromUtf8(c.amount));
        pasted->keyDown(KeyControl, ShiftMaskCtrl);
        pasted->keyPress(22);
        EXPECT_EQ(pasted->text(), n("+1234P50"));
    }
}
