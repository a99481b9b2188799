#include "tools/eventtool/EventToolOptions.h"

#include <boost/algorithm/string/predicate.hpp>
#include <boost/lexical_cast.hpp>

namespace Corvane::EventTool {

namespace {

// ORB options that take no value.
bool OrbOptionWithoutValue(const std::string& option) {
  return option == "-ORBhelp" || option == "-ORBversion";
}

template <class Number>
Number ToNumber(const std::string& option, const std::string& text) {
  try {
    return boost::lexical_cast<Number>(text);
  } catch (const boost::bad_lexical_cast&) {
    throw UsageError("option " + option + ": '" + text + "' is not a number");
  }
}

class ArgumentReader {
 public:
  explicit ArgumentReader(const std::vector<std::string>& argsIn) : args(argsIn) {}
  bool Done() const { return index >= args.size(); }
  const std::string& Next() { return args[index++]; }
  const std::string& ValueOf(const std::string& option) {
    if (Done()) {
      throw UsageError("option " + option + " needs a value");
    }
    return Next();
  }

 private:
  const std::vector<std::string>& args;
  std::size_t index = 0;
};

EventToolOptions::Command ToCommand(const std::string& word) {
  if (boost::algorithm::iequals(word, "watch")) {
    return EventToolOptions::Command::Watch;
  }
  if (boost::algorithm::iequals(word, "gps")) {
    return EventToolOptions::Command::Gps;
  }
  if (boost::algorithm::iequals(word, "send")) {
    return EventToolOptions::Command::Send;
  }
  if (word == "help" || word == "--help" || word == "-h") {
    return EventToolOptions::Command::Help;
  }
  throw UsageError("unknown command '" + word + "'");
}

// Applies one option of the command; false when `option` is none of them.
bool ApplyOption(const std::string& option, ArgumentReader& reader, EventToolOptions& options) {
  using Command = EventToolOptions::Command;
  const bool publishes = options.command == Command::Gps || options.command == Command::Send;
  if (option == "--kind") {
    options.kind = reader.ValueOf(option);
  } else if (option == "--count" && options.command == Command::Watch) {
    options.count = ToNumber<long>(option, reader.ValueOf(option));
  } else if (option == "--seconds" && options.command == Command::Watch) {
    options.seconds = ToNumber<double>(option, reader.ValueOf(option));
  } else if (option == "--name" && publishes) {
    options.name = reader.ValueOf(option);
  } else if (option == "--type" && publishes) {
    options.type = reader.ValueOf(option);
  } else if (option == "--domain" && publishes) {
    options.domain = reader.ValueOf(option);
  } else if (option == "--time" && options.command == Command::Gps) {
    options.time = ToNumber<long>(option, reader.ValueOf(option));
  } else if (option == "--lat" && options.command == Command::Gps) {
    options.latitude = ToNumber<double>(option, reader.ValueOf(option));
  } else if (option == "--lon" && options.command == Command::Gps) {
    options.longitude = ToNumber<double>(option, reader.ValueOf(option));
  } else if (option == "--invalid" && options.command == Command::Gps) {
    options.validFix = false;
  } else if (option == "--body" && options.command == Command::Send) {
    options.hasBody = true;
    options.body = reader.ValueOf(option);
  } else {
    return false;
  }
  return true;
}

}  // namespace

EventToolOptions ParseEventToolOptions(const std::vector<std::string>& args) {
  EventToolOptions options;
  std::vector<std::string> positional;
  ArgumentReader reader(args);
  bool commandSeen = false;
  while (!reader.Done()) {
    const std::string& arg = reader.Next();
    if (boost::algorithm::starts_with(arg, "-ORB")) {
      options.orbArguments.push_back(arg);
      if (!OrbOptionWithoutValue(arg)) {
        options.orbArguments.push_back(reader.ValueOf(arg));
      }
    } else if (arg == "--naming") {
      options.orbArguments.push_back("-ORBInitRef");
      options.orbArguments.push_back("NameService=corbaloc::" + reader.ValueOf(arg) +
                                     "/NameService");
    } else if (!commandSeen) {
      options.command = ToCommand(arg);
      commandSeen = true;
    } else if (boost::algorithm::starts_with(arg, "--")) {
      if (!ApplyOption(arg, reader, options)) {
        throw UsageError("unknown option " + arg);
      }
    } else {
      positional.push_back(arg);
    }
  }
  if (options.command == EventToolOptions::Command::Help) {
    return options;
  }
  if (positional.empty()) {
    throw UsageError("the channel name is missing");
  }
  options.channel = positional[0];
  positional.erase(positional.begin());
  if (options.command == EventToolOptions::Command::Send) {
    if (options.name.empty()) {
      throw UsageError("send needs --name");
    }
    options.fields = positional;
  } else if (!positional.empty()) {
    throw UsageError("unexpected argument '" + positional[0] + "'");
  }
  if (options.command == EventToolOptions::Command::Gps) {
    options.name = options.name.empty() ? "gps" : options.name;
    options.type = options.type.empty() ? "GPSSample" : options.type;
    options.domain = options.domain.empty() ? "Navigation" : options.domain;
  }
  if (options.count < 0 || options.seconds < 0) {
    throw UsageError("--count and --seconds take values of 0 or more");
  }
  return options;
}

const char* EventToolUsage() {
  return "usage: eventtool [--naming HOST:PORT] [-ORB... value] COMMAND CHANNEL [options]\n"
         "  watch CHANNEL [--kind K] [--count N] [--seconds S]\n"
         "      print every event of the channel, one line each (until N events, S seconds\n"
         "      or Ctrl-C)\n"
         "  gps CHANNEL [--kind K] [--name gps] [--type GPSSample] [--domain Navigation]\n"
         "      [--time SECONDS] [--lat DEGREES] [--lon DEGREES] [--invalid]\n"
         "      publish one GPS sample (time: now unless given)\n"
         "  send CHANNEL [--kind K] --name NAME [--type TYPE] [--domain DOMAIN]\n"
         "      [--body TEXT] [FIELD,STORAGE,VALUE ...]\n"
         "      publish one event; STORAGE is bool, char, octet, short, ushort, long, ulong,\n"
         "      longlong, ulonglong, float, double or string\n"
         "The channel is looked up in the naming service (--naming, or -ORBInitRef\n"
         "NameService=...). Without -ORBendPoint the tool listens on 127.0.0.1 only.\n";
}

}  // namespace Corvane::EventTool
