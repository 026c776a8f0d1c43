#include <resources/resources.h>

#include <QHash>
#include <QPainter>
#include <QPixmap>

namespace Resources {

QString LoadResString(int id)
{
    static const QHash<int, QString> table = {
        {Entry::Version, QStringLiteral("Version ")},
        {Entry::Company, QStringLiteral("Norvane")},
        {Entry::CompanyProduct, QStringLiteral("Norvane Tallymerge")},
        {Entry::Copyright, QStringLiteral("Copyright \u00a9 2026 Norvane. All rights reserved.")},
        {Entry::Platform,
         QStringLiteral("For Sage Accpac ERP Order Entry and Accounts Receivable")},
        {Entry::Title, QStringLiteral("Tallymerge")},
        {Entry::Warning,
         QStringLiteral("Warning: this program is protected by copyright law. Unauthorised copying "
                        "or distribution of it, or of any part of it, is prohibited.")},
        {Entry::AboutCaption, QStringLiteral("About Tallymerge")},
        {Entry::Description,
         QStringLiteral("Creates one Order Entry invoice for several shipments of a customer.")},
        {Entry::WebLine, QStringLiteral("Web: https://www.norvane.example/tallymerge")},
        {Entry::ContactLine, QStringLiteral("Support: support@norvane.example")},
        {Entry::WebAddress, QStringLiteral("https://www.norvane.example/tallymerge")},
        {Entry::ProductName, QStringLiteral("Tallymerge")},
        {Entry::AccpacProduct, QStringLiteral("Sage Accpac ERP")},
        {Entry::OkCaption, QStringLiteral("OK")},
        {Entry::OkTip, QStringLiteral("Close this window")},
        {Entry::SysInfoCaption, QStringLiteral("&System Info...")},
        {Entry::SysInfoTip, QStringLiteral("Show information about this computer")},
    };
    return table.value(id);
}

QIcon ProgramIcon()
{
    // Two stacked sheets merging into one: drawn once at the sizes a window needs.
    static const QIcon icon = [] {
        QIcon result;
        for (int size : {16, 32, 48}) {
            QPixmap pixmap(size, size);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            const qreal unit = size / 16.0;
            painter.setPen(QPen(QColor(40, 90, 30), unit));
            painter.setBrush(QColor(91, 173, 63));
            painter.drawRect(QRectF(1 * unit, 3 * unit, 9 * unit, 11 * unit));
            painter.setBrush(QColor(230, 240, 225));
            painter.drawRect(QRectF(6 * unit, 1 * unit, 9 * unit, 11 * unit));
            result.addPixmap(pixmap);
        }
        return result;
    }();
    return icon;
}

} // namespace Resources
