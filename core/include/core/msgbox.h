#pragma once

#include <QString>

#include <functional>
#include <vector>

class QWidget;

// The program's one message box. Every box the program shows goes through MsgBox, so the
// texts stay exact and tests can answer the boxes and read back what was shown.
namespace modGeneral {

enum class MsgButtons
{
    OK,
    OKCancel,
    AbortRetryIgnore,
    YesNoCancel,
    YesNo,
    RetryCancel
};
enum class MsgIcon
{
    None,
    Critical,
    Question,
    Exclamation,
    Information
};
enum class MsgResult
{
    OK = 1,
    Cancel = 2,
    Abort = 3,
    Retry = 4,
    Ignore = 5,
    Yes = 6,
    No = 7
};

struct ShownBox
{
    QString text;
    QString title;
    MsgButtons buttons = MsgButtons::OK;
    MsgIcon icon = MsgIcon::None;
    int defaultButton = 1; // 1-based position of the default button
};

// Shows a modal box and returns the button pressed.
MsgResult MsgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title,
                 int defaultButton = 1, QWidget* parent = nullptr);

// Replaces the real box: the answerer is asked instead of the user. Passing an empty
// function restores the real box.
using MsgBoxAnswerer = std::function<MsgResult(const ShownBox&)>;
void setMsgBoxAnswerer(MsgBoxAnswerer answerer);

} // namespace modGeneral
