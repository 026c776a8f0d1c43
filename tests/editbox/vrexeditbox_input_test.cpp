// Every way text can reach an edit box, driven through real events on the widget: keys
// outside the Basic Multilingual Plane, input methods, Shift+Insert, the context menu, the
// middle click (the X11 primary selection, run under Xvfb), drag and drop in each drop
// mode; the focus selection; the pass-through properties; numbers in the user's locale; and
// random pastes and drops into every edit type.
#include "designstore.h"

#include <vrexeditbox/vrexeditbox.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

const QDate kToday(2026, 12, 8);

QLocale english()
{
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

QLocale german()
{
    return QLocale(QLocale::German, QLocale::Germany);
}

// Whether a box of the type may hold the text: what typing, a checked paste or the box's
// own formatting can leave in it, written out independently of the box.
bool validFor(int type, const QString& text, const QLocale& locale)
{
    if (text.size() > 12)
        return false;
    const QString point = QRegularExpression::escape(locale.decimalPoint());
    const QString number = QStringLiteral("(\\d+(%1\\d*)?|%1\\d+)").arg(point);
    auto matches = [&text](const QString& pattern) {
        return QRegularExpression(QStringLiteral("^(%1)$").arg(pattern)).match(text).hasMatch();
    };
    auto isDateOrTime = [&] {
        if (text.trimmed().isEmpty())
            return true;
        static const QRegularExpression time(
            QStringLiteral("^\\s*(\\d{1,2}):(\\d{2})(:\\d{2})? ?([AaPp][Mm])?\\s*$"));
        if (time.match(text).hasMatch())
            return true;
        for (const QString& separator : {QStringLiteral("/"), QStringLiteral(".")}) {
            const QStringList parts = text.trimmed().split(separator);
            if (parts.size() != 3)
                continue;
            const int a = parts[0].toInt(), b = parts[1].toInt(), y = parts[2].toInt();
            const int year = parts[2].size() <= 2 ? 2000 + y : y;
            if (QDate(year, a, b).isValid() || QDate(year, b, a).isValid())
                return true;
        }
        return false;
    };
    switch (type) {
    case VrexEditbox::Numeric:
    case VrexEditbox::Percent:
        return matches(number + QStringLiteral("?"));
    case VrexEditbox::Numeric_Signed:
    case VrexEditbox::Currency_Sys:
    case VrexEditbox::Curreny_with_Symbol:
    case VrexEditbox::Currency_Dec:
        return matches(QStringLiteral("[+-]?") + number + QStringLiteral("?"));
    case VrexEditbox::Numeric_With_Symbols:
        return !text.contains(QRegularExpression(QStringLiteral("[A-Za-z]")));
    case VrexEditbox::Date_Sys: {
        // Entered empty, the box shows the short-date pattern (with a four-digit year).
        QString pattern = locale.dateFormat(QLocale::ShortFormat);
        if (!pattern.contains(QLatin1String("yyyy")))
            pattern.replace(QLatin1String("yy"), QLatin1String("yyyy"));
        return text == pattern || isDateOrTime();
    }
    case VrexEditbox::Date_MMDDYY:
    case VrexEditbox::Time_HHMM:
        return isDateOrTime();
    case VrexEditbox::Uppercase:
        return text == text.toUpper();
    case VrexEditbox::Lowercase:
        return text == text.toLower();
    default:
        return true;
    }
}

} // namespace

class VrexEditboxInputTest : public QObject
{
    Q_OBJECT

private:
    QWidget* m_window = nullptr;
    QLineEdit* m_before = nullptr;
    VrexEditbox* m_box = nullptr;
    QLineEdit* m_after = nullptr;
    int m_beeps = 0;
    QStringList m_events;
    FixedLocaleSource m_locale;

    QLineEdit* edit() const { return m_box->innerEdit(); }

