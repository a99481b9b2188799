#include "warden/ProcInfoSet.h"

#include <sys/time.h>

#include <algorithm>
#include <cerrno>

#include "framework/GetErrorDescription.h"

namespace Corvane::Warden {

using TalisFramework::GetErrorDescription;

ProcInfoSet::ProcInfoSet() = default;

ProcInfoSet::~ProcInfoSet() = default;

void ProcInfoSet::CheckWatchable(ProcInfo& record) {
  const int fd = record.GetWatchFd();
  if (fd >= FD_SETSIZE) {
    throw std::invalid_argument("ProcInfoSet: descriptor " + std::to_string(fd) +
                                " does not fit a select set (limit " + std::to_string(FD_SETSIZE) +
                                ")");
  }
}

void ProcInfoSet::Add(const boost::shared_ptr<ProcInfo>& record) {
  if (!record) {
    throw std::invalid_argument("ProcInfoSet::Add: null record");
  }
  CheckWatchable(*record);
  records.push_back(record);
}

void ProcInfoSet::Remove(const boost::shared_ptr<ProcInfo>& record) {
  const auto found = std::find(records.begin(), records.end(), record);
  if (found != records.end()) {
    records.erase(found);
  }
}

boost::shared_ptr<ProcInfo> ProcInfoSet::Launch(const std::string& command, bool useShell) {
  return Launch(command, ProcInfo::Create(), nullptr, useShell);
}

boost::shared_ptr<ProcInfo> ProcInfoSet::Launch(const std::string& command,
                                                const std::string* startDirectory, bool useShell) {
  return Launch(command, ProcInfo::Create(), startDirectory, useShell);
}

boost::shared_ptr<ProcInfo> ProcInfoSet::Launch(const std::string& command,
                                                const boost::shared_ptr<ProcInfo>& record,
                                                bool useShell) {
  return Launch(command, record, nullptr, useShell);
}

boost::shared_ptr<ProcInfo> ProcInfoSet::Launch(const std::string& command,
                                                const boost::shared_ptr<ProcInfo>& record,
                                                const std::string* startDirectory, bool useShell) {
  if (!record) {
    throw std::invalid_argument("ProcInfoSet::Launch: null record");
  }
  // Refused before the child exists: a child we could not wait on would never be reaped.
  CheckWatchable(*record);
  record->Launch(command, startDirectory, useShell);
  records.push_back(record);
  return record;
}

int ProcInfoSet::BuildFdSet(fd_set& set, Snapshot& snapshot) {
  FD_ZERO(&set);
  snapshot.clear();
  snapshot.reserve(records.size());
  int maxFd = -1;
  for (const boost::shared_ptr<ProcInfo>& record : records) {
    const int fd = record->GetWatchFd();
    if (fd == -1) {
      continue;
    }
    CheckWatchable(*record);
    maxFd = std::max(maxFd, fd);
    FD_SET(fd, &set);
    snapshot.push_back(record);
  }
  return maxFd;
}

boost::shared_ptr<ProcInfo> ProcInfoSet::Find(const fd_set& readSet, const fd_set& exceptSet,
                                              const Snapshot& snapshot) {
  for (const boost::shared_ptr<ProcInfo>& record : snapshot) {
    const int fd = record->GetWatchFd();
    if (fd >= 0 && fd < FD_SETSIZE && (FD_ISSET(fd, &readSet) || FD_ISSET(fd, &exceptSet))) {
      return record;
    }
  }
  throw std::logic_error("No match for process info in set");
}

boost::shared_ptr<ProcInfo> ProcInfoSet::Wait(int timeoutMs) {
  Snapshot snapshot;
  fd_set readSet;
  fd_set exceptSet;
  for (;;) {
    const int maxFd = BuildFdSet(readSet, snapshot);
    exceptSet = readSet;
    // Rebuilt on every pass: an interrupted wait starts again with the full limit.
    timeval limit;
    limit.tv_sec = timeoutMs / 1000;
    limit.tv_usec = (timeoutMs % 1000) * 1000;
    const int n =
        ::select(maxFd + 1, &readSet, nullptr, &exceptSet, timeoutMs < 0 ? nullptr : &limit);
    const int error = errno;
    if (n > 0) {
      break;
    }
    if (n == 0) {
      throw Timeout("select timed out");
    }
    if (error != EINTR) {
      throw std::runtime_error("select failed and returned " + GetErrorDescription(error));
    }
  }
  boost::shared_ptr<ProcInfo> ready = Find(readSet, exceptSet, snapshot);
  ready->Reap();
  return ready;
}

}  // namespace Corvane::Warden
