#pragma once

#include "dictionary.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <vector>

namespace Accpac {

// A browse filter turned into SQL: the condition text holds only column names of the view
// and "?" placeholders; the values travel in params.
struct CompiledFilter
{
    QByteArray sql; // empty: every record
    std::vector<QVariant> params;
};

// A filter the parser refuses; position is 1-based in the filter text.
struct FilterError
{
    int position;
    QString message;
};

// Grammar: expr := term { OR term }; term := factor { AND factor };
// factor := "(" expr ")" | FIELD op value; op := = == != <> < <= > >=;
// value := "text" | number. A text value ends at the double quote that is followed by
// the end, ")" or AND/OR, so values may hold double quotes themselves.
CompiledFilter compileFilter(const QString& filter, const ViewDef& def);

} // namespace Accpac
