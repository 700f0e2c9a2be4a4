#include "measure.h"

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "app/settings.h"

int64_t monotonicNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

namespace {

long statusKiB(const char* key) {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long value = -1;
  const size_t n = std::strlen(key);
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, key, n) == 0 && line[n] == ':') {
      value = std::strtol(line + n + 1, nullptr, 10);
      break;
    }
  }
  std::fclose(f);
  return value;
}

}  // namespace

long residentKiB() {
  return statusKiB("VmRSS");
}
long peakResidentKiB() {
  return statusKiB("VmHWM");
}

long long heapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<long long>(m.uordblks + m.hblkhd);
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

RawClient::~RawClient() {
  if (mysql_) mysql_close(mysql_);
}

bool RawClient::connect() {
  mysql_ = mysql_init(nullptr);
  if (!mysql_) return false;
  // The program's connection: TCP also for "localhost", in the server's gbk from the start.
  unsigned protocol = MYSQL_PROTOCOL_TCP;
  mysql_optionsv(mysql_, MYSQL_OPT_PROTOCOL, &protocol);
  mysql_optionsv(mysql_, MYSQL_SET_CHARSET_NAME, "gbk");
  if (!mysql_real_connect(mysql_, BOOKAUDIT_DB_HOST, BOOKAUDIT_DB_USER, BOOKAUDIT_DB_PASSWORD,
                          BOOKAUDIT_DB_NAME, 0, nullptr, 0)) {
    std::fprintf(stderr, "raw client: %s\n", mysql_error(mysql_));
    mysql_close(mysql_);
    mysql_ = nullptr;
    return false;
  }
  return true;
}

unsigned long long readEveryField(MYSQL_RES* result, std::string& buffer) {
  unsigned long long bytes = 0;
  const unsigned fields = mysql_num_fields(result);
  while (MYSQL_ROW row = mysql_fetch_row(result)) {
    const unsigned long* lengths = mysql_fetch_lengths(result);
    for (unsigned k = 0; k < fields; ++k) {
      buffer.assign(row[k] ? row[k] : "", row[k] ? lengths[k] : 0);
      bytes += buffer.size();
    }
  }
  return bytes;
}

MYSQL_RES* RawClient::store(const std::string& statement) {
  if (!mysql_ || mysql_real_query(mysql_, statement.data(), statement.size()) != 0) return nullptr;
  return mysql_store_result(mysql_);
}

long long RawClient::run(const std::string& statement) {
  MYSQL_RES* result = store(statement);
  if (!result) return -1;
  const long long rows = static_cast<long long>(mysql_num_rows(result));
  static volatile unsigned long long sink;
  sink = sink + readEveryField(result, field_);
  mysql_free_result(result);
  return rows;
}
