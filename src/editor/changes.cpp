#include "editor/changes.h"

#include <cstdio>

#include "browser/search.h"
#include "db/db.h"
#include "platform/gbk.h"
#include "platform/toolkit.h"

namespace {

// The hidden box that holds the Did of the shown record.
constexpr const char* kKeyBox = "编辑框12";

// A control's text as the body of a quoted statement value.
Text value(const char* control) {
  return dbEscape(DbHandle, controlText(control));
}

// An empty key would go out as Did= '', which the server compares as 0 and so could hit a
// record whose Did is 0: with no record shown, nothing is sent.
bool recordShown() {
  if (!controlText(kKeyBox).empty()) return true;
  messageBox(gbk("未选择记录"), MbOk);
  return false;
}

struct UpdateField {
  const char* fragment;
  const char* control;
};

// The fragments are joined exactly as written, the missing blank before "where" included.
// Neither Date nor the cover address nor Did is written.
constexpr UpdateField kUpdateFields[] = {
    {"update book set BookName = '", "编辑框2"},
    {"',Author = '", "编辑框3"},
    {"',PublishTime = '", "编辑框4"},
    {"',Publishing = '", "编辑框5"},
    {"',ISBN = '", "编辑框6"},
    {"',Introduction = '", "编辑框7"},
    {"',Download = '", "编辑框9"},
    {"',PassWord = '", "编辑框10"},
    {"',Translation = '", "编辑框13"},
    {"',QQ = '", "编辑框14"},
    {"',BigClass = '", "组合框1"},
    {"',SmallClass = '", "组合框2"},
    {"',Auditing = '", "组合框3"},
    {"'where Did= '", kKeyBox},
};

}  // namespace

Text auditStamp(const LocalTime& t) {
  char stamp[80];
  std::snprintf(stamp, sizeof stamp, "%d-%02d-%02d %d:%d:%d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return stamp;
}

Text updateStatement() {
  Text statement;
  for (const UpdateField& f : kUpdateFields) statement += f.fragment + value(f.control);
  return statement + "'";
}

void updateRecord() {
  if (!recordShown()) return;
  // On failure the edits stay in the boxes, so the operator can try again.
  const bool saved = dbExecute(DbHandle, updateStatement());
  messageBox(gbk(saved ? "更新成功" : "更新失败"), MbOk);
}

void stampAudit() {
  if (!recordShown()) return;
  setControlText("编辑框17", auditStamp(localNow()));
  const Text statement = "update book set Auditing = '" + value("组合框3") + "',Date = '" +
                         value("编辑框17") + "'where Did= '" + value(kKeyBox) + "'";
  if (!dbExecute(DbHandle, statement)) messageBox(gbk("审核状态保存失败"), MbOk);
}

void deleteRecord() {
  // Nothing to delete, so nothing to ask.
  if (!recordShown()) return;
  if (messageBox(gbk("是否删除当前选中的内容？"), MbYesNo) != IdYes) return;
  if (!dbExecute(DbHandle, "DELETE FROM book where Did= '" + value(kKeyBox) + "'")) {
    // No search: the grid and the detail view keep showing the record that is still there.
    messageBox(gbk("删除失败"), MbOk);
    return;
  }
  runSearch();
}
