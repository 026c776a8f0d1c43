#pragma once

#include <QString>

namespace Accpac {

class ViewRules;

// The rules of a view ID: the Order Entry rules, the Accounts Receivable rules, or plain
// storing for every other view. The session hands them to each view it opens.
const ViewRules& rulesFor(const QString& viewId);

} // namespace Accpac
