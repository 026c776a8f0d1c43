#pragma once

#include <QString>

namespace Accpac {

class ViewImpl;

// What a view does beyond storing its records: defaults, numbering, processing. One
// stateless instance per view ID, shared by every open view of that ID.
class ViewRules
{
public:
    virtual ~ViewRules() = default;

    // After ClearRecord / InitRecord / NewRecord have blanked the record.
    virtual void initRecord(ViewImpl&) const {}
    // NewRecord: by default a blank record like InitRecord.
    virtual void newRecord(ViewImpl& view) const;
    virtual void beforeInsert(ViewImpl&) const {}
    virtual void beforeUpdate(ViewImpl&) const {}
    virtual void process(ViewImpl&) const {}
    virtual void post(ViewImpl&) const {}
};

const ViewRules& rulesFor(const QString& viewId);

} // namespace Accpac
