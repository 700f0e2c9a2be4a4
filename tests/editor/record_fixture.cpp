#include "editor/record_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "browser/grid.h"
#include "platform/toolkit.h"

Record sampleRecord(int did) {
  Record r;
  r[kAuditing] = g("未审核");
  r[kDid] = std::to_string(did);
  r[kQQ] = "287364510";
  r[kBookName] = g("围城");
  r[kAuthor] = g("钱钟书");
  r[kTranslation] = g("无译者");
  r[kPublishTime] = "1991-02";
  r[kPublishing] = g("人民文学出版社");
  r[kIsbn] = "978-7-02-000945-9";
  r[kIntroduction] = g("第一行\r\n第二行");
  r[kDownload] = "http://pan.example.com/s/1c0Wq7Ie";
  r[kPassWord] = "k3m9";
  // Not the address the detail view derives; the cover fetch finds nothing listening on this
  // loopback port, so it fails at once and nothing leaves the machine.
  r[kCover] = "http://127.0.0.1:1/Cover/stored-" + std::to_string(did) + ".jpg";
  r[kBigClass] = g("I 文学");
  r[kSmallClass] = g("I2 中国文学");
  r[kDate] = "2012-11-03 10:21:45";
  return r;
}

void insertRecord(const Record& r) {
  std::string sql = "INSERT INTO book (";
  for (int i = 0; i < 16; ++i) sql += std::string(i ? "," : "") + kColumns[i];
  sql += ") VALUES (";
  for (int i = 0; i < 16; ++i) {
    if (i) sql += ",";
    // Hex literals carry the bytes as they are, whatever they are.
    sql += i == kDid ? r[i] : hexLiteral(r[i]);
  }
  ASSERT_TRUE(testServer().exec(sql + ")")) << sql.substr(0, 300);
}

Record storedRecord(const std::string& did) {
  Record r;
  auto rows = testServer().rows("SELECT * FROM book WHERE Did = " + did);
  if (rows.empty()) return r;
  for (int i = 0; i < 16; ++i) r[i] = rows[0][i].value_or("");
  return r;
}

bool recordExists(const std::string& did) {
  return !testServer().rows("SELECT Did FROM book WHERE Did = " + did).empty();
}

void showInGrid(const std::vector<Record>& records, int current) {
  gridRemoveAllRows(kGrid);
  gridRemoveAllColumns(kGrid);
  for (const char* name : kColumns) gridAddColumn(kGrid, name, 60);
  for (const Record& r : records) {
    int row = gridAppendRow(kGrid);
    for (int c = 0; c < 16; ++c) gridSetCell(kGrid, row, c, r[c]);
  }
  gridSetCurrentRow(kGrid, current);
}

void pickItem(const char* combo, int index) {
  auto* box = static_cast<QComboBox*>(controlWidget(combo));
  ASSERT_NE(box, nullptr);
  ASSERT_GE(index, 0);
  ASSERT_LT(index, box->count());
  box->setCurrentIndex(index);
  emit box->activated(index);
}

void pickItem(const char* combo, const Text& item) {
  for (int i = 0; i < comboItemCount(combo); ++i)
    if (comboItem(combo, i) == item) return pickItem(combo, i);
  ADD_FAILURE() << "no such item in " << combo;
}

namespace {

QLineEdit* lineEditOf(const char* control) {
  auto* widget = static_cast<QWidget*>(controlWidget(control));
  if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->lineEdit();
  return qobject_cast<QLineEdit*>(widget);
}

void type(QLineEdit* edit, const char* utf8) {
  // ASCII comes from the keyboard; other characters come, as they do, from an input method.
  for (QChar ch : QString::fromUtf8(utf8)) {
    if (ch.unicode() < 0x80) {
      QTest::keyClick(edit, ch.toLatin1());
    } else {
      QInputMethodEvent commit;
      commit.setCommitString(QString(ch));
      QApplication::sendEvent(edit, &commit);
    }
  }
}

}  // namespace

void typeInto(const char* control, const char* utf8) {
  QLineEdit* edit = lineEditOf(control);
  ASSERT_NE(edit, nullptr);
  QTest::keyClick(edit, Qt::Key_End);
  type(edit, utf8);
}

void typeOver(const char* control, const char* utf8) {
  QLineEdit* edit = lineEditOf(control);
  ASSERT_NE(edit, nullptr);
  edit->selectAll();
  type(edit, utf8);
}

void click(const char* button) {
  auto* b = qobject_cast<QPushButton*>(static_cast<QWidget*>(controlWidget(button)));
  ASSERT_NE(b, nullptr);
  b->click();
}
