// SHUTDOWN ends the driver cleanly, also while asynchronous commands are running, and
// under load from several clients.
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "specimen/tests/DriverRig.h"

namespace {

using SpecimenCtl::ReceivedEvent;

bool HasSanitizerReport(const std::string& errors) {
  return errors.find("Sanitizer") != std::string::npos;
}

TEST(SpecimenShutdownTest, ShutdownReturnsItsResultAndTheDriverExitsZero) {
  DriverRig rig;
  const std::string result = rig.Send("SHUTDOWN");
  EXPECT_EQ(0u, result.find("Time=")) << result;
  ASSERT_TRUE(rig.Driver().Wait(30000));
  EXPECT_EQ(0, rig.Driver().ExitStatus());
  EXPECT_FALSE(HasSanitizerReport(rig.Driver().ErrorOutput())) << rig.Driver().ErrorOutput();
  EXPECT_NE(std::string::npos,
            rig.Driver().Output().find("INFO: Specimen::SendCommand command='SHUTDOWN' "
                                       "requester='' transactionID='' 1 tokens: 1) 'SHUTDOWN' "
                                       "(queueing shutdown) returning result='Time="));
}

// A worker asleep for a minute does not hold the driver up, and publishes nothing once
// the driver is going away.
TEST(SpecimenShutdownTest, ShutdownCutsShortASleepingWorker) {
  DriverRig rig;
  const std::size_t mark = rig.LogMark();
  EXPECT_THROW(rig.Send("ASYNCHRETURN 60 2", "sleeper", "s1"),
               Corvane::Talis::WillCompleteAsynchronously);
  ASSERT_TRUE(rig.WaitForLogAfter(mark, "transID='s1' timeout=60 times=2\n"));
  rig.Send("SHUTDOWN");
  // Well below the worker's minute: the driver must not wait out the sleep.
  ASSERT_TRUE(rig.Driver().Wait(30000));
  EXPECT_EQ(0, rig.Driver().ExitStatus()) << rig.Driver().ErrorOutput();
  EXPECT_FALSE(HasSanitizerReport(rig.Driver().ErrorOutput())) << rig.Driver().ErrorOutput();
  ReceivedEvent event;
  EXPECT_FALSE(rig.NextEvent(RigNames::kCompleteEvent, event, std::chrono::milliseconds(100)))
      << event.Describe();
}

// Four clients send a mix of commands for a few seconds; every call answers as expected,
// every command-complete event arrives, and SHUTDOWN still ends the driver with 0.
TEST(SpecimenShutdownTest, SurvivesConcurrentClientsAndAccountsForEveryEvent) {
  DriverRig rig;
  std::atomic<int> failures{0};
  std::atomic<int> telemetry{0};
  std::mutex mutex;
  std::map<std::string, int> expectedCompletions;  // transaction id -> events
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  std::vector<std::thread> clients;
  for (int client = 0; client < 4; ++client) {
    clients.emplace_back([&, client] {
      try {
        for (int i = 0; std::chrono::steady_clock::now() < end; ++i) {
          const std::string id = std::to_string(client) + "-" + std::to_string(i);
          switch (i % 5) {
            case 0:
              rig.Reference()->Ping();
              break;
            case 1:
              rig.Send("HELLO " + id);
              break;
            case 2:
              rig.Send("TELEM Load LoadType LoadDomain n,long," + std::to_string(i) +
                       " s,string," + id);
              ++telemetry;
              break;
            case 3:
              try {
                rig.Send("ASYNCHRETURN 0 3", "stress", id);
                ++failures;
              } catch (const Corvane::Talis::WillCompleteAsynchronously&) {
                std::lock_guard<std::mutex> guard(mutex);
                expectedCompletions[id] = 4;
              }
              break;
            default:
              try {
                rig.Send("THROWBAD");
                ++failures;
              } catch (const Corvane::Talis::BadParameter&) {
              }
              break;
          }
        }
      } catch (const CORBA::Exception& e) {
        ++failures;
        ADD_FAILURE() << "client " << client << ": " << e._name();
      }
    });
  }
  for (std::thread& client : clients) {
    client.join();
  }
  EXPECT_EQ(0, failures.load());

  std::map<std::string, int> completions;
  int telemetrySeen = 0;
  int completionsLeft = 0;
  for (const auto& entry : expectedCompletions) {
    completionsLeft += entry.second;
  }
  ReceivedEvent event;
  while ((completionsLeft > 0 || telemetrySeen < telemetry.load()) &&
         rig.AnyEvent(event, std::chrono::seconds(30))) {
    if (event.eventName == "Load") {
      ++telemetrySeen;
    } else if (event.eventName == RigNames::kCompleteEvent) {
      ++completions[StringField(event, "TransactionID")];
      --completionsLeft;
    }
  }
  EXPECT_EQ(telemetry.load(), telemetrySeen);
  EXPECT_EQ(expectedCompletions, completions);

  rig.Send("SHUTDOWN");
  ASSERT_TRUE(rig.Driver().Wait(30000));
  EXPECT_EQ(0, rig.Driver().ExitStatus()) << rig.Driver().ErrorOutput();
  EXPECT_FALSE(HasSanitizerReport(rig.Driver().ErrorOutput())) << rig.Driver().ErrorOutput();
}

}  // namespace
