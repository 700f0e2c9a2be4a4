#pragma once
#include <vector>

#include "db/db.h"

// A header set: for columns 0, 1, ... a title (UTF-8 literal) and a width in pixels.
struct HeaderEntry {
  const char* title;
  int width;
};
using HeaderSet = std::vector<HeaderEntry>;

// The search's titles, 16 entries following the row layout.
extern const HeaderSet searchHeaders;
// The previous- and next-page titles: 15 entries, so column 15 stays untitled at width 50.
extern const HeaderSet pageHeaders;
// The first-page titles: 16 entries following the row layout.
extern const HeaderSet firstPageHeaders;

// The result grid's control name.
inline constexpr const char* kGrid = "超级列表框1";

// Replaces the grid's content by the rows of the result, titled and sized by the header set,
// then makes row 0 current (which shows it in the detail view). Releases the result.
void fillGrid(ResultHandle result, const HeaderSet& headers);
