// The configuration window's ODBC connection test, which also saves the connection settings.
#include <windows/frmconfigure.h>

#include "ui_frmconfigure.h"

#include <core/appstate.h>
#include <core/busy.h>
#include <core/msgbox.h>
#include <core/reporters.h>
#include <core/text.h>
#include <settings/cryption.h>
#include <settings/settings.h>

#include <odbc/connection.h>
#include <odbc/connectionstring.h>
#include <system/comerror.h>

namespace {

bool isConnectionFailure(std::int32_t number)
{
    return number == ComErrorNumber::AuthFailed || number == ComErrorNumber::E_Fail ||
           number == ComErrorNumber::PermissionDenied;
}

} // namespace

void frmConfigure::btnTest_Click()
{
    using namespace modGeneral;
    Ui::frmConfigure& ui = *m_ui;
    Connection connection;
    try {
        const QString dsn = Text::trim(ui.vreDSN->text());
        const QString user = Text::trim(ui.vreUName->text());
        const QString password = Text::trim(ui.vrePWD->text());
        const bool auth = ui.optAuth->isChecked();
        // Each value is quoted as ODBC needs it, so a ";" or brace in it stays part of it.
        QString text = OdbcConnectionString::attribute(QStringLiteral("DSN"), dsn);
        if (!auth) {
            text +=
                QLatin1Char(';') + OdbcConnectionString::attribute(QStringLiteral("UID"), user) +
                QLatin1Char(';') + OdbcConnectionString::attribute(QStringLiteral("PWD"), password);
        }
        connection.setConnectionString(text);
        connection.setCursorLocation(adUseServer);
        {
            BusyCursor busy;
            connection.Open(QString(), QString(), QString(), adConnectUnspecified);
        }
        if (connection.State() == adStateOpen) {
            ui.lblSQL->setText(QStringLiteral(" ") + connection.DefaultDatabase());
            connection.Close();
        }
        MsgBox(QStringLiteral("ODBC connection successful!"), MsgButtons::OK, MsgIcon::Information,
               QStringLiteral("Success"), 1, this);
        Setting::save(Setting::DBUser, modCryption::EncryptPWD(user));
        Setting::save(Setting::DBPWD, modCryption::EncryptPWD(password));
        Setting::save(Setting::Auth, Setting::fromBoolean(auth));
        Setting::save(Setting::DSN, dsn);
        Setting::save(Setting::DBName, Text::trim(ui.lblSQL->text()));
    } catch (const std::exception& failure) {
        const ComError error = comErrorOf(failure);
        if (error.number() == ComErrorNumber::AlreadyOpen)
            return;
        if (isConnectionFailure(error.number())) {
            MsgBox(ProgramTitle +
                       QStringLiteral(" was unable to connect to the MS SQL database.\r\n\n"
                                      "Please ensure that your MS SQL Server is running\r\n"
                                      "and that you have a valid ODBC system DSN that is\r\n"
                                      "connected to the correct database."),
                   MsgButtons::OK, MsgIcon::Critical, QStringLiteral("Database Connection Failed"),
                   1, this);
            ui.vreDSN->HighlightText();
            ui.vreDSN->setFocus();
            return;
        }
        ErrorADO(connection.Errors(), error.number(), error.description(),
                 QStringLiteral("frmConfig.btnTest_Click"));
    }
}
