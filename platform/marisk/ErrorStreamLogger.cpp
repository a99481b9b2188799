#include "platform/marisk/ErrorStreamLogger.h"

#include <unistd.h>

#include "framework/RetryOnEintr.h"

namespace Corvane::Marisk {

ErrorStreamLogger::ErrorStreamLogger(const std::string& programName)
    : Logger(Logger::Warning), name(programName) {}

void ErrorStreamLogger::WriteLine(LogType type, const std::string& text) {
  const std::string line = name + " " + LevelName(type) + ": " + text + "\n";
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t count = TalisFramework::RetryOnEintr(
        [&] { return ::write(STDERR_FILENO, line.data() + done, line.size() - done); });
    if (count <= 0) {
      return;  // Nowhere left to report that standard error fails.
    }
    done += static_cast<std::size_t>(count);
  }
}

}  // namespace Corvane::Marisk
