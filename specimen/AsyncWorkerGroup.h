#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

// Keeps count of detached worker threads so that their owner can stop them before it is
// destroyed. A worker sleeps through InterruptibleSleep, which Stop cuts short; the
// destructor (or StopAndWait) interrupts every sleep and waits until every worker has
// returned, so no worker outlives the object it works on. Thread-safe.
class AsyncWorkerGroup {
 public:
  AsyncWorkerGroup() = default;
  ~AsyncWorkerGroup();
  AsyncWorkerGroup(const AsyncWorkerGroup&) = delete;
  AsyncWorkerGroup& operator=(const AsyncWorkerGroup&) = delete;

  // Runs `work` on a new detached thread. Throws std::system_error when the thread
  // cannot be started (the worker is then not counted) and std::logic_error once the
  // group is stopping. An exception that leaves `work` is handed to `onError` on the
  // worker's thread (which must not throw) and ends only that worker.
  void Start(std::function<void()> work, std::function<void(const std::exception&)> onError);

  // Sleeps `micros` microseconds on the calling worker's thread. Returns false, at once,
  // when the group is being stopped (then the worker should return without further work).
  bool InterruptibleSleep(unsigned long micros);

  // True once StopAndWait has begun.
  bool Stopping() const;

  // Interrupts every sleep and blocks until every started worker has returned. Later
  // calls to Start throw.
  void StopAndWait();

  // Number of workers that have not returned yet.
  int Running() const;

 private:
  void Finished();

  mutable std::mutex mutex;
  std::condition_variable changed;
  int running = 0;
  bool stopping = false;
};
