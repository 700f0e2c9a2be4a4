// Start-up and shutdown against the throwaway server: caption, probe, the failure box, and the
// message loop ending with exit code 0.
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "app/startup.h"
#include "db/db.h"
#include "platform/toolkit.h"
#include "support/app_fixture.h"

namespace {

// The caption's two handles, or -1 where the caption does not have the exact form.
std::pair<long, long> captionHandles(const Text& caption) {
  const Text head = g("MySql句柄:"), middle = g("记录集句柄： ");
  if (caption.rfind(head, 0) != 0) return {-1, -1};
  size_t mid = caption.find(middle, head.size());
  if (mid == Text::npos) return {-1, -1};
  Text first = caption.substr(head.size(), mid - head.size());
  Text second = caption.substr(mid + middle.size());
  auto number = [](const Text& t) -> long {
    if (t.empty() || t.find_first_not_of("-0123456789") != Text::npos) return -1;
    return std::stol(t);
  };
  return {number(first), number(second)};
}

class StartupTest : public AppTest {
 protected:
  void TearDown() override {
    if (!server().running()) server().restart();
    server().exec("RENAME TABLE book_away TO book");
    AppTest::TearDown();
  }
};

TEST_F(StartupTest, GoodConnectionShowsBothHandlesAndNoBox) {
  server().exec("INSERT INTO book (Did, Auditing, ISBN) VALUES (1, X'CEB4C9F3BACB', '1')");
  raiseCreated();
  auto [db, result] = captionHandles(windowCaption());
  EXPECT_GT(db, 0) << windowCaption();
  EXPECT_GT(result, 0);
  EXPECT_EQ(db, DbHandle);
  EXPECT_EQ(result, startupResult);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(StartupTest, ProbeThatFailsIsReportedWithTheConnectionKept) {
  ASSERT_TRUE(server().exec("RENAME TABLE book TO book_away"));
  raiseCreated();
  auto [db, result] = captionHandles(windowCaption());
  EXPECT_GT(db, 0);
  EXPECT_EQ(result, 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, g("连接数据库失败"));
}

// The whole start-up of the program with the server down: the box first, while the window is
// still invisible, then the window, whose closing ends the message loop with exit code 0.
TEST_F(StartupTest, ServerDownShowsTheBoxBeforeTheWindowThenAWindowWithZeroHandles) {
  server().stop();
  bool visibleDuringBox = true;
  setMessageBoxSeam([&](const Text& text, int buttons, const Text& title) {
    boxes.push_back({text, buttons, title});
    visibleDuringBox = windowVisible();
    return static_cast<int>(IdOk);
  });
  QTimer::singleShot(0, [] {
    EXPECT_TRUE(windowVisible());
    closeWindow();
  });
  EXPECT_EQ(runWindow(), 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, g("连接数据库失败"));
  EXPECT_EQ(boxes[0].title, g("信息："));
  EXPECT_EQ(boxes[0].buttons, MbOk);
  EXPECT_FALSE(visibleDuringBox);
  EXPECT_EQ(windowCaption(), g("MySql句柄:") + "0" + g("记录集句柄： ") + "0");
  EXPECT_EQ(DbHandle, 0);
  EXPECT_EQ(gridColumnCount("超级列表框1"), 0);
  EXPECT_EQ(gridRowCount("超级列表框1"), 0);
  EXPECT_EQ(controlText("组合框1"), g("=====请选择====="));
  connectDb();  // later tests talk to the server again
}

TEST_F(StartupTest, EscapeInTheIntroductionEndsTheProgramWithExitCodeZero) {
  QTimer::singleShot(0, [] {
    auto* intro = static_cast<QWidget*>(controlWidget("编辑框7"));
    intro->activateWindow();
    intro->setFocus();
    QTest::keyClick(intro, Qt::Key_Escape);
  });
  EXPECT_EQ(runWindow(), 0);
  EXPECT_FALSE(windowVisible());
}

}  // namespace
