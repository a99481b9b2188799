#pragma once

#include <memory>
#include <string>

#include "platform/talis/ObjectBroker.h"
#include "testing/EventService.h"
#include "testing/NamingService.h"

namespace Corvane::Herald {

// The process's ORB for the tests, bound to loopback, with a private naming service and
// event service started on first use and stopped by Shutdown (called after all tests).
class TestOrb {
 public:
  static TestOrb& Get();
  static void Shutdown();

  TalisFramework::ObjectBroker& Broker() { return *broker; }
  Testing::NamingService& Naming() { return *naming; }
  Testing::EventService& Events() { return *events; }
  // Creates a channel under a name not used before in this process and returns it.
  std::string NewChannel();

 private:
  TestOrb();

  std::unique_ptr<Testing::NamingService> naming;
  std::unique_ptr<Testing::EventService> events;
  std::unique_ptr<TalisFramework::ObjectBroker> broker;
  int channels = 0;
};

}  // namespace Corvane::Herald
