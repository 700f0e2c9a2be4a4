#include "session_support.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "browser/grid.h"
#include "platform/toolkit.h"

Table snapshotBook() {
  Table table;
  for (auto& row : testServer().rows("SELECT * FROM book ORDER BY Did"))
    table[std::stoi(row[1].value())] = std::move(row);
  return table;
}

std::vector<Text> shownRow(const TestServer::Row& row) {
  std::vector<Text> out;
  for (const auto& field : row) out.push_back(field.value_or(Text()));
  return out;
}

namespace {

QWidget* widgetOf(const char* control) {
  auto* w = static_cast<QWidget*>(controlWidget(control));
  if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->lineEdit();
  return w;
}

void type(QWidget* target, const char* utf8) {
  for (QChar ch : QString::fromUtf8(utf8)) {
    if (ch.unicode() < 0x80 && ch.isPrint()) {
      QTest::keyClick(target, ch.toLatin1());
    } else {
      QInputMethodEvent commit;
      commit.setCommitString(QString(ch));
      QApplication::sendEvent(target, &commit);
    }
  }
}

void selectAll(QWidget* w) {
  if (auto* line = qobject_cast<QLineEdit*>(w))
    line->selectAll();
  else if (auto* multi = qobject_cast<QPlainTextEdit*>(w))
    multi->selectAll();
}

QTableView* gridView() {
  return static_cast<QTableView*>(controlWidget(kGrid));
}

}  // namespace

void typeAtEnd(const char* control, const char* utf8) {
  QWidget* w = widgetOf(control);
  ASSERT_NE(w, nullptr) << control;
  if (qobject_cast<QPlainTextEdit*>(w))
    QTest::keyClick(w, Qt::Key_End, Qt::ControlModifier);
  else
    QTest::keyClick(w, Qt::Key_End);
  type(w, utf8);
}

void typeOverAll(const char* control, const char* utf8) {
  QWidget* w = widgetOf(control);
  ASSERT_NE(w, nullptr) << control;
  selectAll(w);
  type(w, utf8);
}

void pasteOver(const char* control, const std::u16string& text) {
  QWidget* w = widgetOf(control);
  ASSERT_NE(w, nullptr) << control;
  QGuiApplication::clipboard()->setText(QString::fromStdU16String(text));
  selectAll(w);
  QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
}

void clearByKeys(const char* control) {
  QWidget* w = widgetOf(control);
  ASSERT_NE(w, nullptr) << control;
  selectAll(w);
  QTest::keyClick(w, Qt::Key_Backspace);
}

void pressKey(const char* control, Qt::Key key) {
  QTest::keyClick(widgetOf(control), key);
}

void clickButton(const char* button) {
  auto* b = qobject_cast<QPushButton*>(static_cast<QWidget*>(controlWidget(button)));
  ASSERT_NE(b, nullptr) << button;
  QTest::mouseClick(b, Qt::LeftButton);
}

void clickGridRow(int row) {
  QTableView* view = gridView();
  // Column 1: a click on the first cell of the selected row would start its in-place edit.
  const QModelIndex index = view->model()->index(row, 1);
  ASSERT_TRUE(index.isValid()) << "no grid row " << row;
  view->scrollTo(index);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

void gridKey(Qt::Key key) {
  QTest::keyClick(gridView(), key);
}

void withinBound(const std::string& what, std::chrono::seconds limit,
                 const std::function<void()>& action) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> lock(m);
    if (!cv.wait_for(lock, limit, [&] { return done; })) {
      std::fprintf(stderr, "FATAL: %s did not return within %lld s; the window hangs\n",
                   what.c_str(), static_cast<long long>(limit.count()));
      std::abort();
    }
  });
  action();
  {
    std::lock_guard<std::mutex> lock(m);
    done = true;
  }
  cv.notify_one();
  watchdog.join();
}
