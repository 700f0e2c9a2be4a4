#include "app/window_definition.h"

#include "app/startup.h"
#include "browser/paging.h"
#include "browser/search.h"
#include "editor/changes.h"
#include "editor/classification.h"
#include "editor/cover.h"
#include "editor/detail.h"
#include "editor/subclasses.h"
#include "platform/gbk.h"

namespace {

const std::vector<Text>* auditStates() {
  static const std::vector<Text> items = {gbk("未审核"), gbk("审核中"), gbk("未通过"),
                                          gbk("已审核"), gbk("已失效"), gbk("已修改")};
  return &items;
}

const std::vector<Text>* mainClasses() {
  static const std::vector<Text> items = [] {
    std::vector<Text> names;
    for (const auto& entry : classificationTable()) names.push_back(entry.mainClass);
    return names;
  }();
  return &items;
}

// The text-changed handler of 编辑框2, 编辑框6 and 编辑框14: bound, and does nothing.
void doNothing() {}

constexpr auto Edit = ControlKind::EditBox;
constexpr auto Label = ControlKind::Label;
constexpr auto Button = ControlKind::Button;
constexpr auto Combo = ControlKind::ComboBox;

}  // namespace

const std::vector<ControlDef>& mainWindowControls() {
  // kind, name, left, top, width, height, initial content, style, list
  static const std::vector<ControlDef> controls = {
      {Edit, "编辑框18", 560, 6, 88, 32, "", StyleNone, nullptr},
      {Label, "标签21", 824, 0, 24, 24, "Did", Hidden, nullptr},
      {Label, "标签20", 8, 10, 40, 24, "状态", BlueText | BoldFont, nullptr},
      {Label, "标签12", 529, 8, 18, 24, "ID", BlueText | BoldFont, nullptr},
      {ControlKind::Hyperlink, "超级链接框1", 302, 243, 226, 20, "", StyleNone, nullptr},
      {ControlKind::PictureBox, "图片框1", 3, 48, 168, 232, "", StyleNone, nullptr},
      {Edit, "编辑框17", 668, 40, 76, 20, "", Hidden, nullptr},
      {Label, "标签19", 608, 40, 64, 24, "审核时间", Hidden, nullptr},
      {Button, "按钮3", 441, 335, 80, 32, "删除记录", StyleNone, nullptr},
      {Combo, "组合框4", 52, 15, 76, 20, "未审核", StyleNone, auditStates},
      {Label, "标签16", 182, 316, 56, 24, "审核状态", RedText, nullptr},
      {Combo, "组合框3", 235, 318, 85, 20, "", StyleNone, auditStates},
      {Button, "首页", 64, 343, 50, 24, "首页", StyleNone, nullptr},
      {Button, "上一页", 121, 343, 50, 24, "上一页", StyleNone, nullptr},
      {Button, "下一页", 178, 343, 50, 24, "下一页", StyleNone, nullptr},
      {Button, "尾页", 237, 343, 50, 24, "尾页", Hidden, nullptr},
      {Label, "标签18", 4, 291, 56, 24, "图书分类：", StyleNone, nullptr},
      {Combo, "组合框1", 68, 293, 225, 20, "=====请选择=====", FirstItemCurrent, mainClasses},
      {Combo, "组合框2", 307, 292, 225, 20, "=====请选择=====", StyleNone, nullptr},
      {Label, "标签14", 178, 46, 48, 24, "上传者QQ", StyleNone, nullptr},
      {Edit, "编辑框14", 238, 46, 290, 20, "", StyleNone, nullptr},
      {Label, "标签13", 178, 119, 48, 24, "译者", StyleNone, nullptr},
      {Edit, "编辑框13", 238, 121, 290, 20, "", StyleNone, nullptr},
      {Label, "标签11", 154, 10, 41, 24, "ISBN", BlueText | BoldFont, nullptr},
      {Edit, "编辑框12", 848, 6, 40, 18, "", Hidden, nullptr},
      {Button, "按钮2", 360, 335, 80, 32, "修改记录", StyleNone, nullptr},
      {Edit, "编辑框11", 240, 266, 290, 20, "", StyleNone, nullptr},
      {Label, "标签10", 176, 264, 56, 24, "封面地址", StyleNone, nullptr},
      {Label, "标签9", 178, 237, 48, 24, "提取密码", StyleNone, nullptr},
      {Label, "标签8", 178, 214, 48, 24, "下载地址", StyleNone, nullptr},
      {Label, "标签6", 536, 44, 56, 24, "内容简介", StyleNone, nullptr},
      {Label, "标签5", 178, 167, 48, 24, "出版社", StyleNone, nullptr},
      {Label, "标签4", 178, 190, 48, 24, "ISBN", StyleNone, nullptr},
      {Label, "标签3", 178, 141, 48, 24, "出版日期", StyleNone, nullptr},
      {Label, "标签2", 178, 94, 48, 24, "作者", StyleNone, nullptr},
      {Label, "标签1", 178, 73, 48, 24, "书名", StyleNone, nullptr},
      {Edit, "编辑框10", 238, 239, 58, 20, "", StyleNone, nullptr},
      {Edit, "编辑框9", 238, 217, 290, 20, "", StyleNone, nullptr},
      {Edit, "编辑框7", 536, 72, 352, 304, "", MultiLine, nullptr},
      {Edit, "编辑框6", 238, 193, 290, 20, "", DigitsAndHyphen, nullptr},
      {Edit, "编辑框5", 238, 169, 290, 20, "", StyleNone, nullptr},
      {Edit, "编辑框4", 238, 145, 290, 20, "", StyleNone, nullptr},
      {Edit, "编辑框3", 238, 97, 290, 20, "", StyleNone, nullptr},
      {Edit, "编辑框2", 238, 73, 290, 20, "", StyleNone, nullptr},
      {ControlKind::Grid, "超级列表框1", -3, 384, 896, 280, "", StyleNone, nullptr},
      {Edit, "编辑框1", 202, 6, 262, 32, "", StyleNone, nullptr},
      {Button, "按钮1", 709, 4, 85, 35, "搜索一下", StyleNone, nullptr},
  };
  return controls;
}

const std::vector<Binding>& mainWindowBindings() {
  static const std::vector<Binding> bindings = {
      {"MainWindow", Event::Created, connectAndSearch},
      {"按钮1", Event::Clicked, runSearch},
      {"编辑框1", Event::KeyDown, runSearch, 13},
      {"首页", Event::Clicked, showFirstPage},
      {"上一页", Event::Clicked, showPreviousPage},
      {"下一页", Event::Clicked, showNextPage},
      {"超级列表框1", Event::FocusedRowChanged, showRecordDetails},
      {"编辑框11", Event::TextChanged, deriveCoverAddress},
      {"超级链接框1", Event::LeftButtonPressed, openDownloadLink},
      {"按钮2", Event::Clicked, updateRecord},
      {"组合框3", Event::ItemPicked, stampAudit},
      {"按钮3", Event::Clicked, deleteRecord},
      {"组合框1", Event::ItemPicked, fillSubclassList},
      {"编辑框2", Event::TextChanged, doNothing},
      {"编辑框6", Event::TextChanged, doNothing},
      {"编辑框14", Event::TextChanged, doNothing},
  };
  return bindings;
}

void createMainWindow() {
  createWindow(mainWindowControls(), mainWindowBindings());
}
