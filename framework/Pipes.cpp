#include "framework/Pipes.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include <boost/thread/lock_guard.hpp>

#include "framework/GetErrorDescription.h"
#include "framework/RetryOnEintr.h"

namespace Corvane::TalisFramework {

namespace {

std::string ErrorText(int errorNumber) {
  return "error#" + std::to_string(errorNumber) + " '" + GetErrorDescription(errorNumber) + "'";
}

// Not retried: an interrupted fcntl is reported to the caller as Interrupted.
int CheckedFcntl(int fd, int cmd, long arg, bool showArg) {
  const int result = ::fcntl(fd, cmd, arg);
  if (result != -1) {
    return result;
  }
  const int error = errno;
  std::string call = "Pipes fcntl(" + std::to_string(fd) + "," + std::to_string(cmd);
  if (showArg) {
    call += "," + std::to_string(arg);
  }
  call += ") ";
  if (error == EINTR) {
    throw Pipes::Interrupted(call + "was interrupted");
  }
  throw Pipes::SystemError(call + "failed with " + ErrorText(error));
}

}  // namespace

Pipes::Pipes(bool create) : fds{-1, -1} {
  if (create) {
    Open();
  }
}

Pipes::Pipes(const Pipes& other) : fds{-1, -1} {
  try {
    DupEndsOf(other);
  } catch (...) {
    // The destructor does not run for a constructor that throws.
    CloseEnd(fds[0]);
    throw;
  }
}

Pipes& Pipes::operator=(const Pipes& other) {
  if (this == &other) {
    return *this;
  }
  boost::lock_guard<Pipes> guard(*this);
  Close();
  DupEndsOf(other);
  return *this;
}

Pipes::~Pipes() { Close(); }

void Pipes::Open() {
  if (RetryOnEintr([&] { return ::pipe2(fds, O_CLOEXEC); }) == -1) {
    const int error = errno;
    throw SystemError("Pipes pipe() returned " + ErrorText(error));
  }
}

void Pipes::Reopen() {
  boost::lock_guard<Pipes> guard(*this);
  Close();
  Open();
}

void Pipes::Close() {
  boost::lock_guard<Pipes> guard(*this);
  CloseEnd(fds[0]);
  CloseEnd(fds[1]);
}

void Pipes::CloseRead() {
  boost::lock_guard<Pipes> guard(*this);
  CloseEnd(fds[0]);
}

void Pipes::CloseWrite() {
  boost::lock_guard<Pipes> guard(*this);
  CloseEnd(fds[1]);
}

bool Pipes::IsReadOpen() {
  boost::lock_guard<Pipes> guard(*this);
  return fds[0] != -1;
}

bool Pipes::IsWriteOpen() {
  boost::lock_guard<Pipes> guard(*this);
  return fds[1] != -1;
}

int Pipes::GetReadFd() {
  boost::lock_guard<Pipes> guard(*this);
  if (!IsReadOpen()) {
    throw PipeIsClosed("The read pipe is closed");
  }
  return fds[0];
}

int Pipes::GetWriteFd() {
  boost::lock_guard<Pipes> guard(*this);
  if (!IsWriteOpen()) {
    throw PipeIsClosed("The write pipe is closed");
  }
  return fds[1];
}

void Pipes::lock() { mutex.lock(); }

bool Pipes::try_lock() { return mutex.try_lock(); }

void Pipes::unlock() { mutex.unlock(); }

int Pipes::Dup(int fd) {
  // Not retried: an interrupted dup is reported to the caller as Interrupted.
  const int newFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (newFd != -1) {
    return newFd;
  }
  const int error = errno;
  if (error == EINTR) {
    throw Interrupted("Pipes dup() was interrupted");
  }
  throw SystemError("Pipes dup(" + std::to_string(fd) + ") returned " + ErrorText(error));
}

void Pipes::SetNonBlocking(int fd, bool on) {
  const int flags = Fcntl(fd, F_GETFL);
  const int wanted = on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
  if (wanted != flags) {
    Fcntl(fd, F_SETFL, wanted);
  }
}

void Pipes::SetCloseOnExec(int fd, bool on) {
  const int flags = Fcntl(fd, F_GETFD);
  const int wanted = on ? flags | FD_CLOEXEC : flags & ~FD_CLOEXEC;
  if (wanted != flags) {
    Fcntl(fd, F_SETFD, wanted);
  }
}

int Pipes::Fcntl(int fd, int cmd) { return CheckedFcntl(fd, cmd, 0, false); }

int Pipes::Fcntl(int fd, int cmd, long arg) { return CheckedFcntl(fd, cmd, arg, true); }

void Pipes::CloseEnd(int& fd) {
  if (fd != -1) {
    // Not retried: Linux frees the descriptor even when close() reports EINTR.
    ::close(fd);
    fd = -1;
  }
}

void Pipes::DupEndsOf(const Pipes& other) {
  for (int end = 0; end < 2; ++end) {
    if (other.fds[end] != -1) {
      fds[end] = Dup(other.fds[end]);
    }
  }
}

}  // namespace Corvane::TalisFramework
