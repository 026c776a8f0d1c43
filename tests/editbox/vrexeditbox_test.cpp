// The edit box widget driven as a person drives it: real key sequences (key down, key press,
// key up) and focus moves on the offscreen platform, with the beep, the message hook, the
// clock and the locale fixed.
#include "ui_testform.h"

#include "designstore.h"
#include "localesource.h"
#include <vrexeditbox/vrexeditbox.h>

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QUiLoader>
#include <QVBoxLayout>

#include <memory>

namespace {

const QDate kToday(2026, 12, 8);

} // namespace

class VrexEditboxTest : public QObject
{
    Q_OBJECT

private:
    QWidget* m_window = nullptr;
    VrexEditbox* m_box = nullptr;
    VrexEditbox* m_next = nullptr;
    QPushButton* m_cancel = nullptr;
    int m_beeps = 0;
    QStringList m_messages;
    QStringList m_events;
    FixedLocaleSource m_locale;

    QLineEdit* edit() const { return m_box->findChild<QLineEdit*>(QStringLiteral("txtEdit")); }

    // Types each character as one key: press and release, as a keyboard produces them.
    void type(const QString& keys)
    {
        for (QChar c : keys)
            QTest::keyClick(edit(), c.toLatin1());
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), k, mods);
    }
    void ctrl(Qt::Key k)
    {
        QTest::keyPress(edit(), Qt::Key_Control, Qt::ControlModifier);
        QTest::keyClick(edit(), k, Qt::ControlModifier);
        QTest::keyRelease(edit(), Qt::Key_Control);
    }
    // Enters the box with the Tab key's focus reason, leaves it with a real Tab key.
    void enter()
    {
        m_box->innerEdit()->setFocus(Qt::TabFocusReason);
        QVERIFY(edit()->hasFocus());
    }
    void leave()
    {
        QTest::keyClick(edit(), Qt::Key_Tab);
        QCoreApplication::processEvents();
    }
    void newBox(VrexEditbox::enmEditType type)
    {
        delete m_window;
        m_window = new QWidget;
        auto* layout = new QVBoxLayout(m_window);
        m_box = new VrexEditbox(m_window);
        m_box->setObjectName(QStringLiteral("vreTest"));
        m_box->setEditType(type);
        m_next = new VrexEditbox(m_window);
        m_cancel = new QPushButton(QStringLiteral("Cancel"), m_window);
        m_cancel->setProperty("CausesValidation", false);
        layout->addWidget(m_box);
        layout->addWidget(m_next);
        layout->addWidget(m_cancel);
        // The window opens with the focus on the button, so the box gets it only when a
        // test enters it.
        m_cancel->setFocus();
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        m_events.clear();
        connect(m_box, &VrexEditbox::KeyDown, this,
                [this](int& code, int) { m_events << QStringLiteral("KeyDown %1").arg(code); });
        connect(m_box, &VrexEditbox::KeyPress, this,
                [this](int& ascii) { m_events << QStringLiteral("KeyPress %1").arg(ascii); });
        connect(m_box, &VrexEditbox::KeyUp, this,
                [this](int& code, int) { m_events << QStringLiteral("KeyUp %1").arg(code); });
        connect(m_box, &VrexEditbox::Change, this,
                [this] { m_events << QStringLiteral("Change"); });
        connect(m_box, &VrexEditbox::Click, this, [this] { m_events << QStringLiteral("Click"); });
        connect(m_box, &VrexEditbox::GotFocus, this,
                [this] { m_events << QStringLiteral("GotFocus"); });
        connect(m_box, &VrexEditbox::LostFocus, this,
                [this] { m_events << QStringLiteral("LostFocus"); });
        connect(m_box, &VrexEditbox::Validate, this, [this](bool& cancel) {
            m_events << (cancel ? QStringLiteral("Validate refused") : QStringLiteral("Validate"));
        });
    }

