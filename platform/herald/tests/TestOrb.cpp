#include "platform/herald/tests/TestOrb.h"

#include <unistd.h>

#include <vector>

#include <gtest/gtest.h>

namespace Corvane::Herald {

namespace {
TestOrb* instance = nullptr;
}

TestOrb& TestOrb::Get() {
  if (instance == nullptr) {
    instance = new TestOrb();
  }
  return *instance;
}

void TestOrb::Shutdown() {
  delete instance;
  instance = nullptr;
}

TestOrb::TestOrb()
    : naming(std::make_unique<Testing::NamingService>()),
      events(std::make_unique<Testing::EventService>(*naming)),
      broker(std::make_unique<TalisFramework::ObjectBroker>(true)) {
  std::vector<std::string> args = {"herald_test",
                                   "-ORBInitRef",
                                   naming->InitRef(),
                                   "-ORBendPoint",
                                   "giop:tcp:127.0.0.1:",
                                   "-ORBclientConnectTimeOutPeriod",
                                   "5000",
                                   "-ORBclientCallTimeOutPeriod",
                                   "15000"};
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  int argc = static_cast<int>(args.size());
  char** argvPointer = argv.data();
  broker->Initialize(argc, argvPointer);
}

std::string TestOrb::NewChannel() {
  const std::string name = "channel" + std::to_string(getpid()) + "_" + std::to_string(++channels);
  events->CreateChannel(name);
  return name;
}

}  // namespace Corvane::Herald

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  Corvane::Herald::TestOrb::Shutdown();
  return result;
}
