// bookaudit-bench [OPTIONS]: the cost of the program against the raw client, on a million
// records. Starts a throwaway MariaDB server
// (scripts/dbserver.sh), fills `book` from bench/fill.sql, serves a cover with
// bookaudit-coverserver, then measures each figure beside its reference in the same run, the
// two taking turns, and prints medians.
//
//   --keep DIR      keep the server's folder in DIR and reuse its records on the next run
//   --quick         a few repetitions of each figure, to try the benchmark out
//   --runs N        N repetitions of each timed figure (under perf, say)
//   --only FIGURES  some of: startup,search,page,switch,cover,memory (comma-separated)
//   --samples       print every timed run, not only the medians
//   --pixmap-cache-kib K  an experiment, not the program as built: Qt's pixmap cache limited to
//                   K KiB in the program's processes (see bench/README.md)
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QPixmapCache>
#include <QTest>
#include <QWidget>
#include <QtGlobal>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/window_definition.h"
#include "browser/grid.h"
#include "browser/paging.h"
#include "browser/search.h"
#include "cover_raw.h"
#include "db/db.h"
#include "editor/cover.h"
#include "measure.h"
#include "platform/toolkit.h"

extern char** environ;

namespace {

constexpr long long kRecords = 1000000;
constexpr int kDeepPage = 5000;
// Enough for the whole table (about 3.3 GB of rows), so that the deep page and the start-up
// probe measure the server's work and not the disk; a bigger redo log makes the fill quick.
constexpr const char* kBufferPool = "4294967296";
constexpr const char* kRedoLog = "1073741824";

// --- processes ---------------------------------------------------------------------------------

struct Child {
  pid_t pid = -1;
  int out = -1;  // its standard output
};

Child spawn(const std::vector<std::string>& args) {
  // Close-on-exec: a child gets its own pipe as standard output and no other child's.
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  Child c;
  if (posix_spawn(&c.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) c.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (c.pid < 0) {
    close(pipeFds[0]);
    return {};
  }
  c.out = pipeFds[0];
  return c;
}

std::string readLine(int fd) {
  std::string line;
  char ch;
  while (read(fd, &ch, 1) == 1 && ch != '\n') line += ch;
  return line;
}

// Runs a child to its end; its output, or nothing when it failed.
std::string runChild(const std::vector<std::string>& args) {
  Child c = spawn(args);
  if (c.pid < 0) return {};
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = read(c.out, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  close(c.out);
  int status = 0;
  waitpid(c.pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed (status %d)\n", args[0].c_str(), status);
    return {};
  }
  return out;
}

// "a=1 b=2" to {a: 1, b: 2}.
std::map<std::string, double> fields(const std::string& line) {
  std::map<std::string, double> out;
  std::istringstream in(line);
  std::string word;
  while (in >> word) {
    const size_t eq = word.find('=');
    if (eq != std::string::npos) out[word.substr(0, eq)] = std::atof(word.c_str() + eq + 1);
  }
  return out;
}

std::string shell(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  if (pclose(p) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
  return out;
}

std::string shellQuoted(const std::string& s) {
  return "'" + s + "'";
}

// --- what the run owns, released at exit and on Ctrl-C -------------------------------------------

std::string workDir;    // temporary folder of this run
std::string serverDir;  // the database server's folder
bool keepServerDir = false;
pid_t coverServer = -1;
MYSQL* root = nullptr;

void cleanup() {
  if (root) mysql_close(root), root = nullptr;
  if (coverServer > 0) {
    kill(coverServer, SIGTERM);
    waitpid(coverServer, nullptr, 0);
    coverServer = -1;
  }
  if (!serverDir.empty()) {
    shell(shellQuoted(BENCH_SOURCE_DIR "/scripts/dbserver.sh") + " stop " + shellQuoted(serverDir));
    if (!keepServerDir) shell("rm -rf " + shellQuoted(serverDir));
    serverDir.clear();
  }
  if (!workDir.empty()) shell("rm -rf " + shellQuoted(workDir)), workDir.clear();
}

void onSignal(int) {
  cleanup();
  _exit(130);
}

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "bookaudit-bench: %s\n", what.c_str());
  cleanup();
  std::exit(1);
}

// --- the database ------------------------------------------------------------------------------

bool rootQuery(const std::string& sql) {
  if (mysql_real_query(root, sql.data(), sql.size()) != 0) {
    std::fprintf(stderr, "root: %s: %s\n", sql.c_str(), mysql_error(root));
    return false;
  }
  if (MYSQL_RES* r = mysql_store_result(root)) mysql_free_result(r);
  return true;
}

std::string rootValue(const std::string& sql) {
  if (mysql_real_query(root, sql.data(), sql.size()) != 0) return {};
  MYSQL_RES* r = mysql_store_result(root);
  if (!r) return {};
  MYSQL_ROW row = mysql_fetch_row(r);
  std::string v = row && row[0] ? row[0] : "";
  mysql_free_result(r);
  return v;
}

void startDatabase() {
  const std::string out = shell(shellQuoted(BENCH_SOURCE_DIR "/scripts/dbserver.sh") + " start " +
                                shellQuoted(serverDir));
  const size_t last = out.find_last_not_of("\n");
  const size_t lineStart = out.rfind('\n', last);
  const int port = std::atoi(out.c_str() + (lineStart == std::string::npos ? 0 : lineStart + 1));
  if (port <= 0) fail("the database server did not start");
  // Before the client library initialises: it reads the port once (the program's connections
  // and the children's take it from here).
  setenv("MYSQL_TCP_PORT", std::to_string(port).c_str(), 1);

  root = mysql_init(nullptr);
  mysql_options(root, MYSQL_SET_CHARSET_NAME, "binary");
  // The server's administrator is the operating-system user who started it (socket login).
  const char* user = geteuid() == 0 ? "root" : std::getenv("USER");
  if (!mysql_real_connect(root, "localhost", user, nullptr, BOOKAUDIT_DB_NAME, 0,
                          (serverDir + "/sock").c_str(), 0))
    fail(std::string("root connection: ") + mysql_error(root));
  // A production server keeps no log of every statement.
  rootQuery("SET GLOBAL general_log = 0");
  rootQuery(std::string("SET GLOBAL innodb_buffer_pool_size = ") + kBufferPool);
  for (int i = 0; i < 600; ++i) {
    if (rootValue("SELECT @@innodb_buffer_pool_size") == kBufferPool) break;
    usleep(100000);
  }
}

void fillDatabase() {
  const std::string count = rootValue("SELECT COUNT(*) FROM book");
  if (count == std::to_string(kRecords)) {
    std::printf("book: %lld records kept from an earlier run\n", kRecords);
    return;
  }
  rootQuery(std::string("SET GLOBAL innodb_log_file_size = ") + kRedoLog);
  rootQuery("TRUNCATE TABLE book");
  std::printf("filling book with %lld records ...\n", kRecords);
  std::fflush(stdout);
  const auto t0 = std::chrono::steady_clock::now();
  shell(shellQuoted(BENCH_SOURCE_DIR "/scripts/dbserver.sh") + " sql " + shellQuoted(serverDir) +
        " < " + shellQuoted(BENCH_SOURCE_DIR "/bench/fill.sql"));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (rootValue("SELECT COUNT(*) FROM book") != std::to_string(kRecords))
    fail("the fill did not make " + std::to_string(kRecords) + " records");
  std::printf("book: %lld records in %.0f s, %s MB of rows\n", kRecords, seconds,
              rootValue("SELECT data_length DIV 1048576 FROM information_schema.tables "
                        "WHERE table_name = 'book'")
                  .c_str());
}

// --- the cover server --------------------------------------------------------------------------

std::string startCoverServer(const std::string& jpeg) {
  const std::string dir = workDir + "/covers";
  mkdir(dir.c_str(), 0755);
  mkdir((dir + "/Cover").c_str(), 0755);
  std::ofstream(dir + "/Cover/bench.jpg", std::ios::binary) << jpeg;
  Child c = spawn({BENCH_COVERSERVER, dir, "0"});
  if (c.pid < 0) fail("the cover server did not start");
  coverServer = c.pid;
  // "serving DIR at http://127.0.0.1:PORT/"
  const std::string line = readLine(c.out);
  close(c.out);
  const size_t at = line.rfind("http://");
  if (at == std::string::npos) fail("the cover server said: " + line);
  std::string base = line.substr(at);
  if (!base.empty() && base.back() == '/') base.pop_back();
  return base + "/Cover/bench.jpg";
}

// --- measuring ---------------------------------------------------------------------------------

double msSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Lets the message loop handle what an action left behind (repaints, deferred deletes), outside
// the timed part, as the window's loop does between two actions of the operator.
void settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }
}

