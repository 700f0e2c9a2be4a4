#pragma once
// The window toolkit: one fixed window of named controls over Qt Widgets. Actions use only
// these functions, never Qt, so the event rules below live here and nowhere else:
//
// - Writing an edit box's text raises its text-changed event once, at once, also when the
//   text is unchanged; a write made while that box's own text-changed handler runs raises
//   nothing (this ends a handler's chain through its own write).
// - Writing a combo box's edit part raises nothing and leaves its list and current item
//   alone. item-picked comes only from the operator's pick, after it has taken effect.
//   Selecting an item by index shows its text and raises nothing.
// - focused-row-changed is raised when a grid row becomes the focused row, by the operator or
//   by gridSetCurrentRow, never while the grid is emptied, and not for the focused row
//   clicked again.
// - key-down of an edit box is raised before the box sees the key; the key still reaches it.
// - left-button-pressed of a hyperlink is raised before the link handles the press.
// - No event is raised while the window is being created.
//
// Controls hold Text (GBK bytes) and show it decoded. Bytes the operator did not edit are
// read back unchanged, even bytes that are not GBK; what the operator types is encoded to
// GBK, and a typed character that GBK cannot hold is refused with a message.
#include <functional>
#include <string>
#include <vector>

#include "platform/text.h"

enum class ControlKind { EditBox, Label, Button, ComboBox, Grid, Hyperlink, PictureBox };

enum ControlStyle : unsigned {
  StyleNone = 0,
  Hidden = 1u << 0,
  MultiLine = 1u << 1,        // several lines, vertical scroll bar, wrapped; Enter breaks lines
  DigitsAndHyphen = 1u << 2,  // typed printable characters other than 0-9 and "-" are ignored
  BlueText = 1u << 3,
  RedText = 1u << 4,
  BoldFont = 1u << 5,          // default face, weight 700, 16 px character height
  FirstItemCurrent = 1u << 6,  // the combo list starts with item 0 current (edit part unchanged)
};

// One row of a window definition. Names and initial texts are UTF-8 literals of the source.
struct ControlDef {
  ControlKind kind;
  const char* name;
  int left, top, width, height;
  const char* text;  // initial content: the edit part of a combo box, a caption, a text
  unsigned style;
  const std::vector<Text>* (*items)();  // combo box list, or nullptr
};

enum class Event {
  Created,
  Clicked,
  KeyDown,
  TextChanged,
  ItemPicked,
  FocusedRowChanged,
  LeftButtonPressed
};

using Action = void (*)();

// One row of a binding table: the action that an event of a control starts. A key-down
// binding with keyCode >= 0 runs only for that key code. The window itself is "MainWindow".
struct Binding {
  const char* control;
  Event event;
  Action action;
  int keyCode = -1;
};

// Creates the window (invisible, centred, fixed outer size 900 x 695) and its controls in
// tab order, then applies the bindings. Replaces any earlier window (tests make several).
void createWindow(const std::vector<ControlDef>& controls, const std::vector<Binding>& bindings);
void destroyWindow();
// Raises the created event, shows the window and runs the message loop until it is closed.
// Returns the exit code 0.
int runWindow();
// Raises the created event alone (tests drive start-up without a message loop).
void raiseCreated();
void showWindow();
bool windowVisible();
void closeWindow();

// The window caption.
Text windowCaption();
void setWindowCaption(const Text& caption);

// Edit boxes, combo boxes (the edit part), labels, buttons and the hyperlink (the caption).
Text controlText(const char* control);
void setControlText(const char* control, const Text& text);

void setControlEnabled(const char* control, bool enabled);
bool controlEnabled(const char* control);
bool controlVisible(const char* control);

// Combo box lists.
int comboItemCount(const char* control);
Text comboItem(const char* control, int index);
void comboDeleteItem(const char* control, int index);
void comboAppendItem(const char* control, const Text& item);
void comboSelectItem(const char* control, int index);  // shows the item; raises nothing
int comboCurrentIndex(const char* control);

// The picture box: bytes of a picture file (format recognised by its first bytes); empty
// bytes clear it, and bytes that are no picture leave it empty.
void setPictureBytes(const char* control, const std::string& bytes);
bool pictureShown(const char* control);
int pictureFrameCount(const char* control);

// The report-style grid.
void gridRemoveAllRows(const char* grid);
void gridRemoveAllColumns(const char* grid);
void gridAddColumn(const char* grid, const Text& title, int width);
void gridSetColumn(const char* grid, int column, const Text& title, int width);
int gridColumnCount(const char* grid);
Text gridColumnTitle(const char* grid, int column);
int gridColumnWidth(const char* grid, int column);
// Changes made between these two reach the grid's view in one go, at the end (a fill of many
// rows); the grid raises no event meanwhile.
void gridBeginFill(const char* grid);
void gridEndFill(const char* grid);
// Appends a row of empty cells, neither selected nor focused; returns its index.
int gridAppendRow(const char* grid);
int gridRowCount(const char* grid);
void gridSetCell(const char* grid, int row, int column, const Text& text);
// The Text of a cell; empty when the row or the column does not exist.
Text gridCell(const char* grid, int row, int column);
// The first selected row, or -1.
int gridCurrentRow(const char* grid);
// Selects the row and gives it the focus; raises focused-row-changed when it becomes the
// focused row.
void gridSetCurrentRow(const char* grid, int row);

// The arguments of the event being handled.
int eventKeyCode();    // key-down: virtual-key code (keypad digits as main-keyboard digits)
int eventModifiers();  // key-down, left-button-pressed: 1 Ctrl, 2 Shift, 4 Alt, added
int eventX();          // left-button-pressed: position in the control
int eventY();

// The control skin: flat frames on edit boxes, combo boxes and buttons (schemes 1 to 3).
void switchOnSkin(int scheme);

// The modal message box. Buttons: 0 OK, 1 OK/Cancel, 2 Abort/Retry/Ignore, 3 Yes/No/Cancel,
// 4 Yes/No, 5 Retry/Cancel. Answers: OK 0, Cancel 1, Abort 2, Retry 3, Ignore 4, Yes 5, No 6.
// Modal to the whole program, owned by no window; the default title is "信息：".
enum MessageButtons {
  MbOk = 0,
  MbOkCancel = 1,
  MbAbortRetryIgnore = 2,
  MbYesNoCancel = 3,
  MbYesNo = 4,
  MbRetryCancel = 5
};
enum MessageAnswer {
  IdOk = 0,
  IdCancel = 1,
  IdAbort = 2,
  IdRetry = 3,
  IdIgnore = 4,
  IdYes = 5,
  IdNo = 6
};
int messageBox(const Text& text, int buttons = MbOk);
int messageBox(const Text& text, int buttons, const Text& title);

// Tests answer message boxes through this seam instead of the real box; nullptr restores it.
using MessageBoxSeam = std::function<int(const Text& text, int buttons, const Text& title)>;
void setMessageBoxSeam(MessageBoxSeam seam);

// Direct access for tests and the screenshot tool: the widget of a control (a QWidget*),
// and the window (nullptr when none).
void* controlWidget(const char* control);
void* windowWidget();
