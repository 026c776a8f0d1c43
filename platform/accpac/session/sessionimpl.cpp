#include "sessionimpl.h"

#include "ledgerrules.h"
#include "signondialog.h"
#include "site.h"
#include "standinstate.h"
#include "viewimpl.h"

#include <system/comerror.h>

namespace Accpac {

namespace {

class DBLinkImpl final : public AccpacDBLink
{
public:
    DBLinkImpl(SessionImpl& session, std::shared_ptr<SessionCore> core)
        : m_session(session), m_core(std::move(core))
    {
    }

    std::unique_ptr<AccpacView> OpenView(const QString& viewId) override
    {
        m_core->logCall(viewId, "OpenView");
        if (m_closed || !m_core->opened)
            m_core->fail(QStringLiteral("The company link is closed; view %1 cannot be opened.")
                             .arg(viewId));
        const ViewDef* def = findView(viewId, m_core->version(QStringLiteral("AR")));
        if (!def)
            m_core->fail(QStringLiteral("View \"%1\" does not exist.").arg(viewId));
        if (!def->application.isEmpty()) {
            const QString version = m_core->version(def->application);
            if (version.isEmpty())
                m_core->fail(QStringLiteral("View %1 cannot be opened: application %2 is not "
                                            "active in company %3.")
                                 .arg(viewId, def->application, m_core->companyId));
            if (version < def->minVersion)
                m_core->fail(QStringLiteral("View %1 cannot be opened: it needs %2 %3 or later, "
                                            "and company %4 has %2 %5.")
                                 .arg(viewId, def->application, def->minVersion, m_core->companyId,
                                      version));
        }
        return std::make_unique<ViewImpl>(m_core, *def, rulesFor(def->id), this);
    }

    AccpacSession& Session() override { return m_session; }
    AccpacCompany Company() const override { return m_core->company; }
    AccpacActiveApplications ActiveApplications() const override
    {
        return AccpacActiveApplications(m_core->applications);
    }
    void Close() override { m_closed = true; }

private:
    SessionImpl& m_session;
    std::shared_ptr<SessionCore> m_core;
    bool m_closed = false;
};

} // namespace

// The session -------------------------------------------------------------------------------

SessionImpl::SessionImpl() : m_core(std::make_shared<SessionCore>()) {}

SessionImpl::SessionImpl(std::shared_ptr<SessionCore> opened)
    : m_core(std::move(opened)), m_initialised(true)
{
}

void SessionImpl::Init(const QString&, const QString& appId, const QString& programId,
                       const QString& version)
{
    State::throwSessionFault(Testing::SessionCall::Init, m_core->errors);
    if (appId.trimmed().isEmpty() || programId.trimmed().isEmpty() || version.trimmed().isEmpty())
        m_core->fail(QStringLiteral("Init needs an application ID, a program ID and a version."));
    m_initialised = true;
}

void SessionImpl::requireOpened(const char* operation)
{
    if (!m_core->opened)
        m_core->fail(QStringLiteral("%1 is not possible: the session is not signed on.")
                         .arg(QLatin1String(operation)));
}

void SessionImpl::Configure(int)
{
    State::throwSessionFault(Testing::SessionCall::Configure, m_core->errors);
    requireOpened("Configure");
}

std::shared_ptr<AccpacDBLink> SessionImpl::OpenDBLink(int linkType, int)
{
    State::throwSessionFault(Testing::SessionCall::OpenDBLink, m_core->errors);
    requireOpened("OpenDBLink");
    if (linkType != 0 && linkType != 1)
        m_core->fail(
            QStringLiteral("Link type %1 is unknown (1 company, 0 system).").arg(linkType));
    return std::make_shared<DBLinkImpl>(*this, m_core);
}

AccpacCurrency SessionImpl::GetCurrency(const QString& code)
{
    requireOpened("GetCurrency");
    const QString c = code.trimmed().toUpper();
    try {
        Statement st = m_core->companyDb->prepare(
            "SELECT CODE, DESCRIPTION, SYMBOL, DECIMALS, SYMBOLPOS, NEGDISP, THOUSANDSEP, "
            "DECIMALSEP FROM CSCCD WHERE CODE=?");
        st.bindText(1, c);
        if (st.step())
            return AccpacCurrency(st.columnText(0), st.columnText(1), st.columnText(2),
                                  int(st.columnInt(3)), int(st.columnInt(4)), int(st.columnInt(5)),
                                  int(st.columnInt(6)), int(st.columnInt(7)));
    } catch (const StorageError& e) {
        m_core->fail(e.message());
    }
    m_core->fail(QStringLiteral("Currency code \"%1\" is not defined in company %2.")
                     .arg(code, m_core->companyId));
}

void SessionImpl::Close()
{
    m_core->opened = false;
}

void SessionImpl::adopt(std::shared_ptr<SessionCore> opened)
{
    // The Errors collection and the call log stay with the session object.
    opened->errors = std::move(m_core->errors);
    opened->logEnabled = m_core->logEnabled;
    opened->log = std::move(m_core->log);
    m_core = std::move(opened);
    State::signedOnCore() = m_core;
}

std::unique_ptr<SessionImpl> joinSignedOnSession()
{
    const std::shared_ptr<SessionCore> core = State::signedOnCore().lock();
    if (!core || !core->opened)
        return nullptr;
    try {
        return std::make_unique<SessionImpl>(openSessionFor(*core));
    } catch (const SignonRefused&) {
        return nullptr;
    }
}

bool signOnWith(SessionImpl& session, const QString& siteFolder, const QString& companyId,
                const QString& userId, const QString& password)
{
    if (session.IsOpened()) {
        session.core().errors.add(QStringLiteral("The session is signed on already."),
                                  Priority::Error);
        return false;
    }
    try {
        session.adopt(openSession(siteFolder, companyId, userId, password));
        return true;
    } catch (const SignonRefused& e) {
        session.core().errors.add(e.message, Priority::Error);
        return false;
    }
}

void SignonImpl::SignOn(AccpacSession& session)
{
    auto* impl = dynamic_cast<SessionImpl*>(&session);
    if (!impl)
        throw ComError(ComErrorNumber::E_Fail,
                       QStringLiteral("The sign-on needs a session of the embedded company."));
    State::throwSessionFault(Testing::SessionCall::SignOn, impl->core().errors);
    if (!impl->isInitialised())
        impl->core().fail(QStringLiteral("The session must be initialised before sign-on."));
    if (impl->IsOpened())
        return;
    if (const auto& answer = State::signonAnswer()) {
        if (*answer)
            signOnWith(*impl, siteFolder(), (*answer)->companyId, (*answer)->userId,
                       (*answer)->password);
        return;
    }
    SignonDialog dialog(siteFolder());
    if (dialog.exec() == QDialog::Accepted && dialog.openedSession())
        impl->adopt(dialog.openedSession());
}

} // namespace Accpac
