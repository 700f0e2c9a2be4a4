#include "browser/search.h"

#include "browser/grid.h"
#include "db/db.h"
#include "platform/toolkit.h"

namespace {

// A filter text as the body of a quoted LIKE pattern: quotes and backslashes become literal
// characters, "%" and "_" stay wildcards.
Text likeFilter(const Text& text) {
  return dbEscape(DbHandle, text, true);
}

}  // namespace

Text searchStatement() {
  const Text isbn = controlText("编辑框1");
  const Text auditState = controlText("组合框4");
  const Text did = controlText("编辑框18");
  // The fragments are kept as the server has always received them, blanks included.
  return "select * from book where ISBN like '%" + likeFilter(isbn) + "%' and Auditing like '%" +
         likeFilter(auditState) + "%'and Did like '%" + likeFilter(did) +
         "%' ORDER BY  Did DESC LIMIT 0 , 100";
}

void runSearch() {
  dbExecute(DbHandle, searchStatement());
  fillGrid(dbStoreResult(DbHandle), searchHeaders);
}
