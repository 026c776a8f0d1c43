#include "mainwindowfixture.h"

#include "ui_frmmain.h"

#include <core/activation.h>
#include <core/clock.h>
#include <core/msgbox.h>
#include <core/systemlocale.h>

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace {

const QDate Today(2026, 12, 8);

TestOrder shippedOn(const QString& number, int orderDate)
{
    TestOrder o;
    o.number = number;
    o.orderDate = orderDate;
    o.shipments = {{QStringLiteral("SH") + number, 12.5}};
    return o;
}

// Another program: a window that is none of the program's widgets takes the focus.
class OtherProgram
{
public:
    OtherProgram() { m_window.resize(200, 100); }
    void takeFocus()
    {
        m_window.show();
        m_window.requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(&m_window));
        QVERIFY(QApplication::activeWindow() == nullptr);
    }

private:
    QWindow m_window;
};

void activate(QWidget& window)
{
    window.activateWindow();
    QTRY_VERIFY(QApplication::activeWindow() == &window);
}

// Runs `body` from the event loop once the window's grid load is under way.
void duringTheLoad(frmMain& window, std::function<void()> body)
{
    QTimer::singleShot(0, &window, [&window, body] {
        if (window.isLoading())
            body();
        else
            duringTheLoad(window, body);
    });
}

} // namespace

class ActivationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SystemLocale::setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        Clock::Testing::setToday(Today);
    }

    void theFirstShowLoadsOnceWhateverHappensDuringTheLoad()
    {
        MainWindowFixture fixture(
            {shippedOn(QStringLiteral("1"), 20261207), shippedOn(QStringLiteral("2"), 20261208)});
        Setting::save(Setting::DateRange, QStringLiteral("1"));
        bool interfered = false;
        bool checkedDuringLoad = true;
        // The window's first load yields to the event loop. Meanwhile the user goes to another
        // program and back, presses F5, and the timer comes due: no second load starts.
        QTimer::singleShot(0, [&] {
            frmMain* w = fixture.windowIfAny();
            QVERIFY(w);
            duringTheLoad(*w, [&, w] {
                interfered = true;
                w->ui()->chkDateRange->setChecked(false);
                OtherProgram other;
                other.takeFocus();
                activate(*w);
                checkedDuringLoad = w->ui()->chkDateRange->isChecked();
                w->Load_Grid();
                w->mnuFileSub_Click(0);
                tickUntilRefresh(*w);
                QVERIFY(w->isLoading());
            });
        });
        frmMain& w = fixture.openShown();
        QVERIFY(interfered);
        QVERIFY(!checkedDuringLoad);
        QVERIFY(!w.isLoading());
        QCOMPARE(w.ui()->flgMain->Rows(), 3);
        QCOMPARE(w.ui()->flgMain->TextMatrix(1, 1), QStringLiteral("1"));
        QCOMPARE(w.ui()->flgMain->TextMatrix(2, 1), QStringLiteral("2"));
        QCOMPARE(w.statusText(), QStringLiteral("Loading Complete. 2 records Loaded."));
        QVERIFY(w.mnuFileSub(0)->isEnabled());
        // The first activation's load is done: a later activation loads nothing.
        w.setStatusText(QStringLiteral("marker"));
        w.Form_Activate();
        QCOMPARE(w.statusText(), QStringLiteral("marker"));
    }

    void onlyTheProgramsOwnWindowsActivateTheMainWindow()
    {
        MainWindowFixture fixture({shippedOn(QStringLiteral("1"), 20261207)});
        Setting::save(Setting::DateRange, QStringLiteral("1"));
        frmMain& w = fixture.openShown();
        auto* ui = w.ui();
        // The first activation offered the range, checked, from two days before today.
        QVERIFY(ui->chkDateRange->isChecked());
        QCOMPARE(ui->vreFrom->text(), QStringLiteral("12/6/2026"));
        QCOMPARE(ui->vreTo->text(), QStringLiteral("12/8/2026"));
        QCOMPARE(w.statusDate(), QStringLiteral("12/8/2026"));

        // The user unchecks the range; a visit to another program keeps the choice.
        ui->chkDateRange->setChecked(false);
        OtherProgram other;
        other.takeFocus();
        activate(w);
        QVERIFY(!ui->chkDateRange->isChecked());
        QVERIFY(ui->vreFrom->isHidden());

        // So does a message box, answered by the user.
        modGeneral::setMsgBoxAnswerer({});
        bool boxShown = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QTRY_VERIFY(QApplication::activeWindow() == box);
            boxShown = true;
            box->button(QMessageBox::Ok)->click();
        });
        modGeneral::MsgBox(QStringLiteral("A note."), modGeneral::MsgButtons::OK,
                           modGeneral::MsgIcon::Information, QStringLiteral("Note"), 1, &w);
        ScriptedBoxes::refuseUnexpectedBoxes();
        QVERIFY(boxShown);
        activate(w);
        QVERIFY(!ui->chkDateRange->isChecked());

        // Coming back from the program's own configuration window is an activation: the
        // range is offered again and the changed settings are read.
        Setting::save(Setting::BatchInv, QStringLiteral("1"));
        w.mnuFileSub_Click(11);
        QVERIFY(w.configChanged());
        auto* configure = w.findChild<QWidget*>(QStringLiteral("frmConfigure"));
        QVERIFY(configure);
        QTRY_VERIFY(QApplication::activeWindow() == configure);
        configure->close();
        activate(w);
        QVERIFY(!w.configChanged());
        QVERIFY(ui->chkDateRange->isChecked());
        QVERIFY(w.mnuFileSub(4)->isVisible());
    }

    void qtsOwnDialogsPassTheActivationOver()
    {
        QWidget window;
        int runs = 0;
        Activation::onActivate(&window, [&] { ++runs; });
        window.show();
        activate(window);
        QCOMPARE(runs, 1);
        // Opened over the window, answered, and back: no activation of the window.
        auto visit = [&](QDialog& dialog) {
            dialog.open();
            QTRY_VERIFY(QApplication::activeWindow() == &dialog);
            dialog.reject();
            activate(window);
        };
        QFileDialog files(&window);
        files.setOption(QFileDialog::DontUseNativeDialog);
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Print Invoices"),
                        QStringLiteral("A note."), QMessageBox::Ok, &window);
        QInputDialog input(&window);
        QColorDialog colour(&window);
        colour.setOption(QColorDialog::DontUseNativeDialog);
        QProgressDialog progress(&window);
        for (QDialog* dialog :
             std::initializer_list<QDialog*>{&files, &box, &input, &colour, &progress}) {
            visit(*dialog);
            QVERIFY2(runs == 1, dialog->metaObject()->className());
        }
        // A window opened from one of them passes over too.
        QDialog fromTheFileDialog(&files);
        files.open();
        QTRY_VERIFY(QApplication::activeWindow() == &files);
        fromTheFileDialog.open();
        QTRY_VERIFY(QApplication::activeWindow() == &fromTheFileDialog);
        fromTheFileDialog.reject();
        files.reject();
        activate(window);
        QCOMPARE(runs, 1);
        // A dialog of the program's own activates the window when it closes.
        QDialog own(&window);
        visit(own);
        QCOMPARE(runs, 2);
    }

    void anActivationDuringItsOwnHandlerIsNotNested()
    {
        QWidget window;
        int runs = 0;
        int nested = 0;
        bool inside = false;
        QWidget other;
        Activation::onActivate(&window, [&] {
            if (inside)
                ++nested;
            inside = true;
            ++runs;
            if (runs == 1) {
                // The handler yields; the user goes to another of the program's windows
                // and back.
                other.show();
                activate(other);
                activate(window);
            }
            inside = false;
        });
        window.show();
        activate(window);
        QCOMPARE(runs, 1);
        QCOMPARE(nested, 0);
        activate(other);
        activate(window);
        QCOMPARE(runs, 2);
    }
};

QTEST_MAIN(ActivationTest)
#include "activation_test.moc"
