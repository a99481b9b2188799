#pragma once

#include <memory>
#include <string>

#include "testing/ChildProcess.h"
#include "testing/ScopedTempDir.h"

namespace Corvane::Testing {

// A private omniNames on a free 127.0.0.1 port with its own fresh data directory,
// ready to answer when the constructor returns and stopped by process id when the
// object is destroyed. Throws std::runtime_error when it does not come up.
class NamingService {
 public:
  NamingService();
  ~NamingService();

  int Port() const { return port; }
  // "corbaloc::127.0.0.1:PORT/NameService"
  std::string Corbaloc() const;
  // "NameService=corbaloc::127.0.0.1:PORT/NameService", the value of -ORBInitRef.
  std::string InitRef() const { return "NameService=" + Corbaloc(); }
  pid_t Pid() const { return process ? process->Pid() : -1; }

  // Runs nameclt against this naming service ("list", "resolve NAME", ...); returns its
  // standard output and sets `exitStatus`.
  std::string NameClient(const std::string& operation, const std::string& argument,
                         int* exitStatus) const;

 private:
  ScopedTempDir dir{"omninames"};
  std::unique_ptr<ChildProcess> process;
  int port = 0;
};

}  // namespace Corvane::Testing
