#include "testing/NamingService.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include "testing/FreeTcpPort.h"

namespace Corvane::Testing {

NamingService::NamingService() {
  // The port is free when picked but may be taken before omniNames binds it: retry.
  for (int attempt = 0; attempt < 5; ++attempt) {
    port = FreeTcpPort();
    // omniNames refuses -start over an existing data file: a fresh folder per attempt.
    std::string dataDir = dir.File("data" + std::to_string(attempt));
    std::string endPoint = "giop:tcp:127.0.0.1:" + std::to_string(port);
    int status = -1;
    RunProgram({"mkdir", "-p", dataDir}, &status);
    process = std::make_unique<ChildProcess>(std::vector<std::string>{
        "omniNames", "-start", std::to_string(port), "-datadir", dataDir, "-ORBendPoint",
        endPoint});
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline && process->Running()) {
      NameClient("list", "", &status);
      if (status == 0) {
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    process.reset();
  }
  throw std::runtime_error("NamingService: omniNames did not start");
}

NamingService::~NamingService() = default;

std::string NamingService::Corbaloc() const {
  return "corbaloc::127.0.0.1:" + std::to_string(port) + "/NameService";
}

std::string NamingService::NameClient(const std::string& operation, const std::string& argument,
                                      int* exitStatus) const {
  std::vector<std::string> argv = {"nameclt", "-ORBInitRef", InitRef(),
                                   "-ORBclientConnectTimeOutPeriod", "2000",
                                   "-ORBclientCallTimeOutPeriod", "5000", operation};
  if (!argument.empty()) {
    argv.push_back(argument);
  }
  return RunProgram(argv, exitStatus, 10000);
}

}  // namespace Corvane::Testing
