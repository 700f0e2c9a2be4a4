#include <gtest/gtest.h>

#include "platform/gbk.h"

TEST(Gbk, RoundTripsValidAndInvalidBytes) {
  const Text cases[] = {
      "",
      "ISBN 7-111",
      gbk("审核状态"),
      "\xD0\x5C\xB1\x5C",
      "\x81",  // a lead byte at the end
      "\x81\x20"
      "abc",           // a lead byte before a byte that cannot follow it
      "\xFF\x80\xA1",  // bytes that start no GBK character
      gbk("书") + "\xFF" + gbk("名"),
  };
  for (const Text& bytes : cases) {
    auto back = encodeGbk(decodeGbk(bytes));
    ASSERT_TRUE(back) << bytes;
    EXPECT_EQ(*back, bytes);
  }
}

TEST(Gbk, DecodesToTheCharactersShown) {
  EXPECT_EQ(decodeGbk("\xC9\xF3\xBA\xCB"), QString::fromUtf8("审核"));
  EXPECT_EQ(decodeGbk(gbk("ＩＳＢＮ 、（")), QString::fromUtf8("ＩＳＢＮ 、（"));
}

TEST(Gbk, RefusesCharactersGbkCannotHold) {
  for (const char* s : {"emoji \xF0\x9F\x98\x80", "한국어", "\xE2\x82\xB9"})
    EXPECT_FALSE(encodeGbk(QString::fromUtf8(s))) << s;
  EXPECT_TRUE(encodeGbk(QString::fromUtf8("繁體字")));
}
