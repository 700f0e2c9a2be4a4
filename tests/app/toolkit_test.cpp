// The toolkit's event rules, on a small window of one control of each kind whose actions
// only count and record what they see.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>

#include "platform/gbk.h"
#include "platform/toolkit.h"

namespace {

struct Seen {
  int textChanged = 0, derived = 0, picked = 0, rowChanged = 0, keyDown = 0, pressed = 0,
      created = 0;
  std::vector<int> keys, modifiers;
  Text pickedText;
  QString boxTextAtKeyDown;
  std::vector<Text> messages;
} seen;

const std::vector<Text>* threeItems() {
  static const std::vector<Text> items = {gbk("未审核"), gbk("审核中"), gbk("已审核")};
  return &items;
}

void onTextChanged() {
  ++seen.textChanged;
}
// Like the cover address: replaces the box's text by one derived from another box.
void derive() {
  ++seen.derived;
  setControlText("derived", gbk("http://host/Cover/") + controlText("isbn") + ".jpg");
}
void onPicked() {
  ++seen.picked;
  seen.pickedText = controlText("combo");
}
void onRowChanged() {
  ++seen.rowChanged;
}
void onKeyDown() {
  ++seen.keyDown;
  seen.keys.push_back(eventKeyCode());
  seen.modifiers.push_back(eventModifiers());
  seen.boxTextAtKeyDown = static_cast<QLineEdit*>(controlWidget("edit"))->text();
}
void onPressed() {
  ++seen.pressed;
}
void onCreated() {
  ++seen.created;
}

const std::vector<ControlDef>& controls() {
  static const std::vector<ControlDef> defs = {
      {ControlKind::EditBox, "edit", 10, 10, 200, 20, "", StyleNone, nullptr},
      {ControlKind::EditBox, "derived", 10, 40, 200, 20, "", StyleNone, nullptr},
      {ControlKind::EditBox, "isbn", 10, 70, 200, 20, "", DigitsAndHyphen, nullptr},
      {ControlKind::EditBox, "multi", 10, 100, 200, 80, "", MultiLine, nullptr},
      {ControlKind::ComboBox, "combo", 10, 200, 120, 20, "=====请选择=====", FirstItemCurrent,
       threeItems},
      {ControlKind::Hyperlink, "link", 10, 230, 200, 20, "", StyleNone, nullptr},
      {ControlKind::Button, "button", 10, 260, 80, 24, "按钮", StyleNone, nullptr},
      {ControlKind::Label, "hidden", 10, 290, 80, 24, "x", Hidden, nullptr},
      {ControlKind::Grid, "grid", 0, 320, 600, 200, "", StyleNone, nullptr},
  };
  return defs;
}

const std::vector<Binding>& bindings() {
  static const std::vector<Binding> b = {
      {"MainWindow", Event::Created, onCreated},
      {"edit", Event::TextChanged, onTextChanged},
      {"edit", Event::KeyDown, onKeyDown},
      {"derived", Event::TextChanged, derive},
      {"combo", Event::ItemPicked, onPicked},
      {"grid", Event::FocusedRowChanged, onRowChanged},
      {"link", Event::LeftButtonPressed, onPressed},
  };
  return b;
}

// Types text as key presses carrying characters, which QTest::keyClicks cannot do beyond ASCII.
void typeText(QWidget* w, const QString& text) {
  for (QChar ch : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(w, &release);
  }
}

template <typename W = QWidget>
W* widget(const char* name) {
  return static_cast<W*>(controlWidget(name));
}

class ToolkitTest : public testing::Test {
 protected:
  void SetUp() override {
    seen = Seen();
    setMessageBoxSeam([](const Text& text, int, const Text&) {
      seen.messages.push_back(text);
      return static_cast<int>(IdOk);
    });
    createWindow(controls(), bindings());
    showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(static_cast<QWidget*>(windowWidget())));
  }
  void TearDown() override {
    destroyWindow();
    setMessageBoxSeam(nullptr);
  }
  void fillGrid(int rows) {
    gridRemoveAllRows("grid");
    gridRemoveAllColumns("grid");
    gridAddColumn("grid", "a", 50);
    gridAddColumn("grid", "b", 50);
    for (int r = 0; r < rows; ++r) {
      gridAppendRow("grid");
      gridSetCell("grid", r, 0, std::to_string(r));
    }
  }
};

TEST_F(ToolkitTest, CreationRaisesNothingAndCreatedOnlyWhenAsked) {
  EXPECT_EQ(seen.textChanged + seen.derived + seen.picked + seen.rowChanged, 0);
  EXPECT_EQ(seen.created, 0);
  raiseCreated();
  EXPECT_EQ(seen.created, 1);
  EXPECT_FALSE(controlVisible("hidden"));
  EXPECT_EQ(controlText("hidden"), "x");
}

