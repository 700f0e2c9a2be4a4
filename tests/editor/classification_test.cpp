#include "editor/classification.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string_view>

#include "platform/gbk.h"

namespace {

const ClassificationEntry* findMain(std::string_view utf8) {
  const Text key = gbk(utf8);
  for (const ClassificationEntry& e : classificationTable())
    if (e.mainClass == key) return &e;
  return nullptr;
}

std::vector<Text> gbkList(std::initializer_list<const char*> utf8) {
  std::vector<Text> out;
  for (const char* s : utf8) out.push_back(gbk(s));
  return out;
}

}  // namespace

// The main classes in list order with their subclass counts; also the item list of the
// main-class combo box.
TEST(Classification, MainClassesInOrderWithTheirCounts) {
  const struct {
    const char* mainClass;
    size_t count;
  } expected[] = {
      {"其他未分类", 1},
      {"A 马克思主义、列宁主义、毛泽东思想、邓小平理论", 8},
      {"B 哲学、宗教", 15},
      {"C 社会科学总论", 16},
      {"D 政治、法律", 10},
      {"E 军事", 7},
      {"F 经济", 11},
      {"G 文化、科学、教育、体育", 6},
      {"H 语言、文字", 18},
      {"I 文学", 4},
      {"J 艺术", 12},
      {"K 历史、地理", 12},
      {"N 自然科学总论", 13},
      {"O 数理科学和化学", 5},
      {"P 天文学、地球科学", 7},
      {"Q 生物科学", 20},
      {"R 医药、卫生", 20},
      {"S 农业科学", 13},
      {"T 工业技术", 21},
      {"U 交通运输", 6},
      {"V 航空、航天", 4},
      {"X 环境科学、安全科学", 12},
      {"Z 综合性图书", 7},
      {"港澳台繁体", 2},
      {"外语原版", 2},
  };
  const auto& table = classificationTable();
  ASSERT_EQ(table.size(), std::size(expected));
  size_t total = 0;
  for (size_t i = 0; i < table.size(); ++i) {
    SCOPED_TRACE(expected[i].mainClass);
    EXPECT_EQ(table[i].mainClass, gbk(expected[i].mainClass));
    EXPECT_EQ(table[i].subclasses.size(), expected[i].count);
    total += table[i].subclasses.size();
  }
  EXPECT_EQ(total, 252u);
}

TEST(Classification, TextsAreGbkBytes) {
  // Spelled out in bytes so that a table left in UTF-8 (or converted twice) cannot pass.
  EXPECT_EQ(classificationTable().front().mainClass, "\xC6\xE4\xCB\xFB\xCE\xB4\xB7\xD6\xC0\xE0");
  EXPECT_EQ(classificationTable().back().subclasses.front(), "\xD3\xA2\xD3\xEF");

  for (const ClassificationEntry& e : classificationTable()) {
    std::vector<Text> texts = e.subclasses;
    texts.push_back(e.mainClass);
    for (const Text& t : texts) {
      ASSERT_FALSE(t.empty());
      const QString shown = decodeGbk(t);
      // Undecodable bytes would come back as lone surrogates.
      EXPECT_TRUE(std::none_of(shown.begin(), shown.end(), [](QChar c) { return c.isSurrogate(); }))
          << shown.toStdString();
      auto back = encodeGbk(shown);
      ASSERT_TRUE(back);
      EXPECT_EQ(*back, t);
    }
  }
}

TEST(Classification, OwnGroupsHoldTheirFixedSubclasses) {
  const struct {
    const char* mainClass;
    std::vector<Text> subclasses;
  } cases[] = {
      {"外语原版", gbkList({"英语", "其他语言"})},
      {"其他未分类", gbkList({"其他未分类"})},
      {"港澳台繁体", gbkList({"台湾繁体", "港澳繁体"})},
  };
  for (const auto& c : cases) {
    const ClassificationEntry* e = findMain(c.mainClass);
    ASSERT_NE(e, nullptr) << c.mainClass;
    EXPECT_EQ(e->subclasses, c.subclasses) << c.mainClass;
  }
}

TEST(Classification, SubclassOrderWithinAClass) {
  const ClassificationEntry* z = findMain("Z 综合性图书");
  ASSERT_NE(z, nullptr);
  auto z3 = std::find(z->subclasses.begin(), z->subclasses.end(), gbk("Z3 辞典"));
  ASSERT_NE(z3, z->subclasses.end());
  ASSERT_NE(z3, z->subclasses.begin());
  ASSERT_NE(z3 + 1, z->subclasses.end());
  EXPECT_EQ(*(z3 - 1), gbk("Z2 百科全书、类书"));
  EXPECT_EQ(*(z3 + 1), gbk("Z4 论文集、全集、选集、杂著"));

  const ClassificationEntry* k = findMain("K 历史、地理");
  ASSERT_NE(k, nullptr);
  ASSERT_FALSE(k->subclasses.empty());
  EXPECT_EQ(k->subclasses.back(), gbk("K9 地理"));
  EXPECT_EQ(k->subclasses.front(), gbk("K0 史学理论"));

  // Full-width brackets and the ASCII hyphens inside them are part of the text.
  const ClassificationEntry* h = findMain("H 语言、文字");
  ASSERT_NE(h, nullptr);
  EXPECT_NE(std::find(h->subclasses.begin(), h->subclasses.end(),
                      gbk("H5 阿尔泰语系（突厥-蒙古-通古斯语系）")),
            h->subclasses.end());
}

// A lettered main class "X text" has subclasses "X<code> text": same letter, one space.
// Catches a subclass filed under the wrong class and stray or doubled spaces.
TEST(Classification, LetteredSubclassesCarryTheirClassLetter) {
  std::set<Text> mains;
  for (const ClassificationEntry& e : classificationTable()) {
    EXPECT_TRUE(mains.insert(e.mainClass).second)
        << "duplicate " << decodeGbk(e.mainClass).toStdString();
    std::set<Text> subs(e.subclasses.begin(), e.subclasses.end());
    EXPECT_EQ(subs.size(), e.subclasses.size()) << decodeGbk(e.mainClass).toStdString();

    const Text& m = e.mainClass;
    if (m.size() < 2 || m[1] != ' ') continue;  // the system's own groups
    for (const Text& s : e.subclasses) {
      SCOPED_TRACE(decodeGbk(s).toStdString());
      ASSERT_GE(s.size(), 3u);
      EXPECT_EQ(s[0], m[0]);
      const size_t space = s.find(' ');
      ASSERT_NE(space, Text::npos);
      for (size_t i = 1; i < space; ++i)
        EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '-' || s[i] == '/');
      EXPECT_EQ(s.find(' ', space + 1), Text::npos);
      EXPECT_GE(static_cast<unsigned char>(s[space + 1]), 0x81u);
    }
  }
}
