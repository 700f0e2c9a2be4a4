// Hostile values through every statement the window builds: the search filters, the page
// filter, every field of the update, the audit state and the key. Each value either reaches
// the table as exactly its bytes or is refused with a message; the server receives one
// statement of the fixed shape whose quoted values, read as the server reads them, are the
// control texts; no other row changes.
#include <QString>
#include <functional>
#include <optional>

#include "browser/grid.h"
#include "browser/paging.h"
#include "editor/record_fixture.h"
#include "platform/clock.h"
#include "platform/gbk.h"
#include "platform/toolkit.h"
#include "session_support.h"

namespace {

// ---- reading statements back as the server's lexer reads them in GBK ----

bool gbkLead(unsigned char c) {
  return c >= 0x81 && c <= 0xFE;
}
bool gbkTrail(unsigned char c) {
  return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE);
}
bool gbkPair(const Text& s, std::size_t i) {
  return i + 1 < s.size() && gbkLead(s[i]) && gbkTrail(s[i + 1]);
}

// The body of a quoted value that starts at pos (after its opening quote), unescaped; pos ends
// after the closing quote. A GBK character is taken whole, so its second byte never ends the
// value nor escapes anything; a backslash takes the next byte as it is.
std::optional<Text> readQuoted(const Text& s, std::size_t& pos) {
  Text out;
  while (pos < s.size()) {
    if (gbkPair(s, pos)) {
      out.append(s, pos, 2);
      pos += 2;
    } else if (s[pos] == '\\') {
      if (pos + 1 >= s.size()) return std::nullopt;
      const char c = s[pos + 1];
      pos += 2;
      switch (c) {
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'b':
          out += '\b';
          break;
        case '0':
          out += '\0';
          break;
        case 'Z':
          out += '\x1A';
          break;
        case '%':
        case '_':
          out += '\\';
          out += c;
          break;
        default:
          out += c;
      }
    } else if (s[pos] == '\'') {
      ++pos;
      if (pos < s.size() && s[pos] == '\'') {
        out += '\'';
        ++pos;
      } else {
        return out;
      }
    } else {
      out += s[pos++];
    }
  }
  return std::nullopt;
}

// The values of a statement made of fixed pieces with one quoted value between each two:
// pieces[0] ends with the opening quote, every later piece starts with the closing one.
// Nothing when the statement has any other shape, or anything after the last piece. (The
// server drops trailing blanks before it logs a statement, so the last piece ends without.)
std::optional<std::vector<Text>> parseStatement(const Text& s, std::vector<Text> pieces) {
  while (!pieces.back().empty() && pieces.back().back() == ' ') pieces.back().pop_back();
  if (s.compare(0, pieces[0].size(), pieces[0]) != 0) return std::nullopt;
  std::size_t pos = pieces[0].size();
  std::vector<Text> values;
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    auto value = readQuoted(s, pos);
    if (!value) return std::nullopt;
    values.push_back(*value);
    const Text rest = pieces[i].substr(1);
    if (s.compare(pos, rest.size(), rest) != 0) return std::nullopt;
    pos += rest.size();
  }
  if (pos != s.size()) return std::nullopt;
  return values;
}

// A LIKE pattern back to the text it was made from: a backslash makes the next character
// literal; "%" and "_" are the filter's own wildcards.
Text unlike(const Text& pattern) {
  Text out;
  for (std::size_t i = 0; i < pattern.size();) {
    if (pattern[i] == '\\' && i + 1 < pattern.size()) ++i;
    const std::size_t n = gbkPair(pattern, i) ? 2 : 1;
    out.append(pattern, i, n);
    i += n;
  }
  return out;
}

// The filter value of a search or page statement: "%" + pattern + "%".
std::optional<Text> filterOf(const Text& value) {
  if (value.size() < 2 || value.front() != '%' || value.back() != '%') return std::nullopt;
  return unlike(value.substr(1, value.size() - 2));
}

const std::vector<Text> kSearchShape = {"select * from book where ISBN like '",
                                        "' and Auditing like '", "'and Did like '",
                                        "' ORDER BY  Did DESC LIMIT 0 , 100"};
