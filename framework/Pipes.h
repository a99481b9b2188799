#pragma once

#include <stdexcept>

#include <boost/thread/recursive_mutex.hpp>

namespace Corvane::TalisFramework {

// Owns the two descriptors of one POSIX pipe, guarded by a recursive lock so that one
// thread can close an end while another asks for it. The lock is exposed through
// lock/try_lock/unlock, so a scoped guard can hold it across fetching a descriptor and
// using it; every member operation except the constructors and Open holds it too.
// Pipes created here are close-on-exec; duplicates made by Dup are close-on-exec too.
class Pipes {
 public:
  class SystemError : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };
  // dup or fcntl was interrupted by a signal; these calls are not repeated.
  class Interrupted : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };
  // The descriptor of a closed end was asked for.
  class PipeIsClosed : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };

  // Both ends closed; with create true, opens a pipe (see Open). Throws SystemError.
  explicit Pipes(bool create = true);
  // Duplicates of the other object's open ends (a closed end stays closed). The other
  // object is not locked. Throws as Dup.
  Pipes(const Pipes& other);
  // Under this object's lock: Close, then duplicates of the other object's ends. If a Dup
  // fails, the ends duplicated so far stay and the exception passes on.
  Pipes& operator=(const Pipes& other);
  virtual ~Pipes();

  // pipe() into the two ends, repeated on EINTR; throws SystemError otherwise. Ends that
  // are open are not closed first (use Reopen). Takes no lock.
  void Open();
  // Close, then Open.
  void Reopen();
  void Close();
  void CloseRead();
  void CloseWrite();
  bool IsReadOpen();
  bool IsWriteOpen();
  // The descriptor of an end; throws PipeIsClosed ("The read pipe is closed" /
  // "The write pipe is closed") when that end is closed. Another thread may close it as
  // soon as the call returns unless the caller holds the lock across fetch and use.
  int GetReadFd();
  int GetWriteFd();

  virtual void lock();
  virtual bool try_lock();
  virtual void unlock();

  // A close-on-exec duplicate of fd. Throws Interrupted on EINTR, SystemError otherwise.
  static int Dup(int fd);
  // Set or clear O_NONBLOCK / FD_CLOEXEC; the flags are written back only if they change.
  // Failures are reported as by Fcntl.
  static void SetNonBlocking(int fd, bool on);
  static void SetCloseOnExec(int fd, bool on);
  // fcntl(fd, cmd, 0) and fcntl(fd, cmd, arg). On -1: Interrupted ("... was interrupted")
  // for EINTR, SystemError ("... failed with error#N 'text'") otherwise.
  static int Fcntl(int fd, int cmd);
  static int Fcntl(int fd, int cmd, long arg);

 private:
  void CloseEnd(int& fd);
  void DupEndsOf(const Pipes& other);

  int fds[2];
  boost::recursive_mutex mutex;
};

}  // namespace Corvane::TalisFramework
