#include <selection/gridcommand.h>

#include <selection/frmmain.h>

#include "ui_frmmain.h"

#include <QMenuBar>

namespace {

void setCommandsEnabled(frmMain& window, bool enabled)
{
    window.menuBar()->setEnabled(enabled);
    window.ui()->tlbMain->setEnabled(enabled);
}

} // namespace

GridCommand::GridCommand(frmMain& window) : m_window(window)
{
    if (m_window.m_gridCommands++ == 0)
        setCommandsEnabled(m_window, false);
}

GridCommand::~GridCommand()
{
    if (--m_window.m_gridCommands == 0) {
        setCommandsEnabled(m_window, true);
        m_window.gridWorkEnded();
    }
}