std::vector<Text> pageShape(int page) {
  return {"select * from book where ISBN like '",
          "' ORDER BY  Did DESC LIMIT " + std::to_string(page * 100) + " , 100 "};
}
const std::vector<Text> kAuditShape = {"update book set Auditing = '", "',Date = '",
                                       "'where Did= '", "'"};
const std::vector<Text> kDeleteShape = {"DELETE FROM book where Did= '", "'"};

// The update: its fixed pieces, and the control each value comes from, with its column and
// the column's size in characters.
const struct UpdateField {
  const char* piece;
  const char* control;
  int column;
  std::size_t width;
} kUpdate[] = {
    {"update book set BookName = '", "编辑框2", kBookName, 255},
    {"',Author = '", "编辑框3", kAuthor, 255},
    {"',PublishTime = '", "编辑框4", kPublishTime, 50},
    {"',Publishing = '", "编辑框5", kPublishing, 255},
    {"',ISBN = '", "编辑框6", kIsbn, 50},
    {"',Introduction = '", "编辑框7", kIntroduction, 1u << 24},
    {"',Download = '", "编辑框9", kDownload, 1024},
    {"',PassWord = '", "编辑框10", kPassWord, 50},
    {"',Translation = '", "编辑框13", kTranslation, 255},
    {"',QQ = '", "编辑框14", kQQ, 20},
    {"',BigClass = '", "组合框1", kBigClass, 255},
    {"',SmallClass = '", "组合框2", kSmallClass, 255},
    {"',Auditing = '", "组合框3", kAuditing, 16},
};
std::vector<Text> updateShape() {
  std::vector<Text> pieces;
  for (const auto& f : kUpdate) pieces.push_back(f.piece);
  pieces.push_back("'where Did= '");
  pieces.push_back("'");
  return pieces;
}

// ---- the hostile values ----

enum class Entry {
  Typed,   // the operator types it
  Pasted,  // the operator pastes it
  Shown,   // it is in the control already, as the detail view puts a stored value there
};

struct Hostile {
  const char* name;
  Text bytes;
  Entry entry;
  bool gbk = true;  // every byte belongs to a GBK character
};

const std::vector<Hostile>& hostileValues() {
  static const std::vector<Hostile> values = [] {
    Text huge;
    while (huge.size() < 100 * 1024) huge += g("誠") + "'\\";
    return std::vector<Hostile>{
        {"a quote", "O'Brien", Entry::Typed},
        {"doubled quotes", "x''y", Entry::Typed},
        {"a backslash at the end", "C:\\dir\\", Entry::Typed},
        {"an escaped quote", "\\'", Entry::Typed},
        {"or 1=1", "' or '1'='1", Entry::Typed},
        {"a second statement", "x'; DELETE FROM book; --", Entry::Typed},
        {"a second statement after a backslash", "\\'; DROP TABLE book; SELECT '", Entry::Typed},
        {"a comment", "x' #", Entry::Typed},
        {"a double quote", "\"; --", Entry::Typed},
        {"D5 5C then a quote", g("誠") + "' or 1=1 -- ", Entry::Typed},
        {"D5 5C at the end", g("表誠"), Entry::Typed},
        {"BF 5C then a quote", "\xBF\x5C' or 1=1 -- ", Entry::Shown},
        {"BF 27, no GBK", "\xBF' or 1=1 -- ", Entry::Shown, false},
        {"a lone lead byte at the end", "x\xBF", Entry::Shown, false},
        {"control characters", "a\x1A\r\n\tb", Entry::Shown},
        {"100 KB of quotes, backslashes and D5 5C", huge, Entry::Pasted},
    };
  }();
  return values;
}

// The number of characters of a value in a GBK column.
std::size_t gbkLength(const Text& s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size(); i += gbkPair(s, i) ? 2 : 1) ++n;
  return n;
}

bool containsGbk(const Text& text, const Text& part) {
  for (std::size_t i = 0; i + part.size() <= text.size(); i += gbkPair(text, i) ? 2 : 1)
    if (text.compare(i, part.size(), part) == 0) return true;
  return false;
}