// Before every timed run, of the program or of the raw client: the message loop's leftovers
// handled, then a short pause, as between two clicks of an operator. Both start from the same
// state: on an idle machine (a virtual one above all) the first query after a pause pays for
// waking the server's thread, and a run right after another would not.
void rest() {
  settle();
  usleep(3000);
}

struct Pairs {
  std::vector<double> app, raw;
};
bool printSamples = false;

void showSamples(const char* what, const std::vector<double>& values) {
  if (!printSamples) return;
  std::printf("    %s:", what);
  for (double v : values) std::printf(" %.3g", v);
  std::printf("\n");
}

// n runs of each, taking turns (and changing who goes first), after `warm` untimed runs of each.
Pairs measurePairs(int n, int warm, const std::function<double()>& app,
                   const std::function<double()>& raw) {
  for (int i = 0; i < warm; ++i) rest(), app(), rest(), raw();
  Pairs p;
  for (int i = 0; i < n; ++i) {
    const bool appFirst = i % 2 == 0;
    rest();
    (appFirst ? p.app : p.raw).push_back(appFirst ? app() : raw());
    rest();
    (appFirst ? p.raw : p.app).push_back(appFirst ? raw() : app());
  }
  showSamples("bookaudit", p.app);
  showSamples("raw", p.raw);
  return p;
}

