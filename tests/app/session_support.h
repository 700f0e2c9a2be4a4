#pragma once
// What the session drill, the fault drills and the injection table share: the bytes of the
// whole table, the operator's real input on any control of MainWindow, and a bound on how long
// an action may keep the window.
#include <Qt>
#include <chrono>
#include <functional>
#include <map>
#include <string>

#include "platform/text.h"
#include "support/test_server.h"

// Every row of `book` by Did; a field is its bytes, or nullopt for NULL.
using Table = std::map<int, TestServer::Row>;
Table snapshotBook();

// A row of `book` as the grid shows it: NULL as empty Text.
std::vector<Text> shownRow(const TestServer::Row& row);

// The operator types at the end of an edit box (one- or multi-line) or a combo box's edit
// part, or over its whole text. ASCII comes as keys, other characters from an input method.
void typeAtEnd(const char* control, const char* utf8);
void typeOverAll(const char* control, const char* utf8);
// The operator pastes text over the whole content of a single-line box or a combo's edit part.
void pasteOver(const char* control, const std::u16string& text);
// Empties a box as the operator does: select all, Backspace.
void clearByKeys(const char* control);
// A key pressed in a control, and a left click on a button.
void pressKey(const char* control, Qt::Key key);
void clickButton(const char* button);
// A left click on a row of the result grid, and a key pressed in the grid.
void clickGridRow(int row);
void gridKey(Qt::Key key);

// Runs the action. An action that has not returned after `limit` is reported by name and the
// test program is aborted: a hung window would otherwise stall the whole suite.
void withinBound(const std::string& what, std::chrono::seconds limit,
                 const std::function<void()>& action);
