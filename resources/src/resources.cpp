#include <resources/resources.h>

#include <QHash>

namespace Resources {

QString LoadResString(int id)
{
    static const QHash<int, QString> table = {
        {Entry::Version, QStringLiteral("Version  ")},
        {Entry::Company, QStringLiteral("Norvane Software Ltd.")},
        {Entry::CompanyProduct, QStringLiteral("Norvane")},
        {Entry::Copyright,
         QStringLiteral("Copyright \u00a9 2026 Norvane Software Ltd. All rights reserved.")},
        {Entry::Platform, QStringLiteral("For Sage Accpac Order Entry 5.3A to 6.0A")},
        {Entry::Title, QStringLiteral("Norvane Tallymerge")},
        {Entry::Warning,
         QStringLiteral("Provided as is, without warranty of any kind. Review every invoice in "
                        "Sage Accpac before you post it.")},
        {Entry::AboutCaption, QStringLiteral("About Norvane Tallymerge")},
        {Entry::Description, QStringLiteral("Create a single Invoice for multiple OE Shipments.")},
        {Entry::WebLine, QStringLiteral("Web: www.norvane.example/tallymerge")},
        {Entry::ContactLine, QStringLiteral("Support: support@norvane.example")},
        {Entry::WebAddress, QStringLiteral("https://www.norvane.example/tallymerge")},
        {Entry::ProductName, QStringLiteral("Tallymerge")},
        {Entry::AccpacProduct, QStringLiteral("Sage Accpac ERP")},
        {Entry::OkCaption, QStringLiteral("&OK")},
        {Entry::OkTip, QStringLiteral("Click OK to close this dialog and return to the program.")},
        {Entry::SysInfoCaption, QStringLiteral("&System Info...")},
        {Entry::SysInfoTip, QStringLiteral("Click System Information and if a system information "
                                           "application is registered it will be opened.")},
    };
    return table.value(id);
}

QString ProgramVersion()
{
    return QStringLiteral(TALLYMERGE_VERSION);
}

} // namespace Resources
