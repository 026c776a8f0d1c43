// One edit box of each type with a log of the events it raises, for trying the box by hand.
#include <vrexeditbox/vrexeditbox.h>

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QMetaEnum>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>

namespace {

void logEvents(VrexEditbox* box, QPlainTextEdit* log)
{
    const QString name = box->objectName();
    auto line = [log, name](const QString& text) { log->appendPlainText(name + u' ' + text); };
    QObject::connect(box, &VrexEditbox::Change, log, [=] { line("Change: " + box->text()); });
    QObject::connect(box, &VrexEditbox::Click, log, [=] { line("Click"); });
    QObject::connect(box, &VrexEditbox::DblClick, log, [=] { line("DblClick"); });
    QObject::connect(box, &VrexEditbox::KeyDown, log, [=](int& code, int shift) {
        line(QStringLiteral("KeyDown %1 shift %2").arg(code).arg(shift));
    });
    QObject::connect(box, &VrexEditbox::KeyPress, log,
                     [=](int& ascii) { line(QStringLiteral("KeyPress %1").arg(ascii)); });
    QObject::connect(box, &VrexEditbox::KeyUp, log, [=](int& code, int shift) {
        line(QStringLiteral("KeyUp %1 shift %2").arg(code).arg(shift));
    });
    QObject::connect(box, &VrexEditbox::MouseDown, log, [=](int button, int, double x, double y) {
        line(QStringLiteral("MouseDown %1 at %2,%3").arg(button).arg(x).arg(y));
    });
    QObject::connect(box, &VrexEditbox::MouseUp, log, [=](int button, int, double x, double y) {
        line(QStringLiteral("MouseUp %1 at %2,%3").arg(button).arg(x).arg(y));
    });
    QObject::connect(box, &VrexEditbox::GotFocus, log, [=] { line("GotFocus"); });
    QObject::connect(box, &VrexEditbox::Validate, log,
                     [=](bool&) { line("Validate: " + box->text()); });
    QObject::connect(box, &VrexEditbox::LostFocus, log, [=] { line("LostFocus"); });
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("vrexeditbox demo"));
    auto* form = new QFormLayout;
    auto* log = new QPlainTextEdit;
    log->setReadOnly(true);
    log->setMinimumWidth(420);

    const QMetaEnum types = QMetaEnum::fromType<VrexEditbox::enmEditType>();
    for (int i = 0; i < types.keyCount(); ++i) {
        auto* box = new VrexEditbox;
        box->setObjectName(QString::fromLatin1(types.key(i)));
        box->setEditType(VrexEditbox::enmEditType(types.value(i)));
        box->setDecimals(VrexEditbox::Decimals_2_Two);
        box->setAutoFocus(true);
        logEvents(box, log);
        form->addRow(VrexEditbox::publishedName(box->editType()), box);
    }
    auto* layout = new QHBoxLayout(&window);
    layout->addLayout(form);
    layout->addWidget(log, 1);
    window.resize(800, 420);
    window.show();
    // "--grab FILE" saves a picture of the window and ends, for a look without a screen.
    const QStringList args = QCoreApplication::arguments();
    const qsizetype grab = args.indexOf(QStringLiteral("--grab"));
    if (grab > 0 && grab + 1 < args.size()) {
        QTimer::singleShot(0, &window, [&window, file = args.at(grab + 1)] {
            window.grab().save(file);
            QCoreApplication::quit();
        });
    }
    return app.exec();
}
