// Fault drills on the real main window: the database server restarted, killed, down at start-up,
// a statement whose reply is lost, and a cover server that stalls, babbles or loops. Every
// action must come back, say what failed where it changes data, and leave the window working.
#include <mysql.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

#include "app/settings.h"
#include "app/startup.h"
#include "browser/grid.h"
#include "browser/paging.h"
#include "db/db.h"
#include "editor/record_fixture.h"
#include "fuzz/picture_samples.h"
#include "platform/clock.h"
#include "platform/http.h"
#include "platform/toolkit.h"
#include "session_support.h"
#include "support/http_server.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Far above anything a refused connection or a failing statement takes, far below a hang.
constexpr std::chrono::seconds kPrompt{30};
constexpr int kAudited = 3;  // "已审核" in the audit-state list

// A root connection of the test's own over the server's socket: the lock holder and the
// killer of the drills below (the test server's own connection is not for other threads).
class RootConnection {
 public:
  RootConnection() {
    m_ = mysql_init(nullptr);
    const char* user = std::getenv("USER");
    const std::string socket = testServer().dir() + "/sock";
    if (!mysql_real_connect(m_, "localhost", geteuid() == 0 ? "root" : user, nullptr,
                            BOOKAUDIT_DB_NAME, 0, socket.c_str(), 0)) {
      ADD_FAILURE() << "root connection: " << mysql_error(m_);
      mysql_close(m_);
      m_ = nullptr;
    }
  }
  ~RootConnection() {
    if (m_) mysql_close(m_);
  }
  RootConnection(const RootConnection&) = delete;
  RootConnection& operator=(const RootConnection&) = delete;

  bool exec(const std::string& sql) {
    if (!m_ || mysql_real_query(m_, sql.data(), sql.size()) != 0) return false;
    if (MYSQL_RES* r = mysql_store_result(m_)) mysql_free_result(r);
    return true;
  }
  // The first row's fields, empty when there is none.
  std::vector<std::string> firstRow(const std::string& sql) {
    std::vector<std::string> out;
    if (!m_ || mysql_real_query(m_, sql.data(), sql.size()) != 0) return out;
    MYSQL_RES* r = mysql_store_result(m_);
    if (!r) return out;
    if (MYSQL_ROW row = mysql_fetch_row(r))
      for (unsigned i = 0; i < mysql_num_fields(r); ++i) out.push_back(row[i] ? row[i] : "");
    mysql_free_result(r);
    return out;
  }

 private:
  MYSQL* m_ = nullptr;
};

class FaultTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    if (HasFatalFailure()) return;
    // GBK that a wrong character set on the connection would garble: 誠 is D5 5C, so a
    // connection in another character set would also see a backslash in it.
    first = sampleRecord(1);
    first[kBookName] = g("誠品'\\表") + "\xAA\xA1";
    first[kAuthor] = g("钱钟书");
    second = sampleRecord(2);
    second[kBookName] = g("围城·二");
    insertRecord(first);
    insertRecord(second);
  }

  void TearDown() override {
    // Whatever a drill did to the server, the next test finds it up.
    if (!server().running()) {
      EXPECT_TRUE(server().restart());
    }
    setClockSeam(nullptr);
    AppTest::TearDown();
  }

  // A search with every filter empty, by its button: lists both records, the newest first.
  void searchAll() {
    setControlText("组合框4", Text());
    clickButton("按钮1");
    ASSERT_EQ(gridRowCount(kGrid), 2);
    ASSERT_EQ(gridCell(kGrid, 0, kDid), "2");
  }

  void expectBoxes(std::vector<const char*> utf8) {
    std::vector<Text> texts, expected;
    for (const Box& b : boxes) texts.push_back(b.text);
    for (const char* t : utf8) expected.push_back(g(t));
    EXPECT_EQ(texts, expected);
    boxes.clear();
  }

  Record first, second;
};

// ---- the server restarted or crashed while the window sat idle ----

