#pragma once

// The two layouts of the Order Entry views: that of Order Entry 5.6 and later, and the older.
namespace modGeneral {

enum class OrderEntryLayout
{
    Older,
    Release56
};

// The layout of the company's active Order Entry: 5.6 for the versions "56A" and "60A", the
// older one for any other (a failure to read the version is reported and gives the older).
OrderEntryLayout orderEntryLayout();

} // namespace modGeneral