// One figure: the program's median beside the raw client's (raw 0: an absolute figure), and its
// limit: a ratio to raw, or an absolute ceiling in the figure's unit (0: no target).
struct Row {
  std::string figure;
  double app = 0, raw = 0;
  std::string unit;
  double limit = 0;
  int runs = 0;
};
bool allMet = true;

void report(const Row& r) {
  std::string target, verdict;
  char buf[64];
  if (r.limit > 0) {
    const bool met = r.raw > 0 ? r.app <= r.limit * r.raw : r.app < r.limit;
    std::snprintf(buf, sizeof buf, r.raw > 0 ? "<= %.1fx" : "< %g %s", r.limit, r.unit.c_str());
    target = buf;
    verdict = met ? "met" : "MISSED";
    allMet = allMet && met;
  }
  std::string rawText, ratio;
  if (r.raw > 0) {
    std::snprintf(buf, sizeof buf, "%9.2f %s", r.raw, r.unit.c_str());
    rawText = buf;
    std::snprintf(buf, sizeof buf, "%.2fx", r.app / r.raw);
    ratio = buf;
  }
  std::printf("  %-46s %9.2f %-3s %13s %6s  %-9s %-6s n=%d\n", r.figure.c_str(), r.app,
              r.unit.c_str(), rawText.c_str(), ratio.c_str(), target.c_str(), verdict.c_str(),
              r.runs);
  std::fflush(stdout);
}

std::string firstLine(const std::string& path, const std::string& key) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line))
    if (key.empty() || line.rfind(key, 0) == 0) return line;
  return {};
}

