#include "framework/Semaphore.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "framework/GetErrorDescription.h"

namespace Corvane::TalisFramework {
namespace {

TEST(SemaphoreTest, CountsPostsAndWaits) {
  Semaphore sem(2, 0);
  EXPECT_EQ(2, sem.GetCount());
  sem.Wait();
  EXPECT_TRUE(sem.TryWait());
  EXPECT_EQ(0, sem.GetCount());
  EXPECT_FALSE(sem.TryWait());
  sem.Post();
  EXPECT_EQ(1, sem.GetCount());
  EXPECT_TRUE(sem.TimedWait(0, true));
  EXPECT_EQ(0, sem.GetCount());
}

TEST(SemaphoreTest, ScopedGuardTakesAndGivesBack) {
  Semaphore sem(1, 0);
  {
    std::lock_guard<Semaphore> guard(sem);
    EXPECT_EQ(0, sem.GetCount());
    EXPECT_FALSE(sem.try_lock());
  }
  EXPECT_EQ(1, sem.GetCount());
}

TEST(SemaphoreTest, SetCountPostsOrTakesStepByStep) {
  Semaphore sem(0, 0);
  sem.SetCount(3);
  EXPECT_EQ(3, sem.GetCount());
  sem.SetCount(3);
  EXPECT_EQ(3, sem.GetCount());
  sem.SetCount(1);
  EXPECT_EQ(1, sem.GetCount());
  sem.SetCount(0);
  EXPECT_EQ(0, sem.GetCount());
  try {
    sem.SetCount(-1);
    ADD_FAILURE() << "no exception";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ("Semaphore::SetCount() cannot take a newCount value less than 0", e.what());
  }
  EXPECT_EQ(0, sem.GetCount());
}

TEST(SemaphoreTest, TimedWaitExpiresOrThrows) {
  Semaphore sem(0, 0);
  EXPECT_FALSE(sem.TimedWait(0, false));
  EXPECT_FALSE(sem.TimedWait(30, false));
  try {
    sem.TimedWait(0, true);
    ADD_FAILURE() << "no exception";
  } catch (const Semaphore::Timeout& e) {
    EXPECT_STREQ("Semaphore: a timeout occurred", e.what());
  }
}

TEST(SemaphoreTest, WaitsReturnWhenAnotherThreadPosts) {
  Semaphore sem(0, 0);
  Semaphore done(0, 0);
  std::thread poster([&] {
    sem.Post();
    done.Wait();
    sem.Post();
  });
  EXPECT_TRUE(sem.TimedWait(10000, true));
  done.Post();
  sem.Wait();
  poster.join();
  EXPECT_EQ(0, sem.GetCount());
}

// Signals interrupt sem_wait/sem_timedwait with EINTR even under SA_RESTART; the wait
// must go on until the count arrives.
TEST(SemaphoreTest, SignalsDoNotEndAWait) {
  struct sigaction action = {};
  struct sigaction previous = {};
  action.sa_handler = [](int) {};
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(0, sigaction(SIGUSR1, &action, &previous));

  Semaphore sem(0, 0);
  Semaphore waiting(0, 0);
  std::atomic<int> taken{0};
  std::string failure;
  std::thread waiter([&] {
    try {
      waiting.Post();
      sem.Wait();
      ++taken;
      waiting.Post();
      taken += sem.TimedWait(20000, true) ? 1 : 0;
    } catch (const std::exception& e) {
      failure = e.what();
      waiting.Post();
    }
  });
  for (int round = 0; round < 2; ++round) {
    if (!waiting.TimedWait(10000, false)) {
      ADD_FAILURE() << "the waiting thread did not get going";
      break;
    }
    for (int i = 0; i < 5; ++i) {
      pthread_kill(waiter.native_handle(), SIGUSR1);
      usleep(10000);
    }
    sem.Post();
  }
  waiter.join();
  sigaction(SIGUSR1, &previous, nullptr);
  EXPECT_EQ("", failure);
  EXPECT_EQ(2, taken);
}

TEST(SemaphoreTest, DeadlineCarriesNanosecondsIntoSeconds) {
  struct Case {
    timespec now;
    unsigned timeoutMs;
    timespec deadline;
  };
  const Case cases[] = {
      {{12, 700000000}, 1500, {14, 200000000}},
      {{12, 700000000}, 300, {13, 0}},
      {{12, 700000000}, 299, {12, 999000000}},
      {{12, 999999999}, 1, {13, 999999}},
      {{5, 0}, 0, {5, 0}},
      {{5, 0}, 4294967295u, {5 + 4294967, 295000000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.now.tv_sec) + "." + std::to_string(c.now.tv_nsec) + " + " +
                 std::to_string(c.timeoutMs) + " ms");
    const timespec deadline = Semaphore::AddMilliseconds(c.now, c.timeoutMs);
    EXPECT_EQ(c.deadline.tv_sec, deadline.tv_sec);
    EXPECT_EQ(c.deadline.tv_nsec, deadline.tv_nsec);
  }
}

// A fresh name per test, removed at the end whatever happened.
class NamedSemaphoreTest : public ::testing::Test {
 protected:
  NamedSemaphoreTest()
      : name("/corvane-semtest-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}
  ~NamedSemaphoreTest() override { sem_unlink(name.c_str()); }

  const std::string name;
};

TEST_F(NamedSemaphoreTest, CreateOpenAndUnlink) {
  {
    Semaphore created(name, false, false, 2, 0600);
    EXPECT_EQ(2, created.GetCount());
    Semaphore opened(name, true, false, 0, 0600);
    opened.Wait();
    EXPECT_EQ(1, created.GetCount());
  }
  // The name outlives the objects.
  Semaphore reopened(name, false, true, 7, 0600);
  EXPECT_EQ(1, reopened.GetCount());
  Semaphore::Unlink(name);
  EXPECT_THROW(Semaphore(name, true, false, 0, 0600), Semaphore::SystemError);
  // The object opened before the unlink still works.
  reopened.Post();
  EXPECT_EQ(2, reopened.GetCount());
}

TEST_F(NamedSemaphoreTest, ReportsFailedCallsWithErrorText) {
  struct Case {
    const char* call;
    int error;
    void (*action)(const std::string& name);
  };
  const Case cases[] = {
      {"sem_open", EEXIST,
       [](const std::string& n) {
         Semaphore first(n, false, false, 0, 0600);
         Semaphore second(n, false, false, 0, 0600);
       }},
      {"sem_open", ENOENT, [](const std::string& n) { Semaphore s(n, true, false, 0, 0600); }},
      {"sem_unlink", ENOENT, [](const std::string& n) { Semaphore::Unlink(n + "-missing"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    sem_unlink(name.c_str());
    try {
      c.action(name);
      ADD_FAILURE() << "no exception";
    } catch (const Semaphore::SystemError& e) {
      EXPECT_EQ(std::string("Semaphore: ") + c.call + " returned error #" +
                    std::to_string(c.error) + ": '" + GetErrorDescription(c.error) + "'",
                e.what());
    }
  }
}

}  // namespace
}  // namespace Corvane::TalisFramework
