#pragma once

#include <sys/select.h>

#include <stdexcept>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "warden/ProcInfo.h"

namespace Corvane::Warden {

// An ordered list of shared process records, waited on with select: Wait hands back the
// earliest-added record whose watched descriptor is readable or reports an exceptional
// condition, after completing it (ProcInfo::Reap).
//
// select's descriptor sets hold descriptors below FD_SETSIZE (1024) only. A record
// watching a higher descriptor is refused with std::invalid_argument (by Add, by the
// Launch overloads before anything starts, and by Wait should a record's descriptor
// change later) instead of writing past the set.
//
// Holds no lock: one thread at a time uses a set. The records themselves may be shared
// with other threads.
class ProcInfoSet {
 public:
  class Timeout : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };

  ProcInfoSet();
  virtual ~ProcInfoSet();

  ProcInfoSet(const ProcInfoSet&) = delete;
  ProcInfoSet& operator=(const ProcInfoSet&) = delete;

  // Appends record (not null); duplicates are kept.
  void Add(const boost::shared_ptr<ProcInfo>& record);
  // Removes the first entry that points to record; nothing when there is none.
  void Remove(const boost::shared_ptr<ProcInfo>& record);
  // Number of entries, duplicates counted.
  size_t Size() const { return records.size(); }

  // Waits until a watched descriptor is ready and returns its record, reaped. timeoutMs
  // negative waits without limit. A signal restarts the wait with the full limit.
  // Throws Timeout ("select timed out"), std::runtime_error when select fails ("select
  // failed and returned <text>", e.g. for a descriptor closed behind the set's back),
  // std::logic_error when select's answer matches no record, and what Reap throws.
  boost::shared_ptr<ProcInfo> Wait(int timeoutMs);

  // Launch command into a new record (ProcInfo::Create) or into record, append it and
  // return it. Nothing is appended when the launch throws (see ProcInfo::Launch).
  boost::shared_ptr<ProcInfo> Launch(const std::string& command, bool useShell);
  boost::shared_ptr<ProcInfo> Launch(const std::string& command, const std::string* startDirectory,
                                     bool useShell);
  boost::shared_ptr<ProcInfo> Launch(const std::string& command,
                                     const boost::shared_ptr<ProcInfo>& record, bool useShell);
  boost::shared_ptr<ProcInfo> Launch(const std::string& command,
                                     const boost::shared_ptr<ProcInfo>& record,
                                     const std::string* startDirectory, bool useShell);

 private:
  using Snapshot = std::vector<boost::shared_ptr<ProcInfo>>;

  int BuildFdSet(fd_set& set, Snapshot& snapshot);
  static boost::shared_ptr<ProcInfo> Find(const fd_set& readSet, const fd_set& exceptSet,
                                          const Snapshot& snapshot);
  static void CheckWatchable(ProcInfo& record);

  std::vector<boost::shared_ptr<ProcInfo>> records;
};

}  // namespace Corvane::Warden