TEST_F(ToolkitTest, WritingAnEditBoxRaisesTextChangedOnceEvenWhenEqual) {
  setControlText("edit", "abc");
  EXPECT_EQ(seen.textChanged, 1);
  setControlText("edit", "abc");
  EXPECT_EQ(seen.textChanged, 2);
  setControlText("edit", "");
  EXPECT_EQ(seen.textChanged, 3);
}

TEST_F(ToolkitTest, AHandlerWritingItsOwnBoxRunsOncePerChange) {
  setControlText("isbn", "7-111-12345-6");
  setControlText("derived", "anything");
  EXPECT_EQ(seen.derived, 1);
  EXPECT_EQ(controlText("derived"), "http://host/Cover/7-111-12345-6.jpg");
  // Typing into it is undone at once.
  QTest::keyClicks(widget("derived"), "x");
  EXPECT_EQ(seen.derived, 2);
  EXPECT_EQ(controlText("derived"), "http://host/Cover/7-111-12345-6.jpg");
}

TEST_F(ToolkitTest, ComboWritesRaiseNothingAndKeepTheList) {
  auto* combo = widget<QComboBox>("combo");
  EXPECT_EQ(controlText("combo"), gbk("=====请选择====="));
  EXPECT_EQ(combo->currentIndex(), 0);
  setControlText("combo", gbk("不在列表里"));
  EXPECT_EQ(seen.picked, 0);
  EXPECT_EQ(combo->currentIndex(), 0);
  EXPECT_EQ(comboItemCount("combo"), 3);
  EXPECT_EQ(controlText("combo"), gbk("不在列表里"));
  comboSelectItem("combo", 2);
  EXPECT_EQ(seen.picked, 0);
  EXPECT_EQ(controlText("combo"), gbk("已审核"));
  // Deleting and appending items leave the edit part alone.
  setControlText("combo", "typed");
  comboDeleteItem("combo", 2);
  comboAppendItem("combo", "new");
  EXPECT_EQ(controlText("combo"), "typed");
  EXPECT_EQ(comboItem("combo", 2), "new");
  while (comboItemCount("combo") > 0) comboDeleteItem("combo", 0);
  EXPECT_EQ(controlText("combo"), "typed");
  comboAppendItem("combo", "only");
  EXPECT_EQ(controlText("combo"), "typed");
}

TEST_F(ToolkitTest, PickingFromTheListRaisesItemPickedAfterThePick) {
  auto* combo = widget<QComboBox>("combo");
  for (int pick : {1, 1, 2}) {  // the item already shown is picked again too
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    QRect r = view->visualRect(view->model()->index(pick, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
    QTRY_VERIFY(!view->isVisible());
    EXPECT_EQ(seen.pickedText, comboItem("combo", pick));
  }
  EXPECT_EQ(seen.picked, 3);
  // Typing into the edit part and pressing Enter is no pick.
  combo->lineEdit()->clear();
  QTest::keyClicks(combo->lineEdit(), "abc");
  QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(seen.picked, 3);
  EXPECT_EQ(controlText("combo"), "abc");
  EXPECT_EQ(comboItemCount("combo"), 3);
}

TEST_F(ToolkitTest, FocusedRowChangedFollowsTheFocusedRow) {
  fillGrid(3);
  EXPECT_EQ(seen.rowChanged, 0);
  EXPECT_EQ(gridCurrentRow("grid"), -1);
  gridSetCurrentRow("grid", 0);
  EXPECT_EQ(seen.rowChanged, 1);
  EXPECT_EQ(gridCurrentRow("grid"), 0);
  auto* view = widget<QTableView>("grid");
  view->setFocus();
  QTest::keyClick(view->viewport(), Qt::Key_Down);
  QTest::keyClick(view->viewport(), Qt::Key_Down);
  EXPECT_EQ(seen.rowChanged, 3);
  EXPECT_EQ(gridCurrentRow("grid"), 2);
  // Clicking the focused row again raises nothing; clicking another row does.
  QRect row2 = view->visualRect(view->model()->index(2, 1));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row2.center());
  EXPECT_EQ(seen.rowChanged, 3);
  QRect row0 = view->visualRect(view->model()->index(0, 1));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row0.center());
  EXPECT_EQ(seen.rowChanged, 4);
  // Emptying raises nothing; a new fill raises once.
  fillGrid(2);
  EXPECT_EQ(seen.rowChanged, 4);
  EXPECT_EQ(gridCurrentRow("grid"), -1);
  gridSetCurrentRow("grid", 0);
  EXPECT_EQ(seen.rowChanged, 5);
  EXPECT_EQ(gridCell("grid", 1, 0), "1");
  EXPECT_EQ(gridCell("grid", 2, 0), "");
  EXPECT_EQ(gridCell("grid", 0, 7), "");
}

