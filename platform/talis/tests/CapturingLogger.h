#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/talis/Logger.h"

namespace Corvane::TalisFramework {

// A Logger that keeps its lines, "LEVEL: text", for tests to inspect.
class CapturingLogger : public Logger {
 public:
  explicit CapturingLogger(LogType maxLevel = Detail) : Logger(maxLevel) {}

  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> guard(linesMutex);
    return lines;
  }

 protected:
  void WriteLine(LogType type, const std::string& text) override {
    std::lock_guard<std::mutex> guard(linesMutex);
    lines.push_back(std::string(LevelName(type)) + ": " + text);
  }

 private:
  std::mutex linesMutex;
  std::vector<std::string> lines;
};

}  // namespace Corvane::TalisFramework
