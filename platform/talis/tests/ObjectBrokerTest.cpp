#include "platform/talis/ObjectBroker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/talis/DecodeCORBAException.h"
#include "platform/talis/tests/CapturingLogger.h"
#include "platform/talis/tests/EchoCommandable.h"
#include "specimen/idl/Talis.hh"
#include "testing/ChildProcess.h"
#include "testing/FreeTcpPort.h"
#include "testing/NamingService.h"

namespace Corvane::TalisFramework {
namespace {

using Corvane::Testing::ChildProcess;

std::string TestBinary() {
  char path[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

// The test process is the client: one broker for the whole suite (the ORB is one per
// process), bound to loopback, with short call time-outs so that no test hangs.
class ObjectBrokerTest : public ::testing::Test {
 protected:
  // Started from SetUp rather than SetUpTestSuite: a suite set-up failure makes the tests
  // count as skipped, not failed.
  void SetUp() override {
    if (client == nullptr) {
      StartClient();
    }
  }
  static void StartClient() {
    logger = new CapturingLogger;
    client = new ObjectBroker(false, logger);
    std::vector<std::string> options = {"client",
                                        "-ORBendPoint",
                                        "giop:tcp:127.0.0.1:",
                                        "-ORBclientConnectTimeOutPeriod",
                                        "5000",
                                        "-ORBclientCallTimeOutPeriod",
                                        "20000"};
    std::vector<char*> argv;
    for (std::string& option : options) {
      argv.push_back(option.data());
    }
    argv.push_back(nullptr);
    int argc = static_cast<int>(options.size());
    char** args = argv.data();
    client->Initialize(argc, args);
  }

  static void TearDownTestSuite() {
    delete client;
    client = nullptr;
    delete logger;
    logger = nullptr;
  }

  // Starts the test binary as a server advertising `name` with these ORB options.
  static std::unique_ptr<ChildProcess> StartServer(const std::string& name,
                                                   const std::vector<std::string>& orbOptions) {
    std::vector<std::string> argv = {TestBinary(), "--broker-child", name};
    argv.insert(argv.end(), orbOptions.begin(), orbOptions.end());
    return std::make_unique<ChildProcess>(argv);
  }

  static Corvane::Talis::ICommandable_ptr Commandable(const std::string& address) {
    CORBA::Object_var object = client->StringToObject(address.c_str());
    return Corvane::Talis::ICommandable::_narrow(object);
  }

  static std::string Send(Corvane::Talis::ICommandable_ptr target, const char* text) {
    CORBA::Any command;
    command <<= text;
    CORBA::Any_var result;
    target->SendCommand(command, "test", "1", result.out());
    const char* answer = "";
    result.in() >>= answer;
    return answer;
  }

  // The reference the server logged for `name`.
  static std::string LoggedIor(const ChildProcess& server, const std::string& name) {
    const std::string marker = "advertised '" + name + "' as ";
    const std::string output = server.Output();
    const std::size_t start = output.find(marker);
    if (start == std::string::npos) {
      return "";
    }
    const std::size_t begin = start + marker.size();
    return output.substr(begin, output.find('\n', begin) - begin);
  }

  // Ends the server through a request and checks that its request loop returned.
  static void ShutDown(Corvane::Talis::ICommandable_ptr target, ChildProcess& server) {
    EXPECT_EQ("bye", Send(target, "SHUTDOWN"));
    ASSERT_TRUE(server.Wait(20000)) << server.Output() << server.ErrorOutput();
    EXPECT_EQ(0, server.ExitStatus()) << server.ErrorOutput();
    EXPECT_NE(std::string::npos, server.Output().find("request loop ended"));
  }

  static CapturingLogger* logger;
  static ObjectBroker* client;
};

CapturingLogger* ObjectBrokerTest::logger = nullptr;
ObjectBroker* ObjectBrokerTest::client = nullptr;

TEST_F(ObjectBrokerTest, ServesUnderItsNameAtTheEndPointAndStopsOnRequest) {
  // The free port may be taken by someone else before the server binds it: retry.
  std::string port;
  std::unique_ptr<ChildProcess> server;
  for (int attempt = 0; attempt < 3; ++attempt) {
    port = std::to_string(Corvane::Testing::FreeTcpPort());
    server = StartServer("Echo", {"-ORBendPoint", "giop:tcp:127.0.0.1:" + port});
    if (server->WaitForOutput("advertised 'Echo' as IOR:", 20000)) {
      break;
    }
  }
  ASSERT_NE(std::string::npos, server->Output().find("advertised 'Echo' as IOR:"))
      << server->ErrorOutput();
  EXPECT_NE(std::string::npos, server->Output().find("no naming service configured"));

  Corvane::Talis::ICommandable_var echo = Commandable("corbaloc::127.0.0.1:" + port + "/Echo");
  EXPECT_EQ("echo:hello", Send(echo, "hello"));
  // The IDL exceptions travel to the client; the workaround turns them into a record.
  try {
    Send(echo, "BAD");
    FAIL() << "no BadParameter";
  } catch (const Corvane::Talis::BadParameter& refusal) {
    EXPECT_STREQ("refused", refusal.reason);
  }
  CORBA::Any command;
  command <<= "LATER";
  CORBA::Any_var result;
  Corvane::Talis::SendCommandWorkaroundData_var data;
  echo->SendCommandWorkaround(command, "test", "2", result.out(), data.out());
  EXPECT_TRUE(data->willCompleteAsynchronously);

  // The logged reference reaches the same object.
  Corvane::Talis::ICommandable_var byIor = Commandable(LoggedIor(*server, "Echo"));
  EXPECT_EQ("echo:ior", Send(byIor, "ior"));
  ShutDown(echo, *server);
}

TEST_F(ObjectBrokerTest, AnEmptyNameAdvertisesWithoutAKey) {
  auto server = StartServer("", {"-ORBendPoint", "giop:tcp:127.0.0.1:"});
  ASSERT_TRUE(server->WaitForOutput("advertised '' as IOR:", 20000)) << server->ErrorOutput();
  EXPECT_EQ(std::string::npos, server->Output().find("naming service"));
  Corvane::Talis::ICommandable_var echo = Commandable(LoggedIor(*server, ""));
  EXPECT_EQ("echo:x", Send(echo, "x"));
  ShutDown(echo, *server);
}

TEST_F(ObjectBrokerTest, BindsTheNameInAConfiguredNamingService) {
  Corvane::Testing::NamingService naming;
  auto server =
      StartServer("Echo", {"-ORBendPoint", "giop:tcp:127.0.0.1:", "-ORBInitRef", naming.InitRef()});
  ASSERT_TRUE(server->WaitForOutput("advertised 'Echo'", 20000)) << server->ErrorOutput();
  EXPECT_NE(std::string::npos, server->Output().find("bound 'Echo' (kind 'test')"));

  Corvane::Talis::ICommandable_var echo =
      Commandable("corbaname::127.0.0.1:" + std::to_string(naming.Port()) + "#Echo.test");
  EXPECT_EQ("echo:named", Send(echo, "named"));
  ShutDown(echo, *server);
}

TEST_F(ObjectBrokerTest, AnUnreachableNamingServiceIsACorbaErrorNotAHang) {
  // A loopback port held bound but not listening: connections to it are refused.
  struct Socket {
    ~Socket() { close(fd); }
    int fd;
  } socketHolder{socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
  const int holder = socketHolder.fd;
  ASSERT_LE(0, holder);
  struct sockaddr_in address {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(0, bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address));
  ASSERT_EQ(0, getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length));
  const std::string deadPort = std::to_string(ntohs(address.sin_port));
  auto server = StartServer(
      "Echo", {"-ORBendPoint", "giop:tcp:127.0.0.1:", "-ORBInitRef",
               "NameService=corbaloc::127.0.0.1:" + deadPort + "/NameService",
               "-ORBclientConnectTimeOutPeriod", "2000", "-ORBclientCallTimeOutPeriod", "2000"});
  ASSERT_TRUE(server->Wait(30000));
  EXPECT_EQ(3, server->ExitStatus()) << server->Output() << server->ErrorOutput();
  EXPECT_NE(std::string::npos, server->ErrorOutput().find("CORBA exception: CORBA::TRANSIENT"))
      << server->ErrorOutput();
  EXPECT_EQ(std::string::npos, server->Output().find("advertised"));
}

TEST_F(ObjectBrokerTest, MisuseIsRefused) {
  ObjectBroker idle(true, logger);
  EXPECT_THROW(idle.ListenForRequests(), std::logic_error);
  EXPECT_THROW(idle.AdvertizeInstance(nullptr, "x", nullptr), std::logic_error);
  EXPECT_THROW(client->AdvertizeInstance(nullptr, "Named", nullptr), std::logic_error);
  EXPECT_FALSE(client->HasNamingService());
  EXPECT_THROW(CORBA::Object_var(client->ResolveName("x", "")), CORBA::ORB::InvalidName);
  EXPECT_THROW(CORBA::Object_var(client->StringToObject("not a reference")), CORBA::BAD_PARAM);
}

// Brokers of one process share its ORB; the ORB outlives all but the last of them and
// can be started again after that.
TEST(ObjectBrokerLifetimeTest, BrokersShareTheOrbUntilTheLastIsDestroyed) {
  CapturingLogger log;
  auto initialize = [](ObjectBroker& broker) {
    std::string program = "lifetime";
    std::string option = "-ORBendPoint";
    std::string endPoint = "giop:tcp:127.0.0.1:";
    char* argv[] = {program.data(), option.data(), endPoint.data(), nullptr};
    int argc = 3;
    char** args = argv;
    broker.Initialize(argc, args);
    EXPECT_EQ(1, argc);  // the ORB took its options
  };
  auto roundTrip = [](ObjectBroker& broker) {
    EchoCommandable commandable(broker);
    POA_Corvane::Talis::ICommandable_tie<EchoCommandable> servant(commandable);
    CORBA::Object_var object = broker.ActivateObject(&servant);
    Corvane::Talis::ICommandable_var echo = Corvane::Talis::ICommandable::_narrow(object);
    CORBA::Any command;
    command <<= "again";
    CORBA::Any_var result;
    echo->SendCommand(command, "", "", result.out());
    broker.DeactivateObject(&servant);
    const char* answer = "";
    result.in() >>= answer;
    return std::string(answer);
  };
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    auto first = std::make_unique<ObjectBroker>(false, &log);
    auto second = std::make_unique<ObjectBroker>(false, &log);
    initialize(*first);
    initialize(*second);
    EXPECT_EQ(first->GetORB(), second->GetORB());
    first.reset();
    EXPECT_EQ("echo:again", roundTrip(*second));
  }
}

TEST(ObjectBrokerLifetimeTest, AShutdownRequestedBeforeTheLoopEndsItAtOnce) {
  // A request may ask for the shutdown before the main thread enters the loop.
  CapturingLogger log;
  ObjectBroker broker(true, &log);
  std::string program = "early";
  std::string option = "-ORBendPoint";
  std::string endPoint = "giop:tcp:127.0.0.1:";
  char* argv[] = {program.data(), option.data(), endPoint.data(), nullptr};
  int argc = 3;
  char** args = argv;
  broker.Initialize(argc, args);
  broker.RequestShutdown();
  // Let the asynchronous shutdown complete first: the ORB then refuses to run at all.
  bool completed = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!completed && std::chrono::steady_clock::now() < deadline) {
    try {
      broker.GetORB()->work_pending();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } catch (const CORBA::BAD_INV_ORDER&) {
      completed = true;
    }
  }
  ASSERT_TRUE(completed);
  auto loop = std::async(std::launch::async, [&broker] { broker.ListenForRequests(); });
  ASSERT_EQ(std::future_status::ready, loop.wait_for(std::chrono::seconds(20)));
  EXPECT_NO_THROW(loop.get());
}

}  // namespace
}  // namespace Corvane::TalisFramework
