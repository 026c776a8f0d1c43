#pragma once

namespace Accpac {

// Receipt batch statuses: only an open batch takes receipts and changes; a deleted batch
// keeps its record (and its number) with status 2, a posted one with status 3.
constexpr int BatchOpen = 1;
constexpr int BatchPosted = 3;

class ViewImpl;

// What a view does beyond storing its records: defaults, numbering, processing. One
// stateless instance per view ID, shared by every open view of that ID; the ledgers' rules
// above the view engine supply them, and whoever opens a view hands them to it.
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
    // A view whose records are not stored one by one (details kept with their header until
    // the header is inserted) takes Insert / Update over and returns true.
    virtual bool insert(ViewImpl&) const { return false; }
    virtual bool update(ViewImpl&) const { return false; }
    virtual void process(ViewImpl&) const {}
    virtual void post(ViewImpl&) const {}
};

} // namespace Accpac
