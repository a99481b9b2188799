#include "framework/Pipes.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "framework/GetErrorDescription.h"
#include "framework/Semaphore.h"

namespace Corvane::TalisFramework {
namespace {

void WriteByte(int fd, char c) { ASSERT_EQ(1, write(fd, &c, 1)); }

std::string ExpectClosed(Pipes& pipes, bool read) {
  try {
    read ? pipes.GetReadFd() : pipes.GetWriteFd();
  } catch (const Pipes::PipeIsClosed& e) {
    return e.what();
  }
  return "no exception";
}

bool IsOpenDescriptor(int fd) { return fcntl(fd, F_GETFD) != -1 || errno != EBADF; }

TEST(PipesTest, UnopenedHasBothEndsClosed) {
  Pipes pipes(false);
  EXPECT_FALSE(pipes.IsReadOpen());
  EXPECT_FALSE(pipes.IsWriteOpen());
  EXPECT_EQ("The read pipe is closed", ExpectClosed(pipes, true));
  EXPECT_EQ("The write pipe is closed", ExpectClosed(pipes, false));
  pipes.Close();
  pipes.Open();
  EXPECT_TRUE(pipes.IsReadOpen());
  EXPECT_TRUE(pipes.IsWriteOpen());
}

TEST(PipesTest, CarriesBytesAndClosesEnds) {
  Pipes pipes(true);
  ASSERT_TRUE(pipes.IsReadOpen());
  ASSERT_TRUE(pipes.IsWriteOpen());
  const int readFd = pipes.GetReadFd();
  const int writeFd = pipes.GetWriteFd();
  EXPECT_NE(readFd, writeFd);
  // Both ends are close-on-exec from the start.
  EXPECT_EQ(FD_CLOEXEC, fcntl(readFd, F_GETFD) & FD_CLOEXEC);
  EXPECT_EQ(FD_CLOEXEC, fcntl(writeFd, F_GETFD) & FD_CLOEXEC);

  WriteByte(writeFd, 'x');
  pipes.CloseWrite();
  EXPECT_FALSE(IsOpenDescriptor(writeFd));
  EXPECT_EQ("The write pipe is closed", ExpectClosed(pipes, false));
  char buffer[4];
  ASSERT_EQ(1, read(readFd, buffer, sizeof buffer));
  EXPECT_EQ('x', buffer[0]);
  EXPECT_EQ(0, read(readFd, buffer, sizeof buffer));

  pipes.CloseWrite();
  pipes.Close();
  pipes.Close();
  pipes.CloseRead();
  EXPECT_FALSE(IsOpenDescriptor(readFd));
  EXPECT_FALSE(pipes.IsReadOpen());
}

TEST(PipesTest, ReopenReplacesBothEnds) {
  Pipes pipes(true);
  pipes.CloseWrite();
  pipes.Reopen();
  ASSERT_TRUE(pipes.IsWriteOpen());
  WriteByte(pipes.GetWriteFd(), 'y');
  char c = 0;
  EXPECT_EQ(1, read(pipes.GetReadFd(), &c, 1));
  EXPECT_EQ('y', c);
}

TEST(PipesTest, CopiesOwnDuplicatesOfTheSamePipe) {
  Pipes original(true);
  original.CloseRead();
  {
    Pipes copy(original);
    EXPECT_FALSE(copy.IsReadOpen());
    ASSERT_TRUE(copy.IsWriteOpen());
    EXPECT_NE(original.GetWriteFd(), copy.GetWriteFd());
    EXPECT_EQ(FD_CLOEXEC, fcntl(copy.GetWriteFd(), F_GETFD) & FD_CLOEXEC);
  }
  // The copy's destructor closed only its own duplicate.
  EXPECT_TRUE(IsOpenDescriptor(original.GetWriteFd()));

  Pipes source(true);
  Pipes target(true);
  // A second reader of the target's old pipe sees end of file once assignment closed it.
  const int oldPipeReader = dup(target.GetReadFd());
  target = source;
  char c = 0;
  EXPECT_EQ(0, read(oldPipeReader, &c, 1));
  close(oldPipeReader);
  target = target;
  WriteByte(source.GetWriteFd(), 'z');
  target.CloseWrite();
  source.CloseWrite();
  EXPECT_EQ(1, read(target.GetReadFd(), &c, 1));
  EXPECT_EQ('z', c);
  EXPECT_EQ(0, read(target.GetReadFd(), &c, 1));
}

TEST(PipesTest, FlagHelpersSetAndClear) {
  Pipes pipes(true);
  const int fd = pipes.GetReadFd();
  Pipes::SetNonBlocking(fd, true);
  EXPECT_EQ(O_NONBLOCK, Pipes::Fcntl(fd, F_GETFL) & O_NONBLOCK);
  Pipes::SetNonBlocking(fd, true);
  char c;
  EXPECT_EQ(-1, read(fd, &c, 1));
  EXPECT_EQ(EAGAIN, errno);
  Pipes::SetNonBlocking(fd, false);
  EXPECT_EQ(0, Pipes::Fcntl(fd, F_GETFL) & O_NONBLOCK);

  Pipes::SetCloseOnExec(fd, false);
  EXPECT_EQ(0, Pipes::Fcntl(fd, F_GETFD) & FD_CLOEXEC);
  Pipes::SetCloseOnExec(fd, true);
  EXPECT_EQ(FD_CLOEXEC, Pipes::Fcntl(fd, F_GETFD) & FD_CLOEXEC);
}

TEST(PipesTest, ReportsFailedCallsExactly) {
  const std::string ebadf = "error#9 '" + GetErrorDescription(EBADF) + "'";
  struct Case {
    std::string expected;
    void (*action)();
  };
  const Case cases[] = {
      {"Pipes fcntl(-1,3) failed with " + ebadf, [] { Pipes::Fcntl(-1, F_GETFL); }},
      {"Pipes fcntl(-1,4,2048) failed with " + ebadf, [] { Pipes::Fcntl(-1, F_SETFL, 2048); }},
      {"Pipes fcntl(-1,3) failed with " + ebadf, [] { Pipes::SetNonBlocking(-1, true); }},
      {"Pipes fcntl(-1,1) failed with " + ebadf, [] { Pipes::SetCloseOnExec(-1, true); }},
      {"Pipes dup(-1) returned " + ebadf, [] { Pipes::Dup(-1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    try {
      c.action();
      ADD_FAILURE() << "no exception";
    } catch (const Pipes::SystemError& e) {
      EXPECT_EQ(c.expected, e.what());
    }
  }
}

int OpenDescriptorCount() {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
  return count;
}

// Runs action with all descriptor slots but `spare` taken under a lowered limit and
// returns the message of the Pipes::SystemError it threw. The exception is only looked at
// once the slots are free again: the sanitizers' run time needs descriptors of its own.
std::string FailureWithSpareDescriptors(int spare, const std::function<void()>& action) {
  rlimit saved;
  if (getrlimit(RLIMIT_NOFILE, &saved) != 0) {
    return "getrlimit failed";
  }
  rlimit lowered = saved;
  lowered.rlim_cur = 256;
  if (setrlimit(RLIMIT_NOFILE, &lowered) != 0) {
    return "setrlimit failed";
  }
  std::vector<int> held;
  for (int fd = dup(0); fd != -1; fd = dup(0)) {
    held.push_back(fd);
  }
  for (int i = 0; i < spare && !held.empty(); ++i) {
    close(held.back());
    held.pop_back();
  }
  std::exception_ptr error;
  try {
    action();
  } catch (...) {
    error = std::current_exception();
  }
  for (int fd : held) {
    close(fd);
  }
  setrlimit(RLIMIT_NOFILE, &saved);
  if (error == nullptr) {
    return "no exception";
  }
  try {
    std::rethrow_exception(error);
  } catch (const Pipes::SystemError& e) {
    return e.what();
  } catch (...) {
  }
  return "another exception";
}

TEST(PipesTest, PipeFailureIsReported) {
  Pipes pipes(false);
  EXPECT_EQ("Pipes pipe() returned error#24 '" + GetErrorDescription(EMFILE) + "'",
            FailureWithSpareDescriptors(0, [&] { pipes.Open(); }));
  EXPECT_FALSE(pipes.IsReadOpen());
  EXPECT_FALSE(pipes.IsWriteOpen());
}

// The first end is duplicated, the second is not: the half-built copy must not keep the
// first duplicate open.
TEST(PipesTest, CopyFailingHalfWayLeaksNothing) {
  Pipes original(true);
  const int before = OpenDescriptorCount();
  EXPECT_EQ("Pipes dup(" + std::to_string(original.GetWriteFd()) + ") returned error#24 '" +
                GetErrorDescription(EMFILE) + "'",
            FailureWithSpareDescriptors(1, [&] { Pipes copy(original); }));
  EXPECT_EQ(before, OpenDescriptorCount());
}

// Holding the lock keeps every member operation usable by the holder and makes other
// threads wait until the matching unlock.
TEST(PipesTest, LockHeldAcrossThreads) {
  Pipes pipes(true);
  Semaphore started(0, 0);
  std::atomic<bool> fetched{false};
  std::thread other;
  {
    std::lock_guard<Pipes> outer(pipes);
    std::lock_guard<Pipes> inner(pipes);
    const int fd = pipes.GetReadFd();
    EXPECT_TRUE(pipes.IsWriteOpen());
    other = std::thread([&] {
      EXPECT_FALSE(pipes.try_lock());
      started.Post();
      pipes.GetReadFd();
      fetched = true;
    });
    ASSERT_TRUE(started.TimedWait(10000, false));
    EXPECT_FALSE(started.TimedWait(50, false));
    EXPECT_FALSE(fetched);
    EXPECT_EQ(fd, pipes.GetReadFd());
  }
  other.join();
  EXPECT_TRUE(fetched);
  EXPECT_TRUE(pipes.try_lock());
  pipes.unlock();
}

}  // namespace
}  // namespace Corvane::TalisFramework
