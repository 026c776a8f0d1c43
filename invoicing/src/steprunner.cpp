#include "steprunner.h"

#include <core/msgbox.h>
#include <core/reporters.h>
#include <core/session.h>

#include <accpac/errors.h>
#include <system/comerror.h>

void StepRunner::handle(const std::exception& failure)
{
    const ComError error = comErrorOf(failure);
    AccpacErrors* errors = nullptr;
    try {
        errors = &modGeneral::Session().Errors();
    } catch (const std::exception&) {
        // No session: nothing but the generic report is possible.
    }
    if (!errors || errors->Count() == 0) {
        modGeneral::ErrorMessenger(error.number(), error.description(), m_source);
        throw RunEnded{};
    }
    bool warning = false;
    try {
        const int count = errors->Count();
        for (int i = 0; i < count; ++i) {
            const int priority = errors->Get(i).second;
            warning = warning || priority == 1 || priority == 2;
            modGeneral::MsgBox(errors->Message(i) + QStringLiteral("\r\n\nIn procedure ") +
                                   m_source + QStringLiteral("."),
                               modGeneral::MsgButtons::OK, modGeneral::MsgIcon::Exclamation,
                               QStringLiteral("Sage Accpac Error"));
        }
        errors->Clear();
    } catch (const std::exception& reportFailure) {
        // The collection itself failed: report that and end the run.
        const ComError inner = comErrorOf(reportFailure);
        modGeneral::ErrorMessenger(inner.number(), inner.description(), m_source);
        throw RunEnded{};
    }
    if (!warning)
        throw RunEnded{};
}
