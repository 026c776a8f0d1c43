#include <resources/resources.h>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

// The product's mark: three shipment slips flowing into one invoice that carries a tally
// (four strokes crossed by a fifth), on a rounded tile in the company green RGB(91, 173, 63).
// It is drawn rather than stored so that it stays sharp at every size and screen density;
// small icons leave out the slips, which would only blur.
namespace Resources {
namespace {

const QColor Green(91, 173, 63);
const QColor LightGreen(128, 204, 96);
const QColor DarkGreen(46, 110, 34);
const QColor Paper(255, 255, 255);
const QColor PaperShade(226, 238, 221);

// Draws the mark into a square of side `side` at the painter's origin, in units of 1/100.
void drawMark(QPainter& painter, qreal side)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 100.0, side / 100.0);
    const bool detailed = side >= 40;

    // The tile, with a soft shadow under it.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawRoundedRect(QRectF(4, 6, 92, 92), 20, 20);
    QLinearGradient tile(0, 2, 0, 96);
    tile.setColorAt(0, LightGreen);
    tile.setColorAt(0.55, Green);
    tile.setColorAt(1, DarkGreen);
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(2, 2, 94, 94), 20, 20);
    painter.setBrush(QColor(255, 255, 255, 36));
    painter.drawRoundedRect(QRectF(6, 5, 86, 40), 16, 16);

    // The invoice: a sheet with a folded corner, a header bar, two lines and the tally.
    const QRectF sheet = detailed ? QRectF(48, 16, 38, 66) : QRectF(22, 12, 56, 74);
    const qreal fold = sheet.width() * 0.28;
    QPainterPath page;
    page.moveTo(sheet.topLeft());
    page.lineTo(sheet.right() - fold, sheet.top());
    page.lineTo(sheet.right(), sheet.top() + fold);
    page.lineTo(sheet.bottomRight());
    page.lineTo(sheet.bottomLeft());
    page.closeSubpath();
    painter.setBrush(QColor(0, 0, 0, 45));
    painter.drawPath(page.translated(1.5, 2));
    painter.setBrush(Paper);
    painter.drawPath(page);
    QPainterPath corner;
    corner.moveTo(sheet.right() - fold, sheet.top());
    corner.lineTo(sheet.right() - fold, sheet.top() + fold);
    corner.lineTo(sheet.right(), sheet.top() + fold);
    corner.closeSubpath();
    painter.setBrush(PaperShade);
    painter.drawPath(corner);

    const qreal inset = sheet.width() * 0.16;
    const qreal unit = sheet.width() / 38.0;
    painter.setBrush(Green);
    painter.drawRect(QRectF(sheet.left() + inset, sheet.top() + 8 * unit, 15 * unit, 5 * unit));
    painter.setBrush(PaperShade);
    for (int line = 0; line < 2; ++line)
        painter.drawRect(QRectF(sheet.left() + inset, sheet.top() + (18 + 6 * line) * unit,
                                sheet.width() - 2 * inset, 2.6 * unit));

    QPen stroke(DarkGreen, 3.2 * unit, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(stroke);
    const qreal tallyTop = sheet.top() + 36 * unit, tallyBottom = sheet.top() + 56 * unit;
    const qreal tallyLeft = sheet.left() + inset + 2 * unit;
    for (int mark = 0; mark < 4; ++mark) {
        const qreal x = tallyLeft + mark * 6.5 * unit;
        painter.drawLine(QPointF(x, tallyTop), QPointF(x, tallyBottom));
    }
    stroke.setColor(Green);
    painter.setPen(stroke);
    painter.drawLine(QPointF(tallyLeft - 3 * unit, tallyBottom - 3 * unit),
                     QPointF(tallyLeft + 22.5 * unit, tallyTop + 3 * unit));

    if (detailed) {
        // Three shipment slips, each with a line of text, and the paths that merge them.
        QPen flow(QColor(255, 255, 255, 215), 2.6, Qt::SolidLine, Qt::RoundCap);
        const QPointF into(sheet.left() - 1, sheet.center().y());
        for (int slip = 0; slip < 3; ++slip) {
            const QRectF box(10, 17 + slip * 23, 22, 16);
            painter.setPen(flow);
            painter.setBrush(Qt::NoBrush);
            QPainterPath path(QPointF(box.right() + 1, box.center().y()));
            path.cubicTo(QPointF(box.right() + 10, box.center().y()),
                         QPointF(into.x() - 10, into.y()), into);
            painter.drawPath(path);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(255, 255, 255, 235));
            painter.drawRoundedRect(box, 2.5, 2.5);
            painter.setBrush(PaperShade);
            painter.drawRect(QRectF(box.left() + 4, box.top() + 5, 14, 2.2));
            painter.drawRect(QRectF(box.left() + 4, box.top() + 9.5, 9, 2.2));
        }
        // The arrow head where the paths meet the invoice.
        painter.setBrush(Paper);
        QPainterPath head;
        head.moveTo(into + QPointF(1, 0));
        head.lineTo(into + QPointF(-5, -4));
        head.lineTo(into + QPointF(-5, 4));
        head.closeSubpath();
        painter.drawPath(head);
    }
    painter.restore();
}

QPixmap drawnPixmap(QSize size, qreal ratio)
{
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const qreal side = qMin(size.width(), size.height());
    painter.translate((size.width() - side) / 2, (size.height() - side) / 2);
    drawMark(painter, side);
    return pixmap;
}

} // namespace

QPixmap LogoBitmap(QSize size, qreal devicePixelRatio)
{
    return drawnPixmap(size, devicePixelRatio);
}

QIcon ProgramIcon()
{
    static const QIcon icon = [] {
        QIcon result;
        for (int side : {16, 24, 32, 48, 64, 128, 256})
            result.addPixmap(drawnPixmap(QSize(side, side), 1.0));
        return result;
    }();
    return icon;
}

} // namespace Resources
