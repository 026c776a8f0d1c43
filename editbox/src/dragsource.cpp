#include "dragsource.h"

#include <vrexeditbox/vrexeditbox.h>

namespace vrex {

int dropEffects(Qt::DropActions actions)
{
    return (actions & Qt::CopyAction ? 1 : 0) | (actions & Qt::MoveAction ? 2 : 0);
}

Qt::DropActions dropActions(int effects)
{
    Qt::DropActions actions;
    if (effects & 1)
        actions |= Qt::CopyAction;
    if (effects & 2)
        actions |= Qt::MoveAction;
    return actions;
}

int clipboardFormat(const QString& mimeType)
{
    if (mimeType == QLatin1String("text/plain"))
        return 1;
    if (mimeType == QLatin1String("application/x-qt-image") ||
        mimeType.startsWith(QLatin1String("image/")))
        return 2;
    if (mimeType == QLatin1String("text/uri-list"))
        return 15;
    if (mimeType == QLatin1String("text/rtf") || mimeType == QLatin1String("application/rtf"))
        return -16639;
    return 0;
}

QVariant DragData::retrieveData(const QString& mimeType, QMetaType type) const
{
    QVariant value = QMimeData::retrieveData(mimeType, type);
    const bool declaredOnly = !value.isValid() || value.toByteArray().isEmpty();
    if (!declaredOnly || !m_source || m_asking || !formats().contains(mimeType))
        return value;
    // The host fills the data in now (the drag's data is the box's own, so it may change).
    m_asking = true;
    int format = clipboardFormat(mimeType);
    Q_EMIT m_source->OLESetData(const_cast<DragData*>(this), format);
    m_asking = false;
    return QMimeData::retrieveData(mimeType, type);
}

} // namespace vrex
