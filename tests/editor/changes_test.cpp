// Update, audit and delete on the real main window, checked against what the server received
// and what it stored.
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <functional>

#include "browser/grid.h"
#include "browser/search.h"
#include "editor/changes.h"
#include "editor/record_fixture.h"
#include "platform/clock.h"
#include "platform/toolkit.h"

namespace {

// The controls the update writes back, with the column each is written to.
const struct {
  const char* control;
  int column;
} kEdited[] = {
    {"编辑框2", kBookName},   {"编辑框3", kAuthor},    {"编辑框4", kPublishTime},
    {"编辑框5", kPublishing}, {"编辑框6", kIsbn},      {"编辑框7", kIntroduction},
    {"编辑框9", kDownload},   {"编辑框10", kPassWord}, {"编辑框13", kTranslation},
    {"编辑框14", kQQ},        {"组合框1", kBigClass},  {"组合框2", kSmallClass},
    {"组合框3", kAuditing},
};

constexpr int kAudited = 3;  // "已审核" in the audit-state list

void setClock(LocalTime t) {
  setClockSeam([t] { return t; });
}

class ChangesTest : public AppTest {
 protected:
  void expectOneBox(const char* utf8, int buttons = MbOk) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, g(utf8));
    EXPECT_EQ(boxes[0].buttons, buttons);
    EXPECT_EQ(boxes[0].title, g("信息："));
    boxes.clear();
  }
};

TEST_F(ChangesTest, UpdateSendsTheStatementAsWrittenAndStoresTheEdit) {
  Record r = sampleRecord(1001);
  insertRecord(r);
  showInGrid({r});
  typeOver("编辑框2", "新书名");

  const std::size_t mark = server().logMark();
  click("按钮2");
  const auto received = server().queriesSince(mark);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0],
            g("update book set BookName = '新书名',Author = '钱钟书',PublishTime = '1991-02',"
              "Publishing = '人民文学出版社',ISBN = '978-7-02-000945-9',Introduction = "
              "'第一行\\r\\n第二行',Download = 'http://pan.example.com/s/1c0Wq7Ie',PassWord = "
              "'k3m9',Translation = '无译者',QQ = '287364510',BigClass = 'I 文学',SmallClass = "
              "'I2 中国文学',Auditing = '未审核'where Did= '1001'"));
  expectOneBox("更新成功");

  Record expected = r;
  expected[kBookName] = g("新书名");
  EXPECT_EQ(storedRecord("1001"), expected);  // Date and Cover as they were
}

TEST_F(ChangesTest, UntouchedFieldsAreWrittenBackByteForByte) {
  Record r = sampleRecord(7);
  // GBK characters whose second byte is a backslash, quotes, a long introduction with both
  // kinds of line break: an edit of the title alone must leave all of them as they are.
  r[kAuthor] = g("誠品") + "'\\";
  r[kPublishing] = g("表") + "\\n%_";
  r[kIntroduction].clear();
  while (r[kIntroduction].size() < 64 * 1024)
    r[kIntroduction] += g("中文内容，含'引号'、\\反斜杠与100%。") + "\r\n" + g("誠") + "\n";
  // Codes the server takes as GBK but the controls cannot decode (user-defined areas), one
  // of them with a backslash as its second byte.
  r[kTranslation] = "\xAA\xA1" + g("译者") + "\xFE\xFE";
  r[kPassWord] = "\xAA\x5C'";
  r[kBigClass] = g("计算机") + "\xA1\x40";
  r[kSmallClass] = "";
  r[kAuditing] = g("复核中");
  insertRecord(r);
  showInGrid({r});
  typeInto("编辑框2", "!");

  click("按钮2");
  expectOneBox("更新成功");
  Record expected = r;
  expected[kBookName] += "!";
  EXPECT_EQ(storedRecord("7"), expected);
}

TEST_F(ChangesTest, HostileValuesGoThroughEveryEditedFieldUnchanged) {
  const Text values[] = {
      "O'Brien ''",
      "C:\\dir\\",                       // a backslash at the end of the value
      "100%_\\%",                        // LIKE wildcards mean nothing here
      g("誠品") + "\\" + g("誠") + "'",  // D5 5C next to a real backslash and quote
      "\"\x1A\t;--",                     // double quote, Ctrl-Z, tab, comment
      g("表") + "'" + g("誠"),           // second byte 0x5C right before a quote
  };
  Record r = sampleRecord(12);
  insertRecord(r);
  showInGrid({r});
  for (const Text& value : values) {
    SCOPED_TRACE(value);
    // Each field gets its own variant, so values written to the wrong column show up too.
    int n = 0;
    for (const auto& field : kEdited) setControlText(field.control, std::to_string(n++) + value);
    click("按钮2");
    expectOneBox("更新成功");
    const Record stored = storedRecord("12");
    n = 0;
    for (const auto& field : kEdited) {
      SCOPED_TRACE(field.control);
      EXPECT_EQ(stored[field.column], std::to_string(n++) + value);
    }
    EXPECT_EQ(stored[kCover], r[kCover]);
    EXPECT_EQ(stored[kDate], r[kDate]);
  }
}