    void newBox(VrexEditbox::enmEditType type)
    {
        delete m_window;
        m_window = new QWidget;
        auto* layout = new QVBoxLayout(m_window);
        m_before = new QLineEdit(m_window);
        auto* label = new QLabel(QStringLiteral("&Name"), m_window);
        m_box = new VrexEditbox(m_window);
        label->setBuddy(m_box);
        m_box->setEditType(type);
        m_after = new QLineEdit(m_window);
        layout->addWidget(m_before);
        layout->addWidget(label);
        layout->addWidget(m_box);
        layout->addWidget(m_after);
        m_before->setFocus();
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        m_events.clear();
        connect(m_box, &VrexEditbox::KeyPress, this,
                [this](int& ascii) { m_events << QStringLiteral("KeyPress %1").arg(ascii); });
        connect(m_box, &VrexEditbox::Click, this, [this] { m_events << QStringLiteral("Click"); });
        connect(m_box, &VrexEditbox::DblClick, this,
                [this] { m_events << QStringLiteral("DblClick"); });
        connect(m_box, &VrexEditbox::OLEDragOver, this,
                [this](const QMimeData*, int&, int, int, double, double, int state) {
                    m_events << QStringLiteral("OLEDragOver %1").arg(state);
                });
        connect(m_box, &VrexEditbox::OLEDragDrop, this,
                [this](const QMimeData* data, int&, int, int, double, double) {
                    m_events << QStringLiteral("OLEDragDrop ") + data->text();
                });
    }
    void enter() { m_box->innerEdit()->setFocus(Qt::TabFocusReason); }
    void leave() { m_after->setFocus(Qt::TabFocusReason); }
    void type(const QString& keys)
    {
        for (QChar c : keys)
            QTest::keyClick(edit(), c.toLatin1());
    }
    void ctrlV()
    {
        QTest::keyPress(edit(), Qt::Key_Control, Qt::ControlModifier);
        QTest::keyClick(edit(), Qt::Key_V, Qt::ControlModifier);
        QTest::keyRelease(edit(), Qt::Key_Control);
    }
    // Drops text on the box as a drag from another program would, at the end of its text.
    void drop(const QString& text)
    {
        QMimeData data;
        data.setText(text);
        const QPointF at(edit()->width() - 2, edit()->height() / 2);
        QDragEnterEvent enterEvent(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton,
                                   Qt::NoModifier);
        QCoreApplication::sendEvent(edit(), &enterEvent);
        QDropEvent dropEvent(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit(), &dropEvent);
    }
    // Opens the box's context menu with the right button and picks its entry.
    void pasteFromContextMenu()
    {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                edit()->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(edit(), &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction* action : menu->actions()) {
            if (action->text().remove(u'&').startsWith(QStringLiteral("Paste")))
                action->trigger();
        }
        menu->close();
    }

private Q_SLOTS:
    void initTestCase()
    {
        VrexEditbox::setBeepHook([this] { ++m_beeps; });
        VrexEditbox::setMessageHook([](const QString&, const QString&) {});
        VrexEditbox::setClock([] { return kToday; });
        vrex::setLocaleSource(&m_locale);
    }
    void init() { m_beeps = 0; }
    void cleanupTestCase() { delete m_window; }

