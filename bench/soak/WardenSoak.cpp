// Soak run of the warden server: 100,000 exchanges from 8 concurrent clients over its
// socket, with the server's resident memory and descriptors taken after a warm-up, half
// way and at the end. Run it in a network namespace of its own, since the socket name is
// fixed:
//   unshare -rn BUILD/bench/soak/warden_soak BUILD/warden/warden [EXCHANGES]
// Exits 0 when neither figure grew after the warm-up, 1 when one did, 2 on a failure.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/soak/ServerProcess.h"
#include "warden/IPCConnect.h"

namespace {

const char kSocketName[] = "busyworkaround";
constexpr int kClients = 8;
constexpr int kWarmUp = 2000;

// Mostly "off" and a word the server refuses; every tenth is "on", so the server's busy
// loop runs only between an "on" and the next "off".
const char* RequestFor(int n) {
  if (n % 10 == 0) {
    return "on";
  }
  return n % 2 == 1 ? "off" : "status";
}

bool ServerAnswers() {
  try {
    Corvane::Warden::IPCConnect client(kSocketName);
    client.CallServer("off");
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// Runs exchanges first..last-1 on `clients` threads; `onHalf` runs once, on the thread
// that completes exchange `half`. Returns the number of failed exchanges.
int Exchange(int first, int last, int half, const std::function<void()>& onHalf) {
  std::atomic<int> next(first);
  std::atomic<int> failures(0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kClients; ++t) {
    threads.emplace_back([&] {
      Corvane::Warden::IPCConnect client(kSocketName);
      for (int n = next++; n < last; n = next++) {
        try {
          if (client.CallServer(RequestFor(n)).empty()) {
            ++failures;
          }
        } catch (const std::exception& e) {
          if (failures++ < 5) {
            std::fprintf(stderr, "exchange %d: %s\n", n, e.what());
          }
        }
        if (n == half) {
          onHalf();
        }
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  return failures;
}

int Run(const std::string& wardenBinary, int exchanges) {
  if (ServerAnswers()) {
    std::fprintf(stderr, "a warden already serves here: run this under 'unshare -rn'\n");
    return 2;
  }
  ServerProcess server({wardenBinary}, "");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!ServerAnswers()) {
    if (std::chrono::steady_clock::now() > deadline) {
      std::fprintf(stderr, "the warden server did not answer within 10 s\n");
      return 2;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  PrintFigures("launch", server.Measure());
  Exchange(0, kWarmUp, -1, [] {});
  const ServerProcess::Figures start = server.Measure();
  PrintFigures("start", start);
  const auto began = std::chrono::steady_clock::now();
  const int failures = Exchange(kWarmUp, kWarmUp + exchanges, kWarmUp + exchanges / 2,
                                [&server] { PrintFigures("middle", server.Measure()); });
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  Corvane::Warden::IPCConnect(kSocketName).CallServer("off");
  // The listener closes a connection just after the client has read its answer.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const ServerProcess::Figures end = server.Measure();
  if (end.descriptors > start.descriptors) {
    const std::string list = "ls -l /proc/" + std::to_string(server.Pid()) + "/fd";
    if (std::system(list.c_str()) != 0) {
      std::fprintf(stderr, "could not list the server's descriptors\n");
    }
  }
  PrintFigures("end", end);
  std::printf("%d exchanges from %d clients in %.1f s (%.0f per second), %d failed\n", exchanges,
              kClients, seconds, exchanges / seconds, failures);
  Corvane::Warden::IPCConnect(kSocketName).CallServer("kill");
  int status = 0;
  if (!server.Wait(10000, status)) {
    std::fprintf(stderr, "the server did not end after 'kill'\n");
    return 2;
  }
  const bool steady = CheckNoGrowth(start, end, 256);
  return failures == 0 && steady ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: unshare -rn %s WARDEN_BINARY [EXCHANGES]\n", argv[0]);
    return 2;
  }
  try {
    return Run(argv[1], argc > 2 ? std::atoi(argv[2]) : 100000);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "warden_soak: %s\n", e.what());
    return 2;
  }
}
