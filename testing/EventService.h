#pragma once

#include <memory>
#include <string>

#include "testing/ChildProcess.h"
#include "testing/NamingService.h"
#include "testing/ScopedTempDir.h"

namespace Corvane::Testing {

// A private omniEvents on a free port with a fresh data directory, its channel factory
// registered in `naming` when the constructor returns; stopped by process id when the
// object is destroyed. The naming service must outlive it.
class EventService {
 public:
  explicit EventService(const NamingService& naming);
  ~EventService();

  int Port() const { return port; }
  pid_t Pid() const { return process ? process->Pid() : -1; }

  // Creates an event channel and binds it under `name` in the naming service.
  // Throws std::runtime_error when eventc fails.
  void CreateChannel(const std::string& name);

 private:
  const NamingService& naming;
  ScopedTempDir dir{"omnievents"};
  std::unique_ptr<ChildProcess> process;
  int port = 0;
};

}  // namespace Corvane::Testing
