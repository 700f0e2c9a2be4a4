#include "support/app_fixture.h"

#include "app/settings.h"
#include "app/window_definition.h"
#include "db/db.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/gbk.h"
#include "platform/toolkit.h"

Text g(const char* utf8) {
  return gbk(utf8);
}

void AppTest::connectDb() {
  DbHandle =
      dbConnect(BOOKAUDIT_DB_HOST, BOOKAUDIT_DB_USER, BOOKAUDIT_DB_PASSWORD, BOOKAUDIT_DB_NAME);
}

void AppTest::SetUp() {
  if (!testServer().running()) {
    ASSERT_TRUE(testServer().restart());
  }
  testServer().resetBook();
  setMessageBoxSeam([this](const Text& text, int buttons, const Text& title) {
    boxes.push_back({text, buttons, title});
    if (answers.empty()) return static_cast<int>(IdOk);
    int a = answers.front();
    answers.pop_front();
    return a;
  });
  // Nothing a test does may reach the real desktop.
  setOpenInBrowserSeam([](const Text&) {});
  setClipboardSeam([](const Text&) {});
  createMainWindow();
  static int connection = 0;
  if (!connection) {
    connectDb();
    connection = DbHandle;
  }
  DbHandle = connection;
  ASSERT_NE(DbHandle, 0);
}

void AppTest::TearDown() {
  destroyWindow();
  setMessageBoxSeam(nullptr);
  setClockSeam(nullptr);
}
