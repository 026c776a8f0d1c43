#pragma once

#include <QString>

namespace Accpac {

class ViewRules;

// The rules of the credit-note views ("OE0240" header, "OE0220" lines); nullptr for any
// other view ID.
const ViewRules* creditNoteRules(const QString& viewId);

} // namespace Accpac
