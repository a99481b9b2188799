#include "warden/ProcInfo.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iomanip>
#include <sstream>

#include <boost/make_shared.hpp>
#include <boost/thread/lock_guard.hpp>

#include "framework/CmdLineParser.h"
#include "framework/GetErrorDescription.h"
#include "framework/RetryOnEintr.h"

namespace Corvane::Warden {

using TalisFramework::CmdLineParser;
using TalisFramework::GetErrorDescription;
using TalisFramework::Pipes;
using TalisFramework::RetryOnEintr;

namespace {

const char kUptimePath[] = "/proc/uptime";
const size_t kReadChunkBytes = 1024;

bool IsDirectory(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Writes prefix and the system's text for errorNumber in one call. Runs between fork and
// exec, so it only uses async-signal-safe calls and memory prepared before the fork.
void WriteFailure(int fd, const std::string& prefix, int errorNumber) {
  char buffer[256];
  const char* text = ::strerror_r(errorNumber, buffer, sizeof buffer);
  iovec parts[2];
  parts[0].iov_base = const_cast<char*>(prefix.data());
  parts[0].iov_len = prefix.size();
  parts[1].iov_base = const_cast<char*>(text);
  parts[1].iov_len = ::strlen(text);
  // Nobody to tell if this fails: the exit status still reports the failure.
  ssize_t ignored = ::writev(fd, parts, 2);
  (void)ignored;
}

}  // namespace

ProcInfo::ProcInfo(int watchedFd) : isFdRecord(true), fd(watchedFd) {}

ProcInfo::ProcInfo() : pipes(new Pipes(true)), isFdRecord(false), fd(-1) {
  Pipes::SetCloseOnExec(pipes->GetReadFd(), true);
  Pipes::SetNonBlocking(pipes->GetReadFd(), true);
  Pipes::SetCloseOnExec(pipes->GetWriteFd(), true);
}

ProcInfo::~ProcInfo() = default;

boost::shared_ptr<ProcInfo> ProcInfo::Create() {
  return boost::make_shared<ProcInfo>();
}

int ProcInfo::GetWatchFd() {
  if (isFdRecord) {
    return fd;
  }
  if (!pipes) {
    return -1;
  }
  boost::lock_guard<Pipes> guard(*pipes);
  return pipes->IsReadOpen() ? pipes->GetReadFd() : -1;
}

std::string ProcInfo::Describe(bool showPid) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(6);
  if (dummy) {
    text << "dummy ";
  }
  if (isFdRecord) {
    text << "fd=" << fd;
    return text.str();
  }
  if (showPid) {
    text << "pid=" << pid << " ";
  }
  text << "command='" << command << "'";
  if (startTime >= 0) {
    text << " startTime=" << startTime << "sec";
  }
  if (endTime >= 0) {
    // The parenthesis stays open: log readers match this exact form.
    text << " endTime=" << endTime << "sec (" << (endTime - startTime) << "sec";
  }
  if (!running) {
    text << " exitStatus=" << exitStatus;
    if ((exitStatus & 0x7f) == 0) {
      text << " exited(" << ((exitStatus >> 8) & 0xff) << ")";
    } else if ((exitStatus & 0x7f) != 0x7f) {
      text << " signaled(" << (exitStatus & 0x7f) << ")";
    } else if ((exitStatus & 0xff) == 0x7f) {
      text << " stopped(" << ((exitStatus >> 8) & 0xff) << ")";
    } else if (exitStatus == 0xffff) {
      text << " continued";
    }
  }
  return text.str();
}

void ProcInfo::Launch(const std::string& commandText, const std::string& startDirectory,
                      bool useShell) {
  Launch(commandText, &startDirectory, useShell);
}

void ProcInfo::Launch(const std::string& commandText, bool useShell) {
  Launch(commandText, nullptr, useShell);
}

void ProcInfo::Launch(const std::string& commandText, const std::string* startDirectory,
                      bool useShell) {
  command = commandText;
  if (!pipes) {
    throw std::logic_error("ProcInfo::Launch: a descriptor record cannot launch a process");
  }
  std::vector<std::string> tokens;
  if (useShell) {
    tokens = {"sh", "-c", command};
  } else {
    tokens = CmdLineParser(command).GetTokens();
    if (tokens.empty()) {
      throw std::invalid_argument("No tokens found in call to ProcInfo::Launch");
    }
  }
  if (startDirectory != nullptr && !IsDirectory(*startDirectory)) {
    throw std::invalid_argument("Provided start directory (" + *startDirectory + ") is not valid");
  }

  // Everything the child needs is prepared here: between fork and exec only
  // async-signal-safe calls are allowed in a threaded process.
  std::vector<char*> argv;
  for (std::string& token : tokens) {
    argv.push_back(token.data());
  }
  argv.push_back(nullptr);
  const std::string execFailurePrefix = "exec failed for " + Describe(false) + ": ";
  const double launchTime = ReadUptime();

  // Held across the fork so that no other thread closes an end under us.
  boost::lock_guard<Pipes> guard(*pipes);
  const int writeFd = pipes->GetWriteFd();
  const int readFd = pipes->GetReadFd();
  pid = ::fork();
  if (pid == -1) {
    const int error = errno;
    throw std::runtime_error("fork failed for " + Describe(false) + ": " +
                             GetErrorDescription(error));
  }
  if (pid == 0) {
    RunChild(readFd, writeFd, startDirectory, argv, useShell, execFailurePrefix);
  }
  dummy = false;
  running = true;
  startTime = launchTime;
  pipes->CloseWrite();
}

void ProcInfo::RunChild(int readFd, int writeFd, const std::string* startDirectory,
                        const std::vector<char*>& argv, bool useShell,
                        const std::string& execFailurePrefix) {
  ::close(readFd);
  // The write end stays close-on-exec in the monitor and is opened to the exec only
  // here, so children that other threads start meanwhile never inherit it.
  ::fcntl(writeFd, F_SETFD, 0);
  if (startDirectory != nullptr && ::chdir(startDirectory->c_str()) != 0) {
    const int error = errno;
    WriteFailure(writeFd, "chdir(\"" + *startDirectory + "\") failed: ", error);
  } else {
    if (useShell) {
      ::execlp("sh", "sh", "-c", argv[2], static_cast<char*>(nullptr));
    } else {
      ::execvp(argv[0], argv.data());
    }
    WriteFailure(writeFd, execFailurePrefix, errno);
  }
  ::close(writeFd);
  // _exit: the monitor's stdio buffers and exit handlers belong to the monitor.
  ::_exit(1);
}

int ProcInfo::WaitForChild(bool block, bool peek) {
  if (!running) {
    throw std::logic_error("This process is not running");
  }
  // Not retried on EINTR: the caller decides whether an interrupted wait goes on.
  const pid_t result = peek ? PeekChild(block) : ::waitpid(pid, &exitStatus, block ? 0 : WNOHANG);
  if (result == -1) {
    const int error = errno;
    throw std::runtime_error("waitpid failed with " + GetErrorDescription(error) + " for " +
                             Describe(true));
  }
  if (result == 0) {
    throw std::runtime_error("waitpid indicates that the process has not exited yet for " +
                             Describe(true));
  }
  return exitStatus;
}

// waitpid refuses WNOWAIT on Linux (EINVAL), so a peek asks waitid, which leaves the child
// waitable, and turns its answer back into a wait status.
pid_t ProcInfo::PeekChild(bool block) {
  siginfo_t info{};
  const int result =
      ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT | (block ? 0 : WNOHANG));
  if (result == -1) {
    return -1;
  }
  if (info.si_pid == 0) {
    return 0;
  }
  switch (info.si_code) {
    case CLD_EXITED:
      exitStatus = (info.si_status & 0xff) << 8;
      break;
    case CLD_DUMPED:
      exitStatus = (info.si_status & 0x7f) | 0x80;
      break;
    default:
      exitStatus = info.si_status & 0x7f;
      break;
  }
  return info.si_pid;
}

