#include "browser/paging.h"

#include <limits>
#include <string>

#include "browser/grid.h"
#include "db/db.h"
#include "platform/toolkit.h"

int32_t currentPage = 0;

namespace {

constexpr int64_t kPageSize = 100;

// Runs the page statement for currentPage and lists its rows under the given titles.
void listPage(const HeaderSet& headers) {
  dbExecute(DbHandle, pageStatement());
  fillGrid(dbStoreResult(DbHandle), headers);
}

}  // namespace

Text pageStatement() {
  // In 64 bits: past page 21474836 the offset no longer fits in 32.
  const int64_t offset = int64_t{currentPage} * kPageSize;
  return "select * from book where ISBN like '%" +
         dbEscape(DbHandle, controlText("编辑框1"), true) + "%' ORDER BY  Did DESC LIMIT " +
         std::to_string(offset) + " , 100 ";
}

void showFirstPage() {
  setControlEnabled("首页", false);
  setControlEnabled("上一页", false);
  setControlEnabled("尾页", true);
  setControlEnabled("下一页", true);
  currentPage = 0;
  listPage(firstPageHeaders);
}

void showPreviousPage() {
  setControlEnabled("尾页", true);
  setControlEnabled("下一页", true);
  // 上一页 stays enabled on page 0; a negative offset would only make the listing fail, so
  // there it lists page 0 again.
  if (currentPage > 0) --currentPage;
  listPage(pageHeaders);
}

void showNextPage() {
  setControlEnabled("首页", true);
  setControlEnabled("上一页", true);
  // No upper bound but the counter's own: the listing is simply empty that far out.
  if (currentPage < std::numeric_limits<int32_t>::max()) ++currentPage;
  listPage(pageHeaders);
}
