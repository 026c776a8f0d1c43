#include <core/msgbox.h>

#include <core/log.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

namespace modGeneral {
namespace {

MsgBoxAnswerer& answerer()
{
    static MsgBoxAnswerer instance;
    return instance;
}

struct ButtonSpec
{
    QMessageBox::StandardButton button;
    MsgResult result;
};

QList<ButtonSpec> buttonsOf(MsgButtons buttons)
{
    using B = QMessageBox;
    switch (buttons) {
    case MsgButtons::OK:
        return {{B::Ok, MsgResult::OK}};
    case MsgButtons::OKCancel:
        return {{B::Ok, MsgResult::OK}, {B::Cancel, MsgResult::Cancel}};
    case MsgButtons::AbortRetryIgnore:
        return {{B::Abort, MsgResult::Abort},
                {B::Retry, MsgResult::Retry},
                {B::Ignore, MsgResult::Ignore}};
    case MsgButtons::YesNoCancel:
        return {{B::Yes, MsgResult::Yes}, {B::No, MsgResult::No}, {B::Cancel, MsgResult::Cancel}};
    case MsgButtons::YesNo:
        return {{B::Yes, MsgResult::Yes}, {B::No, MsgResult::No}};
    case MsgButtons::RetryCancel:
        return {{B::Retry, MsgResult::Retry}, {B::Cancel, MsgResult::Cancel}};
    }
    return {{B::Ok, MsgResult::OK}};
}

QMessageBox::Icon iconOf(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None:
        return QMessageBox::NoIcon;
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

// The box's Escape answer: Cancel where there is one, else the only button of an OK box,
// else none (the user must choose, as with Abort/Retry/Ignore and Yes/No).
MsgResult escapeResult(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::OK:
        return MsgResult::OK;
    case MsgButtons::OKCancel:
    case MsgButtons::YesNoCancel:
    case MsgButtons::RetryCancel:
        return MsgResult::Cancel;
    default:
        return MsgResult::OK;
    }
}

} // namespace

MsgResult MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title,
                 int defaultButton, QWidget* parent)
{
    const QList<ButtonSpec> specs = buttonsOf(buttons);
    const int defaultIndex =
        (defaultButton >= 1 && defaultButton <= specs.size()) ? defaultButton - 1 : 0;
    if (icon == MsgIcon::Critical || icon == MsgIcon::Exclamation)
        qCWarning(lcCore).noquote() << QStringLiteral("box \"%1\": %2").arg(title, text);
    else
        qCInfo(lcCore).noquote() << QStringLiteral("box \"%1\": %2").arg(title, text);
    if (answerer())
        return answerer()(ShownBox{text, title, buttons, icon, defaultIndex + 1});

    // Message texts break lines with CR LF; a box shows a lone CR as nothing.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));

    QMessageBox box(iconOf(icon), title, shown, QMessageBox::NoButton,
                    parent ? parent : QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    // Texts carry names and numbers that users and files supply: never read as markup.
    box.setTextFormat(Qt::PlainText);
    for (int i = 0; i < specs.size(); ++i) {
        QPushButton* button = box.addButton(specs[i].button);
        if (i == defaultIndex)
            box.setDefaultButton(button);
    }
    // The box may open while the hourglass is up; the user needs the arrow to answer it.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    QApplication::restoreOverrideCursor();
    for (const ButtonSpec& spec : specs) {
        if (box.clickedButton() == box.button(spec.button))
            return spec.result;
    }
    return escapeResult(buttons);
}

void setMsgBoxAnswerer(MsgBoxAnswerer newAnswerer)
{
    answerer() = std::move(newAnswerer);
}

} // namespace modGeneral
