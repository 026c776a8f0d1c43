#pragma once

#include <QString>
#include <QVariantList>

class QWidget;

namespace modGeneral {

// The Accpac finder over a view's records under a filter, shown modally over parent with the
// hourglass pointer around it. The picked record's values (code or number first), or none
// when nothing was picked. A failure is reported through ErrorAccpac with source and gives
// none.
QVariantList Show_Finder(const QString& viewId, const QString& filter, const QString& source,
                         QWidget* parent);

} // namespace modGeneral
