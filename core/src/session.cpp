#include <core/session.h>

#include <core/log.h>
#include <core/orderentry.h>
#include <core/reporters.h>
#include <core/text.h>

#include <accpac/standin.h>
#include <accpac/view.h>
#include <system/comerror.h>

namespace modGeneral {
namespace {

const ComError NoSession(91, QStringLiteral("Object variable or With block variable not set"));

} // namespace

bool Open_Connections()
{
    try {
        AppSignon = Accpac::createSignon();
        AppSession = Accpac::createSession();
        AppSession->Init(QString(), QStringLiteral("AS"), QStringLiteral("AS0001"),
                         QStringLiteral("53A"));
        AppSignon->SignOn(*AppSession);
        if (!AppSession->IsOpened())
            return false;
        AppSession->Configure(0);
        AppDBLink = AppSession->OpenDBLink(1, 0);
        AppCompany = AppDBLink->Company();
        // The company as the sign-on reached it: on a server the site's own login may not
        // read where the companies are kept, the user's role does.
        const QString company = Accpac::signedOnCompanyStore();
        qCInfo(lcCore).noquote() << QStringLiteral(
                                        "signed on as %1 to company %2; site %3; company file %4")
                                        .arg(AppSession->UserID(), AppCompany.ID(),
                                             ProgramLog::describeSite(Accpac::siteFolder()),
                                             Accpac::isServerSite(Accpac::siteFolder())
                                                 ? company
                                                 : ProgramLog::describeSite(company));
        return true;
    } catch (const std::exception& failure) {
        const ComError error = comErrorOf(failure);
        if (error.number() != ComErrorNumber::AlreadyOpen &&
            error.number() != ComErrorNumber::E_Fail) {
            reportFailure(failure, QStringLiteral("modGeneral.Open_Connections"), Reporter::Accpac);
        }
        return false;
    }
}

void Close_Connections()
{
    // Every object is released even when closing one of them fails.
    try {
        if (AppDBLink)
            AppDBLink->Close();
    } catch (const std::exception&) {
    }
    try {
        if (AppSession)
            AppSession->Close();
    } catch (const std::exception&) {
    }
    AppDBLink.reset();
    AppSession.reset();
    AppSignon.reset();
    AppCompany = AccpacCompany();
}

QString Version_APModule(const QString& appId)
{
    QString version;
    try {
        if (!AppDBLink)
            throw NoSession;
        const AccpacActiveApplications applications = AppDBLink->ActiveApplications();
        const QString wanted = Text::trim(appId);
        for (int i = 0; i < applications.Count(); ++i) {
            const AccpacActiveApplication application = applications.Item(i);
            if (application.AppID() == wanted) {
                version = Text::trim(application.Version());
                break;
            }
        }
    } catch (const std::exception& failure) {
        reportFailure(failure, QStringLiteral("modGeneral.Version_APModule"), Reporter::Accpac);
    }
    return version;
}

OrderEntryLayout orderEntryLayout()
{
    const QString version = Version_APModule(QStringLiteral("OE"));
    return version == QLatin1String("56A") || version == QLatin1String("60A")
               ? OrderEntryLayout::Release56
               : OrderEntryLayout::Older;
}

AccpacSession& Session()
{
    if (!AppSession)
        throw NoSession;
    return *AppSession;
}

void ErrorAccpac(std::int32_t number, const QString& description, const QString& source)
{
    if (AppSession) {
        ErrorAccpac(AppSession->Errors(), number, description, source);
        return;
    }
    ErrorMessenger(number, description, source);
}

void ViewCloser::operator()(AccpacView* view) const noexcept
{
    try {
        view->Close();
    } catch (const std::exception&) {
        // A view that cannot close is released all the same.
    }
    delete view;
}

ViewPtr OpenView(const QString& viewId)
{
    if (!AppDBLink)
        throw NoSession;
    return ViewPtr(AppDBLink->OpenView(viewId).release());
}

} // namespace modGeneral
