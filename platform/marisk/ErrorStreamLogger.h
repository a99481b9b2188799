#pragma once

#include <string>

#include "platform/talis/Logger.h"

namespace Corvane::Marisk {

// A Logger that writes its lines to standard error, each in one write() as far as the
// system takes it, keeping standard output for sample lines. Shows warnings and errors.
class ErrorStreamLogger : public TalisFramework::Logger {
 public:
  explicit ErrorStreamLogger(const std::string& programName);

 protected:
  void WriteLine(LogType type, const std::string& text) override;

 private:
  std::string name;
};

}  // namespace Corvane::Marisk
