#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "testing/ChildProcess.h"
#include "testing/ScopedTempDir.h"

namespace {

using Corvane::Testing::ChildProcess;
using Corvane::Testing::ScopedTempDir;

const std::string kHost = ECOHOST_PATH;
const std::string kAnnouncement = "main calling EcoSensorProgram\n";
const std::string kUsage = "Usage: " + kHost + " serial-device-or-file [sample-count]\n";

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

Outcome RunHost(const std::vector<std::string>& arguments,
                const std::vector<std::string>& extraEnv = {}) {
  ChildProcess::Options options;
  options.extraEnv = extraEnv;
  std::vector<std::string> argv{kHost};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  ChildProcess child(argv, options);
  Outcome outcome;
  if (!child.Wait(20000)) {
    ADD_FAILURE() << "ecohost did not end";
    return outcome;
  }
  outcome.status = child.ExitStatus();
  outcome.out = child.Output();
  outcome.err = child.ErrorOutput();
  return outcome;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary);
  file << content;
  ASSERT_TRUE(file.good()) << path;
}

TEST(EcoHostTest, HandsTheWholeCommandLineToTheSensorProgram) {
  struct Case {
    std::vector<std::string> arguments;
    std::string report;
  };
  const Case cases[] = {
      {{}, "argc=1\nargv[0]=" + kHost + "\nargv[argc]=null\n"},
      {{"/dev/ttyS1", "", "two words"},
       "argc=4\nargv[0]=" + kHost + "\nargv[1]=/dev/ttyS1\nargv[2]=\nargv[3]=two words\n" +
           "argv[argc]=null\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.report);
    const Outcome outcome = RunHost(c.arguments, {"LD_LIBRARY_PATH=" FAKE_MARISK_DIR});
    EXPECT_EQ(3, outcome.status);
    EXPECT_EQ(kAnnouncement + c.report, outcome.out);
    EXPECT_EQ("", outcome.err);
  }
}

TEST(EcoHostTest, CopiesSampleLinesOfAFile) {
  ScopedTempDir dir;
  const std::string samples = dir.File("eco.log");
  WriteFile(samples,
            "12/11/26\t04:10:01\t695\t4130\r\n\r\n12/11/26\t04:10:02\t695\t4127\r\n"
            "12/11/26\t04:10:03\t695\t4128");
  const std::string first = "12/11/26\t04:10:01\t695\t4130\n";
  const std::string second = "12/11/26\t04:10:02\t695\t4127\n";
  const std::string third = "12/11/26\t04:10:03\t695\t4128\n";
  struct Case {
    std::vector<std::string> arguments;
    std::string lines;
  };
  const Case cases[] = {
      {{samples}, first + second + third},
      {{samples, "2"}, first + second},
      {{samples, "9"}, first + second + third},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.size());
    const Outcome outcome = RunHost(c.arguments);
    EXPECT_EQ(0, outcome.status);
    EXPECT_EQ(kAnnouncement + c.lines, outcome.out);
    EXPECT_EQ("", outcome.err);
  }
}

TEST(EcoHostTest, WrongArgumentsGiveUsageAndStatusTwo) {
  ScopedTempDir dir;
  const std::string samples = dir.File("eco.log");
  WriteFile(samples, "695\t4130\n");
  const std::vector<std::vector<std::string>> cases{
      {},
      {""},
      {samples, "0"},
      {samples, "-1"},
      {samples, "+1"},
      {samples, "2x"},
      {samples, "99999999999999999999999"},
      {samples, "1", "extra"},
  };
  for (const auto& arguments : cases) {
    SCOPED_TRACE(arguments.empty() ? "(none)" : arguments.back());
    const Outcome outcome = RunHost(arguments);
    EXPECT_EQ(2, outcome.status);
    EXPECT_EQ(kAnnouncement, outcome.out);
    EXPECT_EQ(kUsage, outcome.err);
  }
}

