#pragma once

class frmMain;

// One command uses the grid at a time. A command that works over the grid or the company (an
// invoice with its zero-amount question, a batch run, a completion) holds a GridCommand for
// its whole duration. Meanwhile the window's user entry points (menus, toolbar, grid clicks
// and keys, the refresh timer, the load of an activation, closing the window) see
// frmMain::gridInUse() and start nothing, and the menu bar and toolbar show disabled.
// The command's own procedures (ticking rows, the Invoice routines, a reload at its end) are
// called directly and are not held back.
class GridCommand
{
public:
    explicit GridCommand(frmMain& window);
    ~GridCommand();
    GridCommand(const GridCommand&) = delete;
    GridCommand& operator=(const GridCommand&) = delete;

private:
    frmMain& m_window;
};