private Q_SLOTS:
    void initTestCase()
    {
        VrexEditbox::setBeepHook([this] { ++m_beeps; });
        VrexEditbox::setMessageHook(
            [this](const QString& text, const QString&) { m_messages << text; });
        VrexEditbox::setClock([] { return kToday; });
        vrex::setLocaleSource(&m_locale);
    }
    void init()
    {
        m_beeps = 0;
        m_messages.clear();
    }
    void cleanupTestCase() { delete m_window; }

    void innerBoxFillsTheControl()
    {
        newBox(VrexEditbox::Normal);
        m_box->resize(150, 30);
        QCOMPARE(edit()->geometry(), QRect(0, 0, 150, 30));
        QCOMPARE(edit()->parentWidget(), m_box);
    }

    void eventsOfOneKeyInOrder()
    {
        newBox(VrexEditbox::Normal);
        enter();
        m_events.clear();
        type(QStringLiteral("a"));
        QCOMPARE(m_events, (QStringList{"KeyDown 65", "Change", "KeyPress 97", "KeyUp 65"}));
        QCOMPARE(m_box->text(), QStringLiteral("a"));
        QCOMPARE(edit()->text(), QStringLiteral("a"));
        QCOMPARE(m_box->selStart(), 1);
    }

    void dateTypingAndCompletionOnLeaving()
    {
        newBox(VrexEditbox::Date_MMDDYY);
        m_box->setCenturyYear(57);
        enter();
        const QStringList steps{"05/", "05/07/", "05/07/0", "05/07/07"};
        const QString keys = QStringLiteral("5707");
        for (int i = 0; i < keys.size(); ++i) {
            type(keys.mid(i, 1));
            QCOMPARE(edit()->text(), steps[i]);
            QCOMPARE(edit()->cursorPosition(), int(steps[i].size()));
        }
        leave();
        QCOMPARE(m_box->text(), QStringLiteral("05/07/2007"));
        QVERIFY(m_next->innerEdit()->hasFocus());

        enter();
        key(Qt::Key_Backspace);
        key(Qt::Key_Backspace); // the whole text was selected; now empty
        type(QStringLiteral("050798"));
        QCOMPARE(m_box->text(), QStringLiteral("05/07/98"));
        leave();
        QCOMPARE(m_box->text(), QStringLiteral("05/07/1998"));
        QCOMPARE(m_beeps, 0);
    }

    void dateRefusesMonth13AndCompletesShortEntries()
    {
        newBox(VrexEditbox::Date_MMDDYY);
        enter();
        type(QStringLiteral("13"));
        QCOMPARE(m_box->text(), QStringLiteral("1"));
        QCOMPARE(m_beeps, 1);
        QVERIFY(m_events.contains(QStringLiteral("KeyPress 0")));
        type(QStringLiteral("2"));
        QCOMPARE(m_box->text(), QStringLiteral("12/"));

        m_box->setText(QString());
        enter();
        type(QStringLiteral("0507"));
        QCOMPARE(m_box->text(), QStringLiteral("05/07/"));
        key(Qt::Key_Backspace);
        QCOMPARE(m_box->text(), QStringLiteral("05/07"));
        leave();
        QCOMPARE(m_box->text(), QString());

        enter();
        type(QStringLiteral("05077"));
        leave();
        QCOMPARE(m_box->text(), QStringLiteral("05/07/2007"));
    }

    void refusedDateKeepsTheFocus()
    {
        newBox(VrexEditbox::Date_MMDDYY);
        enter();
        type(QStringLiteral("0507199"));
        QCOMPARE(m_box->text(), QStringLiteral("05/07/199"));
        m_events.clear();
        leave();
        QTRY_VERIFY(edit()->hasFocus());
        QCOMPARE(m_beeps, 1);
        // The host hears of the refusal, so that it can say why.
        QVERIFY(m_events.contains(QStringLiteral("Validate refused")));
        QVERIFY(!m_events.contains(QStringLiteral("Validate")));
        QVERIFY(!m_events.contains(QStringLiteral("LostFocus")));
        QVERIFY(!m_events.contains(QStringLiteral("GotFocus")));
        // Corrected, the box can be left.
        key(Qt::Key_Backspace);
        type(QStringLiteral("2"));
        QCOMPARE(m_box->text(), QStringLiteral("05/07/192"));
        key(Qt::Key_Backspace);
        key(Qt::Key_Backspace);
        key(Qt::Key_Backspace);
        type(QStringLiteral("202"));
        leave();
        QCOMPARE(m_box->text(), QStringLiteral("05/07/2026"));
        QVERIFY(m_next->innerEdit()->hasFocus());
        QVERIFY(m_events.contains(QStringLiteral("LostFocus")));
    }

    void hostValidateCancelKeepsTheFocus()
    {
        newBox(VrexEditbox::Uppercase);
        connect(m_box, &VrexEditbox::Validate, this,
                [this](bool& cancel) { cancel = m_box->text() != QStringLiteral("OK"); });
        enter();
        type(QStringLiteral("no"));
        leave();
        QTRY_VERIFY(edit()->hasFocus());
        m_box->HighlightText();
        type(QStringLiteral("ok"));
        leave();
        QVERIFY(m_next->innerEdit()->hasFocus());
        // A button that causes no validation takes the focus without a check.
        enter();
        type(QStringLiteral("x"));
        m_events.clear();
        m_cancel->setFocus(Qt::MouseFocusReason);
        QCoreApplication::processEvents();
        QVERIFY(m_cancel->hasFocus());
        QVERIFY(!m_events.contains(QStringLiteral("Validate")));
        QCOMPARE(m_events.last(), QStringLiteral("LostFocus"));
    }

    void numericLetterDeletesTheSelection()
    {
        newBox(VrexEditbox::Numeric);
        m_box->setText(QStringLiteral("1234"));
        enter();
        // Select "23" with the keyboard: Home, Right, Shift+Right twice.
        key(Qt::Key_Home);
        key(Qt::Key_Right);
        key(Qt::Key_Right, Qt::ShiftModifier);
        key(Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(m_box->selStart(), 1);
        QCOMPARE(m_box->selLength(), 2);
        type(QStringLiteral("a"));
        QCOMPARE(m_box->text(), QStringLiteral("14"));
        QCOMPARE(m_beeps, 1);
    }

    void signedPercentAndUppercase()
    {
        newBox(VrexEditbox::Numeric_Signed);
        enter();
        type(QStringLiteral("5"));
        QCOMPARE(m_box->text(), QStringLiteral("+5"));

        newBox(VrexEditbox::Percent);
        enter();
        type(QStringLiteral("."));
        QCOMPARE(m_box->text(), QStringLiteral("0."));
        type(QStringLiteral("."));
        QCOMPARE(m_box->text(), QStringLiteral("0."));
        QCOMPARE(m_beeps, 1);
        type(QStringLiteral("5"));
        leave();
        QCOMPARE(m_box->text(), QStringLiteral("0.50%"));

        newBox(VrexEditbox::Uppercase);
        enter();
        m_events.clear();
        type(QStringLiteral("a"));
        QCOMPARE(m_box->text(), QStringLiteral("A"));
        QVERIFY(m_events.contains(QStringLiteral("KeyPress 65")));
    }

    void currencyDecimalsLimitIsQuiet()
    {
        newBox(VrexEditbox::Currency_Dec);
        m_box->setDecimals(VrexEditbox::Decimals_2_Two);
        enter();
        type(QStringLiteral("12.34"));
        type(QStringLiteral("5"));
        QCOMPARE(m_box->text(), QStringLiteral("12.34"));
        QCOMPARE(m_beeps, 0);
        QCOMPARE(m_events.last(), QStringLiteral("KeyUp 53"));
        type(QStringLiteral("x"));
        QCOMPARE(m_beeps, 1);
        leave();
        QCOMPARE(m_box->text(), QStringLiteral("12.34"));

        newBox(VrexEditbox::Curreny_with_Symbol);
        enter();
        type(QStringLiteral("1234.5"));
        leave();
        QCOMPARE(m_box->text(), QStringLiteral("$1,234.50"));
    }

    void escapeTwiceShowsFocusTextThenDefault()
    {
        newBox(VrexEditbox::Normal);
        m_box->setDefaultText(QStringLiteral("DEF"));
        m_box->setText(QStringLiteral("start"));
        enter();
        key(Qt::Key_End);
        type(QStringLiteral("xy"));
        QCOMPARE(m_box->text(), QStringLiteral("startxy"));
        key(Qt::Key_Escape);
        QCOMPARE(m_box->text(), QStringLiteral("start"));
        QCOMPARE(edit()->selectedText(), QStringLiteral("start"));
        key(Qt::Key_Escape);
        QCOMPARE(m_box->text(), QStringLiteral("DEF"));
    }

    void lockedBoxPassesEveryKey()
    {
        newBox(VrexEditbox::Normal);
        m_box->setText(QStringLiteral("fixed"));
        m_box->setLocked(true);
        enter();
        m_events.clear();
        type(QStringLiteral("ab1"));
        key(Qt::Key_Backspace);
        key(Qt::Key_Delete);
        QCOMPARE(m_box->text(), QStringLiteral("fixed"));
        QCOMPARE(m_events.filter(QStringLiteral("KeyPress")),
                 (QStringList{"KeyPress 97", "KeyPress 98", "KeyPress 49", "KeyPress 8"}));
        QVERIFY(!m_events.contains(QStringLiteral("Change")));
        QCOMPARE(m_beeps, 0);
    }

    void dateSysShowsPatternAndEmptiesUntouched()
    {
        newBox(VrexEditbox::Date_Sys);
        enter();
        QCOMPARE(m_box->text(), QStringLiteral("M/d/yyyy"));
        leave();
        QCOMPARE(m_box->text(), QString());

        enter();
        type(QStringLiteral("5/7/26"));
        leave();
        QCOMPARE(m_box->text(), QStringLiteral("5/7/2026"));

        enter();
        m_box->HighlightText();
        type(QStringLiteral("5/7/202"));
        leave();
        QTRY_VERIFY(edit()->hasFocus());
        QCOMPARE(edit()->selectedText(), QStringLiteral("5/7/202"));
        QCOMPARE(m_beeps, 1);
    }

    void clipboardKeysAndPasteChecks()
    {
        newBox(VrexEditbox::Numeric);
        enter();
        QGuiApplication::clipboard()->setText(QStringLiteral("12x"));
        ctrl(Qt::Key_V);
        QCOMPARE(m_box->text(), QString());
        QCOMPARE(m_beeps, 1);
        QGuiApplication::clipboard()->setText(QStringLiteral("-42"));
        ctrl(Qt::Key_V);
        QCOMPARE(m_box->text(), QStringLiteral("42"));
        // Copy and cut need the Ctrl key down.
        m_box->HighlightText();
        QGuiApplication::clipboard()->setText(QString());
        ctrl(Qt::Key_C);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("42"));
        ctrl(Qt::Key_X);
        QCOMPARE(m_box->text(), QString());

        // Ctrl held for two pastes pastes twice.
        newBox(VrexEditbox::Uppercase);
        enter();
        QGuiApplication::clipboard()->setText(QStringLiteral("ab"));
        QTest::keyPress(edit(), Qt::Key_Control, Qt::ControlModifier);
        QTest::keyClick(edit(), Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(edit(), Qt::Key_V, Qt::ControlModifier);
        QTest::keyRelease(edit(), Qt::Key_Control);
        QCOMPARE(m_box->text(), QStringLiteral("ABAB"));

        // A password box never copies its text out.
        newBox(VrexEditbox::Normal);
        m_box->setPasswordChar(QStringLiteral("*"));
        m_box->setText(QStringLiteral("secret"));
        enter();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        ctrl(Qt::Key_C);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    }

    void inputMethodCharactersAreTypedOneByOne()
    {
        newBox(VrexEditbox::Date_MMDDYY);
        enter();
        QInputMethodEvent event(QString(), {});
        event.setCommitString(QStringLiteral("5x7"));
        QCoreApplication::sendEvent(edit(), &event);
        QCOMPARE(m_box->text(), QStringLiteral("05/07/"));
        QCOMPARE(m_beeps, 1);
        QCOMPARE(m_events.filter(QStringLiteral("KeyPress")),
                 (QStringList{"KeyPress 53", "KeyPress 0", "KeyPress 55"}));
    }

    void hostCanChangeTheKey()
    {
        newBox(VrexEditbox::Normal);
        connect(m_box, &VrexEditbox::KeyPress, this, [](int& ascii) {
            if (ascii == 'x')
                ascii = 0;
            else if (ascii == 'a')
                ascii = 'b';
        });
        enter();
        type(QStringLiteral("axc"));
        QCOMPARE(m_box->text(), QStringLiteral("bc"));
        QCOMPARE(m_box->selStart(), 2);
    }

    void focusedBoxCanBeDestroyed()
    {
        newBox(VrexEditbox::Date_MMDDYY);
        enter();
        type(QStringLiteral("05"));
        delete m_box;
        m_box = nullptr;
        QVERIFY(!m_events.contains(QStringLiteral("LostFocus")));
        delete m_window;
        m_window = nullptr;
    }

    void focusColoursAndMouseSelection()
    {
        newBox(VrexEditbox::Normal);
        m_box->setAutoFocus(true);
        m_box->setBackColor_GotFocus(0x00FFFF); // yellow
        m_box->setText(QStringLiteral("hello"));
        m_next->innerEdit()->setFocus(Qt::TabFocusReason);
        QTest::mouseClick(edit(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QVERIFY(edit()->hasFocus());
        QCOMPARE(edit()->selectedText(), QStringLiteral("hello"));
        QCOMPARE(edit()->palette().color(QPalette::Base), QColor(255, 255, 0));
        QCOMPARE(m_box->backColor(), 0x00FFFFu);
        QVERIFY(m_events.contains(QStringLiteral("Click")));
        leave();
        QCOMPARE(edit()->palette().color(QPalette::Base), QColor(255, 255, 255));
        QCOMPARE(m_box->backColor(), 0xFFFFFFu);
    }

    void centuryYearRangeAndDefault()
    {
        VrexEditbox::setClock([] { return QDate(2060, 3, 1); });
        VrexEditbox placed;
        QCOMPARE(placed.centuryYear(), 10);
        VrexEditbox::setClock([] { return kToday; });
        QCOMPARE(VrexEditbox().centuryYear(), 76);

        QSignalSpy changed(&placed, &VrexEditbox::propertyChanged);
        placed.setCenturyYear(100);
        placed.setProperty("CenturyYear", -1);
        QCOMPARE(placed.centuryYear(), 10);
        QCOMPARE(m_messages, (QStringList{"Invalid Property Value. Must be from 0 to 99.",
                                          "Invalid Property Value. Must be from 0 to 99."}));
        QCOMPARE(changed.count(), 0);
        placed.setCenturyYear(0);
        QCOMPARE(placed.centuryYear(), 0);
        placed.setCenturyYear(99);
        QCOMPARE(placed.centuryYear(), 99);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("CenturyYear"));
        QCOMPARE(m_messages.size(), 2);

        // Other bad values: the inner box's own error, the old value kept.
        placed.setMaxLength(-3);
        placed.setProperty("Alignment", 7);
        placed.setSelStart(-1);
        QCOMPARE(placed.maxLength(), 0);
        QCOMPARE(placed.alignment(), VrexEditbox::Left_Justify);
        QCOMPARE(m_messages.size(), 5);
        QCOMPARE(m_messages.last(), QStringLiteral("Invalid property value."));
    }

    void messagesInTheTranslatorsLanguage()
    {
        // The German translation built into the library changes the messages a host sees;
        // a language without one leaves them in English.
        const auto english = qScopeGuard([] {
            VrexEditbox::installTranslator(QLocale(QLocale::English, QLocale::UnitedStates));
        });
        VrexEditbox box;
        QVERIFY(VrexEditbox::installTranslator(QLocale(QLocale::German, QLocale::Germany)));
        box.setCenturyYear(100);
        box.setMaxLength(-1);
        QVERIFY(!VrexEditbox::installTranslator(QLocale(QLocale::English, QLocale::UnitedStates)));
        box.setMaxLength(-1);
        QCOMPARE(m_messages,
                 (QStringList{"Ungültiger Eigenschaftswert. Er muss zwischen 0 und 99 liegen.",
                              "Ungültiger Eigenschaftswert.", "Invalid property value."}));
    }

    void designSavedAndLoaded()
    {
        VrexEditbox fresh;
        VrexPropertyBag bag;
        vrex::writeProperties(fresh, bag);
        QCOMPARE(bag.names(), QStringList());

        VrexEditbox box;
        box.setEditType(VrexEditbox::Currency_Dec);
        box.setDecimals(VrexEditbox::Decimals_2_Two);
        box.setDefaultText(QStringLiteral("0.00"));
        box.setText(QStringLiteral("saved"));
        box.setCenturyYear(40);
        box.setBackColor_Normal(0xC0C0C0);
        box.setFontBold(true);
        vrex::writeProperties(box, bag);
        QCOMPARE(bag.names(), (QStringList{"BackColor_LostFocus", "DefaultText", "EditType",
                                           "Decimals", "CenturyYear", "FontBold", "Text"}));
        QCOMPARE(bag.value(QStringLiteral("BackColor_LostFocus")).toUInt(), 0xC0C0C0u);
        box.setBackColor_Normal(0xFFFFFF);
        vrex::writeProperties(box, bag);
        QVERIFY(!bag.contains(QStringLiteral("BackColor_LostFocus")));

        // Through the text form and back; UseDefaultText puts the default text in.
        const VrexPropertyBag stored = VrexPropertyBag::fromText(bag.toText());
        VrexEditbox loaded;
        QSignalSpy change(&loaded, &VrexEditbox::Change);
        vrex::readProperties(loaded, stored);
        QCOMPARE(loaded.editType(), VrexEditbox::Currency_Dec);
        QCOMPARE(loaded.decimals(), VrexEditbox::Decimals_2_Two);
        QCOMPARE(loaded.centuryYear(), 40);
        QVERIFY(loaded.fontBold());
        QCOMPARE(loaded.text(), QStringLiteral("0.00"));
        QCOMPARE(loaded.property("Text_AsDefaultProperty").toString(), loaded.text());
        QCOMPARE(stored.readOrder(), (QStringList{"AutoSelect",
                                                  "AutoFocus",
                                                  "BackColor_GotFocus",
                                                  "BackColor_LostFocus",
                                                  "DefaultText",
                                                  "UseDefaultText",
                                                  "EditType",
                                                  "Decimals",
                                                  "CenturyYear",
                                                  "Alignment",
                                                  "Appearance",
                                                  "BackColor",
                                                  "BorderStyle",
                                                  "CausesValidation",
                                                  "DataField",
                                                  "Enabled",
                                                  "FontBold",
                                                  "FontItalic",
                                                  "FontName",
                                                  "FontSize",
                                                  "FontStrikethru",
                                                  "FontUnderline",
                                                  "ForeColor",
                                                  "Left",
                                                  "Locked",
                                                  "MaxLength",
                                                  "MousePointer",
                                                  "OLEDragMode",
                                                  "OLEDropMode",
                                                  "PasswordChar",
                                                  "RightToLeft",
                                                  "SelStart",
                                                  "SelLength",
                                                  "Text"}));

        // Without UseDefaultText the saved text stays.
        box.setUseDefaultText(false);
        vrex::writeProperties(box, bag);
        VrexEditbox kept;
        vrex::readProperties(kept, bag);
        QCOMPARE(kept.text(), QStringLiteral("saved"));
        kept.setProperty("Text_AsDefaultProperty", QStringLiteral("other"));
        QCOMPARE(kept.property("Text").toString(), QStringLiteral("other"));
    }

    // Random key sequences through the real widget, for every edit type: the inner box always
    // shows the control's text, the caret stays within it, and the box keeps taking keys.
    void randomKeysNeverBreakTheBox()
    {
        const Qt::Key keys[] = {Qt::Key_0,      Qt::Key_1,         Qt::Key_5,      Qt::Key_9,
                                Qt::Key_Period, Qt::Key_Slash,     Qt::Key_Colon,  Qt::Key_Minus,
                                Qt::Key_Plus,   Qt::Key_A,         Qt::Key_P,      Qt::Key_X,
                                Qt::Key_Space,  Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Left,
                                Qt::Key_Right,  Qt::Key_Home,      Qt::Key_End,    Qt::Key_Escape};
        QRandomGenerator random(20261208);
        QGuiApplication::clipboard()->setText(QStringLiteral("1/2:3.-x"));
        for (int type = 0; type <= 13; ++type) {
            newBox(VrexEditbox::enmEditType(type));
            m_box->setDefaultText(QStringLiteral("7"));
            m_box->setMaxLength(type % 3 == 0 ? 10 : 0);
            enter();
            for (int i = 0; i < 250; ++i) {
                const int pick = int(random.bounded(int(std::size(keys)) + 3));
                if (pick == int(std::size(keys))) {
                    ctrl(Qt::Key_V);
                } else if (pick == int(std::size(keys)) + 1) {
                    ctrl(Qt::Key_X);
                } else if (pick == int(std::size(keys)) + 2) {
                    leave();
                    QCoreApplication::processEvents();
                    enter();
                } else {
                    const Qt::Key k = keys[pick];
                    const Qt::KeyboardModifiers shift =
                        k == Qt::Key_Colon || k == Qt::Key_Plus || (k == Qt::Key_A && i % 2)
                            ? Qt::ShiftModifier
                            : Qt::NoModifier;
                    QTest::keyClick(edit(), k, shift);
                }
                QCOMPARE(edit()->text(), m_box->text());
                QVERIFY(m_box->selStart() + m_box->selLength() <= m_box->text().size());
            }
            m_box->setLocked(true);
            const QString locked = m_box->text();
            type == 11 ? QTest::keyClick(edit(), Qt::Key_1) : QTest::keyClick(edit(), Qt::Key_X);
            QCOMPARE(m_box->text(), locked);
        }
    }

    void formFromUiFile()
    {
        QWidget form;
        Ui::TestForm ui;
        ui.setupUi(&form);
        QCOMPARE(ui.vreAmount->editType(), VrexEditbox::Currency_Dec);
        QCOMPARE(ui.vreAmount->decimals(), VrexEditbox::Decimals_3_Three);
        QCOMPARE(ui.vreAmount->centuryYear(), 30);
        QCOMPARE(ui.vreAmount->backColor_GotFocus(), 65535u);
        // Designer saves colours as colours; older designs as Windows colour values.
        QCOMPARE(ui.vreCode->backColor(), 0x0000FFu);
        QCOMPARE(ui.vreAmount->maxLength(), 12);
        QCOMPARE(ui.vreAmount->alignment(), VrexEditbox::Right_Justify);
        QCOMPARE(ui.vreCode->text(), QStringLiteral("abc"));
        // The design's default text replaces its saved text when it is loaded; once the
        // window is shown, a new default text leaves the text alone.
        QCOMPARE(ui.vreAmount->text(), QStringLiteral("0.000"));
        QCOMPARE(ui.vreAmount->innerEdit()->text(), QStringLiteral("0.000"));
        form.show();
        ui.vreAmount->setDefaultText(QStringLiteral("1.000"));
        QCOMPARE(ui.vreAmount->text(), QStringLiteral("0.000"));
        QVERIFY(form.findChild<VrexEditbox*>(QStringLiteral("vreAmount")));
        QCOMPARE(ui.vreAmount->metaObject()->indexOfProperty("Curreny with Symbol"), -1);
        const QMetaEnum types = QMetaEnum::fromType<VrexEditbox::enmEditType>();
        QCOMPARE(types.keyCount(), 13);
        QCOMPARE(QByteArray(types.valueToKey(7)), QByteArray("Curreny_with_Symbol"));
        QCOMPARE(VrexEditbox::publishedName(VrexEditbox::Curreny_with_Symbol),
                 QStringLiteral("Curreny with Symbol"));
        QCOMPARE(VrexEditbox::publishedName(VrexEditbox::Date_MMDDYY),
                 QStringLiteral("Date MM/DD/YY"));
        QCOMPARE(VrexEditbox::publishedName(VrexEditbox::Decimals_Unlimited),
                 QStringLiteral("Unlimited"));
        QCOMPARE(VrexEditbox::publishedName(VrexEditbox::enmEditType(13)), QString());
        QCOMPARE(VrexEditbox::propertyDescription("Decimals"),
                 QStringLiteral("The number of decimal places for numeric and currency types."));
    }

    void designDefaultTextInEitherOrder()
    {
        // The design's default text replaces its saved text whichever of the two the .ui
        // lists first, compiled by uic or loaded at run time; a Text the host sets after
        // loading stays.
        auto check = [](QWidget& form) {
            auto box = [&form](const char* name) {
                auto* found = form.findChild<VrexEditbox*>(QLatin1String(name));
                return found ? found->text() : QStringLiteral("(missing)");
            };
            QCOMPARE(box("vreTextLast"), QStringLiteral("default"));
            QCOMPARE(box("vreTextFirst"), QStringLiteral("default"));
            QCOMPARE(box("vreTextOnly"), QStringLiteral("saved"));
            QCOMPARE(box("vreCode"), QStringLiteral("abc"));
            auto* last = form.findChild<VrexEditbox*>(QStringLiteral("vreTextLast"));
            QCOMPARE(last->innerEdit()->text(), QStringLiteral("default"));
            for (const char* name : {"vreTextLast", "vreTextFirst", "vreTextOnly"}) {
                auto* b = form.findChild<VrexEditbox*>(QLatin1String(name));
                b->setText(QStringLiteral("host"));
                QCOMPARE(b->text(), QStringLiteral("host"));
            }
        };

        QWidget compiled;
        Ui::TestForm ui;
        ui.setupUi(&compiled);
        check(compiled);

        class Loader : public QUiLoader
        {
        public:
            QWidget* createWidget(const QString& className, QWidget* parent,
                                  const QString& name) override
            {
                if (className != QLatin1String("VrexEditbox"))
                    return QUiLoader::createWidget(className, parent, name);
                auto* box = new VrexEditbox(parent);
                box->setObjectName(name);
                return box;
            }
        } loader;
        QFile file(QStringLiteral(TESTFORM_UI));
        QVERIFY(file.open(QIODevice::ReadOnly));
        std::unique_ptr<QWidget> loaded(loader.load(&file));
        QVERIFY2(loaded, qPrintable(loader.errorString()));
        check(*loaded);

        // A box made in code is no design: its text stays whatever order the host uses.
        VrexEditbox coded;
        coded.setDefaultText(QStringLiteral("default"));
        coded.setText(QStringLiteral("mine"));
        QCOMPARE(coded.text(), QStringLiteral("mine"));
    }
};

QTEST_MAIN(VrexEditboxTest)
#include "vrexeditbox_test.moc"