void ProcInfo::Reap() {
  if (dummy) {
    return;
  }
  WaitForChild(true, false);
  running = false;
  ReadOutput();
  pipes->Close();
  GetUptime(endTime);
}

void ProcInfo::ReadOutput() {
  boost::lock_guard<Pipes> guard(*pipes);
  if (!pipes->IsReadOpen()) {
    return;
  }
  const int readFd = pipes->GetReadFd();
  std::string bytes;
  char chunk[kReadChunkBytes];
  for (;;) {
    const ssize_t count = RetryOnEintr([&] { return ::read(readFd, chunk, sizeof chunk); });
    if (count <= 0) {
      break;
    }
    bytes.append(chunk, static_cast<size_t>(count));
  }
  if (!bytes.empty()) {
    output = bytes;
    hasOutput = true;
  }
}

double ProcInfo::ReadUptime() {
  return ReadUptime(kUptimePath);
}

double ProcInfo::ReadUptime(const std::string& path) {
  std::ifstream file(path);
  if (!file) {
    throw std::runtime_error("ProcInfo::ReadUptime: cannot open " + path);
  }
  double uptime = 0;
  double idle = 0;
  if (!(file >> uptime >> idle)) {
    throw std::runtime_error("ProcInfo::ReadUptime: no uptime and idle time in " + path);
  }
  return uptime;
}

void ProcInfo::GetUptime(double& seconds) {
  seconds = ReadUptime();
}

}  // namespace Corvane::Warden
