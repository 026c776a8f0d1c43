#pragma once

#include "sessioncore.h"

#include <accpac/session.h>

namespace Accpac {

class SessionImpl final : public AccpacSession
{
public:
    SessionImpl();
    // A session opened for the user of a live sign-on (a screen of the accounting system
    // working for the signed-on user).
    explicit SessionImpl(std::shared_ptr<SessionCore> opened);

    void Init(const QString& handle, const QString& appId, const QString& programId,
              const QString& version) override;
    bool IsOpened() const override { return m_core->opened; }
    void Configure(int flags) override;
    std::shared_ptr<AccpacDBLink> OpenDBLink(int linkType, int flags) override;
    AccpacErrors& Errors() override { return m_core->errors; }
    QString UserID() const override { return m_core->userId; }
    AccpacCompany Company() const override { return m_core->company; }
    AccpacCurrency GetCurrency(const QString& code) override;
    void Close() override;

    bool isInitialised() const { return m_initialised; }
    // Takes over what a successful sign-on opened.
    void adopt(std::shared_ptr<SessionCore> opened);
    SessionCore& core() { return *m_core; }
    const std::shared_ptr<SessionCore>& sharedCore() const { return m_core; }

private:
    void requireOpened(const char* operation);

    std::shared_ptr<SessionCore> m_core;
    bool m_initialised = false;
};

class SignonImpl final : public AccpacSignon
{
public:
    void SignOn(AccpacSession& session) override;
};

// A session of its own on the company and user of the sign-on made last in this program,
// while that sign-on is open (as the accounting system's screens share the desktop's
// sign-on); nullptr when there is none or the company cannot be opened.
std::unique_ptr<SessionImpl> joinSignedOnSession();

// Signs session on with the given answers; false (and an Errors entry) when refused.
bool signOnWith(SessionImpl& session, const QString& siteFolder, const QString& companyId,
                const QString& userId, const QString& password);

} // namespace Accpac
