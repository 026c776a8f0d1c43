#include <core/busy.h>

#include <QApplication>

BusyCursor::BusyCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor()
{
    QApplication::restoreOverrideCursor();
}

DoEvents::DoEvents()
{
    m_since.start();
}

void DoEvents::now()
{
    QApplication::processEvents();
    m_since.restart();
}

void DoEvents::paced()
{
    if (due())
        now();
}

bool DoEvents::due() const
{
    return m_since.elapsed() >= PaceMs;
}
