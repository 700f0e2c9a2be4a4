// The database layer against a real MariaDB server whose default character set is gbk.
#include <gtest/gtest.h>
#include <malloc.h>

#include "app/settings.h"
#include "db/db.h"
#include "platform/gbk.h"
#include "support/test_server.h"

namespace {

int connectAccount() {
  return dbConnect(BOOKAUDIT_DB_HOST, BOOKAUDIT_DB_USER, BOOKAUDIT_DB_PASSWORD, BOOKAUDIT_DB_NAME);
}

// Runs a SELECT the way the listing actions do and returns its stored result.
ResultHandle select(int db, const Text& sql) {
  dbExecute(db, sql);
  return dbStoreResult(db);
}

class DbTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { db = connectAccount(); }
  void SetUp() override {
    ASSERT_NE(db, 0);
    testServer().resetBook();
  }
  static int db;
};
int DbTest::db = 0;

// GBK characters whose second byte is a backslash or a quote-like ASCII byte: an escaper
// that does not know the text is GBK breaks them or, worse, the statement.
const Text kGbkWithBackslash = "\xD0\x5C\xB1\x5C\x95\x5C";  // three characters, each ending 0x5C

TEST_F(DbTest, CursorDoesNotMoveOnReadAndStopsPastTheEnd) {
  testServer().exec("INSERT INTO book (Did, BookName) VALUES (1,'a'),(2,'b'),(3,'c')");
  ResultHandle r = select(db, "select Did, BookName from book order by Did");
  ASSERT_NE(r, 0);
  EXPECT_EQ(dbFieldCount(r), 2);
  EXPECT_EQ(dbRowCount(r), 3u);
  Text a, b;
  ASSERT_TRUE(dbReadField(r, 1, a));
  ASSERT_TRUE(dbReadField(r, 1, b));
  EXPECT_EQ(a, "a");
  EXPECT_EQ(b, "a");
  std::vector<Text> seen;
  for (int i = 0; i < 3; ++i) {
    Text v;
    ASSERT_TRUE(dbReadField(r, 1, v));
    seen.push_back(v);
    EXPECT_TRUE(dbNextRow(r));
  }
  EXPECT_EQ(seen, (std::vector<Text>{"a", "b", "c"}));
  Text past;
  ASSERT_TRUE(dbReadField(r, 1, past));
  EXPECT_EQ(past, "c");  // past the end reads the last row, and does not move
  EXPECT_FALSE(dbNextRow(r));
  ASSERT_TRUE(dbReadField(r, 0, past));
  EXPECT_EQ(past, "3");
  dbFreeResult(r);
}

TEST_F(DbTest, NullReadsEmptyAndZeroByteEndsTheValue) {
  testServer().exec("INSERT INTO book (Did, BookName, Author) VALUES (1, NULL, 'ab\\0cd')");
  ResultHandle r = select(db, "select BookName, Author from book");
  Text v = "previous";
  EXPECT_TRUE(dbReadField(r, 0, v));
  EXPECT_EQ(v, "");
  EXPECT_TRUE(dbReadField(r, 1, v));
  EXPECT_EQ(v, "ab");
  dbFreeResult(r);
}

TEST_F(DbTest, ReadsThatCannotBeMadeLeaveTheDestination) {
  testServer().exec("INSERT INTO book (Did) VALUES (7)");
  ResultHandle empty = select(db, "select * from book where Did = 0");
  ResultHandle one = select(db, "select * from book");
  ASSERT_NE(empty, 0);
  EXPECT_EQ(dbRowCount(empty), 0u);
  EXPECT_FALSE(dbNextRow(empty));
  struct Case {
    ResultHandle result;
    int column;
  } cases[] = {{empty, 0}, {one, -1}, {one, 16}, {one, 1000}, {0, 0}, {12345, 0}, {-3, 0}};
  for (const auto& c : cases) {
    Text v = "kept";
    EXPECT_FALSE(dbReadField(c.result, c.column, v)) << c.result << "/" << c.column;
    EXPECT_EQ(v, "kept");
  }
  dbFreeResult(empty);
  dbFreeResult(one);
}

