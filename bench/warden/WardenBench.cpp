// Exchange rate and latency of the control channel's server against a minimal server on the
// same kind of socket, and the time of one client process (warden, socat, a minimal static
// client). Runs in a network namespace of its own (needs root), so that it can serve the
// fixed socket name without meeting a real monitor.
// Usage: warden_bench WARDEN_BINARY MINIMAL_CLIENT [exchanges] [process-runs]
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <boost/bind/bind.hpp>

#include "warden/IPCConnect.h"
#include "warden/Program.h"

namespace {

using Corvane::Warden::IPCConnect;
using Clock = std::chrono::steady_clock;

double Micros(Clock::duration span) {
  return std::chrono::duration<double, std::micro>(span).count();
}

int Connect(const std::string& name) {
  sockaddr_un address;
  const socklen_t length = IPCConnect::BuildAddress(name, address);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    std::perror("connect");
    std::exit(1);
  }
  return fd;
}

// The load client: one "off" per connection, as the command-line client sends it.
void Exchange(const std::string& name) {
  const int fd = Connect(name);
  if (::send(fd, "off", 3, MSG_NOSIGNAL) != 3 || ::shutdown(fd, SHUT_WR) != 0) {
    std::exit(1);
  }
  char buffer[4096];
  if (::read(fd, buffer, sizeof buffer) <= 0) {
    std::fprintf(stderr, "no answer\n");
    std::exit(1);
  }
  ::close(fd);
}

struct Figures {
  double perSecond;
  double p50Us;
  double p99Us;
};

Figures Drive(const std::string& name, int exchanges) {
  std::vector<double> latencies;
  latencies.reserve(static_cast<size_t>(exchanges));
  for (int i = 0; i < exchanges / 10; ++i) {
    Exchange(name);
  }
  const auto start = Clock::now();
  for (int i = 0; i < exchanges; ++i) {
    const auto begin = Clock::now();
    Exchange(name);
    latencies.push_back(Micros(Clock::now() - begin));
  }
  const double seconds = Micros(Clock::now() - start) / 1e6;
  std::sort(latencies.begin(), latencies.end());
  return {exchanges / seconds, latencies[latencies.size() / 2],
          latencies[latencies.size() * 99 / 100]};
}

// accept, one read, one write, close: nothing else.
void BaselineServer(int listenFd, std::atomic<bool>& stop) {
  while (!stop) {
    const int connection = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection == -1) {
      continue;
    }
    char buffer[4096];
    if (::read(connection, buffer, sizeof buffer) > 0) {
      const char answer[] = "Server is already stopped";
      ::send(connection, answer, sizeof answer - 1, MSG_NOSIGNAL);
    }
    ::close(connection);
  }
}

// Median wall time of running argv to its end with "off" on standard input.
double ProcessMicros(const std::vector<std::string>& args, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    int input[2];
    if (::pipe(input) != 0) {
      std::exit(1);
    }
    if (::write(input[1], "off", 3) != 3) {
      std::exit(1);
    }
    ::close(input[1]);
    std::vector<char*> argv;
    for (const std::string& arg : args) {
      argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const auto begin = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(input[0], 0);
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::execvp(argv[0], argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    times.push_back(Micros(Clock::now() - begin));
    ::close(input[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "%s failed\n", args[0].c_str());
      std::exit(1);
    }
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s WARDEN_BINARY MINIMAL_CLIENT [exchanges] [process-runs]\n",
                 argv[0]);
    return 2;
  }
  const int exchanges = argc > 3 ? std::atoi(argv[3]) : 20000;
  const int runs = argc > 4 ? std::atoi(argv[4]) : 300;
  if (::unshare(CLONE_NEWNET) != 0) {
    std::perror("unshare(CLONE_NEWNET) (run as root)");
    return 1;
  }

  Program program;
  IPCConnect channel("busyworkaround");
  using namespace boost::placeholders;
  IPCConnect::ConnectionHolder holder =
      channel.StartServer(boost::bind(&Program::OnIPCRequest, &program, _1, _2, _3));

  const std::string baselineName = "warden-bench-baseline";
  sockaddr_un address;
  const socklen_t length = IPCConnect::BuildAddress(baselineName, address);
  const int baselineFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (::bind(baselineFd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
      ::listen(baselineFd, 3) != 0) {
    std::perror("baseline server");
    return 1;
  }
  std::atomic<bool> stop{false};
  std::thread baseline(BaselineServer, baselineFd, std::ref(stop));

  const Figures ours = Drive("busyworkaround", exchanges);
  const Figures floor = Drive(baselineName, exchanges);
  std::printf("server exchanges/s: IPCConnect %.0f, baseline %.0f (ratio %.2f)\n", ours.perSecond,
              floor.perSecond, ours.perSecond / floor.perSecond);
  std::printf("latency p50/p99 us: IPCConnect %.1f/%.1f, baseline %.1f/%.1f\n", ours.p50Us,
              ours.p99Us, floor.p50Us, floor.p99Us);

  const double warden = ProcessMicros({argv[1], "off"}, runs);
  const double socat = ProcessMicros({"socat", "-", "ABSTRACT-CONNECT:busyworkaround"}, runs);
  const double minimal = ProcessMicros({argv[2]}, runs);
  std::printf("client process median us: warden %.0f, socat %.0f, minimal static %.0f\n", warden,
              socat, minimal);
  std::printf("warden/socat %.2f (target <= 0.50), warden/minimal %.2f (target <= 2.00)\n",
              warden / socat, warden / minimal);

  stop = true;
  ::shutdown(baselineFd, SHUT_RDWR);
  baseline.join();
  ::close(baselineFd);
  return 0;
}
