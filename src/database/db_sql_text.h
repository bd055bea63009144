#pragma once

#include "database/database.h"

#include <QSqlError>
#include <QString>
#include <QStringList>

namespace kestrel {

// Reading and building SQL texts.

// The statements of a batch text for a database that runs one statement at a time: split at
// semicolons and before each UPDATE, INSERT or DELETE that begins a new statement, outside
// quotes, brackets and parentheses. Empty pieces are dropped.
QStringList splitBatch(const QString& text);

// The table after the first FROM of a select ("Select * From HY_Member Where ..." gives
// HY_Member); empty when there is none.
QString selectedTable(const QString& statement);

// True when the statement carries a LIMIT of its own (it then cannot take another).
bool hasLimitClause(const QString& statement);

// True when the statement changes the schema (CREATE, ALTER, DROP).
bool changesSchema(const QString& statement);

QString quotedIdentifier(const QString& name, Dialect dialect);
// A text as an SQL string literal: quotes doubled; on SQL Server a Unicode literal (N'...'), so
// that it reaches the server whatever its code page.
QString textLiteral(const QString& text, Dialect dialect);

// The server's own message of a failed statement, else the driver's; a busy, full or
// read-only database is said so in front of it.
QString sqlErrorMessage(const QSqlError& error);
// A database's own error text, with a plain explanation in front of a busy, full or read-only
// database.
QString explainedDatabaseMessage(const QString& message);

} // namespace kestrel
