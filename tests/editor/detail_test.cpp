// The detail view and the classification picker on the real main window.
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <algorithm>

#include "app/settings.h"
#include "app/window_definition.h"
#include "browser/grid.h"
#include "editor/classification.h"
#include "editor/detail.h"
#include "editor/record_fixture.h"
#include "editor/subclasses.h"
#include "platform/toolkit.h"

namespace {

std::vector<Text> comboItems(const char* combo) {
  std::vector<Text> items;
  for (int i = 0; i < comboItemCount(combo); ++i) items.push_back(comboItem(combo, i));
  return items;
}

std::vector<Text> gbkList(std::initializer_list<const char*> utf8) {
  std::vector<Text> out;
  for (const char* s : utf8) out.push_back(g(s));
  return out;
}

// Written out here rather than taken from the code under test.
Text expectedCover(const Text& isbn) {
  return Text("http://") + BOOKAUDIT_COVER_HOST + "/Cover/" + isbn + ".jpg";
}

// The 17 controls the detail view writes, each with the column it shows.
const struct {
  const char* control;
  int column;
} kShown[] = {
    {"编辑框12", kDid},         {"编辑框14", kQQ},          {"编辑框2", kBookName},
    {"编辑框3", kAuthor},       {"编辑框13", kTranslation}, {"编辑框4", kPublishTime},
    {"编辑框5", kPublishing},   {"编辑框6", kIsbn},         {"编辑框7", kIntroduction},
    {"编辑框9", kDownload},     {"编辑框10", kPassWord},    {"组合框1", kBigClass},
    {"组合框2", kSmallClass},   {"组合框3", kAuditing},     {"编辑框17", kDate},
    {"超级链接框1", kDownload},
};

using DetailTest = AppTest;

TEST_F(DetailTest, FullRowFillsEveryDetailControl) {
  Record r = sampleRecord(1001);
  const std::size_t mark = server().logMark();
  showInGrid({r});

  for (const auto& shown : kShown) {
    SCOPED_TRACE(shown.control);
    EXPECT_EQ(controlText(shown.control), r[shown.column]);
  }
  // The stored cover address (column 12) is replaced by the one derived from the ISBN.
  EXPECT_EQ(controlText("编辑框11"), expectedCover(r[kIsbn]));
  // Texts only: the lists and their current items are untouched.
  EXPECT_EQ(comboCurrentIndex("组合框1"), 0);
  EXPECT_EQ(comboCurrentIndex("组合框3"), -1);
  EXPECT_EQ(comboItemCount("组合框2"), 0);
  // Showing a record writes nothing to the database.
  EXPECT_TRUE(server().queriesSince(mark).empty());
}

TEST_F(DetailTest, AnotherRowReplacesEveryValueAndAnEmptyCellEmptiesItsControl) {
  Record first = sampleRecord(1);
  Record second;  // all empty but the key and the ISBN
  second[kDid] = "2";
  second[kIsbn] = "7-111-12345-6";
  showInGrid({first, second});
  gridSetCurrentRow(kGrid, 1);

  for (const auto& shown : kShown) {
    SCOPED_TRACE(shown.control);
    EXPECT_EQ(controlText(shown.control), second[shown.column]);
  }
  EXPECT_EQ(controlText("编辑框11"), expectedCover("7-111-12345-6"));
}

TEST_F(DetailTest, NoCurrentRowEmptiesEveryControl) {
  showInGrid({sampleRecord(1001)});
  gridRemoveAllRows(kGrid);  // no row is current any more
  showRecordDetails();       // as the focused-row-changed event would run it

  for (const auto& shown : kShown) {
    SCOPED_TRACE(shown.control);
    EXPECT_EQ(controlText(shown.control), "");
  }
  EXPECT_EQ(controlText("编辑框11"), Text("http://") + BOOKAUDIT_COVER_HOST + "/Cover/.jpg");
}

TEST_F(DetailTest, CoverAddressIsBuiltFromTheIsbnByteForByte) {
  const Text isbns[] = {
      "7-111-12345-6", "",
      " 978 7 ",           // nothing trimmed
      g("誠") + "%20/?#",  // nothing encoded: GBK D5 5C and URL characters as they are
  };
  for (const Text& isbn : isbns) {
    SCOPED_TRACE(isbn);
    Record r = sampleRecord(5);
    r[kIsbn] = isbn;
    r[kCover] = "http://127.0.0.1:1/Cover/other.jpg";
    showInGrid({r});
    EXPECT_EQ(controlText("编辑框11"), expectedCover(isbn));
    EXPECT_EQ(coverAddress(isbn), expectedCover(isbn));
  }
}

TEST_F(DetailTest, MainClassThatIsNoItemIsShownAndTheSubclassListStays) {
  pickItem("组合框1", g("外语原版"));
  const auto subclassesBefore = comboItems("组合框2");
  ASSERT_EQ(subclassesBefore, gbkList({"英语", "其他语言"}));

  const struct {
    const char* bigClass;
    const char* smallClass;
  } cases[] = {
      {"", ""},
      {"计算机", "程序设计"},
      {"=====请选择=====", "=====请选择====="},
      {"I 文学", "I2 中国文学"},  // an item: showing it is still no pick
  };
  int id = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bigClass);
    Record r = sampleRecord(id++);
    r[kBigClass] = g(c.bigClass);
    r[kSmallClass] = g(c.smallClass);
    showInGrid({r});
    EXPECT_EQ(controlText("组合框1"), g(c.bigClass));
    EXPECT_EQ(controlText("组合框2"), g(c.smallClass));
    EXPECT_EQ(comboItems("组合框2"), subclassesBefore);
    EXPECT_EQ(comboCurrentIndex("组合框1"), 24);  // still the earlier pick
  }
}