TEST(EcoHostTest, UnreadableSourceGivesReasonAndStatusOne) {
  ScopedTempDir dir;
  struct Case {
    std::string source;
    std::string reason;
  };
  const Case cases[] = {
      {dir.File("missing.log"),
       "cannot open '" + dir.File("missing.log") + "': No such file or directory"},
      {dir.Path(), "cannot read '" + dir.Path() + "': Is a directory"},
      // A character device that is no terminal cannot be set up as a serial line.
      {"/dev/null", "Inappropriate ioctl for device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    const Outcome outcome = RunHost({c.source});
    EXPECT_EQ(1, outcome.status);
    EXPECT_EQ(kAnnouncement, outcome.out);
    EXPECT_EQ(0u, outcome.err.find(kHost + ": ")) << outcome.err;
    EXPECT_NE(std::string::npos, outcome.err.find(c.reason)) << outcome.err;
    EXPECT_EQ(outcome.err.size() - 1, outcome.err.find('\n')) << outcome.err;
  }
}

// The sensor program is an entry point like any other: librunner runs it straight from
// the library, whose own dependencies the loader then resolves at once.
TEST(EcoHostTest, LibRunnerRunsTheSensorProgramFromTheLibrary) {
  ScopedTempDir dir;
  const std::string samples = dir.File("eco.log");
  WriteFile(samples, "695\t4130\r\n695\t4127\r\n");
  ChildProcess runner({LIBRUNNER_PATH, MARISK_PATH, "EcoSensorProgram", samples, "1"});
  ASSERT_TRUE(runner.Wait(20000));
  EXPECT_EQ(0, runner.ExitStatus());
  EXPECT_EQ("695\t4130\n", runner.Output());
  EXPECT_EQ("", runner.ErrorOutput());
}

// The controlling side of a pseudo-terminal; its other side is the sensor's serial line.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0) {
      device = ::ptsname(master);
    }
  }
  ~PseudoTerminal() { Hangup(); }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  const std::string& Device() const { return device; }

  // Waits until the far side is set to 19200 bit/s, 8 data bits, no parity and one stop
  // bit, which the program does when it opens the line.
  bool WaitForLineSettings(int timeoutMs) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      struct termios settings {};
      if (::tcgetattr(master, &settings) == 0 && ::cfgetispeed(&settings) == B19200 &&
          (settings.c_cflag & (CSIZE | PARENB | CSTOPB)) == CS8) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  void Send(const std::string& bytes) {
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), ::write(master, bytes.data(), bytes.size()));
  }

  void Hangup() {
    if (master >= 0) {
      ::close(master);
      master = -1;
    }
  }

 private:
  int master = -1;
  std::string device;
};

TEST(EcoHostTest, CopiesSampleLinesFromASerialLineUntilItHangsUp) {
  PseudoTerminal line;
  ASSERT_NE("", line.Device());
  ChildProcess host({kHost, line.Device()});
  ASSERT_TRUE(line.WaitForLineSettings(20000)) << host.ErrorOutput();

  line.Send("695\t41");
  line.Send("30\r");
  line.Send("\n\r\n695\t4127\r\n");
  ASSERT_TRUE(host.WaitForOutput("695\t4127\n", 20000)) << host.Output() << host.ErrorOutput();
  line.Send("695\t4128\n");
  ASSERT_TRUE(host.WaitForOutput("695\t4128\n", 20000)) << host.Output() << host.ErrorOutput();

  line.Hangup();
  ASSERT_TRUE(host.Wait(20000));
  EXPECT_EQ(0, host.ExitStatus());
  EXPECT_EQ(kAnnouncement + "695\t4130\n695\t4127\n695\t4128\n", host.Output());
  EXPECT_EQ("", host.ErrorOutput());
}

TEST(EcoHostTest, StopsAfterTheRequestedSamplesWhileTheLineStaysOpen) {
  PseudoTerminal line;
  ASSERT_NE("", line.Device());
  ChildProcess host({kHost, line.Device(), "2"});
  ASSERT_TRUE(line.WaitForLineSettings(20000)) << host.ErrorOutput();

  line.Send("695\t4130\r\n695\t4127\r\n695\t4128\r\n");
  ASSERT_TRUE(host.Wait(20000));
  EXPECT_EQ(0, host.ExitStatus());
  EXPECT_EQ(kAnnouncement + "695\t4130\n695\t4127\n", host.Output());
}

}  // namespace
