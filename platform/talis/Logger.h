#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

namespace Corvane::TalisFramework {

// A log with five output streams, from the most to the least severe. Code writes a line
// with ordinary stream insertions ending in std::endl or '\n':
//   logger.infoStream << "PowerOff offDelay=" << offDelay << std::endl;
// Each thread assembles its own line; a line is emitted whole, in one piece, when its
// '\n' is written, so lines of several threads never mix. Text without a line end stays
// pending for the thread that wrote it. The streams' format state (precision, fixed,
// ...) belongs to the stream object and is shared by every thread that writes to it.
//
// Lock() and Unlock() bracket several lines (or a change of format state and a line)
// that must not interleave with other threads' lines; they nest. Prefer LockGuard.
//
// A stream more verbose than the logger's level discards what is written to it.
class Logger {
 public:
  // The numbers are those callers pass as a level: a level shows every stream whose
  // number is not above it (Info shows all but detail, Detail shows all five).
  enum LogType { Error = 1, Warning = 2, Notice = 3, Info = 4, Detail = 8 };

  virtual ~Logger();
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  void Lock();
  void Unlock();
  // For std::lock_guard and friends.
  void lock() { Lock(); }
  void unlock() { Unlock(); }

  LogType GetLevel() const { return level; }
  bool IsEnabled(LogType type) const { return static_cast<int>(type) <= static_cast<int>(level); }
  // "ERROR", "WARN", "NOTICE", "INFO" or "DETAIL".
  static const char* LevelName(LogType type);

 protected:
  explicit Logger(LogType level);

  // Writes one complete line (`text` has no line end) to the output and flushes it.
  // Called with the logger's lock held, so implementations need no lock of their own.
  virtual void WriteLine(LogType type, const std::string& text) = 0;

 private:
  class LineBuffer;

  LogType level;
  std::recursive_mutex outputMutex;
  std::unique_ptr<LineBuffer> errorBuffer;
  std::unique_ptr<LineBuffer> warningBuffer;
  std::unique_ptr<LineBuffer> noticeBuffer;
  std::unique_ptr<LineBuffer> infoBuffer;
  std::unique_ptr<LineBuffer> detailBuffer;

 public:
  std::ostream errorStream;
  std::ostream warningStream;
  std::ostream noticeStream;
  std::ostream infoStream;
  std::ostream detailStream;
};

}  // namespace Corvane::TalisFramework
