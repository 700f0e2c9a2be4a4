#include "app/startup.h"

#include <QApplication>

#include "app/settings.h"
#include "app/window_definition.h"
#include "browser/paging.h"
#include "browser/search.h"
#include "platform/gbk.h"
#include "platform/toolkit.h"

ResultHandle startupResult = 0;

void connectAndSearch() {
  switchOnSkin(3);
  DbHandle =
      dbConnect(BOOKAUDIT_DB_HOST, BOOKAUDIT_DB_USER, BOOKAUDIT_DB_PASSWORD, BOOKAUDIT_DB_NAME);
  setWindowCaption(gbk("MySql句柄:") + std::to_string(DbHandle));
  dbExecute(DbHandle, "select Did from book");
  startupResult = dbStoreResult(DbHandle);
  setWindowCaption(windowCaption() + gbk("记录集句柄： ") + std::to_string(startupResult));
  // Only the handle is shown; the rows (one per record of the table) need not stay in memory.
  dbFreeResult(startupResult);
  currentPage = 0;
  if (startupResult == 0) messageBox(gbk("连接数据库失败"), MbOk, gbk("信息："));
  runSearch();
}

int runProgram(int argc, char** argv) {
  QApplication app(argc, argv);
  createMainWindow();
  return runWindow();
}