TEST_F(ToolkitTest, KeyDownComesFirstWithCodeAndModifiers) {
  auto* edit = widget<QLineEdit>("edit");
  edit->setFocus();
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    int code, modifiers;
  } cases[] = {
      {Qt::Key_Return, {}, 13, 0},
      {Qt::Key_Enter, Qt::KeypadModifier, 13, 0},
      {Qt::Key_5, Qt::KeypadModifier, 0x35, 0},  // keypad digits as main-keyboard digits
      {Qt::Key_Minus, Qt::KeypadModifier, 0xBD, 0},
      {Qt::Key_A, Qt::ControlModifier, 0x41, 1},
      {Qt::Key_A, Qt::ShiftModifier, 0x41, 2},
      {Qt::Key_F5, Qt::AltModifier | Qt::ControlModifier, 0x74, 5},
  };
  for (const auto& c : cases) {
    seen.keys.clear();
    seen.modifiers.clear();
    QTest::keyClick(edit, c.key, c.mods);
    // QTest presses the modifier keys first; the key itself comes last.
    ASSERT_FALSE(seen.keys.empty());
    EXPECT_EQ(seen.keys.back(), c.code) << c.key;
    EXPECT_EQ(seen.modifiers.back(), c.modifiers) << c.key;
  }
  // The box sees the key after the handler.
  edit->clear();
  QTest::keyClick(edit, Qt::Key_Q);
  EXPECT_EQ(seen.boxTextAtKeyDown, "");
  EXPECT_EQ(edit->text(), "q");
}

TEST_F(ToolkitTest, IsbnBoxTakesOnlyDigitsAndHyphens) {
  auto* isbn = widget<QLineEdit>("isbn");
  QTest::keyClicks(isbn, "978-7x");
  typeText(isbn, QString::fromUtf8("书X"));
  QTest::keyClicks(isbn, "1");
  EXPECT_EQ(isbn->text(), "978-71");
  QTest::keyClick(isbn, Qt::Key_Backspace);
  EXPECT_EQ(controlText("isbn"), "978-7");
}

TEST_F(ToolkitTest, UntouchedBytesComeBackAsTheyWentIn) {
  const Text bytes = gbk("书名") + "\xFF\x81" + gbk("（续）") + "\x80";
  for (const char* box : {"edit", "multi", "combo"}) {
    setControlText(box, bytes);
    EXPECT_EQ(controlText(box), bytes) << box;
  }
  setControlText("multi", "line 1\r\nline 2\r\n");
  EXPECT_EQ(controlText("multi"), "line 1\r\nline 2\r\n");
  // An edit elsewhere in the text keeps the bytes that are not GBK.
  setControlText("edit", bytes);
  auto* edit = widget<QLineEdit>("edit");
  edit->setFocus();
  edit->end(false);
  QTest::keyClicks(edit, "!");
  EXPECT_EQ(controlText("edit"), bytes + "!");
  // The operator's line breaks keep the CR LF form of the text they were typed into.
  setControlText("multi", "a\r\nb");
  auto* multi = widget<QPlainTextEdit>("multi");
  multi->setFocus();
  multi->moveCursor(QTextCursor::End);
  QTest::keyClick(multi, Qt::Key_Return);
  QTest::keyClicks(multi, "c");
  EXPECT_EQ(controlText("multi"), "a\r\nb\r\nc");
}

TEST_F(ToolkitTest, TypedCharactersGbkCannotHoldAreRefusedWithAMessage) {
  setControlText("edit", gbk("书"));
  int changes = seen.textChanged;
  auto* edit = widget<QLineEdit>("edit");
  edit->setFocus();
  edit->end(false);
  typeText(edit, QString::fromUtf8("한"));
  EXPECT_EQ(controlText("edit"), gbk("书"));
  ASSERT_EQ(seen.messages.size(), 1u);
  EXPECT_EQ(seen.textChanged, changes);
  typeText(edit, QString::fromUtf8("名"));
  EXPECT_EQ(controlText("edit"), gbk("书名"));
}

TEST_F(ToolkitTest, HyperlinkPressRunsTheActionEvenWithoutCaption) {
  QTest::mousePress(widget("link"), Qt::LeftButton, {}, QPoint(5, 6));
  EXPECT_EQ(seen.pressed, 1);
  EXPECT_EQ(eventX(), 5);
  EXPECT_EQ(eventY(), 6);
  QTest::mousePress(widget("link"), Qt::RightButton, {}, QPoint(5, 6));
  EXPECT_EQ(seen.pressed, 1);
}

TEST_F(ToolkitTest, EscapeClosesTheWindowFromAnyControl) {
  for (const char* name : {"multi", "edit", "combo", "grid"}) {
    createWindow(controls(), bindings());
    showWindow();
    auto* w = static_cast<QWidget*>(windowWidget());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    QWidget* target = widget(name);
    if (auto* combo = qobject_cast<QComboBox*>(target)) target = combo->lineEdit();
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible()) << name;
  }
}

TEST_F(ToolkitTest, WindowIsFixedAndHasNoMaximiseButton) {
  auto* w = static_cast<QWidget*>(windowWidget());
  EXPECT_EQ(w->minimumSize(), w->maximumSize());
  EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
}

}  // namespace
