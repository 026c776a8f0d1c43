#include "signonthrottle.h"

#include <algorithm>

namespace Accpac {

int SignonThrottle::secondsToWait(const QString& userId) const
{
    const auto it = m_failures.constFind(userId);
    if (it == m_failures.constEnd() || it->count < FreeFailures)
        return 0;
    const int doublings = std::min(it->count - FreeFailures, 4);
    const auto delay =
        std::min<std::chrono::steady_clock::duration>(FirstDelay * (1 << doublings), LongestDelay);
    const auto left = it->last + delay - now();
    if (left <= std::chrono::steady_clock::duration::zero())
        return 0;
    return int(std::chrono::ceil<std::chrono::seconds>(left).count());
}

void SignonThrottle::failed(const QString& userId)
{
    Failures& f = m_failures[userId];
    ++f.count;
    f.last = now();
}

void SignonThrottle::succeeded(const QString& userId)
{
    m_failures.remove(userId);
}

void SignonThrottle::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

void SignonThrottle::clear()
{
    m_failures.clear();
}

std::chrono::steady_clock::time_point SignonThrottle::now() const
{
    return m_clock ? m_clock() : std::chrono::steady_clock::now();
}

SignonThrottle& signonThrottle()
{
    static SignonThrottle throttle;
    return throttle;
}

} // namespace Accpac
