#include "rights.h"

#include "site.h"
#include "siteroles.h"
#include "storage.h"

namespace Accpac {

QString creditApprovalProblem(Database& systemDb, const QString& site, const QString& userId,
                              const QString& password, const QString& companyId)
{
    const QString user = normalUserId(userId);
    auto login = SiteRoles::Login::Accepted;
    const bool server = systemDb.server();
    if (server)
        login = SiteRoles::tryLogin(site, user, password);
    else if (!verifyPassword(systemDb, user, password))
        login = SiteRoles::Login::WrongPassword;
    if (login == SiteRoles::Login::WrongPassword)
        return QStringLiteral("the user or the password is wrong");
    {
        Statement st = systemDb.prepare("SELECT DISABLED, LOCKEDOUT FROM USERS WHERE USERID=?");
        st.bindText(1, user);
        st.step();
        if (st.columnInt(0) != 0)
            return QStringLiteral("the user has been disabled");
        if (st.columnInt(1) != 0)
            return QStringLiteral("the user is locked out");
    }
    // A role the server refuses for a reason the user's flags do not tell.
    if (login == SiteRoles::Login::NotPermitted)
        return QStringLiteral("the database server does not let the user's role log in");
    // On a server a user reads only their own rights: the approver's are read through the
    // approver's own login.
    const std::unique_ptr<Database> approversOwn =
        server ? openSiteSystemToRead(SiteRoles::loginAs(site, user, password)) : nullptr;
    if (!holdsCreditApprovalRight(approversOwn ? *approversOwn : systemDb, user, companyId))
        return QStringLiteral("the user has no right to approve credit in company %1")
            .arg(companyId.trimmed().toUpper());
    return {};
}

bool holdsCreditApprovalRight(Database& systemDb, const QString& userId, const QString& companyId)
{
    const QString user = normalUserId(userId);
    {
        Statement st = systemDb.prepare("SELECT 1 FROM USERS WHERE USERID=?");
        st.bindText(1, user);
        if (!st.step())
            return false;
    }
    if (user == QLatin1String("ADMIN"))
        return true;
    Statement st = systemDb.prepare(
        "SELECT 1 FROM AUTHS JOIN PROFRES ON PROFRES.PGMID=AUTHS.PGMID AND "
        "PROFRES.PROFILEID=AUTHS.PROFILEID WHERE AUTHS.USERID=? AND AUTHS.COMPANYID=? AND "
        "AUTHS.PGMID='OE' AND PROFRES.RESOURCEID='OECREDIT'");
    st.bindText(1, user);
    st.bindText(2, companyId.trimmed().toUpper());
    return st.step();
}

} // namespace Accpac
