#include "editor/cover.h"

#include "browser/grid.h"
#include "platform/desktop.h"
#include "platform/http.h"
#include "platform/toolkit.h"

namespace {
constexpr const char* kPicture = "图片框1";
// The download address: the column the link shows. The next column holds the extraction
// password, which is no address.
constexpr int kDownloadColumn = 10;
}  // namespace

void fetchCoverPicture(const Text& address) {
  // The previous cover goes before the fetch, so a failed one never leaves it on show.
  setPictureBytes(kPicture, {});
  setPictureBytes(kPicture, httpGetBytes(address));
}

void openDownloadLink() {
  openInBrowser(gridCell(kGrid, gridCurrentRow(kGrid), kDownloadColumn));
  setClipboardText(controlText("编辑框10"));
}
