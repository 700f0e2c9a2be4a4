#pragma once
// The main window on the test server, with a recorder of the grid's focused-row-changed
// event beside the real detail view, and records made by the tests themselves.
#include <Qt>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/toolkit.h"
#include "support/app_fixture.h"

using Grid = std::vector<std::vector<Text>>;

// The grid as it was each time focused-row-changed was raised.
struct RowEvent {
  int currentRow;
  int rowCount;
  Text did;  // column 1 of the current row
};

class BrowserTest : public AppTest {
 protected:
  void SetUp() override;

  // Real input: a left click on a button, a key pressed in an edit box.
  static void click(const char* button);
  static void pressKey(const char* control, Qt::Key key);

  // Every cell of the grid, row by row.
  static Grid gridContent();
  // The Did column of the grid.
  static std::vector<int> gridDids();
  // Rows as the root connection reads them, NULL as empty Text.
  Grid serverRows(const std::string& sql);
  // What the server itself lists as containing the texts (LOCATE, no LIKE), highest Did
  // first, 100 rows from the offset. An audit state or Did text of nullptr is no condition.
  Grid serverListing(const Text& isbn, const Text* auditState, const Text* did, long offset);

  // 250 records, Did 1 to 250: even Dids wait ("未审核"), odd ones cycle through the other
  // five states; Auditing is NULL for every 50th Did, ISBN for Dids 48, 98, ... 248. ISBNs
  // are 978-7-000NN, or 978-8-000NN for multiples of 5. Every field differs from every
  // other, and the translator is NULL for multiples of 3.
  void insertRecords();
  // A few records for the filters: Dids 12, 112, 120, 21, 1, 2 in the six states in list
  // order with ISBNs 978-7-111 to 978-7-666; Did 3 with NULL Auditing, Did 4 with NULL ISBN;
  // and Dids 301 to 305 "已审核" with the ISBNs 7'5, 7\5, 誠5 (誠 is D5 5C), 75 and
  // ' or '1'='1.
  void insertFilterRecords();

 public:
  static std::vector<RowEvent> rowEvents;

 private:
  std::vector<Binding> bindings_;
};
