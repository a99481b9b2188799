#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "testing/ScopedTempDir.h"

namespace Corvane::Testing {

// A program started with fork and exec for a test. Standard output and standard error
// go to files of the object's own temporary directory, so a chatty child never blocks
// on a full pipe; standard input is /dev/null unless `stdinPipe` asks for a pipe.
// The destructor stops the child (TERM, then KILL) and reaps it.
// Not thread-safe: one test thread drives one ChildProcess.
class ChildProcess {
 public:
  struct Options {
    std::string workDir;                 // empty: the test's own working directory
    std::vector<std::string> extraEnv;   // "NAME=value" entries added to (or replacing) ours
    bool stdinPipe = false;              // WriteStdin/CloseStdin feed the child
    bool ownProcessGroup = true;         // Stop() signals the whole group (child's children too)
  };

  // argv[0] is looked up in PATH when it has no slash. Throws std::runtime_error when the
  // program cannot be started (the exec error is reported back from the child).
  explicit ChildProcess(const std::vector<std::string>& argv);
  ChildProcess(const std::vector<std::string>& argv, const Options& options);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid; }

  // Waits up to timeoutMs for the child to end; true once it has ended (and is reaped).
  bool Wait(int timeoutMs);
  bool Running();
  // Valid after Wait returned true: the raw waitpid status, the exit code (or -1 when
  // signalled) and the terminating signal (or 0).
  int RawStatus() const { return rawStatus; }
  int ExitStatus() const;
  int TermSignal() const;

  // Sends a signal to the child alone.
  void Signal(int signalNumber);
  // TERM, then KILL after graceMs; the child is reaped when it returns.
  void Stop(int graceMs = 3000);

  std::string Output() const;       // everything written to standard output so far
  std::string ErrorOutput() const;  // everything written to standard error so far
  // Polls standard output (or error) until `text` appears; false after timeoutMs or
  // when the child ended without writing it.
  bool WaitForOutput(const std::string& text, int timeoutMs);
  bool WaitForErrorOutput(const std::string& text, int timeoutMs);

  void WriteStdin(const std::string& data);
  void CloseStdin();

 private:
  void Start(const std::vector<std::string>& argv, const Options& options);
  bool WaitForText(const std::string& path, const std::string& text, int timeoutMs);

  ScopedTempDir dir{"child"};
  pid_t pid = -1;
  bool ended = false;
  bool groupLeader = false;
  int rawStatus = 0;
  int stdinFd = -1;
};

// Runs a program to its end (at most timeoutMs, then it is killed) and returns its
// standard output; `exitStatus` receives the exit code (-1 when it was signalled or
// killed for running too long).
std::string RunProgram(const std::vector<std::string>& argv, int* exitStatus,
                       int timeoutMs = 10000, const ChildProcess::Options& options = {});

}  // namespace Corvane::Testing
