// The page actions: the page statement, the page counter and the page buttons.
#include <cstdint>

#include "browser/browser_fixture.h"
#include "browser/grid.h"
#include "browser/paging.h"
#include "browser/search.h"
#include "db/db.h"

namespace {

// The page statement as built, ending in a blank.
Text pageStatement(const Text& isbn, const std::string& offset) {
  return "select * from book where ISBN like '%" + isbn + "%' ORDER BY  Did DESC LIMIT " + offset +
         " , 100 ";
}

// The page statement as the server's log shows it: the server drops trailing blanks before it
// logs a statement, so the final blank is checked on the built statement instead.
Text loggedPageStatement(const Text& isbn, const std::string& offset) {
  Text s = pageStatement(isbn, offset);
  s.pop_back();
  return s;
}

struct Buttons {
  bool first, previous, next, last;
  bool operator==(const Buttons& o) const {
    return first == o.first && previous == o.previous && next == o.next && last == o.last;
  }
};

std::ostream& operator<<(std::ostream& os, const Buttons& b) {
  return os << "首页 " << b.first << ", 上一页 " << b.previous << ", 下一页 " << b.next << ", 尾页 "
            << b.last;
}

Buttons buttons() {
  return {controlEnabled("首页"), controlEnabled("上一页"), controlEnabled("下一页"),
          controlEnabled("尾页")};
}

void setButtons(bool enabled) {
  for (const char* b : {"首页", "上一页", "下一页", "尾页"}) setControlEnabled(b, enabled);
}

}  // namespace

// Clicks from start-up (page 0, every page button enabled) on the 250 records.
struct ClickCase {
  const char* name;
  std::vector<const char*> clicks;
  std::vector<const char*> offsets;  // of the page statements the server received
  int page;
  Buttons after;
};

class PageClicks : public BrowserTest, public testing::WithParamInterface<ClickCase> {};

TEST_P(PageClicks, ListThePageAskedFor) {
  const ClickCase& c = GetParam();
  insertRecords();
  const std::size_t mark = server().logMark();
  for (const char* button : c.clicks) click(button);
  std::vector<std::string> expected;
  for (const char* offset : c.offsets) expected.push_back(loggedPageStatement("", offset));
  EXPECT_EQ(server().queriesSince(mark), expected);
  EXPECT_EQ(currentPage, c.page);
  EXPECT_EQ(buttons(), c.after);
  EXPECT_EQ(gridContent(), serverListing("", nullptr, nullptr, c.page * 100));
  EXPECT_EQ(gridRowCount(kGrid), 100);
}

INSTANTIATE_TEST_SUITE_P(
    Browser, PageClicks,
    testing::Values(
        ClickCase{"next", {"下一页"}, {"100"}, 1, {true, true, true, true}},
        ClickCase{"first", {"首页"}, {"0"}, 0, {false, false, true, true}},
        ClickCase{"first_next_previous",
                  {"首页", "下一页", "上一页"},
                  {"0", "100", "0"},
                  0,
                  {true, true, true, true}},
        // Page 0 has no page before it: the previous page lists page 0 again.
        ClickCase{"previous_at_page_0", {"上一页"}, {"0"}, 0, {true, true, true, true}},
        ClickCase{"previous_twice_at_page_0",
                  {"上一页", "上一页"},
                  {"0", "0"},
                  0,
                  {true, true, true, true}},
        ClickCase{"next_next_previous",
                  {"下一页", "下一页", "上一页"},
                  {"100", "200", "100"},
                  1,
                  {true, true, true, true}},
        // The first page disables 上一页, so its click runs nothing.
        ClickCase{
            "previous_after_first", {"首页", "上一页"}, {"0"}, 0, {false, false, true, true}}),
    [](const testing::TestParamInfo<ClickCase>& info) { return std::string(info.param.name); });

