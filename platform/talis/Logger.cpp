#include "platform/talis/Logger.h"

#include <atomic>
#include <unordered_map>

namespace Corvane::TalisFramework {

// The stream buffer behind each of the five streams. It has no put area of its own:
// every character goes to the calling thread's pending line, so threads sharing the
// stream never share a buffer. The pending lines live in a thread-local map keyed by a
// buffer id that is never reused, so a buffer created at the address of a destroyed one
// never inherits its leftovers.
class Logger::LineBuffer : public std::streambuf {
 public:
  LineBuffer(Logger& owner, LogType type)
      : logger(owner), logType(type), enabled(owner.IsEnabled(type)), id(NextId()) {}

 protected:
  int_type overflow(int_type ch) override {
    if (traits_type::eq_int_type(ch, traits_type::eof())) {
      return traits_type::not_eof(ch);
    }
    if (enabled) {
      const char c = traits_type::to_char_type(ch);
      std::string& pending = Pending();
      if (c == '\n') {
        Emit(pending);
      } else {
        pending.push_back(c);
      }
    }
    return ch;
  }

  std::streamsize xsputn(const char* text, std::streamsize count) override {
    if (!enabled || count <= 0) {
      return count;
    }
    std::string& pending = Pending();
    const char* end = text + count;
    for (const char* start = text; start < end;) {
      const char* lineEnd = std::char_traits<char>::find(start, end - start, '\n');
      if (lineEnd == nullptr) {
        pending.append(start, end);
        break;
      }
      pending.append(start, lineEnd);
      Emit(pending);
      start = lineEnd + 1;
    }
    return count;
  }

  // A flush without a line end leaves the partial line pending: only whole lines go out.
  int sync() override { return 0; }

 private:
  static std::uint64_t NextId() {
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
  }

  std::string& Pending() {
    thread_local std::unordered_map<std::uint64_t, std::string> pendingLines;
    return pendingLines[id];
  }

  void Emit(std::string& line) {
    {
      std::lock_guard<std::recursive_mutex> guard(logger.outputMutex);
      logger.WriteLine(logType, line);
    }
    line.clear();
  }

  Logger& logger;
  LogType logType;
  bool enabled;
  std::uint64_t id;
};

Logger::Logger(LogType maxLevel)
    : level(maxLevel),
      errorBuffer(new LineBuffer(*this, Error)),
      warningBuffer(new LineBuffer(*this, Warning)),
      noticeBuffer(new LineBuffer(*this, Notice)),
      infoBuffer(new LineBuffer(*this, Info)),
      detailBuffer(new LineBuffer(*this, Detail)),
      errorStream(errorBuffer.get()),
      warningStream(warningBuffer.get()),
      noticeStream(noticeBuffer.get()),
      infoStream(infoBuffer.get()),
      detailStream(detailBuffer.get()) {}

Logger::~Logger() = default;

void Logger::Lock() {
  outputMutex.lock();
}

void Logger::Unlock() {
  outputMutex.unlock();
}

const char* Logger::LevelName(LogType type) {
  switch (type) {
    case Error:
      return "ERROR";
    case Warning:
      return "WARN";
    case Notice:
      return "NOTICE";
    case Info:
      return "INFO";
    case Detail:
      return "DETAIL";
  }
  return "LOG";
}

}  // namespace Corvane::TalisFramework
