#pragma once

#include <core/orderentry.h>

#include <QList>
#include <QStringList>

// The Order Entry views each invoicing routine opens and composes, one table per group of
// views and Order Entry layout. The routines and their tests read these tables alike.

// A layout: the views opened, in order, and the compose calls, in order (each the view
// composed followed by the views passed). A view is named by its key: the view ID, or the
// ID followed by "/2" for a second view of the same ID.
struct ViewLayout
{
    QStringList views;
    QList<QStringList> composes;
};

namespace OrderViewLayouts {

// The invoice views, which the invoice run opens and composes.
inline const ViewLayout& invoice(modGeneral::OrderEntryLayout layout)
{
    static const ViewLayout older{
        {"OE0420", "OE0400", "OE0660", "OE0160", "OE0720", "OE0427", "OE0422", "OE0401", "OE0403",
         "OE0402", "OE0404"},
        {{"OE0420", "OE0400", "OE0660", "OE0160", "OE0720", "OE0427", "OE0422"},
         {"OE0400", "OE0420", "OE0401", "OE0403", "OE0402"},
         {"OE0720", "OE0420"},
         {"OE0160", "OE0420"},
         {"OE0660", "OE0420"},
         {"OE0427", "OE0420"},
         {"OE0422", "OE0420"},
         {"OE0401", "OE0400"},
         {"OE0402", "OE0400", "OE0404"},
         {"OE0404", "OE0402"},
         {"OE0403", "OE0400"}}};
    static const ViewLayout release56{
        {"OE0420", "OE0400", "OE0999", "OE0160", "OE0720", "OE0427", "OE0422", "OE0401", "OE0403",
         "OE0402", "OE0404", "OE0407", "OE0406", "OE0405"},
        {{"OE0420", "OE0400", "OE0999", "OE0160", "OE0720", "OE0427", "OE0422"},
         {"OE0400", "OE0420", "OE0401", "OE0403", "OE0402", "OE0407", "OE0406"},
         {"OE0720", "OE0420"},
         {"OE0160", "OE0420"},
         {"OE0427", "OE0420"},
         {"OE0422", "OE0420"},
         {"OE0401", "OE0400"},
         {"OE0402", "OE0400", "OE0404", "OE0405"},
         {"OE0404", "OE0402"},
         {"OE0405", "OE0402"},
         {"OE0403", "OE0400"},
         {"OE0407", "OE0400"},
         {"OE0406", "OE0400"}}};
    return layout == modGeneral::OrderEntryLayout::Release56 ? release56 : older;
}

// The order views, which the order routines (back orders cleared, order completed) open
// and compose. In the 5.6 layout "OE0999", "OE0508" and the second "OE0504" are passed to
// other views but not composed themselves.
inline const ViewLayout& order(modGeneral::OrderEntryLayout layout)
{
    static const ViewLayout older{
        {"OE0520", "OE0500", "OE0740", "OE0180", "OE0680", "OE0526", "OE0522", "OE0501", "OE0502",
         "OE0504", "OE0503"},
        {{"OE0520", "OE0500", "OE0680", "OE0180", "OE0740", "OE0526", "OE0522"},
         {"OE0500", "OE0520", "OE0501", "OE0503", "OE0502"},
         {"OE0740", "OE0520"},
         {"OE0180", "OE0520", "OE0500"},
         {"OE0680", "OE0520", "OE0500"},
         {"OE0526", "OE0520"},
         {"OE0522", "OE0520"},
         {"OE0501", "OE0500"},
         {"OE0502", "OE0500", "OE0504"},
         {"OE0504", "OE0502"},
         {"OE0503", "OE0500"}}};
    static const ViewLayout release56{
        {"OE0520", "OE0500", "OE0740", "OE0180", "OE0999", "OE0526", "OE0522", "OE0501", "OE0502",
         "OE0504", "OE0504/2", "OE0503", "OE0508", "OE0507"},
        {{"OE0520", "OE0500", "OE0999", "OE0180", "OE0740", "OE0526", "OE0522"},
         {"OE0500", "OE0520", "OE0501", "OE0503", "OE0502", "OE0508", "OE0507"},
         {"OE0740", "OE0520"},
         {"OE0180", "OE0520", "OE0500"},
         {"OE0526", "OE0520"},
         {"OE0522", "OE0520"},
         {"OE0501", "OE0500"},
         {"OE0503", "OE0500"},
         {"OE0502", "OE0500", "OE0504", "OE0504/2"},
         {"OE0504", "OE0502"},
         {"OE0507", "OE0500"}}};
    return layout == modGeneral::OrderEntryLayout::Release56 ? release56 : older;
}

// The shipment views, which the shipment's completion opens and composes; the same in
// every Order Entry layout.
inline const ViewLayout& shipment()
{
    static const ViewLayout views{
        {"OE0692", "OE0691", "OE0682", "OE0190", "OE0745", "OE0694", "OE0704", "OE0697", "OE0702",
         "OE0705", "OE0703", "OE0698", "OE0699", "OE0706"},
        {{"OE0692", "OE0691", "OE0682", "OE0190", "OE0745", "OE0694", "OE0704"},
         {"OE0691", "OE0692", "OE0697", "OE0702", "OE0705", "OE0703"},
         {"OE0682", "OE0692", "OE0691"},
         {"OE0190", "OE0692", "OE0691"},
         {"OE0745", "OE0692"},
         {"OE0694", "OE0692"},
         {"OE0704", "OE0692"},
         {"OE0697", "OE0698", "OE0699"},
         {"OE0698", "OE0697"},
         {"OE0699", "OE0697"},
         {"OE0702", "OE0691"},
         {"OE0705", "OE0691"},
         {"OE0703", "OE0691", "OE0706", "OE0699"},
         {"OE0706", "OE0703"}}};
    return views;
}

} // namespace OrderViewLayouts
