#include <signal.h>

#include <iostream>
#include <string>
#include <typeinfo>
#include <vector>

#include "platform/talis/DecodeCORBAException.h"
#include "platform/talis/ObjectBroker.h"
#include "platform/talis/StdOutLogger.h"
#include "tools/eventtool/EventTool.h"

namespace {

// The event library's log lines go to standard error, so that standard output holds
// only the events watched.
class StdErrLogger : public Corvane::TalisFramework::StdOutLogger {
 public:
  StdErrLogger() : StdOutLogger("eventtool", 0, Warning, 2) {}
};

std::vector<std::string> OrbArguments(const Corvane::EventTool::EventToolOptions& options) {
  std::vector<std::string> args = {"eventtool"};
  bool endpointGiven = false;
  for (const std::string& arg : options.orbArguments) {
    endpointGiven = endpointGiven || arg.rfind("-ORBendPoint", 0) == 0;
    args.push_back(arg);
  }
  if (!endpointGiven) {
    // The channel calls the watcher back; keep that on loopback unless told otherwise.
    args.push_back("-ORBendPoint");
    args.push_back("giop:tcp:127.0.0.1:");
  }
  return args;
}

int Run(const Corvane::EventTool::EventToolOptions& options, const sigset_t& stopSignals) {
  using namespace Corvane;
  if (options.command == EventTool::EventToolOptions::Command::Help) {
    std::cout << EventTool::EventToolUsage();
    return 0;
  }
  std::vector<std::string> args = OrbArguments(options);
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  int argc = static_cast<int>(args.size());
  char** argvPointer = argv.data();
  StdErrLogger logger;
  TalisFramework::ObjectBroker broker(false, &logger);
  broker.Initialize(argc, argvPointer);
  EventTool::EventTool tool(options, broker, logger, std::cout);
  return tool.Run([&stopSignals] {
    const timespec noWait = {0, 0};
    return sigtimedwait(&stopSignals, nullptr, &noWait) > 0;
  });
}

}  // namespace

int main(int argc, char** argv) {
  // Blocked before any thread starts, so only the main thread takes them (when it polls).
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  Corvane::EventTool::EventToolOptions options;
  try {
    options =
        Corvane::EventTool::ParseEventToolOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const Corvane::EventTool::UsageError& e) {
    std::cerr << "eventtool: " << e.what() << "\n" << Corvane::EventTool::EventToolUsage();
    return 2;
  }
  try {
    return Run(options, stopSignals);
  } catch (const std::exception& e) {
    const char* name = typeid(e).name();
    std::cerr << "eventtool: " << (name[0] == '*' ? name + 1 : name) << ": " << e.what()
              << std::endl;
  } catch (const CORBA::Exception& e) {
    std::cerr << "eventtool: " << Corvane::TalisFramework::DecodeCORBAException(e) << std::endl;
  }
  return 1;
}
