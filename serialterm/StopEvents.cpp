#include "serialterm/StopEvents.h"

#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <stdint.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

#include "framework/GetErrorDescription.h"
#include "framework/RetryOnEintr.h"

using Corvane::TalisFramework::GetErrorDescription;
using Corvane::TalisFramework::RetryOnEintr;

namespace {

std::runtime_error CallFailed(const char* operation, const char* call, int errorNumber) {
  return std::runtime_error(std::string("StopEvents::") + operation + ": " + call + " failed: " +
                            std::to_string(errorNumber) + " " + GetErrorDescription(errorNumber));
}

sigset_t StopSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  sigaddset(&set, SIGINT);
  return set;
}

}  // namespace

StopEvents::StopEvents() {
  const sigset_t stopSignals = StopSignalSet();
  int error = pthread_sigmask(SIG_BLOCK, &stopSignals, &previousMask);
  if (error != 0) {
    throw CallFailed("StopEvents", "pthread_sigmask()", error);
  }
  signalFd = ::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
  if (signalFd == -1) {
    error = errno;
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    throw CallFailed("StopEvents", "signalfd()", error);
  }
  eventFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (eventFd == -1) {
    error = errno;
    ::close(signalFd);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    throw CallFailed("StopEvents", "eventfd()", error);
  }
}

StopEvents::~StopEvents() {
  // Not retried: Linux frees the descriptor even when close() says EINTR.
  ::close(eventFd);
  ::close(signalFd);
  pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
}

void StopEvents::Request() {
  const uint64_t one = 1;
  if (RetryOnEintr([&] { return ::write(eventFd, &one, sizeof one); }) == -1) {
    throw CallFailed("Request", "write()", errno);
  }
}

bool StopEvents::WaitForInput(int fd) {
  pollfd fds[] = {{fd, POLLIN, 0}, {signalFd, POLLIN, 0}, {eventFd, POLLIN, 0}};
  // Waits for ever, so a retry after EINTR keeps the same rule.
  if (RetryOnEintr([&] { return ::poll(fds, 3, -1); }) == -1) {
    throw CallFailed("WaitForInput", "poll()", errno);
  }
  // The signal descriptor is never read: the signal stays pending for the destructor.
  if (fds[1].revents != 0 || fds[2].revents != 0) {
    return false;
  }
  return true;
}
