#pragma once

#include <string>

#include "platform/talis/Logger.h"

namespace Corvane::TalisFramework {

// A Logger that writes to standard output, one write() per line, so lines stay whole
// even when standard output is a pipe or a file shared with other processes.
// A line reads "[STAMP ]NAME LEVEL: text": STAMP is the UTC time to the microsecond
// ("2026-01-31 23:59:59.123456"), present when `timestamps` is 1; NAME is left out
// (with its blank) when empty; LEVEL is one of ERROR WARN NOTICE INFO DETAIL.
// `level` is the most verbose stream printed (see Logger::LogType).
class StdOutLogger : public Logger {
 public:
  StdOutLogger(const char* name, int timestamps, LogType level);

  // The line as written, without its line end; `stamp` empty means no stamp.
  static std::string FormatLine(const std::string& stamp, const std::string& name, LogType type,
                                const std::string& text);
  // The current UTC time as "YYYY-MM-DD HH:MM:SS.uuuuuu".
  static std::string TimeStamp();

 protected:
  // Writes to `fd` instead of standard output (for tests). The descriptor is not owned.
  StdOutLogger(const char* name, int timestamps, LogType level, int fd);

  void WriteLine(LogType type, const std::string& text) override;

 private:
  std::string name;
  bool timestamps;
  int fd;
};

}  // namespace Corvane::TalisFramework