TEST_F(BrowserTest, EachPageActionSetsOnlyItsButtons) {
  struct Case {
    const char* name;
    void (*action)();
    Buttons fromEnabled, fromDisabled;
  } cases[] = {
      {"first page", showFirstPage, {false, false, true, true}, {false, false, true, true}},
      {"previous page", showPreviousPage, {true, true, true, true}, {false, false, true, true}},
      {"next page", showNextPage, {true, true, true, true}, {true, true, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool enabled : {true, false}) {
      setButtons(enabled);
      currentPage = 1;
      c.action();
      EXPECT_EQ(buttons(), enabled ? c.fromEnabled : c.fromDisabled);
    }
  }
}

TEST_F(BrowserTest, APagePastTheLastRecordIsEmptyAndKeepsTheDetails) {
  insertRecords();  // 245 records have an ISBN
  click("下一页");
  EXPECT_EQ(gridRowCount(kGrid), 100);
  click("下一页");
  EXPECT_EQ(gridRowCount(kGrid), 45);
  EXPECT_EQ(gridCell(kGrid, 44, 1), "1");
  ASSERT_EQ(rowEvents.size(), 2u);
  setControlText("编辑框12", g("旧记录"));

  click("下一页");
  EXPECT_EQ(currentPage, 3);
  EXPECT_EQ(gridRowCount(kGrid), 0);
  EXPECT_EQ(gridColumnCount(kGrid), 16);
  EXPECT_EQ(gridColumnTitle(kGrid, 0), g("审核状态"));
  EXPECT_EQ(rowEvents.size(), 2u);
  EXPECT_EQ(gridCurrentRow(kGrid), -1);
  EXPECT_EQ(controlText("编辑框12"), g("旧记录"));
  EXPECT_TRUE(controlEnabled("下一页"));
  click("下一页");
  EXPECT_EQ(currentPage, 4);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(BrowserTest, PagesIgnoreTheStateAndDidFilters) {
  insertRecords();
  setControlText("组合框4", g("未审核"));
  setControlText("编辑框18", "12");
  click("下一页");
  EXPECT_EQ(gridContent(), serverListing("", nullptr, nullptr, 100));
  EXPECT_EQ(gridCell(kGrid, 0, 1), "147");  // 148 has no ISBN; the states are all there
  EXPECT_NE(gridCell(kGrid, 0, 0), g("未审核"));
}

TEST_F(BrowserTest, TheIsbnFilterIsReadAtEachClick) {
  insertRecords();
  setControlText("编辑框1", "978-8");  // 50 records: page 1 is empty
  const std::size_t mark = server().logMark();
  click("下一页");
  EXPECT_EQ(gridRowCount(kGrid), 0);
  setControlText("编辑框1", "");
  click("下一页");
  EXPECT_EQ(server().queriesSince(mark),
            (std::vector<std::string>{loggedPageStatement("978-8", "100"),
                                      loggedPageStatement("", "200")}));
  EXPECT_EQ(gridContent(), serverListing("", nullptr, nullptr, 200));
}

TEST_F(BrowserTest, ASearchKeepsThePage) {
  insertRecords();
  click("下一页");
  click("下一页");
  const std::size_t mark = server().logMark();
  click("按钮1");
  EXPECT_EQ(currentPage, 2);
  EXPECT_EQ(buttons(), (Buttons{true, true, true, true}));
  EXPECT_EQ(gridRowCount(kGrid), 100);
  click("下一页");
  EXPECT_EQ(currentPage, 3);
  const std::vector<std::string> received = server().queriesSince(mark);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1], loggedPageStatement("", "300"));
}

TEST_F(BrowserTest, ThePageOffsetIsThePageTimesAHundred) {
  struct Case {
    int32_t page;
    const char* offset;
  } cases[] = {{0, "0"}, {1, "100"}, {25, "2500"}, {21474837, "2147483700"}};
  setControlText("编辑框1", "7-1");
  for (const Case& c : cases) {
    currentPage = c.page;
    EXPECT_EQ(::pageStatement(), pageStatement("7-1", c.offset)) << c.page;
  }
}

TEST_F(BrowserTest, PagesTakeHostileIsbnFiltersLiterally) {
  insertFilterRecords();
  struct Case {
    Text isbn;
    std::vector<int> dids;
  } cases[] = {
      {"'", {305, 301}},      {"\\", {302}},           {g("誠"), {303}}, {"7_5", {302, 301, 1}},
      {"' or '1'='1", {305}}, {"\xBF' or '1'='1", {}}, {"5\\", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.isbn);
    setControlText("编辑框1", c.isbn);
    click("上一页");  // page 0 again, with this filter
    EXPECT_EQ(gridColumnCount(kGrid), 16);
    EXPECT_EQ(gridDids(), c.dids);
  }
}
