#pragma once

#include <signal.h>

// What ends the wait for the next console key besides the key itself: SIGTERM, SIGHUP or
// SIGINT sent to the process, or Request() from another thread.
//
// The constructor blocks those three signals in the calling thread, so the threads it
// starts afterwards inherit the block: a signal then stays pending instead of ending the
// process with the console left in raw mode. The destructor restores the previous signal
// mask, which delivers a still-pending signal with its usual effect once the console has
// been put back. A signal that the process ignores stays ignored.
//
// Not copyable. Request and WaitForInput may be called from different threads.
class StopEvents {
 public:
  // Throws std::runtime_error when the signal mask, the signal descriptor or the event
  // descriptor cannot be set up; nothing is left changed then.
  StopEvents();
  ~StopEvents();
  StopEvents(const StopEvents&) = delete;
  StopEvents& operator=(const StopEvents&) = delete;

  // Makes every WaitForInput, current and later, return false. Throws std::runtime_error.
  void Request();

  // Waits without a time limit until `fd` can be read (or reports an error or hang-up, which
  // the read then shows), true, or until a stop signal is pending or a stop was requested,
  // false. A pending signal is left pending. Throws std::runtime_error when poll fails.
  bool WaitForInput(int fd);

 private:
  sigset_t previousMask{};
  int signalFd = -1;
  int eventFd = -1;
};