TEST_F(FaultTest, ServerBackAfterAnIdleOutageServesTheNextSearchByteForByte) {
  const struct {
    const char* name;
    std::function<bool()> outage;
  } outages[] = {
      {"restarted", [] { return testServer().restart(); }},
      {"crashed and started again",
       [] {
         testServer().killHard();
         return testServer().start();
       }},
  };
  raiseCreated();  // start-up as the program runs it: caption, probe, first search
  boxes.clear();
  const int handle = DbHandle;
  const Text caption = windowCaption();
  ASSERT_NE(handle, 0);
  int round = 0;
  for (const auto& o : outages) {
    SCOPED_TRACE(o.name);
    searchAll();
    ASSERT_TRUE(o.outage());

    withinBound("the search after the outage", kPrompt, [] { clickButton("按钮1"); });
    EXPECT_EQ(DbHandle, handle);
    EXPECT_EQ(windowCaption(), caption);
    ASSERT_EQ(gridRowCount(kGrid), 2);
    for (int k = 0; k < 16; ++k) {
      EXPECT_EQ(gridCell(kGrid, 1, k), first[k]) << kColumns[k];
      EXPECT_EQ(gridCell(kGrid, 0, k), second[k]) << kColumns[k];
    }

    // The new connection still speaks GBK: typed text is stored byte for byte.
    clickGridRow(1);
    ASSERT_EQ(controlText("编辑框12"), "1");
    const std::string typed = "誠'\\表" + std::to_string(++round);
    typeOverAll("编辑框3", typed.c_str());
    clickButton("按钮2");
    expectBoxes({"更新成功"});
    Record expected = first;
    expected[kAuthor] = g(typed.c_str());
    EXPECT_EQ(storedRecord("1"), expected);
    EXPECT_EQ(storedRecord("2"), second);
    first = expected;
  }
}

// ---- the server gone for good ----

TEST_F(FaultTest, ServerGoneForGoodEveryActionReturnsAndChangesSayTheyFailed) {
  const struct {
    const char* name;
    std::function<void()> outage;
  } outages[] = {
      {"stopped", [] { testServer().stop(); }},
      {"killed", [] { testServer().killHard(); }},
  };
  for (const auto& o : outages) {
    SCOPED_TRACE(o.name);
    ASSERT_TRUE(server().running() || server().restart());
    const Table before = snapshotBook();
    currentPage = 0;
    searchAll();
    o.outage();

    // What needs no server still works: another row, the subclass list.
    withinBound("a row switch", kPrompt, [] { gridKey(Qt::Key_Down); });
    EXPECT_EQ(controlText("编辑框12"), "1");
    EXPECT_EQ(controlText("编辑框2"), first[kBookName]);
    pickItem("组合框1", 9);
    EXPECT_EQ(comboItemCount("组合框2"), 4);

    // The changes fail and say so; the edit stays for another try.
    typeOverAll("编辑框2", "改过的书名");
    withinBound("an update", kPrompt, [] { clickButton("按钮2"); });
    expectBoxes({"更新失败"});
    EXPECT_EQ(controlText("编辑框2"), g("改过的书名"));
    setClockSeam([] { return LocalTime{2015, 6, 1, 12, 0, 1}; });
    withinBound("an audit pick", kPrompt, [] { pickItem("组合框3", kAudited); });
    expectBoxes({"审核状态保存失败"});
    EXPECT_EQ(controlText("编辑框17"), "2015-06-01 12:0:1");
    answers = {IdYes};
    withinBound("a delete", kPrompt, [] { clickButton("按钮3"); });
    expectBoxes({"是否删除当前选中的内容？", "删除失败"});
    EXPECT_EQ(gridRowCount(kGrid), 2);
    EXPECT_EQ(controlText("编辑框12"), "1");

    // The listings come back empty, without a word; the details stay.
    const struct {
      const char* what;
      std::function<void()> act;
      int page;
    } listings[] = {
        {"search by button", [] { clickButton("按钮1"); }, 0},
        {"search by Enter", [] { pressKey("编辑框1", Qt::Key_Return); }, 0},
        {"next page", [] { clickButton("下一页"); }, 1},
        {"next page again", [] { clickButton("下一页"); }, 2},
        {"previous page", [] { clickButton("上一页"); }, 1},
        {"first page", [] { clickButton("首页"); }, 0},
    };
    for (const auto& l : listings) {
      SCOPED_TRACE(l.what);
      withinBound(l.what, kPrompt, l.act);
      EXPECT_EQ(gridColumnCount(kGrid), 0);
      EXPECT_EQ(gridRowCount(kGrid), 0);
      EXPECT_EQ(currentPage, l.page);
      EXPECT_TRUE(boxes.empty());
      EXPECT_EQ(controlText("编辑框2"), g("改过的书名"));
    }
    // The grid is empty, but the details stay on show, the key included.
    EXPECT_EQ(controlText("编辑框12"), "1");

    // Back up: the same window reconnects, nothing was changed in between, and the edit
    // still on show is saved now.
    ASSERT_TRUE(server().restart());
    EXPECT_EQ(snapshotBook(), before);
    withinBound("an update after the restart", kPrompt, [] { clickButton("按钮2"); });
    expectBoxes({"更新成功"});
    EXPECT_EQ(storedRecord("1")[kBookName], g("改过的书名"));
    first = storedRecord("1");
  }
}

