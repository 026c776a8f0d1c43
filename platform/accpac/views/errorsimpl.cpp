#include "errorsimpl.h"

#include <system/comerror.h>

namespace Accpac {

std::pair<QString, int> ErrorsImpl::Get(int index) const
{
    if (index < 0 || index >= m_entries.size())
        throw ComError(ComErrorNumber::InvalidProcedureCall,
                       QStringLiteral("Error index %1 is out of range.").arg(index));
    return m_entries.at(index);
}

QString ErrorsImpl::Message(int index) const
{
    return Get(index).first;
}

} // namespace Accpac
