#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A program started for a test in a session of its own, with a terminal as standard
// input and output (its console) and standard error on a pipe. The destructor kills the
// program if it still runs and reaps it. One test thread drives one object.
class TerminalProcess {
 public:
  // Starts argv[0] (a path) with `consoleFd` as descriptors 0 and 1, also made the
  // controlling terminal. Throws std::runtime_error when the process cannot be started.
  TerminalProcess(const std::vector<std::string>& argv, int consoleFd);
  ~TerminalProcess();
  TerminalProcess(const TerminalProcess&) = delete;
  TerminalProcess& operator=(const TerminalProcess&) = delete;

  // Waits up to timeoutMs for the program to end; true once it has ended and is reaped.
  bool Wait(int timeoutMs);
  // After Wait returned true: the exit status (-1 when signalled) and the signal (or 0).
  int ExitStatus() const;
  int TermSignal() const;

  void Signal(int signalNumber);

  // Standard error so far.
  const std::string& ErrorOutput();
  // Reads standard error until it contains `text`; false after timeoutMs.
  bool WaitForErrorOutput(const std::string& text, int timeoutMs);

 private:
  void ReadErrors(int ms);

  pid_t pid = -1;
  bool ended = false;
  int status = 0;
  int errorFd = -1;
  bool errorsClosed = false;
  std::string errors;
};
