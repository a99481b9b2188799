#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/talis/Logger.h"

namespace Corvane::Herald {

// A logger that keeps its lines ("LEVEL: text") for the test to inspect.
class CapturingLogger : public TalisFramework::Logger {
 public:
  CapturingLogger() : Logger(Detail) {}

  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(mutex);
    return lines;
  }

  // How many lines contain `text`.
  int Count(const std::string& text) const {
    std::lock_guard<std::mutex> lock(mutex);
    int count = 0;
    for (const std::string& line : lines) {
      count += line.find(text) != std::string::npos ? 1 : 0;
    }
    return count;
  }

  // Waits until `count` lines contain `text`; false after timeoutMs.
  bool WaitFor(const std::string& text, int count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
      int seen = 0;
      for (const std::string& line : lines) {
        seen += line.find(text) != std::string::npos ? 1 : 0;
      }
      return seen >= count;
    });
  }

  std::string Text() const {
    std::string all;
    for (const std::string& line : Lines()) {
      all += line + "\n";
    }
    return all;
  }

 protected:
  void WriteLine(LogType type, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex);
    lines.push_back(std::string(LevelName(type)) + ": " + text);
    changed.notify_all();
  }

 private:
  mutable std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> lines;
};

}  // namespace Corvane::Herald
