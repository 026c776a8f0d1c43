#pragma once

#include <QWidget>

#include <memory>

class QTimer;

namespace Ui {
class frmSplash;
}

// The window shown while the program starts: the product's logo, name, version and rights.
// A click on it, any key, or its timer unloads it; unloading emits unloaded() once, on which
// start-up shows the main window, and releases the splash.
class frmSplash : public QWidget
{
    Q_OBJECT

public:
    // How long the splash stays up unless the user dismisses it.
    static constexpr int TimerInterval = 7000;

    explicit frmSplash(QWidget* parent = nullptr);
    ~frmSplash() override;

    Ui::frmSplash* ui() const { return m_ui.get(); }
    QTimer* Timer() const { return m_timer; }

    // Hides the splash, emits unloaded() and deletes the window later; only the first call
    // does anything, whichever way the splash is dismissed.
    void Unload();

signals:
    void unloaded();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();

    std::unique_ptr<Ui::frmSplash> m_ui;
    QTimer* m_timer = nullptr;
    bool m_unloaded = false;
};
