#pragma once

#include <semaphore.h>
#include <sys/types.h>
#include <time.h>

#include <stdexcept>
#include <string>

#include <boost/noncopyable.hpp>

namespace Corvane::TalisFramework {

// One POSIX counting semaphore: unnamed and held inside the object, or named and opened
// through the system. Calls interrupted by a signal are repeated; other failures throw
// SystemError with "Semaphore: <call> returned error #N: '<text>'". Thread-safe as the
// system semaphore is: any thread may post while others wait. lock/try_lock/unlock make
// it usable by a scoped guard (take a count on entry, give it back on exit).
class Semaphore : private boost::noncopyable {
 public:
  class SystemError : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };
  // A timed wait expired and the caller asked for an exception.
  class Timeout : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };

  // Unnamed semaphore (sem_init); pshared non-zero shares it between processes when the
  // object lies in shared memory.
  explicit Semaphore(unsigned initialCount = 0, int pshared = 0);
  // Named semaphore (sem_open). openOnly: open an existing one only; else createOrOpen:
  // create it or open an existing one (then initialCount is ignored); else create it and
  // fail if the name exists. The name outlives the object until Unlink.
  Semaphore(const std::string& name, bool openOnly, bool createOrOpen = true,
            unsigned initialCount = 0, mode_t mode = 0600);
  // Destroys an unnamed semaphore or closes a named one; never removes a name.
  virtual ~Semaphore();

  // Removes a named semaphore from the system (sem_unlink).
  static void Unlink(const std::string& name);

  // The semaphore in use; throws std::runtime_error if none was set up.
  sem_t* GetSem();

  void Wait();
  // true if a count was taken; false at once when the count is zero.
  bool TryWait();
  // Waits at most timeoutMs milliseconds (on the realtime clock). true if a count was
  // taken; on expiry false, or Timeout ("Semaphore: a timeout occurred") when
  // throwOnTimeout is true.
  bool TimedWait(unsigned timeoutMs, bool throwOnTimeout);
  void Post();

  virtual void lock();
  virtual bool try_lock();
  virtual void unlock();

  int GetCount();
  // Drives the count to newCount by posting or try-waiting one step at a time; not atomic
  // against other threads. Throws std::invalid_argument for a negative newCount and
  // std::runtime_error when a count vanishes under it.
  void SetCount(int newCount);

  // The absolute deadline timeoutMs milliseconds after now.
  static timespec AddMilliseconds(timespec now, unsigned timeoutMs);

 private:
  sem_t sem;
  sem_t* pSem;
  bool semInitialized;
};

}  // namespace Corvane::TalisFramework
