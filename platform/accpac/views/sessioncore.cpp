#include "sessioncore.h"

#include <system/comerror.h>

namespace Accpac {

QString SessionCore::version(const QString& appId) const
{
    for (const AccpacActiveApplication& app : applications)
        if (app.AppID() == appId)
            return app.Version();
    return {};
}

void SessionCore::fail(const QString& message, int priority)
{
    errors.add(message, priority);
    throw ComError(ViewErrorNumber, message);
}

} // namespace Accpac
