#pragma once
// Clocks, memory readings and the plain Connector/C client the benchmark compares against.
// No Qt here: the raw start-up program links this and the client library alone.
#include <mysql.h>

#include <cstdint>
#include <string>
#include <vector>

// CLOCK_MONOTONIC in nanoseconds: one clock for all processes of a run, so a child can report
// when its window was shown against the moment the driver started it.
int64_t monotonicNs();

// From /proc/self/status, in KiB: resident now, and the peak so far.
long residentKiB();
long peakResidentKiB();
// Bytes the allocator has handed out and not got back (mallinfo2: heap and mmap'ed blocks).
long long heapInUse();

double median(std::vector<double> values);

// The raw client: the same server, account and character set as the program's connection, the
// statements sent as they are, every result stored whole and every field of every row read.
class RawClient {
 public:
  ~RawClient();
  bool connect();  // TCP to the compiled-in host, port from MYSQL_TCP_PORT, gbk
  // Runs a SELECT, stores its result, reads every field into a Text-like buffer, frees it.
  // Returns the number of rows read (-1 when the statement failed).
  long long run(const std::string& statement);
  // Runs a SELECT and stores its result without reading it, as the start-up probe is used.
  MYSQL_RES* store(const std::string& statement);
  MYSQL* handle() { return mysql_; }

 private:
  MYSQL* mysql_ = nullptr;
  std::string field_;
};

// Reads every field of a stored result the way a client keeps values: one copy per field.
// Returns the bytes read, so the loop cannot be optimised away.
unsigned long long readEveryField(MYSQL_RES* result, std::string& buffer);
