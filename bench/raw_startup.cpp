// bookaudit-bench-rawstart STATEMENT: the raw limit of the program's start-up. Connects as the
// program does, runs and stores the start-up probe ("select Did from book", rows not read, as
// the program only needs its handle), frees it, then runs and stores the first search
// (STATEMENT, the program's own text) and reads every field. Prints, on one line:
//   done=<CLOCK_MONOTONIC ns when the last field was read> rows=<search rows>
//   probe_heap=<bytes the stored probe held> probe_rss=<KiB its store added to the resident set>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "measure.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s SEARCH-STATEMENT\n", argv[0]);
    return 2;
  }
  RawClient client;
  if (!client.connect()) return 1;

  const long long heapBefore = heapInUse();
  const long rssBefore = residentKiB();
  MYSQL_RES* probe = client.store("select Did from book");
  if (!probe) return 1;
  const long long probeHeap = heapInUse() - heapBefore;
  const long probeRss = residentKiB() - rssBefore;
  mysql_free_result(probe);

  const long long rows = client.run(argv[1]);
  const int64_t done = monotonicNs();
  if (rows < 0) return 1;
  std::printf("done=%" PRId64 " rows=%lld probe_heap=%lld probe_rss=%ld\n", done, rows, probeHeap,
              probeRss);
  return 0;
}
