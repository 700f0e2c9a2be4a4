#include "db/db.h"

#include <mysql.h>

#include <cstring>
#include <map>

int DbHandle = 0;

namespace {

// Handles are looked up, never cast to pointers, so no value a caller passes can crash. The
// tables are never destroyed: the connection lives until the process ends, and is dropped by
// the exit, not closed.
std::map<int, MYSQL*>& connections = *new std::map<int, MYSQL*>;
std::map<int, MYSQL_RES*>& results = *new std::map<int, MYSQL_RES*>;
int nextConnection = 1;
int nextResult = 1;

MYSQL* connectionOf(int handle) {
  auto it = connections.find(handle);
  return it == connections.end() ? nullptr : it->second;
}

MYSQL_RES* resultOf(ResultHandle handle) {
  auto it = results.find(handle);
  return it == results.end() ? nullptr : it->second;
}

// The length in bytes of the character starting at p in the connection's character set.
unsigned charLength(MYSQL* m, const char* p, const char* end) {
  if (m && m->charset && m->charset->char_maxlen > 1 && m->charset->mb_valid) {
    unsigned n = m->charset->mb_valid(p, end);
    if (n > 1) return n;
  }
  return 1;
}

}  // namespace

int dbConnect(const Text& host, const Text& user, const Text& password, const Text& database) {
  MYSQL* m = mysql_init(nullptr);
  if (!m) return 0;
  // TCP also for "localhost", where the library would otherwise take the local socket.
  unsigned protocol = MYSQL_PROTOCOL_TCP;
  mysql_optionsv(m, MYSQL_OPT_PROTOCOL, &protocol);
  // Connector/C has reconnection off; the system relies on it being on.
  my_bool reconnect = 1;
  mysql_optionsv(m, MYSQL_OPT_RECONNECT, &reconnect);
  if (!mysql_real_connect(m, host.c_str(), user.c_str(), password.c_str(), database.c_str(), 0,
                          nullptr, 0)) {
    mysql_close(m);
    return 0;
  }
  // Work in the server's default character set, named in its greeting, as the old client
  // library did; Connector/C announces its own. Set this way, a reconnect keeps it too.
  if (const MARIADB_CHARSET_INFO* cs = mariadb_get_charset_by_nr(m->server_language)) {
    if (!m->charset || std::strcmp(m->charset->csname, cs->csname) != 0)
      mysql_set_character_set(m, cs->csname);
  }
  int handle = nextConnection++;
  connections[handle] = m;
  return handle;
}

bool dbExecute(int connection, const Text& statement) {
  MYSQL* m = connectionOf(connection);
  if (!m) return false;
  return mysql_real_query(m, statement.c_str(), std::strlen(statement.c_str())) == 0;
}

ResultHandle dbStoreResult(int connection) {
  MYSQL* m = connectionOf(connection);
  if (!m) return 0;
  MYSQL_RES* r = mysql_store_result(m);
  if (!r) return 0;
  int handle = nextResult++;
  results[handle] = r;
  return handle;
}

int32_t dbFieldCount(ResultHandle result) {
  MYSQL_RES* r = resultOf(result);
  return r ? static_cast<int32_t>(mysql_num_fields(r)) : 0;
}

uint64_t dbRowCount(ResultHandle result) {
  MYSQL_RES* r = resultOf(result);
  return r ? static_cast<uint64_t>(mysql_num_rows(r)) : 0;
}

bool dbReadField(ResultHandle result, int32_t column, Text& destination) {
  MYSQL_RES* r = resultOf(result);
  if (!r) return false;
  if (column < 0 || column >= static_cast<int32_t>(mysql_num_fields(r))) return false;
  MYSQL_ROW_OFFSET where = mysql_row_tell(r);
  MYSQL_ROW row = mysql_fetch_row(r);
  if (!row) {
    // Past the last row: read the last row, as the cursor never moves on a read.
    my_ulonglong count = mysql_num_rows(r);
    if (count > 0) {
      mysql_data_seek(r, count - 1);
      row = mysql_fetch_row(r);
    }
  }
  mysql_row_seek(r, where);
  if (!row) return false;
  const char* value = row[column];
  destination.assign(value ? value : "");
  return true;
}

bool dbNextRow(ResultHandle result) {
  MYSQL_RES* r = resultOf(result);
  if (!r) return false;
  return mysql_fetch_row(r) != nullptr;
}

void dbFreeResult(ResultHandle result) {
  auto it = results.find(result);
  if (it == results.end()) return;
  mysql_free_result(it->second);
  results.erase(it);
}

Text dbEscape(int connection, const Text& value, bool likePattern) {
  MYSQL* m = connectionOf(connection);
  const char* p = value.c_str();
  const char* end = p + std::strlen(p);  // a Text ends at its first zero byte
  Text source;
  if (likePattern) {
    // LIKE reads a backslash as its escape character; double it, whole characters at a
    // time, so the second byte of a multi-byte character is never taken for one.
    source.reserve(end - p);
    while (p < end) {
      unsigned n = charLength(m, p, end);
      if (n == 1 && *p == '\\') source += '\\';
      source.append(p, n);
      p += n;
    }
  } else {
    source.assign(p, end);
  }
  Text out(source.size() * 2 + 1, '\0');
  unsigned long n;
  if (m) {
    n = mysql_real_escape_string(m, out.data(), source.data(), source.size());
  } else {
    // Nothing is sent without a connection; escape byte by byte all the same.
    n = 0;
    for (char c : source) {
      switch (c) {
        case '\\':
        case '\'':
        case '"':
          out[n++] = '\\';
          out[n++] = c;
          break;
        case '\n':
          out[n++] = '\\';
          out[n++] = 'n';
          break;
        case '\r':
          out[n++] = '\\';
          out[n++] = 'r';
          break;
        case '\032':
          out[n++] = '\\';
          out[n++] = 'Z';
          break;
        default:
          out[n++] = c;
      }
    }
  }
  if (n == static_cast<unsigned long>(-1)) return Text();
  out.resize(n);
  return out;
}
