#pragma once

#include <QString>
#include <QVariantList>

class AccpacSession;
class QWidget;

// A modal list of a view's records under a filter. A picked record comes back as a list of
// values: the code or ID first, then the description or name (receipt batches: number,
// date, description, bank code).
class AccpacFinder
{
public:
    virtual ~AccpacFinder() = default;

    virtual void SetSession(AccpacSession* session) = 0;
    virtual void SetViewID(const QString& viewId) = 0;
    virtual void SetFilter(const QString& filter) = 0;
    // Shows the finder modally; true when a record was picked.
    virtual bool Show(QWidget* parent = nullptr) = 0;
    // The values of the picked record; empty when nothing was picked.
    virtual QVariantList Values() const = 0;
};
