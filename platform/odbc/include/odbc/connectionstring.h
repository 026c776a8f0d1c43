#pragma once

#include <QList>
#include <QString>

#include <utility>

// ODBC connection strings: "keyword=value" attributes joined by ";". A value holding a
// character the grammar gives a meaning to is written in braces, with a "}" inside doubled,
// e.g. PWD={a;b}}c} for the password "a;b}c".
namespace OdbcConnectionString {

using Attribute = std::pair<QString, QString>;

// "keyword=value", the value in braces when it needs them. Use this for every value that
// comes from the user (user name, password, data source name) instead of concatenating.
QString attribute(const QString& keyword, const QString& value);

// Splits a connection string into its attributes, in order, with braced values unquoted.
// Empty attributes (";;") are skipped. Throws ComError (ConnectionStringInvalid) for an
// attribute without "=" or a brace that is never closed.
QList<Attribute> parse(const QString& text);

// The connection string of these attributes, each written with attribute().
QString join(const QList<Attribute>& attributes);

} // namespace OdbcConnectionString
