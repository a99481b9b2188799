#include "platform/talis/StdOutLogger.h"

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "framework/RetryOnEintr.h"

namespace Corvane::TalisFramework {

StdOutLogger::StdOutLogger(const char* loggerName, int withTimestamps, LogType maxLevel)
    : StdOutLogger(loggerName, withTimestamps, maxLevel, STDOUT_FILENO) {}

StdOutLogger::StdOutLogger(const char* loggerName, int withTimestamps, LogType maxLevel,
                           int outputFd)
    : Logger(maxLevel),
      name(loggerName != nullptr ? loggerName : ""),
      timestamps(withTimestamps == 1),
      fd(outputFd) {}

std::string StdOutLogger::FormatLine(const std::string& stamp, const std::string& loggerName,
                                     LogType type, const std::string& text) {
  std::string line;
  line.reserve(stamp.size() + loggerName.size() + text.size() + 12);
  if (!stamp.empty()) {
    line += stamp;
    line += ' ';
  }
  if (!loggerName.empty()) {
    line += loggerName;
    line += ' ';
  }
  line += LevelName(type);
  line += ": ";
  line += text;
  return line;
}

std::string StdOutLogger::TimeStamp() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm utc {};
  gmtime_r(&now.tv_sec, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%06ld", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                now.tv_nsec / 1000);
  return text;
}

void StdOutLogger::WriteLine(LogType type, const std::string& text) {
  std::string line = FormatLine(timestamps ? TimeStamp() : std::string(), name, type, text);
  line += '\n';
  const char* next = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t written = RetryOnEintr([&] { return ::write(fd, next, left); });
    // Nowhere to report a failing log output; the line is dropped.
    if (written <= 0) {
      return;
    }
    next += written;
    left -= static_cast<std::size_t>(written);
  }
}

}  // namespace Corvane::TalisFramework
