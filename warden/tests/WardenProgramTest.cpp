// The real warden binary, each test in a network namespace of its own: the socket name is
// fixed, and abstract socket names are private to a network namespace.
#include <dirent.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "testing/ChildProcess.h"
#include "warden/IPCConnect.h"

namespace {

using Corvane::Testing::ChildProcess;
using Corvane::Testing::RunProgram;
using Corvane::Warden::IPCConnect;

const char kWarden[] = WARDEN_BINARY;
const char kSocket[] = "busyworkaround";
const int kEventCapMs = 15000;

using Clock = std::chrono::steady_clock;

std::vector<pid_t> ChildrenOf(pid_t parent) {
  std::vector<pid_t> children;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) {
    return children;
  }
  while (dirent* entry = ::readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::atol(entry->d_name));
    if (pid <= 0) {
      continue;
    }
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    if (close == std::string::npos) {
      continue;
    }
    std::istringstream rest(line.substr(close + 2));
    char state = 0;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (ppid == parent) {
      children.push_back(pid);
    }
  }
  ::closedir(proc);
  return children;
}

// CPU seconds (user + system) the process has used.
double CpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  std::istringstream rest(line.substr(line.rfind(')') + 2));
  std::string field;
  long ticks = 0;
  for (int index = 3; rest >> field; ++index) {
    if (index == 14 || index == 15) {
      ticks += std::stol(field);
    }
  }
  return static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

size_t OpenDescriptors(pid_t pid) {
  size_t count = 0;
  DIR* dir = ::opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
  if (dir == nullptr) {
    return 0;
  }
  while (::readdir(dir) != nullptr) {
    ++count;
  }
  ::closedir(dir);
  return count;
}

