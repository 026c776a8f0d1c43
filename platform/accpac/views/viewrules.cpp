#include "viewrules.h"

#include "viewimpl.h"

namespace Accpac {

void ViewRules::newRecord(ViewImpl& view) const
{
    view.blank();
    initRecord(view);
}

} // namespace Accpac
