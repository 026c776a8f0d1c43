#pragma once

#include <core/msgbox.h>

#include "qtprint.h"

#include <QList>

#include <deque>

// Stands in for the user at the program's message boxes: every box shown is recorded in
// order, and answered from a queue of answers (the box's default button once the queue is
// empty). Restores the real box when it goes out of scope.
class ScriptedBoxes
{
public:
    ScriptedBoxes()
    {
        modGeneral::setMsgBoxAnswerer([this](const modGeneral::ShownBox& box) {
            shown.append(box);
            if (!m_answers.empty()) {
                const modGeneral::MsgResult answer = m_answers.front();
                m_answers.pop_front();
                return answer;
            }
            return defaultAnswer(box);
        });
    }
    // Afterwards no box may open unanswered: one that does fails the test instead of
    // waiting for a user who is not there.
    ~ScriptedBoxes() { refuseUnexpectedBoxes(); }

    static void refuseUnexpectedBoxes()
    {
        modGeneral::setMsgBoxAnswerer([](const modGeneral::ShownBox& box) {
            qCritical("A message box opened that no test expected: %s: %s", qPrintable(box.title),
                      qPrintable(box.text));
            unexpected() += 1;
            return defaultAnswer(box);
        });
    }
    // The number of boxes shown outside any ScriptedBoxes.
    static int& unexpected()
    {
        static int count = 0;
        return count;
    }
    ScriptedBoxes(const ScriptedBoxes&) = delete;
    ScriptedBoxes& operator=(const ScriptedBoxes&) = delete;

    void answer(modGeneral::MsgResult result) { m_answers.push_back(result); }
    QStringList texts() const
    {
        QStringList list;
        for (const auto& box : shown)
            list.append(box.text);
        return list;
    }

    QList<modGeneral::ShownBox> shown;

private:
    static modGeneral::MsgResult defaultAnswer(const modGeneral::ShownBox& box)
    {
        using modGeneral::MsgButtons;
        using modGeneral::MsgResult;
        static const QList<QList<MsgResult>> results = {
            {MsgResult::OK},
            {MsgResult::OK, MsgResult::Cancel},
            {MsgResult::Abort, MsgResult::Retry, MsgResult::Ignore},
            {MsgResult::Yes, MsgResult::No, MsgResult::Cancel},
            {MsgResult::Yes, MsgResult::No},
            {MsgResult::Retry, MsgResult::Cancel}};
        const auto& row = results[int(box.buttons)];
        return row.value(box.defaultButton - 1, row.first());
    }

    std::deque<modGeneral::MsgResult> m_answers;
};
