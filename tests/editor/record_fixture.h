#pragma once
// Records of `book` for the editor's tests: put into the table through the test server's root
// connection (raw bytes), and shown in the grid cell by cell, so the detail view can be driven
// without the search.
#include <array>
#include <string>
#include <vector>

#include "platform/text.h"
#include "support/app_fixture.h"

// The columns of `book` in row-layout order, which is also the grid's column order.
inline constexpr const char* kColumns[16] = {
    "Auditing",    "Did",        "QQ",         "BookName",     "Author",   "Translation",
    "PublishTime", "Publishing", "ISBN",       "Introduction", "Download", "PassWord",
    "Cover",       "BigClass",   "SmallClass", "Date"};

enum Column {
  kAuditing,
  kDid,
  kQQ,
  kBookName,
  kAuthor,
  kTranslation,
  kPublishTime,
  kPublishing,
  kIsbn,
  kIntroduction,
  kDownload,
  kPassWord,
  kCover,
  kBigClass,
  kSmallClass,
  kDate
};

// One row of `book` as the GBK bytes of its 16 fields; Did in decimal.
using Record = std::array<Text, 16>;

// A record whose fields all differ from each other, so a field that lands in the wrong place
// shows up.
Record sampleRecord(int did);

// Inserts the record with its exact bytes.
void insertRecord(const Record& r);
// The stored row, NULL read as empty; all empty when there is no such row.
Record storedRecord(const std::string& did);
bool recordExists(const std::string& did);

// Replaces the grid's content by the records, then makes `current` the current row, which
// runs the detail view.
void showInGrid(const std::vector<Record>& records, int current = 0);

// The operator picks item `index` from a combo box's list. The combo box is given the index
// and then reports it as activated, which is what QComboBox itself does when an item of the
// dropped list is chosen.
void pickItem(const char* combo, int index);
void pickItem(const char* combo, const Text& item);

// The operator types at the end of a single-line edit box or a combo box's edit part
// (typeInto), or over its whole text (typeOver).
void typeInto(const char* control, const char* utf8);
void typeOver(const char* control, const char* utf8);
// Clicks a button.
void click(const char* button);
