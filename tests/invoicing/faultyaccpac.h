#pragma once

#include <accpac/session.h>
#include <accpac/view.h>

#include <QList>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

// A test double of the view interface around the program's real session: installed, it
// stands between the program and the stand-in (modGeneral::AppSession and AppDBLink) and
// passes every call through, except the calls a test chose to fail. A failing call leaves
// an entry of the chosen priority in the session's error collection and throws, as the
// real component does; with emptyErrors it throws without an entry.
class FaultyAccpac
{
public:
    struct Fault
    {
        QString viewId;
        QString operation;  // "Insert", "Read", "Process", ... or "OpenView"
        int occurrence = 1; // the n-th such call on views of that ID fails
        QString message = QStringLiteral("Injected failure.");
        int priority = 3;
        bool emptyErrors = false;
        // When set, the call does not fail: this runs on the stand-in's view just before it.
        std::function<void(AccpacView&)> before = {};
        std::int32_t number = -2147204095; // the error number the call throws
    };

    FaultyAccpac();
    ~FaultyAccpac(); // puts the real session and link back
    FaultyAccpac(const FaultyAccpac&) = delete;
    FaultyAccpac& operator=(const FaultyAccpac&) = delete;

    void fail(const Fault& fault);
    // The stand-in's session under the double (for its call log).
    AccpacSession& realSession() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};
