#include "warden/ProcInfo.h"

#include <errno.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "framework/CmdLineParser.h"
#include "framework/GetErrorDescription.h"
#include "testing/ScopedTempDir.h"

namespace Corvane::Warden {
namespace {

using TalisFramework::GetErrorDescription;
using TalisFramework::Pipes;

const int kEventCapMs = 10000;

// True once fd is readable (or at end of file) within timeoutMs.
bool WaitReadable(int fd, int timeoutMs) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, timeoutMs) == 1;
}

// Waits for a launched record's child to end and reaps it.
void WaitAndReap(ProcInfo& record) {
  ASSERT_TRUE(WaitReadable(record.GetWatchFd(), kEventCapMs)) << record.Describe(true);
  record.Reap();
}

// The text with each number shown as its shape: integers become N, and fractions D when
// they have exactly six digits (X otherwise).
std::string Shape(const std::string& text) {
  std::string shape;
  for (size_t i = 0; i < text.size();) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
      shape += text[i++];
      continue;
    }
    size_t end = i;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) {
      ++end;
    }
    shape += (i > 0 && text[i - 1] == '.') ? (end - i == 6 ? 'D' : 'X') : 'N';
    i = end;
  }
  return shape;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(ProcInfoTest, TrueEndsCleanlyAndIsDescribedWithTimes) {
  ProcInfo record;
  record.Launch("true", false);
  EXPECT_FALSE(record.IsDummy());
  EXPECT_TRUE(record.IsRunning());
  EXPECT_GT(record.GetPid(), 0);
  EXPECT_GE(record.GetStartTime(), 0.0);
  EXPECT_EQ("pid=N command='true' startTime=N.Dsec", Shape(record.Describe(true)));
  EXPECT_EQ(0u, record.Describe(true).find("pid=" + std::to_string(record.GetPid()) + " "));

  WaitAndReap(record);
  EXPECT_FALSE(record.IsRunning());
  EXPECT_EQ(0, record.GetExitStatus());
  EXPECT_FALSE(record.HasOutput());
  EXPECT_EQ("", record.GetOutput());
  EXPECT_EQ(-1, record.GetWatchFd());
  EXPECT_GE(record.GetEndTime(), record.GetStartTime());
  EXPECT_EQ("pid=N command='true' startTime=N.Dsec endTime=N.Dsec (N.Dsec exitStatus=N exited(N)",
            Shape(record.Describe(true)));
  EXPECT_TRUE(EndsWith(record.Describe(true), "exitStatus=0 exited(0)"));
}

