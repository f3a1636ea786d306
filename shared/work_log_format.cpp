#include "shared/work_log_format.h"

#include <cstdio>

namespace zvrx {

std::string LogStamp(const platform::LocalTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%02d", time.year % 100, time.month % 100,
                time.day % 100);
  std::string stamp = text;
  std::snprintf(text, sizeof text, "  %02d:%02d", time.hour % 100, time.minute % 100);
  stamp += text;
  // Pairs of blanks until at least 20 bytes: 15 + 6 = 21.
  while (stamp.size() < 20) stamp += "  ";
  return stamp;
}

}  // namespace zvrx