// ---- the server down at start-up ----

TEST_F(FaultTest, ServerDownAtStartUpGivesTheBoxThenAWorkingWindowWithZeroHandles) {
  server().stop();
  withinBound("start-up", kPrompt, [] { raiseCreated(); });
  expectBoxes({"连接数据库失败"});
  EXPECT_EQ(windowCaption(), g("MySql句柄:") + "0" + g("记录集句柄： ") + "0");
  EXPECT_EQ(DbHandle, 0);
  EXPECT_EQ(startupResult, 0);
  EXPECT_EQ(gridColumnCount(kGrid), 0);

  // The server comes back, but nothing is retried: the window works without a connection.
  ASSERT_TRUE(server().restart());
  const std::size_t mark = server().logMark();
  typeOverAll("编辑框1", "978");
  withinBound("a search", kPrompt, [] { pressKey("编辑框1", Qt::Key_Return); });
  withinBound("next page", kPrompt, [] { clickButton("下一页"); });
  withinBound("first page", kPrompt, [] { clickButton("首页"); });
  EXPECT_EQ(gridRowCount(kGrid), 0);
  EXPECT_EQ(currentPage, 0);
  EXPECT_FALSE(controlEnabled("首页"));
  pickItem("组合框1", 24);
  EXPECT_EQ(controlText("组合框2"), g("英语"));
  // No record was ever shown, so the changes have no key and send nothing.
  withinBound("an update", kPrompt, [] { clickButton("按钮2"); });
  withinBound("an audit pick", kPrompt, [] { pickItem("组合框3", kAudited); });
  answers = {IdYes};
  withinBound("a delete", kPrompt, [] { clickButton("按钮3"); });
  expectBoxes({"未选择记录", "未选择记录", "未选择记录"});
  // A record shown by hand has a key; the update goes nowhere and says so.
  showInGrid({first});
  withinBound("an update with a key", kPrompt, [] { clickButton("按钮2"); });
  expectBoxes({"更新失败"});
  EXPECT_TRUE(server().queriesSince(mark).empty());
  EXPECT_EQ(storedRecord("1"), first);
}

// ---- a statement whose reply is lost ----