TEST_F(DbTest, StatementsWithoutResultSetStoreNothing) {
  testServer().exec("INSERT INTO book (Did) VALUES (1)");
  struct Case {
    const char* sql;
    bool ok;
  } cases[] = {{"update book set QQ = '1' where Did = 1", true},
               {"DELETE FROM book where Did= '2'", true},
               {"select * from no_such_table", false},
               {"select * fromm book", false}};
  for (const auto& c : cases) {
    EXPECT_EQ(dbExecute(db, c.sql), c.ok) << c.sql;
    EXPECT_EQ(dbStoreResult(db), 0) << c.sql;
  }
}

TEST_F(DbTest, NoConnectionDoesNothing) {
  for (int handle : {0, -1, 999999}) {
    EXPECT_FALSE(dbExecute(handle, "select 1"));
    EXPECT_EQ(dbStoreResult(handle), 0);
  }
  EXPECT_EQ(dbFieldCount(0), 0);
  EXPECT_EQ(dbRowCount(0), 0u);
  EXPECT_FALSE(dbNextRow(0));
  dbFreeResult(0);
  dbFreeResult(424242);
}

TEST_F(DbTest, RefusedConnectionsYieldZero) {
  struct Case {
    Text host, user, password, database;
  } cases[] = {
      {"no-such-host.invalid", BOOKAUDIT_DB_USER, BOOKAUDIT_DB_PASSWORD, BOOKAUDIT_DB_NAME},
      {BOOKAUDIT_DB_HOST, BOOKAUDIT_DB_USER, "wrong", BOOKAUDIT_DB_NAME},
      {BOOKAUDIT_DB_HOST, "nobody", BOOKAUDIT_DB_PASSWORD, BOOKAUDIT_DB_NAME},
      {BOOKAUDIT_DB_HOST, BOOKAUDIT_DB_USER, BOOKAUDIT_DB_PASSWORD, "no_such_db"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(dbConnect(c.host, c.user, c.password, c.database), 0) << c.host << c.user;
}

TEST_F(DbTest, ConnectionWorksInTheServersCharacterSetOverTcp) {
  ResultHandle r =
      select(db,
             "select @@character_set_client, @@character_set_connection, "
             "@@character_set_results, (select host from information_schema.processlist "
             "where id = connection_id())");
  Text client, connection, results, host;
  dbReadField(r, 0, client);
  dbReadField(r, 1, connection);
  dbReadField(r, 2, results);
  dbReadField(r, 3, host);
  EXPECT_EQ(client, "gbk");
  EXPECT_EQ(connection, "gbk");
  EXPECT_EQ(results, "gbk");
  EXPECT_EQ(host.rfind("127.0.0.1:", 0), 0u) << host;  // TCP, not the socket
  dbFreeResult(r);
}

// Every value goes in through dbEscape: it is either stored as exactly its bytes or refused by
// the server (bytes that are not GBK), and a hostile value matches only itself.
TEST_F(DbTest, EscapedValuesKeepTheirBytesAndMatchOnlyThemselves) {
  struct Case {
    Text value;
    bool validGbk;
  } cases[] = {
      {gbk("数据库原理"), true},
      {kGbkWithBackslash, true},
      {"\xBF\x27 or 1=1 -- ", false},  // BF 27: a lead byte, then a quote
      {"\xBF\x5C", true},
      {"it's", true},
      {"back\\slash\\", true},
      {"' or '1'='1", true},
      {"x'; DELETE FROM book; --", true},
      {"\"double\" \n new line \r\n \x1a end", true},
      {"%_", true},
      {gbk("港澳台繁體") + "\\", true},
      {"\x81'\x81\\", false},
  };
  testServer().exec("INSERT INTO book (Did, BookName) VALUES (1000, 'bystander')");
  int did = 0;
  int stored = 1;
  for (const auto& c : cases) {
    ++did;
    SCOPED_TRACE(did);
    std::string sql = "INSERT INTO book (Did, BookName) VALUES (" + std::to_string(did) + ", '" +
                      dbEscape(db, c.value) + "')";
    EXPECT_EQ(dbExecute(db, sql), c.validGbk);
    if (c.validGbk) {
      ++stored;
      EXPECT_EQ(testServer().value("select BookName from book where Did = " + std::to_string(did)),
                c.value);
    }
    ResultHandle r = select(
        db, "select Did, BookName from book where BookName = '" + dbEscape(db, c.value) + "'");
    ASSERT_NE(r, 0);
    ASSERT_EQ(dbRowCount(r), c.validGbk ? 1u : 0u);
    if (c.validGbk) {
      Text read;
      dbReadField(r, 1, read);
      EXPECT_EQ(read, c.value);
      dbReadField(r, 0, read);
      EXPECT_EQ(read, std::to_string(did));
    }
    dbFreeResult(r);
  }
  EXPECT_EQ(testServer().value("select count(*) from book"), std::to_string(stored));
  EXPECT_EQ(testServer().value("select BookName from book where Did = 1000"), "bystander");
}

TEST_F(DbTest, LikePatternKeepsBackslashLiteralAndWildcardsLive) {
  testServer().exec(
      "INSERT INTO book (Did, ISBN) VALUES (1, 'a\\\\b'), (2, 'ab'), (3, 'a%b'), (4, 'axb')");
  testServer().exec("INSERT INTO book (Did, ISBN) VALUES (5, X'D05C')");
  struct Case {
    Text filter;
    const char* dids;
  } cases[] = {{"a\\b", "1"},     {"a%b", "1,2,3,4"}, {"a_b", "1,3,4"},
               {"\xD0\x5C", "5"}, {"\\", "1"},        {"'", ""}};
  for (const auto& c : cases) {
    ResultHandle r = select(db, "select Did from book where ISBN like '%" +
                                    dbEscape(db, c.filter, true) + "%' order by Did");
    std::string dids;
    for (uint64_t i = 0; i < dbRowCount(r); ++i) {
      Text v;
      dbReadField(r, 0, v);
      dids += (dids.empty() ? "" : ",") + v;
      dbNextRow(r);
    }
    EXPECT_EQ(dids, c.dids) << c.filter;
    dbFreeResult(r);
  }
}

TEST_F(DbTest, ReconnectsAfterTheServerDropsTheConnection) {
  testServer().exec("INSERT INTO book (Did, BookName) VALUES (1, 'x')");
  int handleBefore = db;
  std::string id = testServer().value(std::string("select id from information_schema.processlist "
                                                  "where user = '") +
                                      BOOKAUDIT_DB_USER + "'");
  ASSERT_FALSE(id.empty());
  ASSERT_TRUE(testServer().exec("KILL " + id));
  Text title = gbk("重连后的书名") + kGbkWithBackslash;
  // The first statement after the drop may be the one that finds out; by the second the
  // connection is back. Either way nothing else is needed from the caller.
  bool done =
      dbExecute(db, "update book set BookName = '" + dbEscape(db, title) + "' where Did = 1") ||
      dbExecute(db, "update book set BookName = '" + dbEscape(db, title) + "' where Did = 1");
  EXPECT_TRUE(done);
  EXPECT_EQ(db, handleBefore);
  EXPECT_EQ(testServer().value("select BookName from book where Did = 1"), title);
  ResultHandle r = select(db, "select @@character_set_client, @@character_set_results");
  Text cs;
  dbReadField(r, 0, cs);
  EXPECT_EQ(cs, "gbk");
  dbReadField(r, 1, cs);
  EXPECT_EQ(cs, "gbk");
  dbFreeResult(r);
}

TEST_F(DbTest, FreedResultsDoNotGrowMemory) {
  testServer().exec("INSERT INTO book (Did, Introduction) VALUES (1, REPEAT('x', 4000))");
  auto cycle = [&] {
    ResultHandle r = select(db, "select * from book");
    Text v;
    dbReadField(r, 9, v);
    dbNextRow(r);
    dbFreeResult(r);
  };
  for (int i = 0; i < 200; ++i) cycle();
  size_t before = mallinfo2().uordblks;
  for (int i = 0; i < 3000; ++i) cycle();
  size_t after = mallinfo2().uordblks;
  EXPECT_LT(after, before + 256 * 1024) << before << " -> " << after;
}

}  // namespace
