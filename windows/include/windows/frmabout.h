#pragma once

#include <registry/registry.h>

#include <QDialog>

#include <memory>

namespace Ui {
class frmAbout;
}

// The about box of the Help menu: the product's name, version, description, rights and
// contact lines, and a button that starts the system information tool when one is
// registered.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget* owner = nullptr);
    ~frmAbout() override;

    Ui::frmAbout* ui() const { return m_ui.get(); }

    // The Help menu's About: shows the about window without waiting, owned by `owner`, and
    // releases it when it closes. While one is open, it is brought to the front instead.
    static frmAbout* Show_About(QWidget* owner);

    // Starts the system information tool found in the registry, or says it is unavailable.
    void StartSysInfo();

    // The text of the value valueName of root\keyName, read into a buffer of
    // KeyValueBufferChars characters with a trailing NUL dropped. Returns false, leaving
    // keyValue empty, when the key or the value is missing, is not text, or does not fit.
    static bool GetKeyValue(Registry::HKEY root, const QString& keyName, const QString& valueName,
                            QString& keyValue);
    static constexpr int KeyValueBufferChars = 1024;

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Form_Load();
    // Keeps the whole window, frame included, at its fixed outer size: the inside is that
    // size less the frame the desktop draws, known once the window is shown.
    void fitToFrame();

    std::unique_ptr<Ui::frmAbout> m_ui;
    QSize m_outerSize; // pixels
    int m_frameRetries = 0;
};