// While the action waits for the table, which the test's root connection has locked, a thread
// kills the action's connection from the server side: the reply never comes.
class ReplyLostTest : public FaultTest {
 protected:
  // Runs the action against a locked table and kills its connection once the statement
  // waits; returns the statement the server was running then.
  std::string runWhileItsConnectionIsKilled(const std::function<void()>& action) {
    RootConnection locker;
    const std::string lockerId = locker.firstRow("SELECT CONNECTION_ID()").at(0);
    EXPECT_TRUE(locker.exec("LOCK TABLES book WRITE"));
    std::string statement;
    bool killed = false;
    std::thread killer([&] {
      RootConnection c;
      const auto deadline = Clock::now() + 20s;
      while (Clock::now() < deadline) {
        auto row = c.firstRow(
            std::string("SELECT ID, INFO FROM information_schema.PROCESSLIST WHERE USER = '") +
            BOOKAUDIT_DB_USER + "' AND COMMAND = 'Query' AND STATE LIKE '%lock%'");
        if (!row.empty()) {
          statement = row[1];
          killed = c.exec("KILL CONNECTION " + row[0]);
          return;
        }
        std::this_thread::sleep_for(10ms);
      }
      // The action never waited: end the lock so that it cannot hang either.
      c.exec("KILL CONNECTION " + lockerId);
    });
    withinBound("an action whose connection is killed", kPrompt, action);
    killer.join();
    EXPECT_TRUE(killed) << "the action's statement never waited for the lock";
    locker.exec("UNLOCK TABLES");
    return statement;
  }
};

TEST_F(ReplyLostTest, TheActionFailsCleanlyAndTheNextOneReconnects) {
  const struct {
    const char* name;
    const char* statementStart;
    std::function<void()> act;
    std::vector<const char*> failureBoxes;  // what the operator is told when it fails
    std::function<void()> afterSuccess;     // checks once it went through
  } cases[] = {
      {"search",
       "select * from book where ISBN like",
       [] { clickButton("按钮1"); },
       {},
       [] {
         EXPECT_EQ(gridRowCount(kGrid), 2);
         EXPECT_EQ(gridCell(kGrid, 1, kBookName), g("誠品'\\表") + "\xAA\xA1");
       }},
      // From page 1 back to page 0, which holds both records.
      {"previous page",
       "select * from book where ISBN like",
       [] {
         currentPage = 1;
         clickButton("上一页");
       },
       {},
       [] { EXPECT_EQ(gridRowCount(kGrid), 2); }},
      {"update",
       "update book set BookName",
       [] { clickButton("按钮2"); },
       {"更新失败"},
       [] { EXPECT_EQ(storedRecord("2")[kAuthor], g("誠'\\表")); }},
      {"audit pick",
       "update book set Auditing",
       [] { pickItem("组合框3", kAudited); },
       {"审核状态保存失败"},
       [] { EXPECT_EQ(storedRecord("2")[kDate], "2016-02-29 23:59:58"); }},
      {"delete",
       "DELETE FROM book where Did= '2'",
       [] { clickButton("按钮3"); },
       {"是否删除当前选中的内容？", "删除失败"},
       [] {
         EXPECT_FALSE(recordExists("2"));
         EXPECT_EQ(gridRowCount(kGrid), 1);  // the delete's search lists the other one
       }},
  };
  const int handle = DbHandle;
  setClockSeam([] { return LocalTime{2016, 2, 29, 23, 59, 58}; });
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    searchAll();
    typeOverAll("编辑框3", "誠'\\表");
    const Table before = snapshotBook();
    const std::size_t mark = server().logMark();
    answers = {IdYes, IdYes};

    const std::string statement = runWhileItsConnectionIsKilled(c.act);
    EXPECT_EQ(statement.rfind(c.statementStart, 0), 0u) << statement.substr(0, 100);
    expectBoxes(c.failureBoxes);
    EXPECT_EQ(snapshotBook(), before);
    if (c.failureBoxes.empty()) {  // a listing: empty, and the details stay
      EXPECT_EQ(gridRowCount(kGrid), 0);
      EXPECT_EQ(controlText("编辑框12"), "2");
    }
    EXPECT_EQ(DbHandle, handle);

    // The next one reconnects and goes through.
    answers = {IdYes};
    withinBound("the action again", kPrompt, c.act);
    boxes.clear();
    c.afterSuccess();
    // Each statement was received once: the lost one was not sent again behind the
    // operator's back.
    int sent = 0;
    for (const std::string& q : server().queriesSince(mark))
      if (q.rfind(c.statementStart, 0) == 0) ++sent;
    EXPECT_EQ(sent, 2);
    if (!recordExists("2")) insertRecord(second);
  }
}

