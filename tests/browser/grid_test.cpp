// The result grid: what a load leaves in it, the titles of each listing action, and when the
// detail view is told about row 0.
#include <QAbstractItemModel>
#include <QTableView>
#include <tuple>

#include "browser/browser_fixture.h"
#include "browser/grid.h"
#include "browser/paging.h"
#include "browser/search.h"
#include "db/db.h"

namespace {

void load(const std::string& sql, const HeaderSet& headers) {
  dbExecute(DbHandle, sql);
  fillGrid(dbStoreResult(DbHandle), headers);
}

// The operator's in-place edit of a first cell.
void editFirstCell(int row, const QString& text) {
  auto* view = static_cast<QTableView*>(controlWidget(kGrid));
  view->model()->setData(view->model()->index(row, 0), text);
}

}  // namespace

TEST_F(BrowserTest, ALoadShowsEveryFieldAndTellsTheDetailViewOnceItIsComplete) {
  insertRecords();
  const std::string first = "select * from book where Did <= 30 order by Did";
  load(first, searchHeaders);
  // serverRows reads NULL as empty Text: the NULL translators must show as empty cells.
  EXPECT_EQ(gridContent(), serverRows(first));
  EXPECT_EQ(gridCell(kGrid, 2, 5), "");  // Did 3
  EXPECT_EQ(gridCurrentRow(kGrid), 0);
  ASSERT_EQ(rowEvents.size(), 1u);
  EXPECT_EQ(rowEvents[0].currentRow, 0);
  EXPECT_EQ(rowEvents[0].rowCount, 30);
  EXPECT_EQ(rowEvents[0].did, "1");

  // The operator edits a first cell in place and moves to another row; the next load
  // replaces all of it and tells the detail view once, not while the grid is emptied.
  editFirstCell(0, "edited");
  EXPECT_EQ(gridCell(kGrid, 0, 0), "edited");
  gridSetCurrentRow(kGrid, 4);
  rowEvents.clear();
  load(first, searchHeaders);
  EXPECT_EQ(gridColumnCount(kGrid), 16);
  EXPECT_EQ(gridContent(), serverRows(first));
  ASSERT_EQ(rowEvents.size(), 1u);
  EXPECT_EQ(rowEvents[0].currentRow, 0);
  EXPECT_EQ(rowEvents[0].rowCount, 30);
  EXPECT_EQ(server().value("SELECT Auditing FROM book WHERE Did = 1"), gridCell(kGrid, 0, 0));
}

