#include "faultyaccpac.h"

#include <core/session.h>

#include <accpac/errors.h>
#include <accpac/view.h>
#include <system/comerror.h>

#include <QHash>

struct FaultyAccpac::State
{
    QList<Fault> faults;
    QHash<QString, int> calls; // "view operation" -> count
    QList<std::pair<QString, int>> entries;
    AccpacSession* real = nullptr;

    // Throws when this call is one a test chose to fail.
    void check(const QString& viewId, const QString& operation, AccpacView* inner = nullptr)
    {
        const int count = ++calls[viewId + QLatin1Char(' ') + operation];
        // Every fault chosen for this call leaves its entry; then the call fails once.
        const Fault* failed = nullptr;
        for (const Fault& fault : faults) {
            if (fault.viewId != viewId || fault.operation != operation || fault.occurrence != count)
                continue;
            if (fault.before) {
                if (inner)
                    fault.before(*inner);
                continue;
            }
            if (!fault.emptyErrors)
                entries.append({fault.message, fault.priority});
            if (!failed)
                failed = &fault;
        }
        if (failed)
            throw ComError(failed->number, failed->message);
    }
};

namespace {

using State = FaultyAccpac::State;

class FaultyErrors final : public AccpacErrors
{
public:
    FaultyErrors(State& state, AccpacErrors& inner) : m_state(state), m_inner(inner) {}
    int Count() const override { return int(m_state.entries.size()) + m_inner.Count(); }
    std::pair<QString, int> Get(int index) const override
    {
        if (index < m_state.entries.size())
            return m_state.entries.at(index);
        return m_inner.Get(index - int(m_state.entries.size()));
    }
    QString Message(int index) const override { return Get(index).first; }
    void Clear() override
    {
        m_state.entries.clear();
        m_inner.Clear();
    }

private:
    State& m_state;
    AccpacErrors& m_inner;
};

class FaultyView final : public AccpacView
{
public:
    FaultyView(State& state, std::unique_ptr<AccpacView> inner)
        : m_state(state), m_inner(std::move(inner))
    {
    }
    AccpacView& inner() { return *m_inner; }

    QString ViewID() const override { return m_inner->ViewID(); }
    void Compose(const std::vector<AccpacView*>& views) override
    {
        check("Compose");
        std::vector<AccpacView*> inners;
        for (AccpacView* view : views)
            inners.push_back(&static_cast<FaultyView*>(view)->inner());
        m_inner->Compose(inners);
    }
    void ClearRecord() override { check("ClearRecord"), m_inner->ClearRecord(); }
    void InitRecord(int flags) override { check("InitRecord"), m_inner->InitRecord(flags); }
    void NewRecord() override { check("NewRecord"), m_inner->NewRecord(); }
    void SetOrder(int key) override { check("SetOrder"), m_inner->SetOrder(key); }
    int Order() const override { return m_inner->Order(); }
    void PrepareRead(int flags) override { check("PrepareRead"), m_inner->PrepareRead(flags); }
    bool Read() override { return check("Read"), m_inner->Read(); }
    void Browse(const QString& filter, bool ascending) override
    {
        check("Browse");
        m_inner->Browse(filter, ascending);
    }
    bool Fetch() override { return check("Fetch"), m_inner->Fetch(); }
    bool MoveFirst() override { return check("MoveFirst"), m_inner->MoveFirst(); }
    bool MoveNext() override { return check("MoveNext"), m_inner->MoveNext(); }
    void Insert() override { check("Insert"), m_inner->Insert(); }
    void Update() override { check("Update"), m_inner->Update(); }
    void Process() override { check("Process"), m_inner->Process(); }
    void Post() override { check("Post"), m_inner->Post(); }
    void Close() override { check("Close"), m_inner->Close(); }
    AccpacViewFields& Fields() override { return m_inner->Fields(); }

private:
    void check(const char* operation)
    {
        m_state.check(ViewID(), QLatin1String(operation), m_inner.get());
    }

    State& m_state;
    std::unique_ptr<AccpacView> m_inner;
};

class FaultySession final : public AccpacSession
{
public:
    FaultySession(State& state, std::unique_ptr<AccpacSession> inner)
        : m_inner(std::move(inner)), m_errors(state, m_inner->Errors())
    {
    }
    std::unique_ptr<AccpacSession> takeInner() { return std::move(m_inner); }

    void Init(const QString& h, const QString& a, const QString& p, const QString& v) override
    {
        m_inner->Init(h, a, p, v);
    }
    bool IsOpened() const override { return m_inner->IsOpened(); }
    void Configure(int flags) override { m_inner->Configure(flags); }
    std::shared_ptr<AccpacDBLink> OpenDBLink(int type, int flags) override
    {
        return m_inner->OpenDBLink(type, flags);
    }
    AccpacErrors& Errors() override { return m_errors; }
    QString UserID() const override { return m_inner->UserID(); }
    AccpacCompany Company() const override { return m_inner->Company(); }
    AccpacCurrency GetCurrency(const QString& code) override { return m_inner->GetCurrency(code); }
    void Close() override { m_inner->Close(); }

private:
    std::unique_ptr<AccpacSession> m_inner;
    FaultyErrors m_errors;
};

class FaultyLink final : public AccpacDBLink
{
public:
    FaultyLink(State& state, std::shared_ptr<AccpacDBLink> inner, AccpacSession& session)
        : m_state(state), m_inner(std::move(inner)), m_session(session)
    {
    }
    std::shared_ptr<AccpacDBLink> inner() const { return m_inner; }

    std::unique_ptr<AccpacView> OpenView(const QString& viewId) override
    {
        m_state.check(viewId, QStringLiteral("OpenView"));
        return std::make_unique<FaultyView>(m_state, m_inner->OpenView(viewId));
    }
    AccpacSession& Session() override { return m_session; }
    AccpacCompany Company() const override { return m_inner->Company(); }
    AccpacActiveApplications ActiveApplications() const override
    {
        return m_inner->ActiveApplications();
    }
    void Close() override { m_inner->Close(); }

private:
    State& m_state;
    std::shared_ptr<AccpacDBLink> m_inner;
    AccpacSession& m_session;
};

} // namespace

FaultyAccpac::FaultyAccpac() : m_state(std::make_shared<State>())
{
    m_state->real = modGeneral::AppSession.get();
    auto session = std::make_unique<FaultySession>(*m_state, std::move(modGeneral::AppSession));
    modGeneral::AppDBLink = std::make_shared<FaultyLink>(*m_state, modGeneral::AppDBLink, *session);
    modGeneral::AppSession = std::move(session);
}

FaultyAccpac::~FaultyAccpac()
{
    auto* link = static_cast<FaultyLink*>(modGeneral::AppDBLink.get());
    modGeneral::AppDBLink = link->inner();
    auto* session = static_cast<FaultySession*>(modGeneral::AppSession.get());
    modGeneral::AppSession = session->takeInner();
}

void FaultyAccpac::fail(const Fault& fault)
{
    m_state->faults.append(fault);
}

AccpacSession& FaultyAccpac::realSession() const
{
    return *m_state->real;
}
