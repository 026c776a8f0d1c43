#pragma once

#include <QHash>
#include <QString>

#include <chrono>
#include <functional>

namespace Accpac {

// Slows down guessing at the sign-on: after five failed tries for one user ID, each further
// try must wait, 5 seconds at first and twice as long after every further failure, up to a
// minute. Unknown and known user IDs are treated alike. A successful sign-on clears the
// count. Kept per program run, which is where the sign-on dialog takes its tries.
class SignonThrottle
{
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr int FreeFailures = 5;
    static constexpr std::chrono::seconds FirstDelay{5};
    static constexpr std::chrono::seconds LongestDelay{60};

    // Whole seconds (rounded up) before the user may try again; 0 when a try may be made.
    int secondsToWait(const QString& userId) const;
    void failed(const QString& userId);
    void succeeded(const QString& userId);

    // The clock the delays are measured with (the steady clock unless tests set another).
    void setClock(Clock clock);
    void clear();

private:
    struct Failures
    {
        int count = 0;
        std::chrono::steady_clock::time_point last;
    };
    std::chrono::steady_clock::time_point now() const;

    Clock m_clock;
    QHash<QString, Failures> m_failures;
};

// The one throttle of the program's sign-ons.
SignonThrottle& signonThrottle();

} // namespace Accpac
