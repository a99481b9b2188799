#include "warden/ProcInfoSet.h"

#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "framework/GetErrorDescription.h"
#include "testing/ScopedTempDir.h"

namespace Corvane::Warden {
namespace {

using TalisFramework::GetErrorDescription;
using Record = boost::shared_ptr<ProcInfo>;

const int kEventCapMs = 10000;

// A never-launched record made readable by one byte, as a wake-up record is.
Record ReadyRecord() {
  Record record = ProcInfo::Create();
  const char byte = 'A';
  EXPECT_EQ(1, ::write(record->GetPipes()->GetWriteFd(), &byte, 1));
  return record;
}

TEST(ProcInfoSetTest, EarliestAddedReadyRecordWins) {
  ProcInfoSet set;
  Record idle = ProcInfo::Create();
  Record first = ReadyRecord();
  Record second = ReadyRecord();
  set.Add(idle);
  set.Add(first);
  set.Add(second);
  // Records without a child stay ready until their byte is read.
  EXPECT_EQ(first, set.Wait(kEventCapMs));
  EXPECT_EQ(first, set.Wait(kEventCapMs));
  set.Remove(first);
  EXPECT_EQ(second, set.Wait(kEventCapMs));
  EXPECT_EQ(2u, set.Size());
}

TEST(ProcInfoSetTest, EndedChildrenAreReapedInOrderAndThenIgnored) {
  ProcInfoSet set;
  Record first = set.Launch("exit 3", true);
  Record second = set.Launch("true", false);
  // Both children end before the first wait; they stay waitable for Reap.
  for (const Record& record : {first, second}) {
    siginfo_t info{};
    ASSERT_EQ(0, ::waitid(P_PID, static_cast<id_t>(record->GetPid()), &info, WEXITED | WNOWAIT));
  }
  EXPECT_EQ(first, set.Wait(kEventCapMs));
  EXPECT_EQ(second, set.Wait(kEventCapMs));
  EXPECT_EQ("exitStatus=768 exited(3)",
            first->Describe(false).substr(first->Describe(false).find("exitStatus")));
  EXPECT_FALSE(second->IsRunning());
  EXPECT_EQ(2u, set.Size());
  EXPECT_THROW(set.Wait(0), ProcInfoSet::Timeout);
}

TEST(ProcInfoSetTest, LaunchOverloadsUseTheirRecordAndDirectory) {
  Testing::ScopedTempDir dir;
  ProcInfoSet set;
  Record own = ProcInfo::Create();
  EXPECT_EQ(own, set.Launch("test -f marker || exit 7", own, &dir.Path(), true));
  EXPECT_EQ(own, set.Wait(kEventCapMs));
  EXPECT_EQ(7, WEXITSTATUS(own->GetExitStatus()));

  Record again = set.Launch("ls", &dir.Path(), false);
  EXPECT_EQ(again, set.Wait(kEventCapMs));
  EXPECT_EQ(0, again->GetExitStatus());
  EXPECT_EQ(2u, set.Size());

  // A launch that fails adds nothing; one into an already launched record neither.
  const std::string missing = dir.File("missing");
  EXPECT_THROW(set.Launch("true", &missing, false), std::invalid_argument);
  EXPECT_THROW(set.Launch("true", own, false), TalisFramework::Pipes::PipeIsClosed);
  EXPECT_EQ(2u, set.Size());
}

TEST(ProcInfoSetTest, AddAndRemoveKeepOrderAndDuplicates) {
  ProcInfoSet set;
  Record a = ReadyRecord();
  Record b = ReadyRecord();
  set.Add(a);
  set.Add(b);
  set.Add(a);
  EXPECT_EQ(3u, set.Size());
  set.Remove(ProcInfo::Create());
  EXPECT_EQ(3u, set.Size());
  set.Remove(a);  // only the first entry goes: b is now first
  EXPECT_EQ(2u, set.Size());
  EXPECT_EQ(b, set.Wait(kEventCapMs));
  set.Remove(b);
  EXPECT_EQ(a, set.Wait(kEventCapMs));
  set.Remove(a);
  EXPECT_EQ(0u, set.Size());
}

TEST(ProcInfoSetTest, HighDescriptorsAreRefused) {
  ProcInfoSet set;
  EXPECT_THROW(set.Add(boost::shared_ptr<ProcInfo>(new ProcInfo(FD_SETSIZE))),
               std::invalid_argument);
  EXPECT_THROW(set.Add(Record()), std::invalid_argument);
  EXPECT_EQ(0u, set.Size());
}

TEST(ProcInfoSetTest, DescriptorClosedBehindTheSetsBack) {
  int ends[2];
  ASSERT_EQ(0, ::pipe(ends));
  ProcInfoSet set;
  set.Add(boost::shared_ptr<ProcInfo>(new ProcInfo(ends[0])));
  ::close(ends[0]);
  ::close(ends[1]);
  try {
    set.Wait(kEventCapMs);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ("select failed and returned " + GetErrorDescription(EBADF), e.what());
  }
  EXPECT_EQ(1u, set.Size());
}

TEST(ProcInfoSetTest, TimeoutsOnIdleAndEmptySets) {
  ProcInfoSet set;
  set.Add(ProcInfo::Create());
  try {
    set.Wait(0);
    ADD_FAILURE() << "no exception";
  } catch (const ProcInfoSet::Timeout& e) {
    EXPECT_STREQ("select timed out", e.what());
  }
  ProcInfoSet empty;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(empty.Wait(50), ProcInfoSet::Timeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(45));
}

std::atomic<long> signalSeenNs{0};

void RecordSignalTime(int) {
  timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  signalSeenNs = now.tv_sec * 1000000000L + now.tv_nsec;
}

long MonotonicNs() {
  timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000000L + now.tv_nsec;
}

// A signal during the wait restarts it with the full limit: the timeout comes a whole
// limit after the signal, not a limit after the start.
TEST(ProcInfoSetTest, SignalRestartsTheWaitWithTheFullLimit) {
  struct sigaction action {};
  action.sa_handler = RecordSignalTime;
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  ASSERT_EQ(0, ::sigaction(SIGUSR1, &action, &previous));
  signalSeenNs = 0;

  const int limitMs = 600;
  std::atomic<long> waitStartNs{0};
  std::atomic<long> waitEndNs{0};
  std::atomic<bool> timedOut{false};
  std::thread waiter([&] {
    ProcInfoSet set;
    set.Add(ProcInfo::Create());
    waitStartNs = MonotonicNs();
    try {
      set.Wait(limitMs);
    } catch (const ProcInfoSet::Timeout&) {
      timedOut = true;
    } catch (...) {
    }
    waitEndNs = MonotonicNs();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(limitMs / 2));
  ::pthread_kill(waiter.native_handle(), SIGUSR1);
  waiter.join();
  ::sigaction(SIGUSR1, &previous, nullptr);

  ASSERT_TRUE(timedOut);
  ASSERT_NE(0, signalSeenNs.load());
  EXPECT_GT(signalSeenNs.load(), waitStartNs.load());
  // A few milliseconds of slack for the kernel's timer rounding.
  EXPECT_GE(waitEndNs.load() - signalSeenNs.load(), (limitMs - 5) * 1000000L);
}

}  // namespace
}  // namespace Corvane::Warden