TEST_F(BrowserTest, ColumnsFollowTheResultWhateverTheHeaderSet) {
  insertRecords();
  struct Case {
    const char* name;
    std::string sql;
    const HeaderSet* headers;
    int columns, rows;
    std::vector<std::tuple<int, const char*, int>> titles;  // column, title, width
    int valueColumn;       // a column whose row-0 cell is checked, or -1
    std::string valueSql;  // what the server says that cell holds
  };
  const Case cases[] = {
      {"fewer fields than entries",
       "select Did, ISBN from book where Did <= 3 order by Did",
       &searchHeaders,
       2,
       3,
       {{0, "审核状态", 70}, {1, "序号", 50}},
       1,
       "SELECT ISBN FROM book WHERE Did = 1"},
      {"more fields than entries",
       "select *, 'extra' from book where Did <= 3 order by Did",
       &searchHeaders,
       17,
       3,
       {{15, "审核日期", 100}, {16, "", 50}},
       16,
       "SELECT 'extra'"},
      {"page titles leave the audit date untitled",
       "select * from book where Did <= 3 order by Did",
       &pageHeaders,
       16,
       3,
       {{14, "图书小类", 120}, {15, "", 50}},
       15,
       "SELECT Date FROM book WHERE Did = 1"},
      {"no rows",
       "select * from book where Did = 0",
       &searchHeaders,
       16,
       0,
       {{0, "审核状态", 70}, {15, "审核日期", 100}},
       -1,
       ""},
      {"a failed statement", "select * from no_such_table", &searchHeaders, 0, 0, {}, -1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A grid showing an earlier listing, the operator on its third row.
    load("select * from book order by Did desc limit 5", searchHeaders);
    gridSetCurrentRow(kGrid, 2);
    setControlText("编辑框12", g("旧记录"));
    rowEvents.clear();

    load(c.sql, *c.headers);
    EXPECT_EQ(gridColumnCount(kGrid), c.columns);
    EXPECT_EQ(gridRowCount(kGrid), c.rows);
    for (const auto& [column, title, width] : c.titles) {
      EXPECT_EQ(gridColumnTitle(kGrid, column), g(title)) << column;
      EXPECT_EQ(gridColumnWidth(kGrid, column), width) << column;
    }
    if (c.valueColumn >= 0) {
      EXPECT_EQ(gridCell(kGrid, 0, c.valueColumn), server().value(c.valueSql));
    }
    if (c.rows == 0) {
      // Nothing to show: the detail view is not told, and keeps the record it had.
      EXPECT_TRUE(rowEvents.empty());
      EXPECT_EQ(gridCurrentRow(kGrid), -1);
      EXPECT_EQ(controlText("编辑框12"), g("旧记录"));
    } else {
      EXPECT_EQ(rowEvents.size(), 1u);
    }
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(BrowserTest, TheResultIsReleasedOnceRead) {
  insertRecords();
  dbExecute(DbHandle, "select * from book");
  const ResultHandle result = dbStoreResult(DbHandle);
  ASSERT_NE(result, 0);
  ASSERT_EQ(dbFieldCount(result), 16);
  fillGrid(result, searchHeaders);
  EXPECT_EQ(gridRowCount(kGrid), 250);
  EXPECT_EQ(dbFieldCount(result), 0);
  EXPECT_EQ(dbRowCount(result), 0u);
}

// Each listing action's titles and widths, and under every title the field it names.
TEST_F(BrowserTest, EachListingActionTitlesTheFieldsItShows) {
  insertRecords();
  setControlText("组合框4", "");
  using Titles = std::vector<std::pair<const char*, int>>;
  struct Case {
    const char* button;
    Titles titles;
  };
  // The previous and next pages: column 15 has no title and keeps the width every column gets.
  const Titles pageTitles = {
      {"审核状态", 60},  {"序号", 40},     {"上传者QQ", 80},  {"书    名", 200},
      {"作    者", 120}, {"译    者", 90}, {"出版时间", 90},  {"出 版 社", 150},
      {"ＩＳＢＮ", 110}, {"图书简介", 0},  {"下载地址", 0},   {"提取密码", 230},
      {"封面地址", 70},  {"图书大类", 0},  {"图书小类", 120}, {"", 50}};
  const Case cases[] = {
      {"按钮1",
       {{"审核状态", 70},
        {"序号", 50},
        {"上传者QQ", 80},
        {"书    名", 200},
        {"作    者", 100},
        {"译    者", 80},
        {"出版时间", 80},
        {"出 版 社", 120},
        {"ＩＳＢＮ", 100},
        {"图书简介", 0},
        {"下载地址", 0},
        {"提取密码", 0},
        {"封面地址", 0},
        {"图书大类", 150},
        {"图书小类", 150},
        {"审核日期", 100}}},
      {"下一页", pageTitles},
      // From page 0 the previous page is page 0 again, under the same titles as any page.
      {"上一页", pageTitles},
      // The download address is shown, under its own title, and the password under its.
      {"首页",
       {{"审核状态", 60},
        {"序号", 40},
        {"上传者QQ", 80},
        {"书    名", 200},
        {"作    者", 120},
        {"译    者", 90},
        {"出版时间", 90},
        {"出 版 社", 150},
        {"ＩＳＢＮ", 110},
        {"图书简介", 0},
        {"下载地址", 230},
        {"提取密码", 70},
        {"封面地址", 0},
        {"图书大类", 120},
        {"图书小类", 120},
        {"审核日期", 120}}},
  };
  // The field each title names, in the row layout's order.
  const char* const fields[] = {"Auditing", "Did",          "QQ",          "BookName",
                                "Author",   "Translation",  "PublishTime", "Publishing",
                                "ISBN",     "Introduction", "Download",    "PassWord",
                                "Cover",    "BigClass",     "SmallClass",  "Date"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    currentPage = 0;
    click(c.button);
    ASSERT_EQ(gridColumnCount(kGrid), 16);
    ASSERT_GT(gridRowCount(kGrid), 0);
    const std::string did = gridCell(kGrid, 0, 1);
    for (int k = 0; k < 16; ++k) {
      EXPECT_EQ(gridColumnTitle(kGrid, k), g(c.titles[k].first)) << k;
      EXPECT_EQ(gridColumnWidth(kGrid, k), c.titles[k].second) << k;
      EXPECT_EQ(gridCell(kGrid, 0, k), server().value(std::string("SELECT ") + fields[k] +
                                                      " FROM book WHERE Did = " + did))
          << fields[k];
    }
  }
}
