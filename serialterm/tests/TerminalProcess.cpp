#include "serialterm/tests/TerminalProcess.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

TerminalProcess::TerminalProcess(const std::vector<std::string>& argv, int consoleFd) {
  std::vector<char*> arguments;
  for (const std::string& argument : argv) {
    arguments.push_back(const_cast<char*>(argument.c_str()));
  }
  arguments.push_back(nullptr);
  int errorPipe[2];
  if (pipe2(errorPipe, O_CLOEXEC) != 0) {
    throw std::runtime_error(std::string("TerminalProcess: pipe2(): ") + strerror(errno));
  }
  pid = fork();
  if (pid == -1) {
    const int error = errno;
    ::close(errorPipe[0]);
    ::close(errorPipe[1]);
    throw std::runtime_error(std::string("TerminalProcess: fork(): ") + strerror(error));
  }
  if (pid == 0) {
    // Only async-signal-safe calls until exec.
    setsid();
    dup2(consoleFd, 0);
    dup2(consoleFd, 1);
    dup2(errorPipe[1], 2);
    ioctl(0, TIOCSCTTY, 0);
    execv(arguments[0], arguments.data());
    _exit(127);
  }
  ::close(errorPipe[1]);
  errorFd = errorPipe[0];
  fcntl(errorFd, F_SETFL, O_NONBLOCK);
}

TerminalProcess::~TerminalProcess() {
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  ::close(errorFd);
}

bool TerminalProcess::Wait(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!ended) {
    const pid_t result = waitpid(pid, &status, WNOHANG);
    if (result == pid) {
      ended = true;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    // A child gives no descriptor to wait on; short steps keep the wait responsive.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ReadErrors(0);
  return true;
}

int TerminalProcess::ExitStatus() const {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int TerminalProcess::TermSignal() const {
  return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

void TerminalProcess::Signal(int signalNumber) {
  if (!ended) {
    kill(pid, signalNumber);
  }
}

void TerminalProcess::ReadErrors(int ms) {
  pollfd fd{errorFd, POLLIN, 0};
  if (::poll(&fd, 1, ms) <= 0) {
    return;
  }
  char buffer[4096];
  ssize_t count;
  while ((count = ::read(errorFd, buffer, sizeof buffer)) > 0) {
    errors.append(buffer, static_cast<size_t>(count));
  }
  if (count == 0) {
    errorsClosed = true;
  }
}

const std::string& TerminalProcess::ErrorOutput() {
  ReadErrors(0);
  return errors;
}

bool TerminalProcess::WaitForErrorOutput(const std::string& text, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    ReadErrors(0);
    if (errors.find(text) != std::string::npos) {
      return true;
    }
    if (errorsClosed) {
      return false;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return false;
    }
    ReadErrors(static_cast<int>(left.count()));
  }
}
