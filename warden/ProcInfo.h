#pragma once

#include <sys/types.h>

#include <stdexcept>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "framework/Pipes.h"

namespace Corvane::Warden {

// The record of one thing the monitor waits on. Two kinds:
//  - a descriptor record (ProcInfo(fd)) watches a descriptor that someone else owns and
//    never closes it;
//  - a process record (ProcInfo()) owns a pipe and can start one child with Launch. The
//    child keeps the write end across its exec, so the read end reports end of file
//    exactly when the child (and whatever inherited the end from it) has gone. A child
//    that cannot change directory or exec writes its failure message into the pipe and
//    ends with status 1. A process record that is never launched serves as a wake-up
//    record: a byte written into its pipe makes its read end readable.
//
// Times are seconds since boot read from /proc/uptime (see ReadUptime).
// A record is not locked as a whole; its pipe has its own lock. Records are shared
// through boost::shared_ptr.
class ProcInfo {
 public:
  // A descriptor record around fd, which the record does not own.
  explicit ProcInfo(int fd);
  // A process record with a fresh pipe: read end non-blocking and close-on-exec, write
  // end close-on-exec. Throws Pipes::SystemError when the pipe cannot be made.
  ProcInfo();
  virtual ~ProcInfo();

  ProcInfo(const ProcInfo&) = delete;
  ProcInfo& operator=(const ProcInfo&) = delete;

  // A default-built record held by a new shared pointer.
  static boost::shared_ptr<ProcInfo> Create();

  // The descriptor to wait on: fd for a descriptor record; for a process record the read
  // end of its pipe while that is open; otherwise -1.
  int GetWatchFd();

  // One line for messages, e.g. "pid=812 command='ls -l' startTime=5093.270000sec".
  // Times with 6 decimals. The end time is followed by "(<duration>sec" with the
  // parenthesis left open, as the existing log readers expect. A status that reports a
  // stopped child ends in " stopped(<signal>)", a continued one in " continued".
  std::string Describe(bool showPid);

  // Starts command as a child (execvp of its CmdLineParser tokens, or "sh -c command"
  // when useShell), after a chdir to *startDirectory when it is not null. Called at most
  // once per record, on a process record. Throws std::invalid_argument for a command
  // without tokens (useShell false) or a start directory that is not a directory, what
  // CmdLineParser throws for malformed quoting, Pipes::PipeIsClosed when the record was
  // already launched, std::runtime_error when fork fails. A failing chdir or exec is not
  // reported here: the child writes it into the pipe and Reap stores it in output.
  void Launch(const std::string& command, const std::string* startDirectory, bool useShell);
  void Launch(const std::string& command, const std::string& startDirectory, bool useShell);
  void Launch(const std::string& command, bool useShell);

  // Waits for the child: WNOHANG when block is false; with peek the child stays waitable
  // (waitid with WNOWAIT, since waitpid refuses that flag). Not repeated on EINTR. Returns the raw
  // wait status (also stored). Throws std::logic_error when the record is not running,
  // std::runtime_error when waitpid fails or (non-blocking) the child has not ended yet. Does not
  // change the running state.
  int WaitForChild(bool block, bool peek);

  // Completes a launched record once its watched descriptor is ready: waits for the
  // child, keeps what it wrote into the pipe, closes the pipe and stores the end time.
  // Returns at once for a record that never launched a child. Throws std::logic_error
  // when called again on a reaped record.
  void Reap();

  // Seconds since boot, the first number of /proc/uptime. Throws std::runtime_error when
  // the file cannot be opened or does not start with a number: a record's times are never
  // silently zero.
  static double ReadUptime();
  static double ReadUptime(const std::string& path);
  static void GetUptime(double& seconds);

  bool IsFdRecord() const { return isFdRecord; }
  int GetFd() const { return fd; }
  const boost::shared_ptr<TalisFramework::Pipes>& GetPipes() const { return pipes; }
  pid_t GetPid() const { return pid; }
  const std::string& GetCommand() const { return command; }
  bool IsDummy() const { return dummy; }
  bool IsRunning() const { return running; }
  bool HasOutput() const { return hasOutput; }
  const std::string& GetOutput() const { return output; }
  int GetExitStatus() const { return exitStatus; }
  double GetStartTime() const { return startTime; }
  double GetEndTime() const { return endTime; }

 private:
  [[noreturn]] void RunChild(int readFd, int writeFd, const std::string* startDirectory,
                             const std::vector<char*>& argv, bool useShell,
                             const std::string& execFailurePrefix);
  pid_t PeekChild(bool block);
  void ReadOutput();

  boost::shared_ptr<TalisFramework::Pipes> pipes;
  bool isFdRecord;
  int fd;
  pid_t pid = -1;
  std::string command;
  bool dummy = true;
  bool running = false;
  bool hasOutput = false;
  std::string output;
  int exitStatus = -1;
  double startTime = -1.0;
  double endTime = -1.0;
};

}  // namespace Corvane::Warden
