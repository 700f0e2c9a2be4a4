#include "platform/clock.h"

#include <ctime>

namespace {
std::function<LocalTime()> clockSeam;
}

void setClockSeam(std::function<LocalTime()> seam) {
  clockSeam = std::move(seam);
}

LocalTime localNow() {
  if (clockSeam) return clockSeam();
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}
