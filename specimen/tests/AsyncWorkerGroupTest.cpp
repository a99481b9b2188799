#include "specimen/AsyncWorkerGroup.h"

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(AsyncWorkerGroupTest, StopInterruptsSleepingWorkersAndWaitsForThem) {
  std::atomic<int> interrupted{0};
  std::promise<void> bothAsleep;
  std::atomic<int> asleep{0};
  {
    AsyncWorkerGroup group;
    for (int i = 0; i < 2; ++i) {
      group.Start(
          [&] {
            if (++asleep == 2) {
              bothAsleep.set_value();
            }
            // An hour: only Stop can end this in time for the test.
            if (!group.InterruptibleSleep(3600UL * 1000000UL)) {
              ++interrupted;
            }
          },
          [](const std::exception&) {});
    }
    ASSERT_EQ(std::future_status::ready,
              bothAsleep.get_future().wait_for(std::chrono::seconds(30)));
    EXPECT_EQ(2, group.Running());
  }  // the destructor stops and waits
  EXPECT_EQ(2, interrupted.load());
}

TEST(AsyncWorkerGroupTest, AWorkerExceptionGoesToItsHandlerAndEndsOnlyThatWorker) {
  AsyncWorkerGroup group;
  std::promise<std::string> failure;
  std::promise<void> otherDone;
  group.Start([] { throw std::runtime_error("boom"); },
              [&](const std::exception& e) { failure.set_value(e.what()); });
  group.Start([&] { otherDone.set_value(); }, [](const std::exception&) {});
  auto message = failure.get_future();
  ASSERT_EQ(std::future_status::ready, message.wait_for(std::chrono::seconds(30)));
  EXPECT_EQ("boom", message.get());
  EXPECT_EQ(std::future_status::ready,
            otherDone.get_future().wait_for(std::chrono::seconds(30)));
  group.StopAndWait();
  EXPECT_EQ(0, group.Running());
  EXPECT_THROW(group.Start([] {}, [](const std::exception&) {}), std::logic_error);
}

TEST(AsyncWorkerGroupTest, ShortSleepRunsToItsEnd) {
  AsyncWorkerGroup group;
  EXPECT_TRUE(group.InterruptibleSleep(1000));
  EXPECT_FALSE(group.Stopping());
}

}  // namespace