std::string loadAverage() {
  std::string l = firstLine("/proc/loadavg", "");
  // "0.52 0.58 0.59 1/123 4567": the three averages
  size_t cut = 0;
  for (int i = 0; i < 3 && cut != std::string::npos; ++i) cut = l.find(' ', cut + 1);
  return l.substr(0, cut);
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  int runs = 0;
  std::string keep, only, pixmapCache;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--quick")) {
      quick = true;
    } else if (!std::strcmp(argv[i], "--keep") && i + 1 < argc) {
      keep = argv[++i];
    } else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
      runs = std::atoi(argv[++i]);
    } else if (!std::strcmp(argv[i], "--only") && i + 1 < argc) {
      only = "," + std::string(argv[++i]) + ",";
    } else if (!std::strcmp(argv[i], "--samples")) {
      printSamples = true;
    } else if (!std::strcmp(argv[i], "--pixmap-cache-kib") && i + 1 < argc) {
      pixmapCache = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: %s [--keep DIR] [--quick] [--runs N] [--only FIGURES] [--samples] "
                   "[--pixmap-cache-kib K]\n",
                   argv[0]);
      return 2;
    }
  }
  auto wanted = [&](const char* figure) {
    return only.empty() || only.find("," + std::string(figure) + ",") != std::string::npos;
  };
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);

  char tmpl[] = "/tmp/bookaudit-bench.XXXXXX";
  if (!mkdtemp(tmpl)) fail("no temporary folder");
  workDir = tmpl;
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    // Qt wants one (and complains without it); the run's own will do.
    const std::string runtime = workDir + "/runtime";
    mkdir(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  }
  keepServerDir = !keep.empty();
  if (keepServerDir) {
    shell("mkdir -p " + shellQuoted(keep));
    serverDir = shell("cd " + shellQuoted(keep) + " && pwd");
    while (!serverDir.empty() && serverDir.back() == '\n') serverDir.pop_back();
  } else {
    serverDir = workDir + "/db";
  }

  utsname u{};
  uname(&u);
  const std::string cpu = firstLine("/proc/cpuinfo", "model name");
  std::printf("machine: %s, %ld cores, %s %s; load average %s\n",
              cpu.substr(cpu.find(':') + 2).c_str(), sysconf(_SC_NPROCESSORS_ONLN), u.sysname,
              u.release, loadAverage().c_str());

  startDatabase();
  fillDatabase();
  std::printf("server: MariaDB %s, buffer pool %s MiB; Qt %s (%s platform); build %s\n",
              rootValue("SELECT VERSION()").c_str(),
              std::to_string(std::atoll(kBufferPool) >> 20).c_str(), qVersion(),
              std::getenv("QT_QPA_PLATFORM"), BENCH_BUILD_TYPE);
  // The whole table into the buffer pool, as on a server that has been up for a while.
  rootValue("SELECT COUNT(*), SUM(LENGTH(Introduction)) FROM book");

  const std::string jpeg = makeCoverJpeg();
  const std::string coverUrl = startCoverServer(jpeg);

  const int startupRuns = runs ? runs : quick ? 3 : 11;
  const int searchRuns = runs ? runs : quick ? 11 : 101;
  const int deepRuns = runs ? runs : quick ? 3 : 15;
  const int switchRuns = runs ? runs : quick ? 198 : 990;
  const int coverRuns = runs ? runs : quick ? 11 : 51;
  const int memoryRuns = quick ? 1 : 3;

  QApplication app(argc, argv);
  if (!pixmapCache.empty()) {
    QPixmapCache::setCacheLimit(std::atoi(pixmapCache.c_str()));
    std::printf("experiment: pixmap cache limited to %s KiB\n", pixmapCache.c_str());
  }
  createMainWindow();
  setMessageBoxSeam([](const Text& text, int, const Text&) {
    std::fprintf(stderr, "message box: %s\n", text.c_str());
    return static_cast<int>(IdOk);
  });
  // The program's start-up, here only to reach its state: connection, first search.
  raiseCreated();
  showWindow();
  settle();
  if (DbHandle == 0 || gridRowCount(kGrid) != 100) fail("the program's start-up found no records");
  const Text search = searchStatement();
  currentPage = kDeepPage;
  const Text deepPage = pageStatement();
  currentPage = 0;

  RawClient raw;
  if (!raw.connect()) fail("the raw client could not connect");

  std::printf("\n  %-46s %13s %13s %6s  %-9s %-6s\n", "figure (median of n)", "bookaudit",
              "raw client", "ratio", "target", "");

  double probeMiB = 0;
  // Start-up: process start to window shown, against process start to the last field read.
  if (wanted("startup")) {
    std::vector<double> appMs, rawMs;
    double probeHeap = 0;
    auto appRun = [&] {
      const int64_t t0 = monotonicNs();
      const auto f = fields(runChild({BENCH_APP, "startup"}));
      if (!f.count("shown")) fail("bookaudit-bench-app startup failed");
      return (f.at("shown") - double(t0)) / 1e6;
    };
    auto rawRun = [&] {
      const int64_t t0 = monotonicNs();
      const auto f = fields(runChild({BENCH_RAWSTART, search}));
      if (!f.count("done") || f.at("rows") != 100) fail("bookaudit-bench-rawstart failed");
      probeHeap = f.at("probe_heap");
      return (f.at("done") - double(t0)) / 1e6;
    };
    const Pairs p = measurePairs(startupRuns, 1, appRun, rawRun);
    report({"start-up, 1,000,000 records", median(p.app), median(p.raw), "ms", 1.3, startupRuns});
    probeMiB = probeHeap / 1048576.0;
  }

  // runSearch end to end: statement, grid fill of 100 rows, detail view (no cover).
  if (wanted("search")) {
    auto appRun = [&] {
      const auto t0 = std::chrono::steady_clock::now();
      runSearch();
      const double ms = msSince(t0);
      if (gridRowCount(kGrid) != 100) fail("runSearch listed no records");
      return ms;
    };
    auto rawRun = [&] {
      const auto t0 = std::chrono::steady_clock::now();
      if (raw.run(search) != 100) fail("the raw search failed");
      return msSince(t0);
    };
    const Pairs p = measurePairs(searchRuns, 5, appRun, rawRun);
    report({"runSearch (100 rows, detail view, no cover)", median(p.app), median(p.raw), "ms", 1.2,
            searchRuns});
  }

  // The next-page action deep in the table: from page 4,999 to page 5,000.
  if (wanted("page")) {
    auto appRun = [&] {
      currentPage = kDeepPage - 1;
      const auto t0 = std::chrono::steady_clock::now();
      showNextPage();
      const double ms = msSince(t0);
      if (currentPage != kDeepPage || gridRowCount(kGrid) != 100) fail("the deep page is empty");
      return ms;
    };
    auto rawRun = [&] {
      const auto t0 = std::chrono::steady_clock::now();
      if (raw.run(deepPage) != 100) fail("the raw deep page failed");
      return msSince(t0);
    };
    const Pairs p = measurePairs(deepRuns, 1, appRun, rawRun);
    report({"next page to page 5,000", median(p.app), median(p.raw), "ms", 1.2, deepRuns});
  }

  // A row switch: an arrow key in the grid, which shows the next record (no cover).
  if (wanted("switch")) {
    runSearch();
    settle();
    auto* grid = static_cast<QWidget*>(controlWidget(kGrid));
    grid->setFocus();
    std::vector<double> ms;
    for (int i = 0; i < switchRuns + 20; ++i) {
      const Qt::Key k = (i / 99) % 2 ? Qt::Key_Up : Qt::Key_Down;
      const int before = gridCurrentRow(kGrid);
      rest();
      const auto t0 = std::chrono::steady_clock::now();
      QTest::keyClick(grid, k);
      const double dt = msSince(t0);
      if (gridCurrentRow(kGrid) == before) fail("the arrow key moved no row");
      if (i >= 20) ms.push_back(dt);  // the first 20 warm up
    }
    showSamples("bookaudit", ms);
    report({"row switch (arrow key, detail view, no cover)", median(ms), 0, "ms", 1.0, switchRuns});
  }

  // fetchCoverPicture of a 600 x 800 JPEG, against a libcurl fetch and libjpeg decode.
  if (wanted("cover")) {
    RawFetcher fetcher;
    auto appRun = [&] {
      const auto t0 = std::chrono::steady_clock::now();
      fetchCoverPicture(coverUrl);
      const double ms = msSince(t0);
      if (!pictureShown("图片框1")) fail("fetchCoverPicture showed no picture");
      return ms;
    };
    auto rawRun = [&] {
      const auto t0 = std::chrono::steady_clock::now();
      const DecodedPicture picture = decodeJpeg(fetcher.get(coverUrl));
      const double ms = msSince(t0);
      if (picture.width != 600 || picture.height != 800) fail("the raw cover fetch failed");
      return ms;
    };
    const Pairs p = measurePairs(coverRuns, 3, appRun, rawRun);
    report({"fetchCoverPicture, 600x800 JPEG (" + std::to_string(jpeg.size() / 1024) + " KiB)",
            median(p.app), median(p.raw), "ms", 1.3, coverRuns});
  }

  // Memory of the program itself: after start-up, and over 1,000 page actions and 1,000 row
  // switches (each run a fresh program).
  if (wanted("memory")) {
    std::vector<double> rss0, hwm0, growFirst, grow1, grow2, heap0, heapGrow;
    std::vector<std::string> args = {BENCH_APP, "memory"};
    if (!pixmapCache.empty()) args.insert(args.end(), {"--pixmap-cache-kib", pixmapCache});
    for (int i = 0; i < memoryRuns; ++i) {
      const auto f = fields(runChild(args));
      if (!f.count("rss2") || f.at("rows") != 100) fail("bookaudit-bench-app memory failed");
      rss0.push_back(f.at("rss0") / 1024);
      hwm0.push_back(f.at("hwm0") / 1024);
      heap0.push_back(f.at("heap0") / 1048576);
      growFirst.push_back((f.at("rss_first10") - f.at("rss0")) / 1024);
      grow1.push_back((f.at("rss1") - f.at("rss0")) / 1024);
      grow2.push_back((f.at("rss2") - f.at("rss1")) / 1024);
      heapGrow.push_back((f.at("heap2") - f.at("heap0")) / 1048576);
    }
    report({"resident memory after start-up", median(rss0), 0, "MiB", 0, memoryRuns});
    report({"  peak during start-up", median(hwm0), 0, "MiB", 0, memoryRuns});
    report({"  heap in use after start-up", median(heap0), 0, "MiB", 0, memoryRuns});
    report({"growth over 1,000 page actions", median(grow1), 0, "MiB", 0, memoryRuns});
    report({"  of which over the first 10", median(growFirst), 0, "MiB", 0, memoryRuns});
    report({"growth over 1,000 row switches", median(grow2), 0, "MiB", 0, memoryRuns});
    std::vector<double> total;
    for (size_t i = 0; i < grow1.size(); ++i) total.push_back(grow1[i] + grow2[i]);
    report({"growth over the 2,000 actions", median(total), 0, "MiB", 1.0, memoryRuns});
    report({"  heap growth over the 2,000 actions", median(heapGrow), 0, "MiB", 0, memoryRuns});
    if (probeMiB == 0) {
      const auto f = fields(runChild({BENCH_RAWSTART, search}));
      probeMiB = f.count("probe_heap") ? f.at("probe_heap") / 1048576 : 0;
    }
    // Held to the end, the probe's rows would stay in the heap after start-up.
    const bool released = median(heap0) < probeMiB;
    allMet = allMet && released;
    std::printf("  %-46s %9.2f MiB %13s %6s  %-9s %s\n", "start-up probe's rows (raw client holds)",
                probeMiB, "", "", "released", released ? "met" : "MISSED");
  }

  std::printf("\n%s; load average at the end: %s\n", allMet ? "every target met" : "targets MISSED",
              loadAverage().c_str());
  destroyWindow();
  cleanup();
  return 0;
}
