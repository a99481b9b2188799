#include "bench/soak/ServerProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

int CountEntries(const std::string& dir) {
  DIR* handle = ::opendir(dir.c_str());
  if (handle == nullptr) {
    return -1;
  }
  int count = 0;
  while (const dirent* entry = ::readdir(handle)) {
    if (entry->d_name[0] != '.') {
      ++count;
    }
  }
  ::closedir(handle);
  return count;
}

}  // namespace

ServerProcess::ServerProcess(const std::vector<std::string>& argv, const std::string& workDir) {
  // The program's path is made absolute, since the child changes its directory first.
  std::vector<std::string> arguments = argv;
  if (char* resolved = ::realpath(argv.at(0).c_str(), nullptr)) {
    arguments[0] = resolved;
    ::free(resolved);
  }
  std::vector<char*> args;
  for (const std::string& arg : arguments) {
    args.push_back(const_cast<char*>(arg.c_str()));
  }
  args.push_back(nullptr);
  pid = ::fork();
  if (pid < 0) {
    throw std::runtime_error("ServerProcess: fork() failed");
  }
  if (pid == 0) {
    // Only async-signal-safe calls until exec: the soak process may run threads.
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      ::dup2(null, 1);
      ::dup2(null, 2);
    }
    if (!workDir.empty() && ::chdir(workDir.c_str()) != 0) {
      ::_exit(126);
    }
    ::execv(args[0], args.data());
    ::_exit(127);
  }
}

ServerProcess::~ServerProcess() {
  int status = 0;
  if (reaped) {
    return;
  }
  ::kill(pid, SIGTERM);
  if (!Wait(5000, status)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
}

ServerProcess::Figures ServerProcess::Measure() const {
  Figures figures;
  const std::string proc = "/proc/" + std::to_string(pid);
  std::ifstream statusFile(proc + "/status");
  std::string line;
  while (std::getline(statusFile, line)) {
    if (line.compare(0, 6, "VmRSS:") == 0) {
      figures.residentKb = std::stol(line.substr(6));
    } else if (line.compare(0, 8, "Threads:") == 0) {
      figures.threads = std::stoi(line.substr(8));
    }
  }
  figures.descriptors = CountEntries(proc + "/fd");
  return figures;
}

bool ServerProcess::Wait(int timeoutMs, int& status) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      reaped = true;
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void PrintFigures(const char* phase, const ServerProcess::Figures& figures) {
  std::printf("%-8s rss=%ld kB  descriptors=%d  threads=%d\n", phase, figures.residentKb,
              figures.descriptors, figures.threads);
  std::fflush(stdout);
}

bool CheckNoGrowth(const ServerProcess::Figures& start, const ServerProcess::Figures& end,
                   long slackKb) {
  const long rssGrowth = end.residentKb - start.residentKb;
  const int fdGrowth = end.descriptors - start.descriptors;
  std::printf("growth after warm-up: rss %+ld kB, descriptors %+d (allowed: rss %ld kB, "
              "descriptors 0)\n",
              rssGrowth, fdGrowth, slackKb);
  return fdGrowth <= 0 && rssGrowth <= slackKb;
}
