#include "steprunner.h"

#include <core/msgbox.h>
#include <core/reporters.h>
#include <core/session.h>

#include <accpac/errors.h>

void StepRunner::handle(const std::exception& failure)
{
    AccpacErrors* errors = nullptr;
    try {
        errors = &modGeneral::Session().Errors();
    } catch (const std::exception&) {
        // No session: nothing but the generic report is possible.
    }
    if (!errors || errors->Count() == 0) {
        modGeneral::reportFailure(failure, m_source, modGeneral::Reporter::Messenger);
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
    } catch (const std::exception& collectionFailure) {
        // The collection itself failed: report that and end the run.
        modGeneral::reportFailure(collectionFailure, m_source, modGeneral::Reporter::Messenger);
        throw RunEnded{};
    }
    if (!warning)
        throw RunEnded{};
}
