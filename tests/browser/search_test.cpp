// The search: the statement the server receives, what it lists, and how it is started.
#include "browser/search.h"
#include "app/startup.h"
#include "browser/browser_fixture.h"
#include "browser/grid.h"
#include "browser/paging.h"
#include "db/db.h"

namespace {

void setFilters(const Text& isbn, const Text& auditState, const Text& did) {
  setControlText("编辑框1", isbn);
  setControlText("组合框4", auditState);
  setControlText("编辑框18", did);
}

}  // namespace

TEST_F(BrowserTest, TheSearchStatementReachesTheServerAsWritten) {
  struct Case {
    const char *isbn, *auditState, *did;
    bool byEnter;  // Enter in 编辑框1, else a click on 按钮1
    const char* statement;
  };
  const Case cases[] = {
      {"", "未审核", "", false,
       "select * from book where ISBN like '%%' and Auditing like '%未审核%'and Did like '%%' "
       "ORDER BY  Did DESC LIMIT 0 , 100"},
      {"978-7", "审核", "12", true,
       "select * from book where ISBN like '%978-7%' and Auditing like '%审核%'and Did like "
       "'%12%' ORDER BY  Did DESC LIMIT 0 , 100"},
      // The wildcards of LIKE go in as they are.
      {"9_8%", "%", "_", false,
       "select * from book where ISBN like '%9_8%%' and Auditing like '%%%'and Did like '%_%' "
       "ORDER BY  Did DESC LIMIT 0 , 100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    setFilters(g(c.isbn), g(c.auditState), g(c.did));
    const std::size_t mark = server().logMark();
    if (c.byEnter)
      pressKey("编辑框1", Qt::Key_Return);
    else
      click("按钮1");
    EXPECT_EQ(server().queriesSince(mark), std::vector<std::string>{g(c.statement)});
    EXPECT_EQ(gridColumnCount(kGrid), 16);
  }
}

TEST_F(BrowserTest, OnlyEnterInTheIsbnBoxSearches) {
  struct Case {
    const char* control;
    Qt::Key key;
    bool searches;
  } cases[] = {
      {"编辑框1", Qt::Key_Return, true},   {"编辑框1", Qt::Key_Enter, true},
      {"编辑框1", Qt::Key_A, false},       {"编辑框1", Qt::Key_Space, false},
      {"编辑框18", Qt::Key_Return, false}, {"编辑框7", Qt::Key_Return, false},
      {"编辑框6", Qt::Key_Return, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.control) + " " + std::to_string(c.key));
    const std::size_t mark = server().logMark();
    pressKey(c.control, c.key);
    EXPECT_EQ(server().queriesSince(mark).size(), c.searches ? 1u : 0u);
  }
  // A key that does not search still reaches the box.
  EXPECT_EQ(controlText("编辑框1"), "a ");
}

TEST_F(BrowserTest, FiltersMatchSubstringsAndHostileTextsStayLiteral) {
  insertFilterRecords();
  struct Case {
    const char* name;
    Text isbn, auditState, did;
    std::vector<int> dids;
  };
  const std::vector<int> everyListable = {305, 304, 303, 302, 301, 120, 112, 21, 12, 2, 1};
  const Case cases[] = {
      // A NULL ISBN or audit state is never listed (Dids 3 and 4).
      {"empty filters", "", "", "", everyListable},
      {"审核 is in three states", "", g("审核"), "", {305, 304, 303, 302, 301, 120, 112, 12}},
      {"a Did is matched as text", "", "", "12", {120, 112, 12}},
      {"ISBN part", "978-7-", "", "", {120, 112, 21, 12, 2, 1}},
      {"one state", "", g("未审核"), "", {12}},
      {"% matches anything", "%", "", "", everyListable},
      {"_ is any one character", "", "", "1_", {120, 112, 12}},
      {"_ inside a filter", "7_5", "", "", {302, 301, 1}},
      {"a quote", "'", "", "", {305, 301}},
      {"a backslash, not the second byte of 誠", "\\", "", "", {302}},
      {"誠, whose second byte is a backslash", g("誠"), "", "", {303}},
      {"誠 before a quote", g("誠") + "'", "", "", {}},
      {"a lead byte before a quote", "\xBF' or '1'='1", "", "", {}},
      {"injection in the ISBN matches only itself", "' or '1'='1", "", "", {305}},
      {"injection in the state", "", g("已审核") + "' or '1'='1", "", {}},
      {"injection in the Did", "", "", "1' or '1'='1", {}},
      {"a backslash before the closing quote", "", "", "1\\", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    setFilters(c.isbn, c.auditState, c.did);
    click("按钮1");
    // A broken statement would leave the grid without columns.
    EXPECT_EQ(gridColumnCount(kGrid), 16);
    EXPECT_EQ(gridDids(), c.dids);
  }
}

TEST_F(BrowserTest, ASearchListsTheHundredHighestMatchingDids) {
  insertRecords();
  const Text waiting = g("未审核"), any;
  ASSERT_EQ(server().value("SELECT COUNT(*) FROM book WHERE ISBN IS NOT NULL AND Auditing = " +
                           hexLiteral(waiting)),
            "115");
  click("按钮1");  // the filters as the window starts: "", "未审核", ""
  EXPECT_EQ(gridContent(), serverListing(any, &waiting, &any, 0));
  ASSERT_EQ(gridRowCount(kGrid), 100);
  // 250 has no audit state and 248 no ISBN.
  EXPECT_EQ(gridCell(kGrid, 0, 1), "246");
  ASSERT_EQ(rowEvents.size(), 1u);
  EXPECT_EQ(rowEvents[0].currentRow, 0);
  EXPECT_EQ(rowEvents[0].did, "246");

  // A second search replaces the first: columns are not added up.
  setFilters("978-8", any, "5");
  click("按钮1");
  EXPECT_EQ(gridColumnCount(kGrid), 16);
  const Text isbn = "978-8", did = "5";
  EXPECT_EQ(gridContent(), serverListing(isbn, &any, &did, 0));
  EXPECT_EQ(gridCell(kGrid, 0, 1), "245");
  EXPECT_EQ(rowEvents.size(), 2u);
}

TEST_F(BrowserTest, StartUpListsTheWaitingRecords) {
  insertRecords();
  raiseCreated();
  const Text waiting = g("未审核"), any;
  EXPECT_EQ(gridContent(), serverListing(any, &waiting, &any, 0));
  EXPECT_EQ(rowEvents.size(), 1u);
  EXPECT_EQ(currentPage, 0);
}

// No connection: every listing leaves the grid empty, says nothing and keeps the detail
// fields; the page actions still count.
TEST_F(BrowserTest, ListingsWithoutAConnectionLeaveTheGridEmpty) {
  insertRecords();
  struct Case {
    const char* name;
    void (*action)();
    int page;
  } cases[] = {
      {"search", runSearch, 1},
      {"next page", showNextPage, 2},
      {"previous page", showPreviousPage, 0},
      {"first page", showFirstPage, 0},
  };
  const int connection = DbHandle;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DbHandle = connection;
    currentPage = 1;
    runSearch();
    setControlText("编辑框12", g("旧记录"));
    rowEvents.clear();
    DbHandle = 0;
    c.action();
    EXPECT_EQ(gridColumnCount(kGrid), 0);
    EXPECT_EQ(gridRowCount(kGrid), 0);
    EXPECT_TRUE(rowEvents.empty());
    EXPECT_EQ(controlText("编辑框12"), g("旧记录"));
    EXPECT_EQ(currentPage, c.page);
  }
  EXPECT_TRUE(boxes.empty());
}