std::string shortName(const Text& bytes) {
  return bytes.size() <= 60
             ? bytes
             : bytes.substr(0, 60) + "... (" + std::to_string(bytes.size()) + " bytes)";
}

// Byte strings compared, a long one reported by its start, size and first difference.
testing::AssertionResult sameBytes(const Text& actual, const Text& expected) {
  if (actual == expected) return testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return testing::AssertionFailure() << "got " << shortName(actual) << ", expected "
                                     << shortName(expected) << ", first difference at byte " << at;
}

testing::AssertionResult sameRecord(const Record& actual, const Record& expected) {
  for (int k = 0; k < 16; ++k)
    if (auto r = sameBytes(actual[k], expected[k]); !r) return r << " in " << kColumns[k];
  return testing::AssertionSuccess();
}

class InjectionTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    if (HasFatalFailure()) return;
    currentPage = 0;
    // Bystanders that no statement may touch, and the target of the changes.
    for (int did = 1; did <= 20; ++did) insertRecord(sampleRecord(did));
    insertRecord(sampleRecord(kTarget));
    setClockSeam([] { return LocalTime{2019, 7, 4, 6, 7, 8}; });
  }

  void TearDown() override {
    setClockSeam(nullptr);
    AppTest::TearDown();
  }

  // Puts the value into the control the way its case says.
  static void enter(const char* control, const Hostile& v) {
    switch (v.entry) {
      case Entry::Typed:
        typeOverAll(control, decodeGbk(v.bytes).toUtf8().constData());
        break;
      case Entry::Pasted:
        pasteOver(control, decodeGbk(v.bytes).toStdU16String());
        break;
      case Entry::Shown:
        setControlText(control, v.bytes);
        break;
    }
  }

  // The statements received since the mark; exactly `count` of them.
  std::vector<std::string> received(std::size_t mark, std::size_t count) {
    auto q = server().queriesSince(mark);
    EXPECT_EQ(q.size(), count) << "statements received";
    return q;
  }

  // The target record, fresh, listed by a search and shown.
  void showTarget() {
    server().exec("DELETE FROM book WHERE Did = " + std::to_string(kTarget));
    insertRecord(sampleRecord(kTarget));
    setControlText("编辑框1", Text());
    setControlText("组合框4", Text());
    setControlText("编辑框18", std::to_string(kTarget));
    clickButton("按钮1");
    ASSERT_EQ(gridRowCount(kGrid), 1);
    ASSERT_EQ(controlText("编辑框12"), std::to_string(kTarget));
  }

  // Every row but the target, as it must stay.
  Table bystanders() {
    Table t = snapshotBook();
    t.erase(kTarget);
    return t;
  }

  Text onlyBox() {
    EXPECT_EQ(boxes.size(), 1u);
    Text text = boxes.empty() ? Text() : boxes.back().text;
    boxes.clear();
    return text;
  }

  static constexpr int kTarget = 500;
};

