#pragma once

#include <QElapsedTimer>

// The hourglass pointer for the life of the object, restored on every path out of the
// work, exceptions included.
class BusyCursor
{
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Lets the window process its pending messages during long work, so that it repaints and
// the status texts show. A paced yield is skipped when the last one was less than a few
// milliseconds ago: per-row yields then cost almost nothing on long loads.
class DoEvents
{
public:
    DoEvents();
    // Yields now.
    void now();
    // Yields when the last yield was at least PaceMs ago.
    void paced();
    // Whether paced() would yield now.
    bool due() const;

    static constexpr int PaceMs = 50;

private:
    QElapsedTimer m_since;
};