// The main window with the derivation counted and watched: which texts it saw when it ran.
int derivations = 0;
Text isbnSeenByDerivation, mainClassSeenByDerivation;

void countedDerivation() {
  ++derivations;
  isbnSeenByDerivation = controlText("编辑框6");
  mainClassSeenByDerivation = controlText("组合框1");
  deriveCoverAddress();
}

class CoverAddressTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    static const std::vector<Binding> bindings = [] {
      std::vector<Binding> b = mainWindowBindings();
      for (Binding& binding : b)
        if (binding.event == Event::TextChanged && std::string(binding.control) == "编辑框11")
          binding.action = countedDerivation;
      return b;
    }();
    createWindow(mainWindowControls(), bindings);
    derivations = 0;
  }
};

TEST_F(CoverAddressTest, DerivedOnceWhenTheCoverAddressIsWrittenBeforeTheClasses) {
  Record first = sampleRecord(1);
  Record second = sampleRecord(2);
  second[kIsbn] = "7-111-12345-6";
  second[kBigClass] = g("外语原版");
  showInGrid({first, second});
  derivations = 0;

  gridSetCurrentRow(kGrid, 1);
  EXPECT_EQ(derivations, 1);
  // It ran with the new row's ISBN in place and the old row's main class still shown.
  EXPECT_EQ(isbnSeenByDerivation, "7-111-12345-6");
  EXPECT_EQ(mainClassSeenByDerivation, first[kBigClass]);
  EXPECT_EQ(controlText("编辑框11"), expectedCover("7-111-12345-6"));
}

TEST_F(CoverAddressTest, TypingIntoTheCoverBoxIsUndoneAtOnce) {
  Record r = sampleRecord(3);
  showInGrid({r});
  const Text shown = expectedCover(r[kIsbn]);

  derivations = 0;
  typeInto("编辑框11", "x");
  EXPECT_EQ(controlText("编辑框11"), shown);
  EXPECT_GE(derivations, 1);
  EXPECT_LE(derivations, 2);  // bounded: its own write does not start it again and again

  auto* edit = static_cast<QLineEdit*>(controlWidget("编辑框11"));
  derivations = 0;
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_EQ(controlText("编辑框11"), shown);
  EXPECT_EQ(edit->text(), QString::fromLatin1(shown.c_str()));
  EXPECT_LE(derivations, 2);

  // A changed ISBN shows in the cover box only with the box's next change.
  typeInto("编辑框6", "7");
  EXPECT_EQ(controlText("编辑框11"), shown);
  typeInto("编辑框11", "y");
  EXPECT_EQ(controlText("编辑框11"), expectedCover(r[kIsbn] + "7"));
}

