#pragma once

#include <QString>

#include <exception>
#include <utility>

// Runs the operations of an invoice run one by one and applies the run's failure rule to
// each: an operation that fails with no Accpac error pending shows the generic error box
// and ends the run; otherwise every pending Accpac error is shown in its own box, and when
// one of them is a warning (priority 1 or 2) the failed operation is skipped and the run
// goes on, else the run ends. A run that ends throws RunEnded out of the runner. Nothing is
// undone.
class StepRunner
{
public:
    // Thrown by a step whose failure ends the run; its messages have been shown.
    struct RunEnded
    {
    };

    // source is the routine's own name, e.g. "frmMain.Create_Invoice".
    explicit StepRunner(QString source) : m_source(std::move(source)) {}

    // Runs one operation. True when it succeeded, false when it failed and was skipped.
    template <class F> bool step(F&& operation)
    {
        try {
            std::forward<F>(operation)();
            return true;
        } catch (const RunEnded&) {
            throw;
        } catch (const std::exception& failure) {
            handle(failure);
            return false;
        }
    }

    // Runs the test of a condition. A test that fails and is skipped counts as a condition
    // that held, so the run goes on with what the condition guards.
    template <class F> bool test(F&& condition)
    {
        bool held = true;
        step([&] { held = std::forward<F>(condition)(); });
        return held;
    }

    const QString& source() const { return m_source; }

private:
    // Shows the failure's messages; throws RunEnded unless the run may go on.
    void handle(const std::exception& failure);

    QString m_source;
};
