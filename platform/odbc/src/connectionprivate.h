#pragma once

#include <odbc/connection.h>

#include "odbcsupport.h"

#include <QList>

QString objectClosedText();

struct Connection::Private
{
    QString connectionString;
    CursorLocationEnum cursorLocation = adUseServer;
    int commandTimeout = 30;
    int connectionTimeout = 15;
    OdbcSupport::ErrorList errors;
    OdbcSupport::Handle environment;
    OdbcSupport::Handle dbc;
    bool open = false;
    QString defaultDatabase;
    QString serverName;
    QList<Recordset*> recordsets; // open on this connection

    void disconnect() noexcept;
};
