// Legacy databases keep GBK bytes in latin1 columns of a latin1 server: the connection must
// pass them through untouched in both directions.
#include <gtest/gtest.h>

#include "app/settings.h"
#include "db/db.h"
#include "platform/gbk.h"
#include "support/test_server.h"

TEST(DbLatin1, GbkBytesInLatin1ColumnsPassThroughUnchanged) {
  int db =
      dbConnect(BOOKAUDIT_DB_HOST, BOOKAUDIT_DB_USER, BOOKAUDIT_DB_PASSWORD, BOOKAUDIT_DB_NAME);
  ASSERT_NE(db, 0);
  ASSERT_TRUE(testServer().exec("CREATE TABLE legacy (id INT, v VARCHAR(200)) CHARSET latin1"));
  const Text values[] = {gbk("计算机程序设计艺术"), "\xD0\x5C\xB1\x5C", "\xBF\x27' or '1'='1",
                         gbk("港澳台") + "'\\"};
  int id = 0;
  for (const Text& v : values) {
    ++id;
    ASSERT_TRUE(dbExecute(
        db, "insert into legacy values (" + std::to_string(id) + ", '" + dbEscape(db, v) + "')"));
    EXPECT_EQ(testServer().value("select v from legacy where id = " + std::to_string(id)), v);
    dbExecute(db, "select v from legacy where v = '" + dbEscape(db, v) + "'");
    ResultHandle r = dbStoreResult(db);
    ASSERT_EQ(dbRowCount(r), 1u);
    Text read;
    dbReadField(r, 0, read);
    EXPECT_EQ(read, v);
    dbFreeResult(r);
  }
  EXPECT_EQ(testServer().value("select count(*) from legacy"), std::to_string(id));
}
