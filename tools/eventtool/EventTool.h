#pragma once

#include <functional>
#include <ostream>

#include "tools/eventtool/EventToolOptions.h"

namespace Corvane::TalisFramework {
class IObjectBroker;
class Logger;
}  // namespace Corvane::TalisFramework

namespace Corvane::EventTool {

// Watches a channel or publishes one event on it, as the options say. The broker must be
// initialised; log lines of the event library go to `logger`, events watched to `out`.
class EventTool {
 public:
  EventTool(const EventToolOptions& optionsIn, TalisFramework::IObjectBroker& brokerIn,
            TalisFramework::Logger& loggerIn, std::ostream& outIn);

  // Runs the command. `interrupted` is polled about every 100 ms while watching and
  // ends the watch when it returns true. Returns the exit status; throws
  // std::runtime_error (the channel's errors among them) and std::invalid_argument
  // (a field that does not convert).
  int Run(const std::function<bool()>& interrupted);

 private:
  int Watch(const std::function<bool()>& interrupted);
  int PublishGps();
  int PublishEvent();

  const EventToolOptions options;
  TalisFramework::IObjectBroker& broker;
  TalisFramework::Logger& logger;
  std::ostream& out;
};

}  // namespace Corvane::EventTool
