// The main of every test program: a QApplication for widget tests and a throwaway
// database server for database tests, as the test's CMake entry asks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "support/test_server.h"

#ifdef BOOKAUDIT_TEST_QT
#include <QApplication>
#endif

void setProcessTestServer(TestServer* s);

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
#ifdef BOOKAUDIT_TEST_QT
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
#endif
#ifdef BOOKAUDIT_TEST_DB
  auto server = std::make_unique<TestServer>(BOOKAUDIT_TEST_DB);
  if (!server->start()) return 1;
  setProcessTestServer(server.get());
#endif
  return RUN_ALL_TESTS();
}