// ---- a hostile cover server ----

class CoverFaultTest : public FaultTest {
 protected:
  void SetUp() override {
    FaultTest::SetUp();
    if (HasFatalFailure()) return;
    limits.connectTimeoutMs = 1000;
    limits.stallTimeoutMs = 1000;
    limits.totalTimeoutMs = 3000;
    limits.maxBodyBytes = 1 << 20;
    limits.maxRedirects = 5;
    httpSetLimits(limits);
    jpeg = writeJpeg(quadrantPicture());
    covers.route("/Cover/good.jpg", HttpReply(200, jpeg));
    // A picture on this machine's disk, which a redirect must not reach.
    localPicture = testServer().dir() + "/local.jpg";
    std::ofstream(localPicture, std::ios::binary) << jpeg;
  }
  void TearDown() override {
    httpSetLimits(HttpLimits());
    FaultTest::TearDown();
  }

  HttpLimits limits;
  HttpServer covers;
  std::string jpeg, localPicture;
};

TEST_F(CoverFaultTest, TheWindowIsFreeAgainWithinTheTimeOutsAndTheBoxIsEmpty) {
  std::string noise(4096, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 131 + 7);
  const struct {
    const char* name;
    HttpReply reply;
  } cases[] = {
      {"silent", HttpReply::silent()},
      {"stalls inside the picture", HttpReply::stallAfter(jpeg, 100)},
      {"trickles", HttpReply::trickle(jpeg, 300ms)},
      {"no HTTP at all", HttpReply::raw(noise)},
      {"a body that is no picture", HttpReply(200, noise)},
      {"an error page", HttpReply(500, "<html>Internal Server Error</html>")},
      {"an endless body", HttpReply::endless()},
      {"a huge declared body", HttpReply::filler(std::uint64_t{1} << 32)},
      {"a huge undeclared body", HttpReply::filler(std::uint64_t{64} << 20, false)},
      {"a redirect to itself", HttpReply::redirect("/Cover/fault.jpg")},
      {"redirects back and forth", HttpReply::redirect("/Cover/other.jpg")},
      {"a redirect to a file", HttpReply::redirect("file://" + localPicture)},
  };
  covers.route("/Cover/other.jpg", HttpReply::redirect("/Cover/fault.jpg"));
  Record good = first, bad = second;
  good[kCover] = covers.url("/Cover/good.jpg");
  bad[kCover] = covers.url("/Cover/fault.jpg");
  testServer().resetBook();
  insertRecord(good);
  insertRecord(bad);
  const auto bound = std::chrono::milliseconds(limits.totalTimeoutMs) + 5s;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    covers.route("/Cover/fault.jpg", c.reply);
    // The search shows the record with the faulty cover first (highest Did).
    auto start = Clock::now();
    withinBound(std::string("a search with a cover that ") + c.name, kPrompt,
                [] { clickButton("按钮1"); });
    EXPECT_LT(Clock::now() - start, bound);
    ASSERT_EQ(gridRowCount(kGrid), 2);
    EXPECT_EQ(controlText("编辑框12"), "2");
    EXPECT_FALSE(pictureShown("图片框1"));

    // The window answers at once, and the next cover comes.
    gridKey(Qt::Key_Down);
    EXPECT_EQ(controlText("编辑框12"), "1");
    EXPECT_TRUE(pictureShown("图片框1"));

    // Coming back to it by the grid: the good cover goes, the box stays empty.
    start = Clock::now();
    withinBound(std::string("a row switch to a cover that ") + c.name, kPrompt,
                [] { gridKey(Qt::Key_Up); });
    EXPECT_LT(Clock::now() - start, bound);
    EXPECT_EQ(controlText("编辑框12"), "2");
    EXPECT_FALSE(pictureShown("图片框1"));
    EXPECT_TRUE(boxes.empty());
  }
}

}  // namespace