TEST_F(InjectionTest, SearchFiltersListWhatHoldsTheirTextAndRunNothingElse) {
  // A record holding each value in its ISBN and audit state, where the column can hold it.
  int did = 100;
  for (const Hostile& v : hostileValues()) {
    Record r = sampleRecord(++did);
    if (v.gbk && gbkLength(v.bytes) <= 50) r[kIsbn] = v.bytes;
    if (v.gbk && gbkLength(v.bytes) <= 16) r[kAuditing] = v.bytes;
    insertRecord(r);
  }
  const Table before = snapshotBook();
  const struct {
    const char* control;
    std::function<std::optional<Text>(int, const TestServer::Row&)> column;
  } filters[] = {
      {"编辑框1", [](int, const TestServer::Row& r) { return r[kIsbn]; }},
      {"组合框4", [](int, const TestServer::Row& r) { return r[kAuditing]; }},
      {"编辑框18",
       [](int d, const TestServer::Row&) { return std::optional<Text>(std::to_string(d)); }},
  };
  for (const auto& f : filters) {
    for (const Hostile& v : hostileValues()) {
      SCOPED_TRACE(std::string(f.control) + ": " + v.name);
      for (const auto& other : filters) setControlText(other.control, Text());
      enter(f.control, v);
      ASSERT_TRUE(sameBytes(controlText(f.control), v.bytes));
      const std::size_t mark = server().logMark();
      clickButton("按钮1");

      const auto q = received(mark, 1);
      ASSERT_FALSE(q.empty());
      const auto values = parseStatement(q[0], kSearchShape);
      ASSERT_TRUE(values) << "altered statement: " << shortName(q[0]);
      for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(sameBytes(filterOf((*values)[i]).value_or("(no filter)"),
                              controlText(filters[i].control)))
            << i;

      std::vector<Text> expected;
      for (auto it = before.rbegin(); it != before.rend(); ++it) {
        const auto text = f.column(it->first, it->second);
        if (text && containsGbk(*text, v.bytes)) expected.push_back(std::to_string(it->first));
      }
      std::vector<Text> listed;
      for (int r = 0; r < gridRowCount(kGrid); ++r) listed.push_back(gridCell(kGrid, r, kDid));
      if (gridColumnCount(kGrid) == 0 && !v.gbk) continue;  // refused by the server
      EXPECT_EQ(listed, expected);
      EXPECT_TRUE(boxes.empty());
    }
  }
  EXPECT_EQ(snapshotBook(), before);
}

TEST_F(InjectionTest, ThePageFilterListsWhatHoldsItsTextAndRunsNothingElse) {
  int did = 100;
  for (const Hostile& v : hostileValues()) {
    Record r = sampleRecord(++did);
    if (v.gbk && gbkLength(v.bytes) <= 50) r[kIsbn] = v.bytes;
    insertRecord(r);
  }
  const Table before = snapshotBook();
  for (const Hostile& v : hostileValues()) {
    SCOPED_TRACE(v.name);
    enter("编辑框1", v);
    const std::size_t mark = server().logMark();
    clickButton("下一页");
    clickButton("首页");
    const auto q = received(mark, 2);
    ASSERT_EQ(q.size(), 2u);
    for (int page : {1, 0}) {
      const auto values = parseStatement(q[1 - page], pageShape(page));
      ASSERT_TRUE(values) << "altered statement: " << shortName(q[1 - page]);
      EXPECT_TRUE(
          sameBytes(filterOf(values->at(0)).value_or("(no filter)"), controlText("编辑框1")));
    }
    std::vector<Text> expected, listed;
    for (auto it = before.rbegin(); it != before.rend(); ++it)
      if (it->second[kIsbn] && containsGbk(*it->second[kIsbn], v.bytes))
        expected.push_back(std::to_string(it->first));
    for (int r = 0; r < gridRowCount(kGrid); ++r) listed.push_back(gridCell(kGrid, r, kDid));
    if (gridColumnCount(kGrid) == 0 && !v.gbk) continue;  // refused by the server
    EXPECT_EQ(listed, expected);
  }
  EXPECT_EQ(snapshotBook(), before);
}

TEST_F(InjectionTest, EveryFieldOfTheUpdateStoresItsBytesOrIsRefused) {
  const Table others = bystanders();
  for (const UpdateField& field : kUpdate) {
    for (const Hostile& v : hostileValues()) {
      SCOPED_TRACE(std::string(field.control) + ": " + v.name);
      showTarget();
      const Record before = storedRecord(std::to_string(kTarget));
      // Only digits and "-" can be typed into the ISBN box; other text comes from a record.
      Hostile entered = v;
      if (std::string(field.control) == "编辑框6") entered.entry = Entry::Shown;
      enter(field.control, entered);
      ASSERT_TRUE(sameBytes(controlText(field.control), v.bytes));
      std::vector<Text> texts;
      for (const auto& f : kUpdate) texts.push_back(controlText(f.control));
      texts.push_back(controlText("编辑框12"));

      const std::size_t mark = server().logMark();
      clickButton("按钮2");
      const auto q = received(mark, 1);
      ASSERT_FALSE(q.empty());
      const auto values = parseStatement(q[0], updateShape());
      ASSERT_TRUE(values) << "altered statement: " << shortName(q[0]);
      for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_TRUE(sameBytes(values->at(i), texts[i])) << i;

      const Text told = onlyBox();
      const Record stored = storedRecord(std::to_string(kTarget));
      Record expected = before;
      expected[field.column] = v.bytes;
      const bool fits = v.gbk && gbkLength(v.bytes) <= field.width;
      if (fits) {
        EXPECT_EQ(told, g("更新成功"));
        EXPECT_TRUE(sameRecord(stored, expected));
      } else {
        EXPECT_EQ(told, g("更新失败"));
        EXPECT_TRUE(sameRecord(stored, before));
      }
    }
  }
  EXPECT_EQ(bystanders(), others);
}