int ConnectRaw() {
  sockaddr_un address;
  const socklen_t length = IPCConnect::BuildAddress(kSocket, address);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

class WardenProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::unshare(CLONE_NEWNET) != 0) {
      GTEST_SKIP() << "no network namespace of our own (needs root): " << std::strerror(errno);
    }
    // Servers forked by clients are adopted by this process, so that they can be reaped.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  }

  void TearDown() override {
    server.reset();
    for (pid_t pid : ChildrenOf(::getpid())) {
      ::kill(pid, SIGKILL);
    }
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
  }

  // Starts a stand-alone server and waits until it accepts connections.
  void StartServer() {
    server = std::make_unique<ChildProcess>(std::vector<std::string>{kWarden});
    ASSERT_TRUE(WaitUntilServing()) << server->Output();
  }

  static bool WaitUntilServing() {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kEventCapMs);
    while (Clock::now() < deadline) {
      const int fd = ConnectRaw();
      if (fd != -1) {
        ::close(fd);
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  static std::string Client(const std::vector<std::string>& args, int* status = nullptr) {
    std::vector<std::string> argv{kWarden};
    argv.insert(argv.end(), args.begin(), args.end());
    int exitStatus = -1;
    const std::string output = RunProgram(argv, &exitStatus, kEventCapMs);
    EXPECT_EQ(0, exitStatus);
    if (status != nullptr) {
      *status = exitStatus;
    }
    return output;
  }

  // The answer as an independent client sees it. A connection that the server closes
  // unanswered and unread may end in a reset, which socat reports in its status.
  static std::string Socat(const std::string& request, const std::vector<std::string>& prefix = {},
                           bool answered = true) {
    std::vector<std::string> argv = prefix;
    argv.insert(
        argv.end(),
        {"sh", "-c", "printf %s \"$1\" | socat - ABSTRACT-CONNECT:busyworkaround", "sh", request});
    int status = -1;
    const std::string output = RunProgram(argv, &status, kEventCapMs);
    if (answered) {
      EXPECT_EQ(0, status) << request.substr(0, 20);
    }
    return output;
  }

  std::unique_ptr<ChildProcess> server;
};

TEST_F(WardenProgramTest, CommandLinesThatContactNothing) {
  struct Case {
    std::vector<std::string> args;
    const char* output;
  };
  const Case cases[] = {
      {{"kil"}, "Unexpected argument: kil\n"},
      {{""}, "Unexpected argument: \n"},
      {{"on", "off"}, "Unexpected argument count\n"},
      {{"on", "off", "kill"}, "Unexpected argument count\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    EXPECT_EQ(c.output, Client(c.args));
  }
  EXPECT_EQ(-1, ConnectRaw());
  EXPECT_TRUE(ChildrenOf(::getpid()).empty());
}

TEST_F(WardenProgramTest, AnswersAndServerLines) {
  StartServer();
  struct Step {
    const char* word;
    const char* answer;
  };
  const Step steps[] = {
      {"ON", "OK"},
      {"on", "Server is already started"},
      {"Off", "OK"},
      {"off", "Server is already stopped"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.word);
    EXPECT_EQ(std::string("Server returned: ") + step.answer + "\n", Client({step.word}));
  }
  // Another client program gets the same answers; nothing is trimmed.
  const Step raw[] = {
      {"ON", "OK"},
      {"on", "Server is already started"},
      {"on ", "Invalid request"},
      {"on\n", "Invalid request"},
      {"OFF", "OK"},
      {"bogus", "Invalid request"},
      {"", ""},
  };
  for (const Step& step : raw) {
    SCOPED_TRACE(step.word);
    EXPECT_EQ(step.answer, Socat(step.word));
  }
  EXPECT_EQ("Invalid request", Socat(std::string(5000, 'o')));

  EXPECT_EQ("Server returned: OK\n", Client({"Kill"}));
  ASSERT_TRUE(server->Wait(kEventCapMs));
  EXPECT_EQ(0, server->ExitStatus());
  EXPECT_EQ("Starting server standalone\nServer was killed\n", server->Output());
}

TEST_F(WardenProgramTest, ClientStartsAServerWhenNoneAnswers) {
  ChildProcess client({kWarden, "off"}, ChildProcess::Options{"", {}, false, false});
  ASSERT_TRUE(client.Wait(kEventCapMs));
  EXPECT_EQ(0, client.ExitStatus());
  EXPECT_EQ("Starting server\nServer returned: Server is already stopped\n", client.Output());

  // The server outlives its client; this process adopted it.
  const std::vector<pid_t> adopted = ChildrenOf(::getpid());
  ASSERT_EQ(1u, adopted.size());
  EXPECT_EQ("Server returned: OK\n", Client({"kill"}));
  int status = 0;
  ASSERT_EQ(adopted[0], ::waitpid(adopted[0], &status, 0));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ("Starting server\nServer returned: Server is already stopped\nServer was killed\n",
            client.Output());
}

TEST_F(WardenProgramTest, SecondServerFailsToBind) {
  StartServer();
  int status = -1;
  EXPECT_EQ("Starting server standalone\nServer caught exception\n",
            RunProgram({kWarden}, &status, kEventCapMs));
  EXPECT_EQ(0, status);
  EXPECT_EQ("Server returned: Server is already stopped\n", Client({"off"}));
}

TEST_F(WardenProgramTest, BusyLoopRunsOnlyWhileOn) {
  StartServer();
  const pid_t pid = server->Pid();
  const auto cpuOver = [pid](std::chrono::milliseconds span) {
    const double before = CpuSeconds(pid);
    std::this_thread::sleep_for(span);
    return CpuSeconds(pid) - before;
  };
  EXPECT_LT(cpuOver(std::chrono::seconds(1)), 0.05);
  EXPECT_EQ("Server returned: OK\n", Client({"on"}));
  // A spinning thread gets a good share of a core even on a busy machine.
  EXPECT_GT(cpuOver(std::chrono::seconds(1)), 0.15);
  EXPECT_EQ("Server returned: OK\n", Client({"off"}));
  EXPECT_LT(cpuOver(std::chrono::seconds(1)), 0.05);
}

TEST_F(WardenProgramTest, StalledClientDoesNotBlockOthers) {
  StartServer();
  const int stalled = ConnectRaw();
  ASSERT_NE(-1, stalled);
  const auto start = Clock::now();
  std::future<std::string> other =
      std::async(std::launch::async, [] { return IPCConnect(kSocket).CallServer("off"); });
  ASSERT_EQ(std::future_status::ready, other.wait_for(std::chrono::milliseconds(kEventCapMs)));
  EXPECT_EQ("Server is already stopped", other.get());
  // The stalled connection was closed without an answer.
  char byte;
  EXPECT_EQ(0, ::read(stalled, &byte, 1));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1500));
  ::close(stalled);
}

TEST_F(WardenProgramTest, PeersOfOtherUsersGetNoAnswer) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to run a client as another user";
  }
  StartServer();
  const std::vector<std::string> nobody{"setpriv", "--reuid=65534", "--regid=65534",
                                        "--clear-groups"};
  EXPECT_EQ("", Socat("on", nobody, false));
  EXPECT_EQ("", Socat("kill", nobody, false));
  EXPECT_EQ("Server returned: Server is already stopped\n", Client({"off"}));
  EXPECT_TRUE(server->Running());
}

TEST_F(WardenProgramTest, NoDescriptorGrowthOverManyExchanges) {
  StartServer();
  IPCConnect client(kSocket);
  EXPECT_EQ("Server is already stopped", client.CallServer("off"));
  // The server closes a connection just after its answer: count once it has.
  const auto settled = [this](size_t atMost) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kEventCapMs);
    size_t count = OpenDescriptors(server->Pid());
    while (count > atMost && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      count = OpenDescriptors(server->Pid());
    }
    return count;
  };
  const size_t before = OpenDescriptors(server->Pid());
  ASSERT_GT(before, 0u);
  for (int i = 0; i < 3000; ++i) {
    ASSERT_EQ(i % 2 == 0 ? "Server is already stopped" : "Invalid request",
              client.CallServer(i % 2 == 0 ? "off" : "nonsense"));
  }
  EXPECT_LE(settled(before), before);
}

}  // namespace
