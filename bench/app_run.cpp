// bookaudit-bench-app startup|memory [--actions N] [--pixmap-cache-kib K]: the program as
// main.cpp runs it (runProgram's steps: the same window, start-up and message loop), with a
// watch on the window's show event.
//
//   startup  prints "shown=<CLOCK_MONOTONIC ns>" when the window is shown, then closes it.
//   memory   once the shown window has been drawn, reads the resident set, clicks the page
//            buttons N times (1,000) and moves through the grid with the arrow keys N times,
//            letting the message loop run after each action as it does for an operator, and
//            prints the readings (KiB; heap in bytes). Then closes the window.
//   --pixmap-cache-kib K  an experiment, not the program: Qt's pixmap cache limited to K KiB
#include <QApplication>
#include <QEvent>
#include <QPixmapCache>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/window_definition.h"
#include "browser/grid.h"
#include "measure.h"
#include "platform/toolkit.h"

namespace {

bool memoryMode = false;
int actions = 1000;

// Lets the message loop handle what an action left behind (repaints, deferred deletes).
void settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }
}

void click(const char* control) {
  QTest::mouseClick(static_cast<QWidget*>(controlWidget(control)), Qt::LeftButton);
  settle();
}

void memoryRun() {
  settle();
  const long rss0 = residentKiB();
  const long hwm0 = peakResidentKiB();
  const long long heap0 = heapInUse();

  // Page actions near the top of the table: next, next, previous, first, and again.
  const char* cycle[] = {"下一页", "下一页", "上一页", "首页"};
  long rssFirst = rss0;
  for (int i = 0; i < actions; ++i) {
    click(cycle[i % 4]);
    if (i == 9) rssFirst = residentKiB();
  }
  const long rss1 = residentKiB();
  const long long heap1 = heapInUse();
  const int rows = gridRowCount(kGrid);
  if (rows < 2) {
    std::fprintf(stderr, "the page holds %d rows\n", rows);
    std::exit(1);
  }

  // Row switches: down the rows of the page and up again.
  auto* grid = static_cast<QWidget*>(controlWidget(kGrid));
  grid->setFocus();
  for (int i = 0; i < actions; ++i) {
    QTest::keyClick(grid, (i / (rows - 1)) % 2 ? Qt::Key_Up : Qt::Key_Down);
    settle();
  }
  const long rss2 = residentKiB();
  const long long heap2 = heapInUse();

  std::printf(
      "rss0=%ld hwm0=%ld heap0=%lld rss_first10=%ld rss1=%ld heap1=%lld rss2=%ld "
      "heap2=%lld rows=%d\n",
      rss0, hwm0, heap0, rssFirst, rss1, heap1, rss2, heap2, rows);
  std::fflush(stdout);
  closeWindow();
}

class ShowWatch : public QObject {
 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Show && !seen_) {
      seen_ = true;
      if (memoryMode) {
        QTimer::singleShot(0, memoryRun);
      } else {
        std::printf("shown=%" PRId64 "\n", monotonicNs());
        std::fflush(stdout);
        QTimer::singleShot(0, [] { closeWindow(); });
      }
    }
    return QObject::eventFilter(o, e);
  }

 private:
  bool seen_ = false;
};

[[noreturn]] void usage(const char* program) {
  std::fprintf(stderr, "usage: %s startup|memory [--actions N] [--pixmap-cache-kib K]\n", program);
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || (std::strcmp(argv[1], "startup") && std::strcmp(argv[1], "memory")))
    usage(argv[0]);
  memoryMode = !std::strcmp(argv[1], "memory");
  int pixmapCacheKiB = -1;
  for (int i = 2; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--actions") && i + 1 < argc && std::atoi(argv[i + 1]) > 0)
      actions = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--pixmap-cache-kib") && i + 1 < argc)
      pixmapCacheKiB = std::atoi(argv[++i]);
    else
      usage(argv[0]);
  }
  // runProgram, with the watch put on the window before its message loop starts.
  QApplication app(argc, argv);
  if (pixmapCacheKiB >= 0) QPixmapCache::setCacheLimit(pixmapCacheKiB);
  createMainWindow();
  ShowWatch watch;
  static_cast<QWidget*>(windowWidget())->installEventFilter(&watch);
  return runWindow();
}