    // On X11 a middle click pastes the primary selection; it is checked like any paste.
    void middleClickPastesThroughTheRules()
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard->supportsSelection())
            QSKIP("no primary selection on this platform (run under Xvfb)");
        newBox(VrexEditbox::Numeric);
        m_box->setMaxLength(4);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        const QPoint middle(5, edit()->height() / 2);
        clipboard->setText(QStringLiteral("12ab"), QClipboard::Selection);
        QTRY_COMPARE(clipboard->text(QClipboard::Selection), QStringLiteral("12ab"));
        QTest::mouseClick(edit(), Qt::MiddleButton, Qt::NoModifier, middle);
        QCOMPARE(m_box->text(), QString());
        QCOMPARE(m_beeps, 1);
        clipboard->setText(QStringLiteral("123456"), QClipboard::Selection);
        QTest::mouseClick(edit(), Qt::MiddleButton, Qt::NoModifier, middle);
        QCOMPARE(m_box->text(), QString());
        QCOMPARE(m_beeps, 2);
        clipboard->setText(QStringLiteral("42"), QClipboard::Selection);
        QTest::mouseClick(edit(), Qt::MiddleButton, Qt::NoModifier, middle);
        QCOMPARE(m_box->text(), QStringLiteral("42"));
    }

    // What the line edit inserts on its own (a middle click, its undo, a drop) is checked as
    // a paste on every platform; what it deletes (the Delete key) is not.
    void lineEditsOwnInsertionsAreChecked()
    {
        newBox(VrexEditbox::Date_MMDDYY);
        enter();
        edit()->insert(QStringLiteral("ab"));
        QCOMPARE(m_box->text(), QString());
        QCOMPARE(m_beeps, 1);
        edit()->insert(QStringLiteral("12/25/2026"));
        QCOMPARE(m_box->text(), QStringLiteral("12/25/2026"));
        edit()->setCursorPosition(2);
        QTest::keyClick(edit(), Qt::Key_Delete);
        QCOMPARE(m_box->text(), QStringLiteral("1225/2026"));
        QCOMPARE(m_beeps, 1);

        newBox(VrexEditbox::Uppercase);
        m_box->setMaxLength(3);
        edit()->insert(QStringLiteral("ab"));
        QCOMPARE(m_box->text(), QStringLiteral("AB"));
        edit()->insert(QStringLiteral("cd"));
        QCOMPARE(m_box->text(), QStringLiteral("AB"));
    }

    void shiftInsertAndContextMenuPasteAsPastes()
    {
        newBox(VrexEditbox::Numeric);
        enter();
        QGuiApplication::clipboard()->setText(QStringLiteral("12x"));
        QTest::keyClick(edit(), Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(m_box->text(), QString());
        QCOMPARE(m_beeps, 1);
        QGuiApplication::clipboard()->setText(QStringLiteral("-34"));
        QTest::keyClick(edit(), Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(m_box->text(), QStringLiteral("34"));

        newBox(VrexEditbox::Numeric);
        enter();
        QGuiApplication::clipboard()->setText(QStringLiteral("5y"));
        pasteFromContextMenu();
        QCOMPARE(m_box->text(), QString());
        QCOMPARE(m_beeps, 2);
        QGuiApplication::clipboard()->setText(QStringLiteral("56"));
        pasteFromContextMenu();
        QCOMPARE(m_box->text(), QStringLiteral("56"));
    }

    // A character beyond the Basic Multilingual Plane, from a key or an input method, is
    // refused like any character the box cannot take; a locked box passes it on.
    void charactersBeyondTheBmpAreRefused()
    {
        const QString emoji = QString::fromUcs4(U"\U0001F600");
        for (auto type : {VrexEditbox::Normal, VrexEditbox::Numeric, VrexEditbox::Uppercase}) {
            newBox(type);
            enter();
            QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, emoji);
            QCoreApplication::sendEvent(edit(), &key);
            QCOMPARE(m_box->text(), QString());
            QCOMPARE(edit()->text(), QString());
            QInputMethodEvent method(QString(), {});
            method.setCommitString(emoji + u'7');
            QCoreApplication::sendEvent(edit(), &method);
            QCOMPARE(m_box->text(), QStringLiteral("7"));
            QCOMPARE(m_events.filter(QStringLiteral("KeyPress")),
                     (QStringList{"KeyPress 0", "KeyPress 0", "KeyPress 55"}));
        }
        QCOMPARE(m_beeps, 6);
        m_box->setLocked(true);
        m_events.clear();
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, emoji);
        QCoreApplication::sendEvent(edit(), &key);
        QCOMPARE(m_box->text(), QStringLiteral("7"));
        QCOMPARE(m_events, QStringList{QStringLiteral("KeyPress 128512")});
    }

    // AutoSelect false leaves the caret where it was, however the box is entered.
    void autoSelectFalseSelectsNothingOnTabBacktabOrShortcut()
    {
        newBox(VrexEditbox::Normal);
        m_box->setAutoSelect(false);
        m_box->setText(QStringLiteral("hello"));
        QTest::keyClick(m_before, Qt::Key_Tab);
        QVERIFY(edit()->hasFocus());
        QCOMPARE(edit()->selectedText(), QString());
        QCOMPARE(m_box->selLength(), 0);
        m_after->setFocus();
        QTest::keyClick(m_after, Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(edit()->hasFocus());
        QCOMPARE(edit()->selectedText(), QString());
        m_before->setFocus();
        QTest::keyClick(m_before, Qt::Key_N, Qt::AltModifier);
        QVERIFY(edit()->hasFocus());
        QCOMPARE(edit()->selectedText(), QString());
        // Typing goes in at the caret instead of replacing the text.
        QTest::keyClick(edit(), Qt::Key_X);
        QCOMPARE(m_box->text().size(), 6);

        m_box->setAutoSelect(true);
        m_before->setFocus();
        QTest::keyClick(m_before, Qt::Key_Tab);
        QCOMPARE(edit()->selectedText(), m_box->text());
    }

    void doubleClickRaisesClickOnce()
    {
        newBox(VrexEditbox::Normal);
        m_box->setText(QStringLiteral("two words"));
        // A double click as the system delivers it: press, release, press, double click,
        // release.
        QTest::mouseClick(edit(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QTest::mouseDClick(edit(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(m_events.count(QStringLiteral("Click")), 1);
        QCOMPARE(m_events.count(QStringLiteral("DblClick")), 1);
    }

    // Manual: the drag events go to the host, which takes the data; automatic: the box takes
    // a drop as a paste; none: no drops.
    void dropModesAndDragEvents()
    {
        newBox(VrexEditbox::Numeric);
        QVERIFY(!edit()->acceptDrops());
        m_box->setOLEDropMode(VrexEditbox::Drop_Manual);
        QVERIFY(edit()->acceptDrops());
        QMimeData data;
        data.setText(QStringLiteral("77"));
        const QPoint at(5, 5);
        QDragEnterEvent enterEvent(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit(), &enterEvent);
        QVERIFY(enterEvent.isAccepted());
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit(), &move);
        QDragLeaveEvent leaveEvent;
        QCoreApplication::sendEvent(edit(), &leaveEvent);
        QDragEnterEvent again(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit(), &again);
        QDropEvent dropEvent(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit(), &dropEvent);
        QCOMPARE(m_events, (QStringList{"OLEDragOver 0", "OLEDragOver 2", "OLEDragOver 1",
                                        "OLEDragOver 0", "OLEDragDrop 77"}));
        QCOMPARE(m_box->text(), QString());
        // A host that answers "no effect" refuses the drag.
        connect(m_box, &VrexEditbox::OLEDragOver, this,
                [](const QMimeData*, int& effect, int, int, double, double, int) { effect = 0; });
        QDragMoveEvent refused(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit(), &refused);
        QVERIFY(!refused.isAccepted());

        newBox(VrexEditbox::Numeric);
        m_box->setOLEDropMode(VrexEditbox::Drop_Automatic);
        drop(QStringLiteral("1x"));
        QCOMPARE(m_box->text(), QString());
        QCOMPARE(m_beeps, 1);
        drop(QStringLiteral("12"));
        QCOMPARE(m_box->text(), QStringLiteral("12"));
        QVERIFY(m_events.filter(QStringLiteral("OLE")).isEmpty());
        // A refused drop onto a box without the focus gives back the text it showed.
        m_box->setText(QStringLiteral("9"));
        drop(QStringLiteral("z"));
        QCOMPARE(m_box->text(), QStringLiteral("9"));
    }

    void passThroughPropertiesReachTheInnerBox()
    {
        newBox(VrexEditbox::Normal);
        QSignalSpy changed(m_box, &VrexEditbox::propertyChanged);
        QFont font = m_box->font();
        font.setPointSize(14);
        m_box->setFont(font);
        m_box->setEnabled(false);
        m_box->setEnabled(true);
        m_box->setProperty("Font", QVariant::fromValue(font));
        QStringList names;
        for (const QList<QVariant>& args : changed)
            names << args.at(0).toString();
        QVERIFY(names.contains(QStringLiteral("Font")));
        QCOMPARE(names.count(QStringLiteral("Enabled")), 2);

        m_box->setLeft(10);
        QCOMPARE(edit()->x(), 10);
        QCOMPARE(m_box->left(), 10);
        m_box->resize(m_box->width() + 5, m_box->height());
        QCOMPARE(edit()->x(), 0);

        m_box->setText(QStringLiteral("abc"));
        m_box->setAppearance(VrexEditbox::Appear_3D);
        const QImage raised = m_box->grab().toImage();
        m_box->setAppearance(VrexEditbox::Appear_Flat);
        const QImage flat = m_box->grab().toImage();
        QVERIFY(raised != flat);
        QCOMPARE(flat.pixelColor(0, flat.height() / 2),
                 edit()->palette().color(QPalette::WindowText));
        m_box->setBorderStyle(VrexEditbox::Border_None);
        QVERIFY(m_box->grab().toImage() != flat);

        m_box->setPasswordChar(QStringLiteral("#"));
        QCOMPARE(edit()->displayText(), QStringLiteral("###"));
        m_box->setPasswordChar(QStringLiteral("*"));
        QCOMPARE(edit()->displayText(), QStringLiteral("***"));
        m_box->setPasswordChar(QString());
        QCOMPARE(edit()->displayText(), QStringLiteral("abc"));

        // Colours are QColor properties for Designer, Windows colour values in C++.
        QCOMPARE(m_box->property("BackColor_GotFocus").value<QColor>(), QColor(0, 255, 255));
        m_box->setProperty("BackColor_GotFocus", QColor(255, 255, 0));
        QCOMPARE(m_box->backColor_GotFocus(), 0x00FFFFu);
    }

    // Typed, left, entered again, changed and left again: the amount is read and written in
    // the user's locale, in English (United States) and in German (Germany).
    void numbersInTheUsersLocale()
    {
        vrex::setLocaleSource(nullptr);
        const struct
        {
            QLocale locale;
            QString typed, formatted, changed, numeric, refused;
        } cases[] = {
            {english(), "1234.5", "1,234.50", "1,234.57", "7.250", ","},
            {german(), "1234,5", "1.234,50", "1.234,57", "7,250", "."},
        };
        for (const auto& c : cases) {
            VrexEditbox::setUserLocale([&c] { return c.locale; });
            newBox(VrexEditbox::Currency_Dec);
            m_box->setDecimals(VrexEditbox::Decimals_2_Two);
            enter();
            type(c.typed);
            leave();
            QCOMPARE(m_box->text(), c.formatted);
            enter();
            QTest::keyClick(edit(), Qt::Key_End);
            QTest::keyClick(edit(), Qt::Key_Backspace);
            type(QStringLiteral("7"));
            leave();
            QCOMPARE(m_box->text(), c.changed);

            newBox(VrexEditbox::Numeric);
            m_box->setDecimals(VrexEditbox::Decimals_3_Three);
            enter();
            type(QStringLiteral("7") + c.refused + c.typed.mid(4, 1) + QStringLiteral("25"));
            leave();
            QCOMPARE(m_box->text(), c.numeric);
        }
        VrexEditbox::setUserLocale({});
        vrex::setLocaleSource(&m_locale);
    }

    // Random text pasted (Ctrl+V, Shift+Insert, the line edit's own insertion) and dropped
    // into a box of every edit type, in both locales: the box holds a text of its type.
    void randomPastesAndDropsKeepTheTextValid()
    {
        vrex::setLocaleSource(nullptr);
        const QStringList pieces = {"0",
                                    "1",
                                    "2",
                                    "5",
                                    "9",
                                    ".",
                                    ",",
                                    "-",
                                    "+",
                                    "/",
                                    ":",
                                    " ",
                                    "%",
                                    "$",
                                    "€",
                                    "a",
                                    "Z",
                                    "p",
                                    "M",
                                    "12",
                                    "31",
                                    "/2",
                                    "026",
                                    "1.234,5",
                                    "1,234.5",
                                    "12/25/2026",
                                    "7.5.26",
                                    "9:30 PM",
                                    QString::fromUcs4(U"\U0001F600")};
        QRandomGenerator random(20261208);
        for (const QLocale& locale : {english(), german()}) {
            VrexEditbox::setUserLocale([locale] { return locale; });
            for (int type = 0; type <= 13; ++type) {
                newBox(VrexEditbox::enmEditType(type));
                m_box->setMaxLength(12);
                m_box->setOLEDropMode(VrexEditbox::Drop_Automatic);
                enter();
                for (int i = 0; i < 60; ++i) {
                    QString text;
                    for (int n = int(random.bounded(1, 4)); n > 0; --n)
                        text += pieces[int(random.bounded(pieces.size()))];
                    switch (random.bounded(4)) {
                    case 0:
                        QGuiApplication::clipboard()->setText(text);
                        ctrlV();
                        break;
                    case 1:
                        QGuiApplication::clipboard()->setText(text);
                        QTest::keyClick(edit(), Qt::Key_Insert, Qt::ShiftModifier);
                        break;
                    case 2:
                        drop(text);
                        break;
                    default:
                        edit()->insert(text);
                        break;
                    }
                    const QString now = m_box->text();
                    QVERIFY2(validFor(type, now, locale),
                             qPrintable(QStringLiteral("%1 type %2: \"%3\" after \"%4\"")
                                            .arg(locale.name())
                                            .arg(type)
                                            .arg(now, text)));
                    QCOMPARE(edit()->text(), now);
                    if (random.bounded(8) == 0) {
                        m_box->setText(QString());
                        leave();
                        enter();
                    }
                }
            }
        }
        VrexEditbox::setUserLocale({});
        vrex::setLocaleSource(&m_locale);
    }
};

QTEST_MAIN(VrexEditboxInputTest)
#include "vrexeditbox_input_test.moc"
