#include "platform/desktop.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

#include "platform/gbk.h"

namespace {
std::function<void(const Text&)> openerSeam;
std::function<void(const Text&)> clipboardSeam;
}  // namespace

void setOpenInBrowserSeam(std::function<void(const Text&)> seam) {
  openerSeam = std::move(seam);
}
void setClipboardSeam(std::function<void(const Text&)> seam) {
  clipboardSeam = std::move(seam);
}

void openInBrowser(const Text& address) {
  if (openerSeam) return openerSeam(address);
  // The address as the operator sees it; the desktop decides what an empty one does.
  QDesktopServices::openUrl(QUrl::fromUserInput(decodeGbk(address)));
}

void setClipboardText(const Text& text) {
  if (clipboardSeam) return clipboardSeam(text);
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(decodeGbk(text));
}
