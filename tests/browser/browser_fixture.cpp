#include "browser/browser_fixture.h"

#include <QTest>
#include <QWidget>

#include "app/window_definition.h"
#include "browser/grid.h"
#include "browser/paging.h"

std::vector<RowEvent> BrowserTest::rowEvents;

namespace {

void recordRowEvent() {
  const int row = gridCurrentRow(kGrid);
  BrowserTest::rowEvents.push_back({row, gridRowCount(kGrid), gridCell(kGrid, row, 1)});
}

}  // namespace

void BrowserTest::SetUp() {
  AppTest::SetUp();
  if (HasFatalFailure()) return;
  bindings_ = mainWindowBindings();
  bindings_.push_back({kGrid, Event::FocusedRowChanged, recordRowEvent});
  createWindow(mainWindowControls(), bindings_);
  // As start-up leaves it.
  currentPage = 0;
  rowEvents.clear();
}

void BrowserTest::click(const char* button) {
  QTest::mouseClick(static_cast<QWidget*>(controlWidget(button)), Qt::LeftButton);
}

void BrowserTest::pressKey(const char* control, Qt::Key key) {
  QTest::keyClick(static_cast<QWidget*>(controlWidget(control)), key);
}

Grid BrowserTest::gridContent() {
  Grid out;
  for (int r = 0; r < gridRowCount(kGrid); ++r) {
    out.emplace_back();
    for (int k = 0; k < gridColumnCount(kGrid); ++k) out.back().push_back(gridCell(kGrid, r, k));
  }
  return out;
}

std::vector<int> BrowserTest::gridDids() {
  std::vector<int> out;
  for (int r = 0; r < gridRowCount(kGrid); ++r) out.push_back(std::stoi(gridCell(kGrid, r, 1)));
  return out;
}

Grid BrowserTest::serverRows(const std::string& sql) {
  Grid out;
  for (const auto& row : server().rows(sql)) {
    out.emplace_back();
    for (const auto& value : row) out.back().push_back(value.value_or(Text()));
  }
  return out;
}

Grid BrowserTest::serverListing(const Text& isbn, const Text* auditState, const Text* did,
                                long offset) {
  std::string sql = "SELECT * FROM book WHERE LOCATE(" + hexLiteral(isbn) + ", ISBN) > 0";
  if (auditState) sql += " AND LOCATE(" + hexLiteral(*auditState) + ", Auditing) > 0";
  if (did) sql += " AND LOCATE(" + hexLiteral(*did) + ", CAST(Did AS CHAR)) > 0";
  return serverRows(sql + " ORDER BY Did DESC LIMIT " + std::to_string(offset) + ", 100");
}

void BrowserTest::insertRecords() {
  const std::string sql =
      "INSERT INTO book (Auditing, Did, QQ, BookName, Author, Translation, PublishTime, "
      "Publishing, ISBN, Introduction, Download, PassWord, Cover, BigClass, SmallClass, Date) "
      "SELECT CASE WHEN seq % 50 = 0 THEN NULL WHEN seq % 2 = 0 THEN " +
      hexLiteral(g("未审核")) + " ELSE ELT(1 + (seq DIV 2) % 5, " + hexLiteral(g("审核中")) + ", " +
      hexLiteral(g("未通过")) + ", " + hexLiteral(g("已审核")) + ", " + hexLiteral(g("已失效")) +
      ", " + hexLiteral(g("已修改")) + ") END, seq, 100000 + seq, CONCAT(" + hexLiteral(g("书名")) +
      ", seq), CONCAT('author', seq), IF(seq % 3 = 0, NULL, CONCAT('translator', seq)), "
      "CONCAT('2012-', LPAD(seq % 12 + 1, 2, '0'), '/', seq), CONCAT(" +
      hexLiteral(g("出版社")) +
      ", seq), IF(seq % 50 = 48, NULL, CONCAT(IF(seq % 5 = 0, '978-8-', '978-7-'), "
      "LPAD(seq, 5, '0'))), CONCAT('intro ', seq), CONCAT('http://pan.example.com/s/', seq), "
      "CONCAT('pw', seq), CONCAT('http://127.0.0.1:8089/Cover/', seq, '.jpg'), CONCAT(" +
      hexLiteral(g("大类")) + ", seq), CONCAT(" + hexLiteral(g("小类")) +
      ", seq), CONCAT('2013-03-', LPAD(seq % 28 + 1, 2, '0'), ' 10:', seq) "
      "FROM seq_1_to_250";
  ASSERT_TRUE(server().exec(sql));
  ASSERT_EQ(server().value("SELECT COUNT(*) FROM book"), "250");
}

void BrowserTest::insertFilterRecords() {
  struct Record {
    int did;
    const char* auditState;  // nullptr: NULL
    Text isbn;
    bool nullIsbn;
  };
  const Record records[] = {
      {12, "未审核", "978-7-111", false},    {112, "审核中", "978-7-222", false},
      {120, "已审核", "978-7-333", false},   {21, "未通过", "978-7-444", false},
      {1, "已失效", "978-7-555", false},     {2, "已修改", "978-7-666", false},
      {3, nullptr, "978-7-777", false},      {4, "未审核", "", true},
      {301, "已审核", "7'5", false},         {302, "已审核", "7\\5", false},
      {303, "已审核", g("誠5"), false},      {304, "已审核", "75", false},
      {305, "已审核", "' or '1'='1", false},
  };
  for (const Record& r : records) {
    const std::string audit = r.auditState ? hexLiteral(g(r.auditState)) : "NULL";
    const std::string isbn = r.nullIsbn ? "NULL" : hexLiteral(r.isbn);
    ASSERT_TRUE(server().exec("INSERT INTO book (Did, Auditing, ISBN, BookName) VALUES (" +
                              std::to_string(r.did) + ", " + audit + ", " + isbn + ", 'b" +
                              std::to_string(r.did) + "')"));
  }
}
