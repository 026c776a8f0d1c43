#pragma once

#include "sessioncore.h"

#include <QDialog>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Accpac {

// The sign-on dialog: company, user ID and password. OK checks them and stays open with a
// message when they are refused; Cancel leaves without a session.
class SignonDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit SignonDialog(const QString& siteFolder, QWidget* parent = nullptr);

    // The opened session after OK; nullptr otherwise.
    std::shared_ptr<SessionCore> openedSession() const { return m_opened; }

private:
    void tryOk();

    QString m_siteFolder;
    QComboBox* m_company;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLabel* m_message;
    QPushButton* m_ok;
    std::shared_ptr<SessionCore> m_opened;
};

} // namespace Accpac
