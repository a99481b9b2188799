#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace Corvane::EventTool {

// What the command line asks for. ORB options (-ORB... and their values) are kept apart
// in `orbArguments` for the ORB; --naming HOST:PORT adds the naming service reference.
struct EventToolOptions {
  enum class Command { Watch, Gps, Send, Help };

  Command command = Command::Help;
  std::string channel;
  std::string kind;
  std::vector<std::string> orbArguments;

  // watch
  long count = 0;      // 0: no limit
  double seconds = 0;  // 0: until interrupted

  // gps and send
  std::string name;
  std::string type;
  std::string domain;

  // gps
  long time = -1;  // -1: now
  bool validFix = true;
  double latitude = 0;
  double longitude = 0;

  // send: NAME,TYPE,VALUE field tokens and an optional literal body
  std::vector<std::string> fields;
  bool hasBody = false;
  std::string body;
};

// A malformed command line; the message says what is wrong.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses the arguments after the program name. Throws UsageError.
EventToolOptions ParseEventToolOptions(const std::vector<std::string>& args);

// The help text.
const char* EventToolUsage();

}  // namespace Corvane::EventTool
