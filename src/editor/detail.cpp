#include "editor/detail.h"

#include "app/settings.h"
#include "browser/grid.h"
#include "editor/cover.h"
#include "platform/toolkit.h"

namespace {

// The host of the cover-image server, compiled in (an ASCII host name, optionally :port).
constexpr const char CoverHost[] = BOOKAUDIT_COVER_HOST;

struct DetailStep {
  int column;  // grid column of the row layout
  const char* control;
};

// Which grid column goes where, in the order it is copied. The order matters: writing
// 编辑框11 derives the cover address from 编辑框6 at once, so the ISBN must already be in place,
// and nothing after it may overwrite the derived address.
constexpr DetailStep kDetailSteps[] = {
    {1, "编辑框12"},      // Did (hidden): the key of the change statements
    {2, "编辑框14"},      // uploader's QQ
    {3, "编辑框2"},       // book name
    {4, "编辑框3"},       // author
    {5, "编辑框13"},      // translator
    {6, "编辑框4"},       // publication date
    {7, "编辑框5"},       // publisher
    {8, "编辑框6"},       // ISBN
    {9, "编辑框7"},       // introduction
    {10, "编辑框9"},      // download address
    {11, "编辑框10"},     // extraction password
    {12, "编辑框11"},     // stored cover address, replaced by the derived one
    {13, "组合框1"},      // main class (edit part only)
    {14, "组合框2"},      // subclass (edit part only)
    {0, "组合框3"},       // audit state (edit part only)
    {15, "编辑框17"},     // audit date (hidden)
    {10, "超级链接框1"},  // link caption: the download address
};

// The picture comes from the stored cover address, not from the derived one on show.
constexpr int kCoverColumn = 12;

}  // namespace

Text coverAddress(const Text& isbn) {
  return Text("http://") + CoverHost + "/Cover/" + isbn + ".jpg";
}

void showRecordDetails() {
  for (const DetailStep& step : kDetailSteps)
    setControlText(step.control, gridCell(kGrid, gridCurrentRow(kGrid), step.column));
  fetchCoverPicture(gridCell(kGrid, gridCurrentRow(kGrid), kCoverColumn));
}

// Runs on every change of 编辑框11, its own write included; the toolkit raises nothing for a
// write made inside the box's own handler, so one change means one run.
void deriveCoverAddress() {
  setControlText("编辑框11", coverAddress(controlText("编辑框6")));
}
