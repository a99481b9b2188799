#include "testing/EventService.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include "testing/FreeTcpPort.h"

namespace Corvane::Testing {

EventService::EventService(const NamingService& namingService) : naming(namingService) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    port = FreeTcpPort();
    // A fresh log folder every start, or omniEvents brings back old channels.
    std::string logDir = dir.File("log" + std::to_string(attempt));
    int status = -1;
    RunProgram({"mkdir", "-p", logDir}, &status);
    process = std::make_unique<ChildProcess>(std::vector<std::string>{
        "omniEvents", "-f", "-p", std::to_string(port), "-l", logDir, "-ORBendPointPublish",
        "giop:tcp:127.0.0.1:" + std::to_string(port), "-ORBInitRef", naming.InitRef()});
    // It keeps running without its factory when registration fails: poll the name.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline && process->Running()) {
      naming.NameClient("resolve", "EventChannelFactory", &status);
      if (status == 0) {
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    process.reset();
  }
  throw std::runtime_error("EventService: omniEvents did not start");
}

EventService::~EventService() = default;

void EventService::CreateChannel(const std::string& name) {
  int status = -1;
  RunProgram({"eventc", "-n", name, "-ORBInitRef", naming.InitRef(),
              "-ORBclientConnectTimeOutPeriod", "2000", "-ORBclientCallTimeOutPeriod", "5000"},
             &status, 15000);
  if (status != 0) {
    throw std::runtime_error("EventService: eventc could not create channel " + name);
  }
}

}  // namespace Corvane::Testing
