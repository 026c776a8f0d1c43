#pragma once

#include <QString>

#include <utility>

// The error collection of an Accpac session. A failing call of the view interface leaves
// one entry per problem here (message and priority) before it throws.
class AccpacErrors
{
public:
    virtual ~AccpacErrors() = default;

    virtual int Count() const = 0;
    // The details of entry index: its message and, as the second result, its priority.
    // Priorities 1 and 2 mean the failed step may be skipped and the work go on.
    virtual std::pair<QString, int> Get(int index) const = 0;
    virtual QString Message(int index) const = 0;
    virtual void Clear() = 0;
};