TEST(ProcInfoTest, ExitCodesAndChildFailureMessages) {
  struct Case {
    const char* command;
    bool useShell;
    int exitCode;
    std::string output;
  };
  const Case cases[] = {
      {"sh -c 'exit 3'", false, 3, ""},
      {"exit 3", true, 3, ""},
      {"", true, 0, ""},
      {"no-such-program-xyz", false, 1,
       "exec failed for dummy command='no-such-program-xyz' exitStatus=-1: " +
           GetErrorDescription(ENOENT)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    ProcInfo record;
    record.Launch(c.command, c.useShell);
    WaitAndReap(record);
    ASSERT_TRUE(WIFEXITED(record.GetExitStatus()));
    EXPECT_EQ(c.exitCode, WEXITSTATUS(record.GetExitStatus()));
    EXPECT_EQ(c.output, record.GetOutput());
    EXPECT_EQ(!c.output.empty(), record.HasOutput());
    EXPECT_TRUE(EndsWith(record.Describe(false), "exited(" + std::to_string(c.exitCode) + ")"));
  }
}

TEST(ProcInfoTest, RefusedLaunchesStartNothing) {
  Testing::ScopedTempDir dir;
  const std::string file = dir.File("plain");
  std::ofstream(file) << "x";
  struct Case {
    const char* command;
    const std::string* startDirectory;
    std::string message;  // empty: the tokenizer's own message
  };
  const Case cases[] = {
      {"", nullptr, "No tokens found in call to ProcInfo::Launch"},
      {"   ", nullptr, "No tokens found in call to ProcInfo::Launch"},
      {"echo 'unbalanced", nullptr, ""},
      {"true", &file, "Provided start directory (" + file + ") is not valid"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    ProcInfo record;
    try {
      record.Launch(c.command, c.startDirectory, false);
      ADD_FAILURE() << "no exception";
    } catch (const std::invalid_argument& e) {
      if (!c.message.empty()) {
        EXPECT_EQ(c.message, e.what());
      }
    }
    EXPECT_TRUE(record.IsDummy());
    EXPECT_EQ(-1, record.GetPid());
    EXPECT_EQ(c.command, record.GetCommand());
    EXPECT_TRUE(record.GetPipes()->IsWriteOpen());
  }
}

TEST(ProcInfoTest, StartDirectoryIsEntered) {
  Testing::ScopedTempDir dir;
  ProcInfo record;
  record.Launch("test \"$(pwd -P)\" = \"$(cd '" + dir.Path() + "' && pwd -P)\"", dir.Path(), true);
  WaitAndReap(record);
  EXPECT_EQ(0, record.GetExitStatus()) << record.GetOutput();
}

// chdir into a directory the user may not enter. Root enters any directory, so as root the
// launch runs in a forked helper that has dropped to the unprivileged "nobody" ids.
TEST(ProcInfoTest, StartDirectoryThatCannotBeEnteredIsReportedByTheChild) {
  Testing::ScopedTempDir dir;
  const std::string locked = dir.File("locked");
  ASSERT_EQ(0, ::mkdir(locked.c_str(), 0700));
  ASSERT_EQ(0, ::chmod(dir.Path().c_str(), 0755));
  const bool asRoot = ::geteuid() == 0;
  if (!asRoot) {
    ASSERT_EQ(0, ::chmod(locked.c_str(), 0));
  }
  int report[2];
  ASSERT_EQ(0, ::pipe(report));
  const pid_t helper = ::fork();
  ASSERT_NE(-1, helper);
  if (helper == 0) {
    ::close(report[0]);
    if (asRoot && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(2);
    }
    int code = 3;
    try {
      ProcInfo record;
      record.Launch("true", locked, false);
      if (WaitReadable(record.GetWatchFd(), kEventCapMs)) {
        record.Reap();
        const std::string text = record.Describe(false) + "\n" + record.GetOutput();
        if (::write(report[1], text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
          code = 0;
        }
      }
    } catch (...) {
      code = 4;
    }
    ::_exit(code);
  }
  ::close(report[1]);
  std::string text;
  char buffer[512];
  ssize_t count;
  while ((count = ::read(report[0], buffer, sizeof buffer)) > 0) {
    text.append(buffer, static_cast<size_t>(count));
  }
  ::close(report[0]);
  int status = 0;
  ASSERT_EQ(helper, ::waitpid(helper, &status, 0));
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 2) {
    GTEST_SKIP() << "cannot drop to an unprivileged user here";
  }
  ASSERT_EQ(0, WEXITSTATUS(status)) << text;
  EXPECT_TRUE(EndsWith(text.substr(0, text.find('\n')), "exitStatus=256 exited(1)")) << text;
  EXPECT_EQ("chdir(\"" + locked + "\") failed: " + GetErrorDescription(EACCES),
            text.substr(text.find('\n') + 1));
}

TEST(ProcInfoTest, SecondLaunchIsRefusedWithoutForking) {
  ProcInfo record;
  record.Launch("true", false);
  const pid_t first = record.GetPid();
  try {
    record.Launch("true", false);
    ADD_FAILURE() << "no exception";
  } catch (const Pipes::PipeIsClosed& e) {
    EXPECT_STREQ("The write pipe is closed", e.what());
  }
  EXPECT_EQ(first, record.GetPid());
  WaitAndReap(record);
  EXPECT_EQ(0, record.GetExitStatus());
}

TEST(ProcInfoTest, WaitAndReapOutsideTheRunningState) {
  ProcInfo fresh;
  EXPECT_EQ("dummy command='' exitStatus=-1", fresh.Describe(false));
  EXPECT_THROW(fresh.WaitForChild(true, false), std::logic_error);
  fresh.Reap();
  EXPECT_TRUE(fresh.IsDummy());
  EXPECT_NE(-1, fresh.GetWatchFd());

  ProcInfo descriptor(5);
  EXPECT_EQ("dummy fd=5", descriptor.Describe(true));
  EXPECT_EQ(5, descriptor.GetWatchFd());
  descriptor.Reap();

  ProcInfo record;
  record.Launch("true", false);
  WaitAndReap(record);
  try {
    record.Reap();
    ADD_FAILURE() << "no exception";
  } catch (const std::logic_error& e) {
    EXPECT_STREQ("This process is not running", e.what());
  }
}

TEST(ProcInfoTest, NonBlockingAndPeekingWaits) {
  ProcInfo record;
  record.Launch("sleep 30", false);
  try {
    record.WaitForChild(false, false);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ("waitpid indicates that the process has not exited yet for " + record.Describe(true),
              e.what());
  }
  ASSERT_EQ(0, ::kill(record.GetPid(), SIGKILL));
  ASSERT_TRUE(WaitReadable(record.GetWatchFd(), kEventCapMs));
  // A peek leaves the child to be reaped for real.
  const int peeked = record.WaitForChild(true, true);
  EXPECT_TRUE(record.IsRunning());
  record.Reap();
  EXPECT_EQ(peeked, record.GetExitStatus());
  EXPECT_TRUE(EndsWith(record.Describe(true), "exitStatus=9 signaled(9)")) << record.Describe(true);
}

// A child must not hold another record's write end open: the other record would then see
// its end of file only when this child has gone.
TEST(ProcInfoTest, ChildrenDoNotInheritOtherRecordsPipes) {
  ProcInfo quick;
  ProcInfo slow;
  slow.Launch("sleep 30", false);
  quick.Launch("true", false);
  EXPECT_TRUE(WaitReadable(quick.GetWatchFd(), kEventCapMs));
  quick.Reap();
  EXPECT_EQ(0, quick.GetExitStatus());
  ::kill(slow.GetPid(), SIGKILL);
  WaitAndReap(slow);
}

TEST(ProcInfoTest, UptimeClock) {
  const double first = ProcInfo::ReadUptime();
  double second = 0;
  ProcInfo::GetUptime(second);
  EXPECT_GT(first, 0.0);
  EXPECT_GE(second, first);

  Testing::ScopedTempDir dir;
  std::ofstream(dir.File("garbage")) << "not a number";
  EXPECT_THROW(ProcInfo::ReadUptime(dir.File("missing")), std::runtime_error);
  EXPECT_THROW(ProcInfo::ReadUptime(dir.File("garbage")), std::runtime_error);
}

}  // namespace
}  // namespace Corvane::Warden
