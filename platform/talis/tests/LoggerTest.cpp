#include "platform/talis/Logger.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <iomanip>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/talis/StdOutLogger.h"
#include "platform/talis/tests/CapturingLogger.h"
#include "testing/ScopedTempDir.h"

namespace Corvane::TalisFramework {
namespace {

// A StdOutLogger writing to a file of the test's own.
class FileLogger : public StdOutLogger {
 public:
  FileLogger(const char* loggerName, int withTimestamps, LogType maxLevel, int outputFd)
      : StdOutLogger(loggerName, withTimestamps, maxLevel, outputFd) {}
};

// "YYYY-MM-DD HH:MM:SS.uuuuuu"
bool IsTimeStamp(const std::string& text) {
  const std::string shape = "dddd-dd-dd dd:dd:dd.dddddd";
  if (text.size() != shape.size()) {
    return false;
  }
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (shape[i] == 'd' ? !digit : text[i] != shape[i]) {
      return false;
    }
  }
  return true;
}

class StdOutLoggerTest : public ::testing::Test {
 protected:
  StdOutLoggerTest() : path(dir.File("log")) {
    fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  }
  ~StdOutLoggerTest() override { close(fd); }

  std::vector<std::string> Lines() const {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
      lines.push_back(line);
    }
    return lines;
  }

  Corvane::Testing::ScopedTempDir dir{"talis-logger"};
  std::string path;
  int fd = -1;
};

TEST_F(StdOutLoggerTest, WholeLinesStayWholeWhenEightThreadsWrite) {
  constexpr int kThreads = 8;
  constexpr int kLines = 400;
  {
    FileLogger logger("stress", 1, Logger::Detail, fd);
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
      writers.emplace_back([&logger, t] {
        const std::string filler(40 + t, static_cast<char>('a' + t));
        for (int i = 0; i < kLines; ++i) {
          // Several insertions per line, as real callers write them.
          logger.infoStream << "thread " << t << " line " << i << ' ' << filler << std::endl;
        }
      });
    }
    for (std::thread& writer : writers) {
      writer.join();
    }
  }
  std::vector<int> nextLine(kThreads, 0);
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(static_cast<std::size_t>(kThreads * kLines), lines.size());
  for (const std::string& line : lines) {
    ASSERT_TRUE(IsTimeStamp(line.substr(0, 26))) << line;
    std::istringstream fields(line.substr(26));
    std::string name, level, threadWord, lineWord, filler, rest;
    int t = -1;
    int i = -1;
    fields >> name >> level >> threadWord >> t >> lineWord >> i >> filler >> rest;
    ASSERT_EQ("stress INFO: thread line", name + " " + level + " " + threadWord + " " + lineWord)
        << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    EXPECT_EQ(nextLine[t]++, i) << line;
    EXPECT_EQ(std::string(40 + t, static_cast<char>('a' + t)), filler) << line;
    EXPECT_EQ("", rest) << line;
  }
}

TEST_F(StdOutLoggerTest, LinesCarryNameLevelAndOptionalStamp) {
  {
    FileLogger stamped("driver", 1, Logger::Detail, fd);
    stamped.errorStream << "broken" << std::endl;
    FileLogger plain("driver", 0, Logger::Detail, fd);
    plain.warningStream << "careful\n";
    plain.noticeStream << "note" << std::endl;
    plain.infoStream << "info" << std::endl;
    plain.detailStream << "detail" << std::endl;
    FileLogger nameless("", 0, Logger::Detail, fd);
    nameless.infoStream << "anonymous" << std::endl;
  }
  const std::vector<std::string> lines = Lines();
  ASSERT_EQ(6u, lines.size());
  EXPECT_TRUE(IsTimeStamp(lines[0].substr(0, 26))) << lines[0];
  EXPECT_EQ(" driver ERROR: broken", lines[0].substr(26));
  EXPECT_EQ("driver WARN: careful", lines[1]);
  EXPECT_EQ("driver NOTICE: note", lines[2]);
  EXPECT_EQ("driver INFO: info", lines[3]);
  EXPECT_EQ("driver DETAIL: detail", lines[4]);
  EXPECT_EQ("INFO: anonymous", lines[5]);
}

TEST(LoggerTest, LevelSelectsTheStreamsPrinted) {
  struct Case {
    Logger::LogType level;
    std::vector<std::string> printed;
  };
  const Case cases[] = {
      {Logger::Error, {"ERROR: e"}},
      {Logger::Notice, {"ERROR: e", "WARN: w", "NOTICE: n"}},
      {Logger::Info, {"ERROR: e", "WARN: w", "NOTICE: n", "INFO: i"}},
      {Logger::Detail, {"ERROR: e", "WARN: w", "NOTICE: n", "INFO: i", "DETAIL: d"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    CapturingLogger logger(c.level);
    logger.errorStream << "e" << std::endl;
    logger.warningStream << "w" << std::endl;
    logger.noticeStream << "n" << std::endl;
    logger.infoStream << "i" << std::endl;
    logger.detailStream << "d" << std::endl;
    EXPECT_EQ(c.printed, logger.Lines());
  }
}

TEST(LoggerTest, EachThreadAssemblesItsOwnLine) {
  CapturingLogger logger;
  logger.infoStream << "first half, ";
  logger.infoStream.flush();  // a flush alone emits nothing
  std::thread other([&logger] { logger.infoStream << "other" << std::endl; });
  other.join();
  logger.infoStream << "second half\nnext";
  EXPECT_EQ((std::vector<std::string>{"INFO: other", "INFO: first half, second half"}),
            logger.Lines());
  logger.infoStream << std::endl;
  EXPECT_EQ("INFO: next", logger.Lines().back());
}

TEST(LoggerTest, FormatFlagsAreSharedByAllThreads) {
  CapturingLogger logger;
  logger.infoStream << std::fixed << std::setprecision(3);
  std::thread other([&logger] { logger.infoStream << 1.0 / 3 << std::endl; });
  other.join();
  logger.infoStream << 2.0 / 3 << std::endl;
  EXPECT_EQ((std::vector<std::string>{"INFO: 0.333", "INFO: 0.667"}), logger.Lines());
}

TEST(LoggerTest, LockKeepsOtherThreadsLinesOut) {
  CapturingLogger logger;
  std::future<void> other;
  {
    std::lock_guard<Logger> guard(logger);
    logger.infoStream << "held 1" << std::endl;
    other =
        std::async(std::launch::async, [&logger] { logger.errorStream << "other" << std::endl; });
    // Gives the other thread time to reach its line end while the lock is held.
    EXPECT_EQ(std::future_status::timeout, other.wait_for(std::chrono::milliseconds(50)));
    logger.infoStream << "held 2" << std::endl;
  }
  other.get();
  EXPECT_EQ((std::vector<std::string>{"INFO: held 1", "INFO: held 2", "ERROR: other"}),
            logger.Lines());
}

}  // namespace
}  // namespace Corvane::TalisFramework
