#pragma once
#include <functional>

// The machine's local date and time, read once per use.
struct LocalTime {
  int year, month, day, hour, minute, second;
};

LocalTime localNow();

// Tests set the time here; nullptr restores the machine's clock.
void setClockSeam(std::function<LocalTime()> seam);