TEST_F(ChangesTest, TypedTextAndALongIntroductionRoundTrip) {
  Record r = sampleRecord(13);
  insertRecord(r);
  showInGrid({r});
  typeOver("编辑框2", "誠'\\%_表");
  Text introduction;
  for (int line = 0; introduction.size() < 64 * 1024; ++line)
    introduction +=
        g("第") + std::to_string(line) + g("行：'誠'\\表%") + (line % 3 ? "\r\n" : "\n");
  setControlText("编辑框7", introduction);

  click("按钮2");
  expectOneBox("更新成功");
  const Record stored = storedRecord("13");
  EXPECT_EQ(stored[kBookName], g("誠'\\%_表"));
  EXPECT_EQ(stored[kBookName], "\xD5\x5C'\\%_\xB1\xED");
  EXPECT_EQ(stored[kIntroduction].size(), introduction.size());
  EXPECT_TRUE(stored[kIntroduction] == introduction);
}

TEST_F(ChangesTest, AuditStampFormatsTheTimeAndIsSentWithThePickedState) {
  const struct {
    LocalTime time;
    const char* stamp;
  } cases[] = {
      {{2013, 3, 7, 9, 5, 7}, "2013-03-07 9:5:7"},
      {{2013, 12, 25, 14, 30, 45}, "2013-12-25 14:30:45"},
      {{2014, 1, 1, 8, 5, 9}, "2014-01-01 8:5:9"},
      {{2000, 10, 9, 0, 0, 0}, "2000-10-09 0:0:0"},
      {{1999, 9, 30, 23, 59, 59}, "1999-09-30 23:59:59"},
      {{2021, 11, 10, 10, 10, 10}, "2021-11-10 10:10:10"},
      {{987, 1, 2, 3, 4, 5}, "987-01-02 3:4:5"},
  };
  Record r = sampleRecord(7);
  insertRecord(r);
  showInGrid({r});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stamp);
    EXPECT_EQ(auditStamp(c.time), c.stamp);

    // The clock is read once: a second reading would already be a second later.
    int readings = 0;
    setClockSeam([&] {
      LocalTime t = c.time;
      if (readings++) t.second = (t.second + 1) % 60;
      return t;
    });
    const std::size_t mark = server().logMark();
    pickItem("组合框3", kAudited);
    EXPECT_EQ(readings, 1);
    EXPECT_EQ(controlText("编辑框17"), c.stamp);
    EXPECT_EQ(server().queriesSince(mark),
              std::vector<std::string>{g("update book set Auditing = '已审核',Date = '") + c.stamp +
                                       "'where Did= '7'"});
    const Record stored = storedRecord("7");
    EXPECT_EQ(stored[kAuditing], g("已审核"));
    EXPECT_EQ(stored[kDate], c.stamp);
  }
  EXPECT_TRUE(boxes.empty());  // a stamp that was saved is not announced
}

TEST_F(ChangesTest, PickingTheShownAuditStateAgainSendsAgainWithANewStamp) {
  Record r = sampleRecord(8);
  insertRecord(r);
  showInGrid({r});
  setClock({2014, 1, 1, 8, 5, 9});
  pickItem("组合框3", kAudited);

  setClock({2014, 1, 1, 8, 6, 0});
  const std::size_t mark = server().logMark();
  pickItem("组合框3", kAudited);
  EXPECT_EQ(server().queriesSince(mark),
            std::vector<std::string>{
                g("update book set Auditing = '已审核',Date = '2014-01-01 8:6:0'where Did= '8'")});
  EXPECT_EQ(storedRecord("8")[kDate], "2014-01-01 8:6:0");
}

TEST_F(ChangesTest, TypedAuditStateIsSentOnlyByTheUpdateAndLeavesTheDate) {
  Record r = sampleRecord(9);
  insertRecord(r);
  showInGrid({r});
  const std::size_t mark = server().logMark();
  typeOver("组合框3", "复核中");
  QTest::keyClick(static_cast<QComboBox*>(controlWidget("组合框3"))->lineEdit(), Qt::Key_Return);
  EXPECT_TRUE(server().queriesSince(mark).empty());

  click("按钮2");
  const Record stored = storedRecord("9");
  EXPECT_EQ(stored[kAuditing], g("复核中"));
  EXPECT_EQ(stored[kDate], r[kDate]);
}

TEST_F(ChangesTest, DeleteAnsweredNoSendsNothingAndChangesNothing) {
  Record r = sampleRecord(5);
  insertRecord(r);
  showInGrid({r});
  typeInto("编辑框2", "edited");
  answers = {IdNo};
  const std::size_t mark = server().logMark();
  click("按钮3");
  expectOneBox("是否删除当前选中的内容？", MbYesNo);
  EXPECT_TRUE(server().queriesSince(mark).empty());
  EXPECT_EQ(storedRecord("5"), r);
  EXPECT_EQ(gridRowCount(kGrid), 1);
  EXPECT_EQ(controlText("编辑框12"), "5");
  EXPECT_EQ(controlText("编辑框2"), r[kBookName] + "edited");
}

