// Fuzzes the GBK codec and the escaping of statement values. The escaping is checked where it
// matters, by the server's own parser: every value the fuzzer makes goes into a statement on a
// throwaway server whose default character set is gbk, and must come back as exactly its
// bytes (or be refused whole when it is not GBK), never ending the quoted value early.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "app/settings.h"
#include "db/db.h"
#include "platform/gbk.h"
#include "support/test_server.h"

namespace {
std::unique_ptr<TestServer> server;
int db = 0;

void stopServer() {
  server.reset();
}

// True when every byte belongs to a GBK character, by the byte ranges the server checks.
bool isGbk(const Text& t) {
  for (size_t i = 0; i < t.size(); ++i) {
    auto b = static_cast<unsigned char>(t[i]);
    if (b < 0x80) continue;
    if (b == 0x80 || b == 0xFF || i + 1 == t.size()) return false;
    auto trail = static_cast<unsigned char>(t[++i]);
    if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
  }
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  server = std::make_unique<TestServer>("gbk");
  if (!server->start()) std::abort();
  std::atexit(stopServer);
  db = dbConnect(BOOKAUDIT_DB_HOST, BOOKAUDIT_DB_USER, BOOKAUDIT_DB_PASSWORD, BOOKAUDIT_DB_NAME);
  if (!db) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Text bytes(reinterpret_cast<const char*>(data), size);
  // Whatever the bytes, decoding and encoding again gives them back.
  auto back = encodeGbk(decodeGbk(bytes));
  if (!back || *back != bytes) std::abort();

  const Text value = bytes.substr(0, bytes.find('\0'));  // a Text ends at its first zero byte
  // The value, and whether it matches a LIKE pattern made of itself, then a fixed column: a
  // value that ended its quotes early would change the statement's shape.
  const Text escaped = dbEscape(db, value);
  const Text sql =
      "select '" + escaped + "', '" + escaped + "' like '" + dbEscape(db, value, true) + "', 'end'";
  // The server may refuse bytes that are not GBK, nothing else; what it runs must be intact.
  if (!dbExecute(db, sql)) {
    if (isGbk(value)) std::abort();
    return 0;
  }
  ResultHandle r = dbStoreResult(db);
  if (dbFieldCount(r) != 3 || dbRowCount(r) != 1) std::abort();
  Text read, matched, tail;
  dbReadField(r, 0, read);
  dbReadField(r, 1, matched);
  dbReadField(r, 2, tail);
  dbFreeResult(r);
  if (tail != "end" || read != value) std::abort();
  if (isGbk(value) && matched != "1") std::abort();
  return 0;
}
