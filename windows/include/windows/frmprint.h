#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

namespace Ui {
class frmPrint;
}

// The print window: hosts the accounting system's invoice printing screen, created at run
// time from its ProgID under the name "auiCTRL" and reached only by member names. The window
// presets the screen's invoice range to LastInvoiceNumber and remembers the report file the
// user chose last ("UseInv").
//
// The program has one print window, loaded hidden with the main window and kept loaded; the
// static members below are how the main window's commands load, show, reload and unload it.
class frmPrint : public QWidget
{
    Q_OBJECT

public:
    // Loads the window (Form_Load) without showing it; owner is the main window.
    explicit frmPrint(QWidget* owner);
    ~frmPrint() override;

    void Form_Load();
    void Form_Activate();
    void Form_Resize();
    // Every event of the hosted screen, by name.
    void auiCTRL_ObjectEvent(const QString& eventName);
    void auiCTRL_OnUIAppOpened();

    // The hosted screen (nullptr when it could not be created) and the controls fetched from
    // it once it opened (nullptr before).
    QWidget* auiCTRL() const { return m_screen; }
    QObject* afeOEINVHsortfrom() const { return m_from; }
    QObject* afeOEINVHsortto() const { return m_to; }
    QObject* txtRptFile() const { return m_reportFile; }
    // The minimum outer size, in twips: the screen's own minimum height below the window's
    // frame (title bar and borders, as the desktop draws them now), and the screen's minimum
    // width; 0 before the screen opened.
    int minimumHeightTwips() const;
    int minimumWidthTwips() const { return m_minimumWidth; }

    // The program's print window -------------------------------------------------------
    // The loaded window, nullptr when none is loaded.
    static frmPrint* loaded();
    // Loads it hidden unless it is loaded; returns it.
    static frmPrint* load(QWidget* owner);
    // Hides, unloads and releases it.
    static void unload();
    // Hides it, unloads it and loads it again, hidden (a new printing screen).
    static void reload(QWidget* owner);
    // Shows it without waiting, owned by owner, as it is (loading it first when needed).
    static void showWindow(QWidget* owner);
    // Unloads it, empties LastInvoiceNumber and shows a new one: the range is the screen's.
    static void showFresh(QWidget* owner);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void presetRange();
    QObject* screenControl(const QString& name) const;
    int twips(int pixels) const;
    int pixels(int twips) const;

    std::unique_ptr<Ui::frmPrint> m_ui;
    QPointer<QWidget> m_screen;
    QPointer<QObject> m_from;
    QPointer<QObject> m_to;
    QPointer<QObject> m_reportFile;
    int m_titleBarAllowance = 0;   // twips
    int m_screenMinimumHeight = 0; // twips
    int m_minimumWidth = 0;        // twips
};
