// Soak run of the driver: 50,000 mixed commands, 5,000 of them ASYNCHRETURN, from 4
// concurrent clients, with the driver's resident memory and descriptors taken after a
// warm-up, half way and at the end. The driver runs on 127.0.0.1 in a private working
// directory, without a naming service or event channel (its events are only logged):
//   BUILD/bench/soak/specimen_soak BUILD/specimen/specimen [COMMANDS]
// Exits 0 when neither figure grew after the warm-up, 1 when one did, 2 on a failure.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <omniORB4/CORBA.h>

#include "bench/soak/ServerProcess.h"
#include "specimen/SpecimenSettings.h"
#include "specimen/idl/Talis.hh"

namespace {

using Corvane::Talis::ISpecimenWithEvents;
using Corvane::Talis::ISpecimenWithEvents_ptr;
using Corvane::Talis::ISpecimenWithEvents_var;

constexpr int kClients = 4;
constexpr int kWarmUp = 1000;

struct Outcomes {
  std::atomic<int> results{0};
  std::atomic<int> badParameter{0};
  std::atomic<int> asynchronous{0};
  std::atomic<int> failed{0};
};

// One command in ten is ASYNCHRETURN (two events each); the rest cycle through every
// other path of the language, refusals included.
std::string CommandFor(int n) {
  static const char* const kOthers[] = {
      "TELEM soak Telemetry Soak count,long,42 label,string,\"a b\" ratio,double,0.5",
      "NFALITERAL soak DataSet Soak sample \"literal content\"",
      "NFAFILE soak DataSet Soak sample /nonexistent/file 1",
      "TELEMCHANGE 300 10 60 flush",
      "HELLO 1 2",
      "THROWBAD",
      "TELEM soak Telemetry Soak broken",
      "ASYNCHRETURN 1 2 3",
      "say \"unclosed"};
  if (n % 10 == 0) {
    return "ASYNCHRETURN 0 1";
  }
  return kOthers[n % (sizeof kOthers / sizeof kOthers[0])];
}

void SendOne(ISpecimenWithEvents_ptr driver, int n, Outcomes& outcomes) {
  CORBA::Any command;
  command <<= CommandFor(n).c_str();
  const std::string transaction = "t" + std::to_string(n);
  CORBA::Any_var result;
  try {
    driver->SendCommand(command, "soak", transaction.c_str(), result.out());
    ++outcomes.results;
  } catch (const Corvane::Talis::BadParameter&) {
    ++outcomes.badParameter;
  } catch (const Corvane::Talis::WillCompleteAsynchronously&) {
    ++outcomes.asynchronous;
  } catch (const CORBA::Exception& e) {
    if (outcomes.failed++ < 5) {
      std::fprintf(stderr, "command %d: %s\n", n, e._name());
    }
  }
}

void SendRange(CORBA::ORB_ptr orb, const std::string& corbaloc, int first, int last, int half,
               const std::function<void()>& onHalf, Outcomes& outcomes) {
  std::atomic<int> next(first);
  std::vector<std::thread> threads;
  for (int t = 0; t < kClients; ++t) {
    threads.emplace_back([&] {
      // Each client holds its own reference, as separate client programs would.
      CORBA::Object_var object = orb->string_to_object(corbaloc.c_str());
      ISpecimenWithEvents_var driver = ISpecimenWithEvents::_narrow(object.in());
      for (int n = next++; n < last; n = next++) {
        SendOne(driver.in(), n, outcomes);
        if (n == half) {
          onHalf();
        }
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
}

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("no free loopback port");
  }
  ::close(fd);
  return ntohs(address.sin_port);
}

bool WaitUntilServing(ISpecimenWithEvents_ptr driver) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  std::string last;
  while (std::chrono::steady_clock::now() < deadline) {
    try {
      driver->Ping();
      return true;
    } catch (const CORBA::Exception& e) {
      last = e._name();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  std::fprintf(stderr, "last answer: %s\n", last.c_str());
  return false;
}

int Soak(CORBA::ORB_ptr orb, const std::string& specimenBinary, const std::string& workDir,
         int commands) {
  SpecimenSettings settings;
  settings.SetServerName("Specimen");
  settings.Save(workDir + "/Specimen-config.xml");
  const int port = FreeLoopbackPort();
  ServerProcess server({specimenBinary, "-ORBendPoint",
                        "giop:tcp:127.0.0.1:" + std::to_string(port)},
                       workDir);
  const std::string corbaloc = "corbaloc::127.0.0.1:" + std::to_string(port) + "/Specimen";
  CORBA::Object_var object = orb->string_to_object(corbaloc.c_str());
  // Not narrowed with a call: the driver may not listen yet.
  ISpecimenWithEvents_var driver = ISpecimenWithEvents::_unchecked_narrow(object.in());
  if (!WaitUntilServing(driver.in())) {
    std::fprintf(stderr, "the driver did not answer within 30 s\n");
    return 2;
  }
  PrintFigures("launch", server.Measure());
  Outcomes outcomes;
  SendRange(orb, corbaloc, 0, kWarmUp, -1, [] {}, outcomes);
  const ServerProcess::Figures start = server.Measure();
  PrintFigures("start", start);
  const auto began = std::chrono::steady_clock::now();
  Outcomes measured;
  SendRange(orb, corbaloc, kWarmUp, kWarmUp + commands, kWarmUp + commands / 2,
            [&server] { PrintFigures("middle", server.Measure()); }, measured);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  // The last asynchronous workers finish at once (no wait); give them a moment to end.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const ServerProcess::Figures end = server.Measure();
  PrintFigures("end", end);
  std::printf("%d commands from %d clients in %.1f s (%.0f per second): %d results, "
              "%d BadParameter, %d asynchronous, %d failed\n",
              commands, kClients, seconds, commands / seconds, measured.results.load(),
              measured.badParameter.load(), measured.asynchronous.load(),
              measured.failed.load());
  SendOne(driver.in(), 1, measured);  // any non-asynchronous command; then shut down
  CORBA::Any command;
  command <<= "SHUTDOWN";
  CORBA::Any_var result;
  driver->SendCommand(command, "", "", result.out());
  int status = 0;
  if (!server.Wait(30000, status) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "the driver did not exit with status 0 after SHUTDOWN\n");
    return 2;
  }
  const bool steady = CheckNoGrowth(start, end, 1024);
  return measured.failed == 0 && steady ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SPECIMEN_BINARY [COMMANDS]\n", argv[0]);
    return 2;
  }
  const int commands = argc > 2 ? std::atoi(argv[2]) : 50000;
  char pattern[] = "/tmp/specimen-soak-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) {
    std::perror("mkdtemp");
    return 2;
  }
  const std::string workDir = pattern;
  int orbArgc = 5;
  char program[] = "specimen_soak";
  char endpointOption[] = "-ORBendPoint";
  char endpoint[] = "giop:tcp:127.0.0.1:";
  char timeoutOption[] = "-ORBclientCallTimeOutPeriod";
  char timeout[] = "30000";
  char* orbArgs[] = {program, endpointOption, endpoint, timeoutOption, timeout, nullptr};
  char** orbArgv = orbArgs;
  int status = 2;
  CORBA::ORB_var orb = CORBA::ORB_init(orbArgc, orbArgv);
  try {
    status = Soak(orb.in(), argv[1], workDir, commands);
  } catch (const CORBA::Exception& e) {
    std::fprintf(stderr, "specimen_soak: CORBA exception %s\n", e._name());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "specimen_soak: %s\n", e.what());
  }
  orb->destroy();
  const std::string removeCommand = "rm -rf '" + workDir + "'";
  if (std::system(removeCommand.c_str()) != 0) {
    std::fprintf(stderr, "could not remove %s\n", workDir.c_str());
  }
  return status;
}
