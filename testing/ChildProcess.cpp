#include "testing/ChildProcess.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace Corvane::Testing {
namespace {

using Clock = std::chrono::steady_clock;

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string FindInPath(const std::string& name) {
  if (name.find('/') != std::string::npos) {
    return name;
  }
  const char* path = getenv("PATH");
  std::istringstream dirs(path ? path : "/usr/local/bin:/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  return name;
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
  std::map<std::string, std::string> entries;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry(*e);
    entries[entry.substr(0, entry.find('='))] = entry;
  }
  for (const std::string& entry : extra) {
    entries[entry.substr(0, entry.find('='))] = entry;
  }
  std::vector<std::string> merged;
  for (const auto& item : entries) {
    merged.push_back(item.second);
  }
  return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) {
    pointers.push_back(s.data());
  }
  pointers.push_back(nullptr);
  return pointers;
}

// Only async-signal-safe calls: the test process may have ORB or test threads running.
[[noreturn]] void ExecChild(const char* program, char** argv, char** envp, const char* workDir,
                            int outFd, int errFd, int stdinRead, int reportFd, bool ownGroup) {
  if (ownGroup) {
    setpgid(0, 0);
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  int in = stdinRead >= 0 ? stdinRead : open("/dev/null", O_RDONLY);
  dup2(in, 0);
  dup2(outFd, 1);
  dup2(errFd, 2);
  if (*workDir != '\0' && chdir(workDir) != 0) {
    int error = errno;
    (void)!write(reportFd, &error, sizeof error);
    _exit(127);
  }
  execve(program, argv, envp);
  int error = errno;
  (void)!write(reportFd, &error, sizeof error);
  _exit(127);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv) { Start(argv, Options()); }

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const Options& options) {
  Start(argv, options);
}

void ChildProcess::Start(const std::vector<std::string>& argvIn, const Options& options) {
  if (argvIn.empty()) {
    throw std::invalid_argument("ChildProcess: empty argument vector");
  }
  std::vector<std::string> args = argvIn;
  std::vector<std::string> env = MergedEnvironment(options.extraEnv);
  std::string program = FindInPath(args[0]);
  std::vector<char*> argvPointers = Pointers(args);
  std::vector<char*> envPointers = Pointers(env);

  int outFd = open(dir.File("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  int errFd = open(dir.File("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  int report[2];
  int input[2] = {-1, -1};
  if (outFd < 0 || errFd < 0 || pipe2(report, O_CLOEXEC) != 0 ||
      (options.stdinPipe && pipe2(input, O_CLOEXEC) != 0)) {
    throw std::runtime_error("ChildProcess: cannot prepare descriptors for " + args[0]);
  }
  groupLeader = options.ownProcessGroup;
  pid = fork();
  if (pid == 0) {
    ExecChild(program.c_str(), argvPointers.data(), envPointers.data(), options.workDir.c_str(),
              outFd, errFd, input[0], report[1], options.ownProcessGroup);
  }
  int forkError = errno;
  close(outFd);
  close(errFd);
  close(report[1]);
  if (input[0] >= 0) {
    close(input[0]);
  }
  stdinFd = input[1];
  if (pid < 0) {
    close(report[0]);
    throw std::runtime_error(std::string("ChildProcess: fork failed: ") + strerror(forkError));
  }
  if (groupLeader) {
    setpgid(pid, pid);  // Also from here, so Stop() can rely on the group at once.
  }
  int childError = 0;
  ssize_t n;
  do {
    n = read(report[0], &childError, sizeof childError);
  } while (n < 0 && errno == EINTR);
  close(report[0]);
  if (n == sizeof childError) {
    Wait(5000);
    throw std::runtime_error("ChildProcess: cannot start " + args[0] + ": " +
                             strerror(childError));
  }
}

ChildProcess::~ChildProcess() {
  CloseStdin();
  Stop();
}

bool ChildProcess::Running() { return !Wait(0); }

bool ChildProcess::Wait(int timeoutMs) {
  if (ended || pid <= 0) {
    return true;
  }
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  auto pause = std::chrono::microseconds(500);
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) {
      ended = true;
      rawStatus = status;
      return true;
    }
    if (Clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(10000));
  }
}

int ChildProcess::ExitStatus() const {
  return WIFEXITED(rawStatus) ? WEXITSTATUS(rawStatus) : -1;
}

int ChildProcess::TermSignal() const { return WIFSIGNALED(rawStatus) ? WTERMSIG(rawStatus) : 0; }

void ChildProcess::Signal(int signalNumber) {
  if (!ended && pid > 0) {
    kill(pid, signalNumber);
  }
}

void ChildProcess::Stop(int graceMs) {
  if (pid <= 0) {
    return;
  }
  pid_t target = groupLeader ? -pid : pid;
  if (!ended) {
    kill(target, SIGTERM);
    if (!Wait(graceMs)) {
      kill(target, SIGKILL);
      Wait(10000);
    }
  }
  // Whatever the child left behind in its group goes too.
  if (groupLeader) {
    kill(target, SIGKILL);
  }
}

std::string ChildProcess::Output() const { return ReadWholeFile(dir.File("stdout")); }

std::string ChildProcess::ErrorOutput() const { return ReadWholeFile(dir.File("stderr")); }

bool ChildProcess::WaitForText(const std::string& path, const std::string& text, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (ReadWholeFile(path).find(text) != std::string::npos) {
      return true;
    }
    // One more read after the child ended catches its last words.
    if (ended || Wait(0)) {
      return ReadWholeFile(path).find(text) != std::string::npos;
    }
    if (Clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool ChildProcess::WaitForOutput(const std::string& text, int timeoutMs) {
  return WaitForText(dir.File("stdout"), text, timeoutMs);
}

bool ChildProcess::WaitForErrorOutput(const std::string& text, int timeoutMs) {
  return WaitForText(dir.File("stderr"), text, timeoutMs);
}

void ChildProcess::WriteStdin(const std::string& data) {
  if (stdinFd < 0) {
    throw std::logic_error("ChildProcess::WriteStdin: no standard input pipe");
  }
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(stdinFd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      throw std::runtime_error("ChildProcess::WriteStdin: write failed");
    }
    done += static_cast<size_t>(n);
  }
}

void ChildProcess::CloseStdin() {
  if (stdinFd >= 0) {
    close(stdinFd);
    stdinFd = -1;
  }
}

std::string RunProgram(const std::vector<std::string>& argv, int* exitStatus, int timeoutMs,
                       const ChildProcess::Options& options) {
  ChildProcess child(argv, options);
  bool done = child.Wait(timeoutMs);
  if (!done) {
    child.Stop(100);
  }
  if (exitStatus != nullptr) {
    *exitStatus = done ? child.ExitStatus() : -1;
  }
  return child.Output();
}

}  // namespace Corvane::Testing
