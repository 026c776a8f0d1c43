#pragma once

#include <QMimeData>
#include <QPointer>

class VrexEditbox;

namespace vrex {

// Drop effects as the drag events report them: none 0, copy 1, move 2.
int dropEffects(Qt::DropActions actions);
Qt::DropActions dropActions(int effects);

// The Windows clipboard format of a MIME type, as OLESetData reports it: text 1, bitmap 2,
// files 15, rich text -16639; 0 for any other type.
int clipboardFormat(const QString& mimeType);

// The data of a drag that starts from a box. A format the host declares in OLEStartDrag
// with empty data (Data->setData(type, {})) is asked for through OLESetData only when a
// drop target reads it, so the host makes costly data only when it is wanted.
class DragData : public QMimeData
{
public:
    explicit DragData(VrexEditbox* source) : m_source(source) {}

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    QPointer<VrexEditbox> m_source;
    mutable bool m_asking = false; // a host reading the data in its OLESetData gets it as is
};

} // namespace vrex
