#pragma once

#include <core/session.h>

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

class AccpacView;

// The views one routine opens, by key: the view ID, or the ID followed by "/2" for a
// second view of the same ID. Views are released in the order they were opened, on every
// path out of the routine (releasing closes a view that is still open).
class ViewSet
{
public:
    ViewSet() = default;
    ~ViewSet() { releaseAll(); }
    ViewSet(const ViewSet&) = delete;
    ViewSet& operator=(const ViewSet&) = delete;

    // Opens the view of key through the company link.
    void open(const QString& key);
    // The open view of key; throws ComError when it is not open.
    AccpacView& operator[](const QString& key) const;
    // Composes the view of keys[0] with the views of the other keys, in that order.
    void compose(const QStringList& keys) const;
    // Closes the view of key explicitly and releases it.
    void close(const QString& key);
    void releaseAll();

private:
    std::vector<std::pair<QString, modGeneral::ViewPtr>> m_views;
};