// The classification picker.
using SubclassTest = AppTest;

TEST_F(SubclassTest, EveryMainClassListsItsSubclassesAndShowsTheFirst) {
  const auto& table = classificationTable();
  ASSERT_EQ(table.size(), 25u);
  std::vector<Text> mains;
  for (const auto& entry : table) mains.push_back(entry.mainClass);
  EXPECT_EQ(comboItems("组合框1"), mains);

  std::size_t total = 0;
  for (int i = 0; i < 25; ++i) {
    SCOPED_TRACE(i);
    pickItem("组合框1", i);
    EXPECT_EQ(comboItems("组合框2"), table[i].subclasses);
    EXPECT_EQ(comboCurrentIndex("组合框2"), 0);
    EXPECT_EQ(controlText("组合框2"), table[i].subclasses.front());
    total += comboItemCount("组合框2");
  }
  EXPECT_EQ(total, 252u);
}

TEST_F(SubclassTest, ListsOfChosenMainClasses) {
  pickItem("组合框1", g("外语原版"));
  EXPECT_EQ(comboItems("组合框2"), gbkList({"英语", "其他语言"}));
  EXPECT_EQ(controlText("组合框2"), g("英语"));

  pickItem("组合框1", g("其他未分类"));
  EXPECT_EQ(comboItems("组合框2"), gbkList({"其他未分类"}));

  pickItem("组合框1", g("Z 综合性图书"));
  const auto z = comboItems("组合框2");
  auto z3 = std::find(z.begin(), z.end(), g("Z3 辞典"));
  ASSERT_NE(z3, z.end());
  ASSERT_NE(z3, z.begin());
  ASSERT_NE(z3 + 1, z.end());
  EXPECT_EQ(*(z3 - 1), g("Z2 百科全书、类书"));
  EXPECT_EQ(*(z3 + 1), g("Z4 论文集、全集、选集、杂著"));

  pickItem("组合框1", g("K 历史、地理"));
  ASSERT_GT(comboItemCount("组合框2"), 0);
  EXPECT_EQ(comboItem("组合框2", comboItemCount("组合框2") - 1), g("K9 地理"));
  EXPECT_EQ(controlText("组合框2"), g("K0 史学理论"));
}

TEST_F(SubclassTest, PickingTheShownMainClassAgainRebuildsTheListAndResetsTheSubclass) {
  pickItem("组合框1", g("B 哲学、宗教"));
  pickItem("组合框2", 13);
  typeInto("组合框2", "typed");
  pickItem("组合框1", g("B 哲学、宗教"));
  EXPECT_EQ(comboItemCount("组合框2"), 15);
  EXPECT_EQ(comboCurrentIndex("组合框2"), 0);
  EXPECT_EQ(controlText("组合框2"), g("B-4 哲学教育与普及"));
}

TEST_F(SubclassTest, TypingAMainClassRefillsNothing) {
  pickItem("组合框1", g("外语原版"));
  typeOver("组合框1", "港澳台繁体");
  QTest::keyClick(static_cast<QComboBox*>(controlWidget("组合框1"))->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(controlText("组合框1"), g("港澳台繁体"));
  EXPECT_EQ(comboItems("组合框2"), gbkList({"英语", "其他语言"}));
}

TEST_F(SubclassTest, TextThatIsNoMainClassEmptiesTheListAndKeepsTheSubclassText) {
  const Text nearMisses[] = {g("外语原版 "), g("外语"), g(" 外语原版"), "", g("外语原版") + "x"};
  for (const Text& text : nearMisses) {
    SCOPED_TRACE(text);
    pickItem("组合框1", g("外语原版"));
    setControlText("组合框2", g("英语"));
    setControlText("组合框1", text);
    fillSubclassList();  // run as a pick would run it
    EXPECT_EQ(comboItemCount("组合框2"), 0);
    EXPECT_EQ(controlText("组合框2"), g("英语"));
  }
}

}  // namespace