TEST_F(InjectionTest, AnAuditStateTypedIsReplacedByThePickOrSavedByTheUpdate) {
  const Table others = bystanders();
  for (const Hostile& v : hostileValues()) {
    if (v.entry == Entry::Shown) continue;  // nothing but typing puts a state there
    SCOPED_TRACE(v.name);
    showTarget();
    enter("组合框3", v);
    std::size_t mark = server().logMark();
    pickItem("组合框3", 3);
    auto q = received(mark, 1);
    ASSERT_FALSE(q.empty());
    const auto values = parseStatement(q[0], kAuditShape);
    ASSERT_TRUE(values) << "altered statement: " << shortName(q[0]);
    EXPECT_EQ(*values, (std::vector<Text>{g("已审核"), "2019-07-04 6:7:8", "500"}));
    EXPECT_TRUE(boxes.empty());
    Record stored = storedRecord("500");
    EXPECT_EQ(stored[kAuditing], g("已审核"));
    EXPECT_EQ(stored[kDate], "2019-07-04 6:7:8");

    // Typed again and saved by the update: stored as it is, or refused when too long.
    const Record before = stored;
    enter("组合框3", v);
    mark = server().logMark();
    clickButton("按钮2");
    q = received(mark, 1);
    ASSERT_FALSE(q.empty());
    const auto update = parseStatement(q[0], updateShape());
    ASSERT_TRUE(update) << "altered statement: " << shortName(q[0]);
    EXPECT_TRUE(sameBytes(update->at(12), v.bytes));
    stored = storedRecord("500");
    if (gbkLength(v.bytes) <= 16) {
      EXPECT_EQ(onlyBox(), g("更新成功"));
      EXPECT_TRUE(sameBytes(stored[kAuditing], v.bytes));
      EXPECT_EQ(stored[kDate], before[kDate]);
    } else {
      EXPECT_EQ(onlyBox(), g("更新失败"));
      EXPECT_TRUE(sameRecord(stored, before));
    }
  }
  EXPECT_EQ(bystanders(), others);
}