TEST_F(ChangesTest, DeleteAnsweredYesDeletesTheShownRecordAndSearchesAgain) {
  Record keep = sampleRecord(4);
  Record gone = sampleRecord(5);
  insertRecord(keep);
  insertRecord(gone);
  showInGrid({keep, gone}, 1);
  answers = {IdYes};
  const std::size_t mark = server().logMark();
  click("按钮3");
  expectOneBox("是否删除当前选中的内容？", MbYesNo);  // and no failure announced
  EXPECT_EQ(server().queriesSince(mark),
            (std::vector<std::string>{"DELETE FROM book where Did= '5'", searchStatement()}));
  EXPECT_FALSE(recordExists("5"));
  EXPECT_EQ(storedRecord("4"), keep);
  // The search lists what is left and shows its first record.
  EXPECT_EQ(gridRowCount(kGrid), 1);
  EXPECT_EQ(controlText("编辑框12"), "4");
}

// With no record shown, 编辑框12 is empty. Sent as it was, Did= '' would compare as 0.
TEST_F(ChangesTest, NoRecordShownSendsNothingAndSaysSo) {
  Record zero = sampleRecord(99);
  insertRecord(zero);
  ASSERT_TRUE(server().exec("UPDATE book SET Did = 0 WHERE Did = 99"));
  zero[kDid] = "0";

  const struct {
    const char* name;
    std::function<void()> act;
  } actions[] = {
      {"update", [] { click("按钮2"); }},
      {"audit", [] { pickItem("组合框3", kAudited); }},
      {"delete", [] { click("按钮3"); }},
  };
  for (const auto& action : actions) {
    SCOPED_TRACE(action.name);
    typeInto("编辑框2", "x");  // the other boxes may hold anything
    setControlText("组合框3", g("已审核"));
    answers = {IdYes};  // were the delete to ask, it would be answered Yes
    const std::size_t mark = server().logMark();
    action.act();
    EXPECT_TRUE(server().queriesSince(mark).empty());
    expectOneBox("未选择记录");
    EXPECT_EQ(storedRecord("0"), zero);
    answers.clear();
  }
}

// The three change actions when the server does not do what they ask: each says so, and
// what the operator sees stays as it was, so the change can be made again.
class FailedChangeTest : public ChangesTest {
 protected:
  void SetUp() override {
    ChangesTest::SetUp();
    record = sampleRecord(21);
    insertRecord(record);
    showInGrid({record});
  }

  void expectEveryChangeToFail() {
    setControlText("编辑框2", g("改过的书名"));
    click("按钮2");
    expectOneBox("更新失败");
    EXPECT_EQ(controlText("编辑框2"), g("改过的书名"));

    setClock({2015, 6, 1, 12, 0, 1});
    pickItem("组合框3", kAudited);
    expectOneBox("审核状态保存失败");
    EXPECT_EQ(controlText("编辑框17"), "2015-06-01 12:0:1");
    EXPECT_EQ(controlText("组合框3"), g("已审核"));

    answers = {IdYes};
    click("按钮3");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, g("删除失败"));
    boxes.clear();
    EXPECT_EQ(gridRowCount(kGrid), 1);
    EXPECT_EQ(controlText("编辑框12"), "21");
    EXPECT_EQ(controlText("编辑框2"), g("改过的书名"));
  }

  // Once the server does its work again, the edits still on screen are saved.
  void expectTheEditsToBeSavedNow() {
    click("按钮2");
    expectOneBox("更新成功");
    const Record stored = storedRecord("21");
    EXPECT_EQ(stored[kBookName], g("改过的书名"));
    EXPECT_EQ(stored[kAuditing], g("已审核"));
  }

  Record record;
};

TEST_F(FailedChangeTest, RefusedStatementsAreReported) {
  // Every statement of the actions names `book`, which is not there for a while.
  ASSERT_TRUE(server().exec("RENAME TABLE book TO book_away"));
  struct Back {
    bool done = false;
    void now() {
      if (!done) done = testServer().exec("RENAME TABLE book_away TO book");
    }
    ~Back() { now(); }
  } back;
  expectEveryChangeToFail();
  back.now();
  ASSERT_TRUE(back.done);
  expectTheEditsToBeSavedNow();
}

TEST_F(FailedChangeTest, DeadServerIsReported) {
  server().stop();
  struct Restart {
    ~Restart() {
      if (!testServer().running()) testServer().restart();
    }
  } restart;
  expectEveryChangeToFail();
  ASSERT_TRUE(server().restart());
  expectTheEditsToBeSavedNow();
}

}  // namespace
