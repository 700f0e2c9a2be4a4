#pragma once
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/text.h"
#include "support/test_server.h"

// MainWindow as the program builds it (controls and bindings), not shown, with DbHandle
// connected to the test process's server and `book` emptied. Message boxes are answered
// from `answers` (OK when it is empty) and recorded in `boxes`.
class AppTest : public testing::Test {
 protected:
  struct Box {
    Text text;
    int buttons;
    Text title;
  };

  void SetUp() override;
  void TearDown() override;

  // Reconnects DbHandle (tests that stop the server set it to 0 or reuse it).
  static void connectDb();

  std::vector<Box> boxes;
  std::deque<int> answers;
  TestServer& server() { return testServer(); }
};

// UTF-8 source text as GBK Text.
Text g(const char* utf8);
