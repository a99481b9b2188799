#include "specimen/AsyncWorkerGroup.h"

#include <stdexcept>
#include <thread>
#include <utility>

AsyncWorkerGroup::~AsyncWorkerGroup() { StopAndWait(); }

void AsyncWorkerGroup::Start(std::function<void()> work,
                             std::function<void(const std::exception&)> onError) {
  {
    std::lock_guard<std::mutex> guard(mutex);
    if (stopping) {
      throw std::logic_error("AsyncWorkerGroup::Start: the group is stopping");
    }
    ++running;
  }
  try {
    std::thread([this, work = std::move(work), onError = std::move(onError)] {
      try {
        work();
      } catch (const std::exception& e) {
        onError(e);
      } catch (...) {
        onError(std::runtime_error("unknown exception"));
      }
      Finished();
    }).detach();
  } catch (...) {
    Finished();
    throw;
  }
}

void AsyncWorkerGroup::Finished() {
  // Notified under the lock: once the waiter in StopAndWait sees zero it may destroy
  // the group, so this thread must not touch it after releasing the lock.
  std::lock_guard<std::mutex> guard(mutex);
  --running;
  changed.notify_all();
}

bool AsyncWorkerGroup::InterruptibleSleep(unsigned long micros) {
  std::unique_lock<std::mutex> lock(mutex);
  return !changed.wait_for(lock, std::chrono::microseconds(micros), [this] { return stopping; });
}

bool AsyncWorkerGroup::Stopping() const {
  std::lock_guard<std::mutex> guard(mutex);
  return stopping;
}

void AsyncWorkerGroup::StopAndWait() {
  std::unique_lock<std::mutex> lock(mutex);
  stopping = true;
  changed.notify_all();
  changed.wait(lock, [this] { return running == 0; });
}

int AsyncWorkerGroup::Running() const {
  std::lock_guard<std::mutex> guard(mutex);
  return running;
}
