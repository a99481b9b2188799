#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A server program started by a soak run, with what it holds of the system: resident
// memory and open descriptors, read from /proc. Not thread-safe.
class ServerProcess {
 public:
  struct Figures {
    long residentKb = 0;
    int descriptors = 0;
    int threads = 0;
  };

  // Starts argv[0] (a path) with its standard output and error sent to /dev/null, in
  // `workDir` when it is not empty. Throws std::runtime_error when fork fails.
  ServerProcess(const std::vector<std::string>& argv, const std::string& workDir);
  // Stops a server that still runs: TERM, then KILL after 5 s; always reaps it.
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  pid_t Pid() const { return pid; }
  Figures Measure() const;
  // Waits at most `timeoutMs` for the server to end; true with its wait status then.
  bool Wait(int timeoutMs, int& status);

 private:
  pid_t pid = -1;
  bool reaped = false;
};

// Prints one row of the figures table ("phase  rss kB  descriptors  threads").
void PrintFigures(const char* phase, const ServerProcess::Figures& figures);

// Prints the growth from `start` to `end` and returns false when descriptors grew or the
// resident memory grew by more than `slackKb`.
bool CheckNoGrowth(const ServerProcess::Figures& start, const ServerProcess::Figures& end,
                   long slackKb);
