#include "framework/Semaphore.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>

#include "framework/GetErrorDescription.h"
#include "framework/RetryOnEintr.h"

namespace Corvane::TalisFramework {

namespace {

constexpr long kNanosecondsPerSecond = 1000000000L;

[[noreturn]] void ThrowSystemError(const char* call, int errorNumber) {
  throw Semaphore::SystemError(std::string("Semaphore: ") + call + " returned error #" +
                               std::to_string(errorNumber) + ": '" +
                               GetErrorDescription(errorNumber) + "'");
}

int OpenFlags(bool openOnly, bool createOrOpen) {
  if (openOnly) {
    return 0;
  }
  return createOrOpen ? O_CREAT : O_CREAT | O_EXCL;
}

}  // namespace

Semaphore::Semaphore(unsigned initialCount, int pshared) : pSem(nullptr), semInitialized(false) {
  memset(&sem, 0, sizeof sem);
  if (RetryOnEintr([&] { return sem_init(&sem, pshared, initialCount); }) == -1) {
    ThrowSystemError("sem_init", errno);
  }
  semInitialized = true;
}

Semaphore::Semaphore(const std::string& name, bool openOnly, bool createOrOpen,
                     unsigned initialCount, mode_t mode)
    : pSem(nullptr), semInitialized(false) {
  memset(&sem, 0, sizeof sem);
  const int flags = OpenFlags(openOnly, createOrOpen);
  sem_t* opened;
  do {
    opened = sem_open(name.c_str(), flags, mode, initialCount);
  } while (opened == SEM_FAILED && errno == EINTR);
  if (opened == SEM_FAILED) {
    ThrowSystemError("sem_open", errno);
  }
  pSem = opened;
}

Semaphore::~Semaphore() {
  if (semInitialized) {
    sem_destroy(&sem);
  }
  if (pSem != nullptr) {
    sem_close(pSem);
  }
}

void Semaphore::Unlink(const std::string& name) {
  if (RetryOnEintr([&] { return sem_unlink(name.c_str()); }) == -1) {
    ThrowSystemError("sem_unlink", errno);
  }
}

sem_t* Semaphore::GetSem() {
  if (pSem != nullptr) {
    return pSem;
  }
  if (semInitialized) {
    return &sem;
  }
  throw std::runtime_error(
      "Semaphore::GetSem: neither sem nor pSem has been successfully initialized!");
}

void Semaphore::Wait() {
  sem_t* s = GetSem();
  if (RetryOnEintr([&] { return sem_wait(s); }) == -1) {
    ThrowSystemError("sem_wait", errno);
  }
}

bool Semaphore::TryWait() {
  sem_t* s = GetSem();
  if (RetryOnEintr([&] { return sem_trywait(s); }) == 0) {
    return true;
  }
  const int error = errno;
  if (error == EAGAIN) {
    return false;
  }
  ThrowSystemError("sem_trywait", error);
}

timespec Semaphore::AddMilliseconds(timespec now, unsigned timeoutMs) {
  timespec deadline = now;
  deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
  if (deadline.tv_nsec >= kNanosecondsPerSecond) {
    deadline.tv_sec += deadline.tv_nsec / kNanosecondsPerSecond;
    deadline.tv_nsec %= kNanosecondsPerSecond;
  }
  deadline.tv_sec += timeoutMs / 1000;
  return deadline;
}

bool Semaphore::TimedWait(unsigned timeoutMs, bool throwOnTimeout) {
  sem_t* s = GetSem();
  timespec now;
  // Read once, so that a wait repeated after a signal keeps the same deadline.
  if (clock_gettime(CLOCK_REALTIME, &now) == -1) {
    ThrowSystemError("clock_gettime", errno);
  }
  const timespec deadline = AddMilliseconds(now, timeoutMs);
  if (RetryOnEintr([&] { return sem_timedwait(s, &deadline); }) == 0) {
    return true;
  }
  const int error = errno;
  if (error != ETIMEDOUT) {
    ThrowSystemError("sem_timedwait", error);
  }
  if (throwOnTimeout) {
    throw Timeout("Semaphore: a timeout occurred");
  }
  return false;
}

void Semaphore::Post() {
  sem_t* s = GetSem();
  if (RetryOnEintr([&] { return sem_post(s); }) == -1) {
    ThrowSystemError("sem_post", errno);
  }
}

void Semaphore::lock() { Wait(); }

bool Semaphore::try_lock() { return TryWait(); }

void Semaphore::unlock() { Post(); }

int Semaphore::GetCount() {
  sem_t* s = GetSem();
  int count = -1;
  if (RetryOnEintr([&] { return sem_getvalue(s, &count); }) == -1) {
    ThrowSystemError("sem_getvalue", errno);
  }
  return count;
}

void Semaphore::SetCount(int newCount) {
  if (newCount < 0) {
    throw std::invalid_argument("Semaphore::SetCount() cannot take a newCount value less than 0");
  }
  for (;;) {
    const int count = GetCount();
    if (count < 0) {
      throw std::runtime_error(
          "In Semaphore::SetCount(), Semaphore::GetCount() unexpectedly returned a value (" +
          std::to_string(count) + " less than 0");
    }
    if (count == newCount) {
      return;
    }
    if (count < newCount) {
      Post();
    } else if (!TryWait()) {
      throw std::runtime_error(
          "In Semaphore::SetCount(), TryWait() failed while there were additional counts to "
          "remove");
    }
  }
}

}  // namespace Corvane::TalisFramework