// The key of the change statements comes from the grid's Did cell. Whatever it holds, a
// change reaches at most the record whose Did the key's leading digits name.
TEST_F(InjectionTest, AKeyNeverWidensAChange) {
  const Table others = bystanders();
  const std::vector<Text> update = updateShape();
  const struct {
    const char* name;
    const std::vector<Text>* shape;
    std::function<void()> act;
    const char* success;  // the box when it went through, or nullptr
    const char* failure;
    int column;  // what it changes, or -1 for the delete
    Text changedTo;
  } actions[] = {
      {"update", &update, [] { clickButton("按钮2"); }, "更新成功", "更新失败", kBookName,
       g("改过的书名")},
      {"audit pick", &kAuditShape, [] { pickItem("组合框3", 3); }, nullptr, "审核状态保存失败",
       kAuditing, g("已审核")},
      {"delete", &kDeleteShape, [] { clickButton("按钮3"); }, nullptr, "删除失败", -1, Text()},
  };
  for (const auto& a : actions) {
    for (const Hostile& v : hostileValues()) {
      for (const Text& key : {"500" + v.bytes, v.bytes}) {
        SCOPED_TRACE(std::string(a.name) + ": " + v.name + (key == v.bytes ? "" : " after 500"));
        const Record target = sampleRecord(kTarget);
        server().exec("DELETE FROM book WHERE Did = 500");
        insertRecord(target);
        Record shown = target;
        shown[kDid] = key;
        shown[kBookName] = g("改过的书名");
        showInGrid({shown});
        ASSERT_EQ(controlText("编辑框12"), key);
        answers = {IdYes};

        const std::size_t mark = server().logMark();
        a.act();
        const auto q = server().queriesSince(mark);
        ASSERT_FALSE(q.empty());
        const auto values = parseStatement(q[0], *a.shape);
        ASSERT_TRUE(values) << "altered statement: " << shortName(q[0]);
        EXPECT_TRUE(sameBytes(values->back(), key));
        EXPECT_EQ(bystanders(), others);

        std::vector<Text> told;
        for (const Box& b : boxes) told.push_back(b.text);
        boxes.clear();
        if (a.column < 0) {
          ASSERT_FALSE(told.empty());
          EXPECT_EQ(told.front(), g("是否删除当前选中的内容？"));
          told.erase(told.begin());
        }
        const Record stored = storedRecord("500");
        if (told == std::vector<Text>{g(a.failure)}) {
          EXPECT_EQ(q.size(), 1u);
          EXPECT_TRUE(sameRecord(stored, target));
          continue;
        }
        // It went through: the delete's search follows, nothing else.
        EXPECT_EQ(told, a.success ? std::vector<Text>{g(a.success)} : std::vector<Text>{});
        EXPECT_EQ(q.size(), a.column < 0 ? 2u : 1u);
        if (key == v.bytes) {
          EXPECT_TRUE(sameRecord(stored, target)) << "no leading digits, yet a record changed";
        } else if (a.column < 0) {
          EXPECT_FALSE(recordExists("500"));
        } else {
          EXPECT_EQ(stored[a.column], a.changedTo);
        }
      }
    }
  }
}

// What the operator types or pastes that GBK cannot hold never gets into a control, so it
// reaches no statement: the box says so and keeps its last text.
TEST_F(InjectionTest, TextThatGbkCannotHoldIsRefusedWhereverItIsTyped) {
  const char* const filterBoxes[] = {"编辑框1", "组合框4", "编辑框18"};
  showTarget();
  std::vector<const char*> typed(std::begin(filterBoxes), std::end(filterBoxes));
  for (const UpdateField& f : kUpdate)
    if (std::string(f.control) != "编辑框6") typed.push_back(f.control);
  for (const char* control : typed) {
    SCOPED_TRACE(control);
    typeOverAll(control, "ab");
    typeAtEnd(control, "한");  // Hangul: not in GBK
    typeAtEnd(control, "😀");
    pasteOver(control, u"x한y");
    EXPECT_EQ(controlText(control), "ab");
    ASSERT_GE(boxes.size(), 3u);
    for (const Box& b : boxes) {
      EXPECT_FALSE(b.text.empty());
      EXPECT_EQ(b.text, boxes[0].text);
      EXPECT_EQ(b.buttons, MbOk);
    }
    boxes.clear();
  }

  std::size_t mark = server().logMark();
  clickButton("按钮1");
  auto q = received(mark, 1);
  ASSERT_FALSE(q.empty());
  auto values = parseStatement(q[0], kSearchShape);
  ASSERT_TRUE(values) << "altered statement: " << shortName(q[0]);
  for (const Text& v : *values) EXPECT_EQ(filterOf(v), Text("ab"));

  mark = server().logMark();
  clickButton("按钮2");
  EXPECT_EQ(onlyBox(), g("更新成功"));
  q = received(mark, 1);
  ASSERT_FALSE(q.empty());
  values = parseStatement(q[0], updateShape());
  ASSERT_TRUE(values) << "altered statement: " << shortName(q[0]);
  const Record stored = storedRecord(std::to_string(kTarget));
  for (std::size_t i = 0; i < std::size(kUpdate); ++i) {
    if (std::string(kUpdate[i].control) == "编辑框6") continue;
    EXPECT_EQ(values->at(i), "ab") << kUpdate[i].control;
    EXPECT_EQ(stored[kUpdate[i].column], "ab") << kUpdate[i].control;
  }
}

}  // namespace
