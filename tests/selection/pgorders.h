#pragma once

#include <pgserver.h>

#include <QString>

// Gives the PostgreSQL test server an order header table "oeordh" with these rows (SQL value
// lists, e.g. "('ORD1','1200','Black',1,0,1,'','MAIN','100','20261207','')" in the column
// order ordnumber, customer, bilname, type, onhold, complete, shipvia, shipto, location,
// orddate, lastinvnum), readable by the server's login role.
inline void createOrderTable(const PostgresServer& server, const QString& rows)
{
    server.execute(
        QStringLiteral("CREATE TABLE oeordh (ordnumber varchar(22), customer varchar(12), "
                       "bilname varchar(60), type smallint, onhold smallint, complete "
                       "smallint, shipvia varchar(6), shipto varchar(6), location "
                       "varchar(6), orddate varchar(8), lastinvnum varchar(22));"
                       "INSERT INTO oeordh VALUES ") +
        rows + QStringLiteral("; GRANT SELECT ON oeordh TO ") + server.user());
}
