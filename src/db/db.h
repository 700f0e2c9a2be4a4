#pragma once
#include <cstdint>

#include "platform/text.h"

// The one connection to the MySQL server and the stored result sets, known to callers only as
// integer handles; 0 means none, and every operation accepts 0 and then does nothing.
using ResultHandle = int;

// The connection made at start-up; 0 when connecting failed. Kept across reconnects.
extern int DbHandle;

// Connects over TCP (port from the client library's defaults: MYSQL_TCP_PORT, the services
// entry, 3306) with automatic reconnection, working in the server's default character set.
int dbConnect(const Text& host, const Text& user, const Text& password, const Text& database);

// Sends the statement's bytes up to its first zero byte; true when the server ran it.
bool dbExecute(int connection, const Text& statement);

// Stores the whole result of the last statement; 0 when it has none.
ResultHandle dbStoreResult(int connection);

int32_t dbFieldCount(ResultHandle result);
uint64_t dbRowCount(ResultHandle result);

// Reads a field of the row under the cursor (the last row when the cursor is past the end)
// without moving the cursor. NULL reads as empty Text; a value ends at its first zero byte.
// On false the destination is left as it was.
bool dbReadField(ResultHandle result, int32_t column, Text& destination);

// Moves the cursor past the row under it; false when it already stood past the end.
bool dbNextRow(ResultHandle result);

// Releases a stored result; the handle is invalid afterwards.
void dbFreeResult(ResultHandle result);

// The body of a quoted statement value ('...'), escaped in the connection's own character set
// so that every byte of the Text reaches the server as data. With likePattern, a backslash in
// the value also stays a literal character of the LIKE pattern; '%' and '_' stay wildcards.
Text dbEscape(int connection, const Text& value, bool likePattern = false);
