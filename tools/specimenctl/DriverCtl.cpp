#include "tools/specimenctl/DriverCtl.h"

#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <iomanip>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include <boost/lexical_cast.hpp>
#include <omniORB4/Naming.hh>

#include "specimen/idl/Talis.hh"
#include "tools/specimenctl/ChannelWatcher.h"

namespace SpecimenCtl {

namespace {

const char kUsage[] =
    "usage: specimenctl [ORB options] COMMAND ARGS...\n"
    "DRIVER is corbaloc::HOST:PORT/NAME, corbaname::..., IOR:... or a name bound in the\n"
    "naming service; CHANNEL is the name of an event channel in the naming service.\n"
    "  ping DRIVER                         call Ping and print the driver's time\n"
    "  attributes DRIVER                   print every attribute\n"
    "  power-off DRIVER DELAY              PowerOff(DELAY)\n"
    "  power-on DRIVER                     PowerOn()\n"
    "  gps-note DRIVER TIME VALID LAT LON  NoteGPSSample (TIME in seconds since 1970, VALID 0/1)\n"
    "  interval DRIVER [VALUE]             write (when given), then read sensorSampleInterval\n"
    "  send DRIVER TEXT [-r REQUESTER] [-t TRANSACTION] [-c CHANNEL] [-w MS]\n"
    "                                      SendCommand(TEXT); with -c, when the driver answers\n"
    "                                      WillCompleteAsynchronously, wait up to MS (10000)\n"
    "                                      for the command-complete events of this request\n"
    "  watch CHANNEL [-n COUNT] [-w MS]    print events of the channel, one line each, until\n"
    "                                      COUNT events or MS without one (default: forever)\n"
    "  publish-gps CHANNEL EVENT TYPE DOMAIN TIME VALID LAT LON\n"
    "                                      push one GPS sample event into the channel\n"
    "Options: -k KIND  naming-service kind of CHANNEL (default empty, as eventc binds it).\n"
    "Exit status: 0 done, 1 failure, 2 usage, 3 the driver raised BadParameter.\n";

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Options {
  std::vector<std::string> positional;
  std::string requester;
  std::string transaction;
  std::string channel;
  std::string channelKind;
  long waitMs = -1;
  long count = -1;
};

template <typename T>
T Convert(const std::string& text, const char* what) {
  T value{};
  if (!boost::conversion::try_lexical_convert(text, value)) {
    throw UsageError(std::string("bad ") + what + ": '" + text + "'");
  }
  return value;
}

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "-r" && hasValue) {
      options.requester = args[++i];
    } else if (arg == "-t" && hasValue) {
      options.transaction = args[++i];
    } else if (arg == "-c" && hasValue) {
      options.channel = args[++i];
    } else if (arg == "-k" && hasValue) {
      options.channelKind = args[++i];
    } else if (arg == "-w" && hasValue) {
      options.waitMs = Convert<long>(args[++i], "wait");
    } else if (arg == "-n" && hasValue) {
      options.count = Convert<long>(args[++i], "count");
    } else if (arg == "--") {
      options.positional.insert(options.positional.end(), args.begin() + i + 1, args.end());
      break;
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-" &&
               !(arg.size() > 1 && (std::isdigit(static_cast<unsigned char>(arg[1])) ||
                                    arg[1] == '.'))) {
      throw UsageError("unknown option " + arg);
    } else {
      options.positional.push_back(arg);
    }
  }
  return options;
}

void Need(const Options& options, std::size_t count) {
  if (options.positional.size() != count) {
    throw UsageError("wrong number of arguments");
  }
}

// ORB options as given, plus a loopback endpoint unless the caller chose one, so that
// callbacks from the channel never travel over an external address.
std::vector<std::string> OrbArguments(const std::vector<std::string>& given) {
  std::vector<std::string> args = given;
  bool hasEndpoint = false;
  for (const std::string& arg : given) {
    if (arg.rfind("-ORBendPoint", 0) == 0) {
      hasEndpoint = true;
    }
  }
  if (!hasEndpoint) {
    args.push_back("-ORBendPoint");
    args.push_back("giop:tcp:127.0.0.1:");
  }
  return args;
}

Corvane::Talis::ISpecimen_ptr ResolveDriver(CORBA::ORB_ptr orb, const std::string& where) {
  CORBA::Object_var object;
  if (where.find(':') != std::string::npos) {
    object = orb->string_to_object(where.c_str());
  } else {
    CORBA::Object_var root = orb->resolve_initial_references("NameService");
    CosNaming::NamingContext_var naming = CosNaming::NamingContext::_narrow(root);
    CosNaming::Name name;
    name.length(1);
    name[0].id = where.c_str();
    name[0].kind = "";
    object = naming->resolve(name);
  }
  Corvane::Talis::ISpecimen_var driver = Corvane::Talis::ISpecimen::_narrow(object);
  if (CORBA::is_nil(driver)) {
    throw std::runtime_error("'" + where + "' is not a sensor driver");
  }
  return driver._retn();
}

std::string VersionText(const Corvane::Talis::ComponentVersion& version) {
  return "'" + std::string(version.versionText.in()) + "' " + std::to_string(version.major) +
         "." + std::to_string(version.minor) + "." + std::to_string(version.revision);
}

void PrintAttributes(Corvane::Talis::ISpecimen_ptr driver, std::ostream& out) {
  CORBA::String_var description = driver->description();
  Corvane::Talis::ComponentVersion_var software = driver->softwareVersion();
  Corvane::Talis::ComponentVersion_var hardware = driver->hardwareVersion();
  out << "boardID=" << driver->boardID() << "\n"
      << "taskID=" << driver->taskID() << "\n"
      << "description='" << description.in() << "'\n"
      << "enableState=" << static_cast<int>(driver->enableState()) << "\n"
      << "requestOffTime=" << driver->requestOffTime() << "\n"
      << "requestOnTime=" << driver->requestOnTime() << "\n"
      << "softwareVersion=" << VersionText(software.in()) << "\n"
      << "hardwareVersion=" << VersionText(hardware.in()) << "\n"
      << "sensorSampleInterval=" << driver->sensorSampleInterval() << "\n"
      << "samplePending=" << (driver->samplePending() ? "true" : "false") << "\n";
}

bool Matches(const ReceivedEvent& event, const std::string& requester,
             const std::string& transaction) {
  const CORBA::Any* who = event.Field("Requester");
  const CORBA::Any* id = event.Field("TransactionID");
  const char* whoText = nullptr;
  const char* idText = nullptr;
  return who != nullptr && id != nullptr && (*who >>= whoText) && (*id >>= idText) &&
         requester == whoText && transaction == idText;
}

bool IsComplete(const ReceivedEvent& event) {
  const CORBA::Any* complete = event.Field("Complete");
  CORBA::Boolean value = false;
  return complete != nullptr && (*complete >>= CORBA::Any::to_boolean(value)) && value;
}

// Waits for the command-complete events of one request; true once the final one came.
bool AwaitCompletion(ChannelWatcher& watcher, const Options& options, std::ostream& out) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(options.waitMs < 0 ? 10000 : options.waitMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    ReceivedEvent event;
    if (left.count() <= 0 || !watcher.Next(event, left)) {
      return false;
    }
    if (Matches(event, options.requester, options.transaction)) {
      out << event.Describe() << std::endl;
      if (IsComplete(event)) {
        return true;
      }
    }
  }
}

int Send(CORBA::ORB_ptr orb, Options options, std::ostream& out, std::ostream& err) {
  Need(options, 2);
  std::unique_ptr<ChannelWatcher> watcher;
  if (!options.channel.empty()) {
    if (options.requester.empty()) {
      options.requester = "specimenctl";
    }
    if (options.transaction.empty()) {
      options.transaction = "T" + std::to_string(::getpid());
    }
    CosEventChannelAdmin::EventChannel_var channel =
        ResolveChannel(orb, options.channel, options.channelKind);
    // Subscribed before the call: the driver may publish before it answers.
    watcher.reset(new ChannelWatcher(orb, channel));
  }
  Corvane::Talis::ISpecimen_var driver = ResolveDriver(orb, options.positional[0]);
  CORBA::Any command;
  command <<= options.positional[1].c_str();
  CORBA::Any_var result;
  try {
    driver->SendCommand(command, options.requester.c_str(), options.transaction.c_str(), result);
  } catch (const Corvane::Talis::BadParameter& e) {
    out << "exception: BadParameter parameter='" << e.parameter.in() << "' reason='"
        << e.reason.in() << "'" << std::endl;
    return 3;
  } catch (const Corvane::Talis::WillCompleteAsynchronously&) {
    out << "exception: WillCompleteAsynchronously" << std::endl;
    if (!watcher) {
      return 0;
    }
    if (AwaitCompletion(*watcher, options, out)) {
      out << "complete" << std::endl;
      return 0;
    }
    err << "specimenctl: no final command-complete event for requester '" << options.requester
        << "' transaction '" << options.transaction << "'" << std::endl;
    return 1;
  }
  out << "result: " << DescribeAny(result.in()) << std::endl;
  return 0;
}

int Watch(CORBA::ORB_ptr orb, const Options& options, std::ostream& out) {
  Need(options, 1);
  CosEventChannelAdmin::EventChannel_var channel =
      ResolveChannel(orb, options.positional[0], options.channelKind);
  ChannelWatcher watcher(orb, channel);
  out << "watching " << options.positional[0] << std::endl;
  const auto wait = std::chrono::milliseconds(options.waitMs < 0 ? 3600000L : options.waitMs);
  for (long seen = 0; options.count < 0 || seen < options.count; ++seen) {
    ReceivedEvent event;
    while (!watcher.Next(event, wait)) {
      if (options.waitMs >= 0) {
        return 0;
      }
    }
    out << event.Describe() << std::endl;
  }
  return 0;
}

int PublishGps(CORBA::ORB_ptr orb, const Options& options) {
  Need(options, 8);
  const std::vector<std::string>& p = options.positional;
  CosEventChannelAdmin::EventChannel_var channel = ResolveChannel(orb, p[0], options.channelKind);
  CosNotification::StructuredEvent event = MakeStructuredEvent(p[3], p[2], p[1]);
  CORBA::Any value;
  value <<= static_cast<CORBA::Long>(Convert<long>(p[4], "time"));
  AddField(event, "DateTimeUTC", value);
  value <<= CORBA::Any::from_boolean(Convert<int>(p[5], "valid flag") != 0);
  AddField(event, "ValidFix", value);
  value <<= Convert<double>(p[6], "latitude");
  AddField(event, "Latitude", value);
  value <<= Convert<double>(p[7], "longitude");
  AddField(event, "Longitude", value);
  ChannelPublisher publisher(channel);
  publisher.Push(event);
  return 0;
}

int RunCommand(CORBA::ORB_ptr orb, const std::string& name, const Options& options,
               std::ostream& out, std::ostream& err) {
  if (name == "send") {
    return Send(orb, options, out, err);
  }
  if (name == "watch") {
    return Watch(orb, options, out);
  }
  if (name == "publish-gps") {
    return PublishGps(orb, options);
  }
  if (options.positional.empty()) {
    throw UsageError("DRIVER missing");
  }
  Corvane::Talis::ISpecimen_var driver = ResolveDriver(orb, options.positional[0]);
  const std::vector<std::string>& p = options.positional;
  if (name == "ping") {
    Need(options, 1);
    out << "Ping: " << std::fixed << std::setprecision(6) << driver->Ping() << std::endl;
  } else if (name == "attributes") {
    Need(options, 1);
    PrintAttributes(driver, out);
  } else if (name == "power-off") {
    Need(options, 2);
    driver->PowerOff(Convert<CORBA::UShort>(p[1], "delay"));
  } else if (name == "power-on") {
    Need(options, 1);
    driver->PowerOn();
  } else if (name == "gps-note") {
    Need(options, 5);
    driver->NoteGPSSample(Convert<CORBA::Long>(p[1], "time"), Convert<int>(p[2], "valid") != 0,
                          Convert<double>(p[3], "latitude"), Convert<double>(p[4], "longitude"));
  } else if (name == "interval") {
    if (p.size() == 2) {
      driver->sensorSampleInterval(Convert<CORBA::UShort>(p[1], "interval"));
    } else {
      Need(options, 1);
    }
    out << "sensorSampleInterval=" << driver->sensorSampleInterval() << std::endl;
  } else {
    throw UsageError("unknown command '" + name + "'");
  }
  return 0;
}

}  // namespace

int RunDriverCtl(int argc, char** argv, std::ostream& out, std::ostream& err) {
  std::vector<std::string> orbArgs = {argc > 0 ? argv[0] : "specimenctl"};
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("-ORB", 0) == 0 && i + 1 < argc) {
      orbArgs.push_back(arg);
      orbArgs.push_back(argv[++i]);
    } else {
      args.push_back(arg);
    }
  }
  if (args.empty() || args[0] == "-h" || args[0] == "--help") {
    (args.empty() ? err : out) << kUsage;
    return args.empty() ? 2 : 0;
  }
  orbArgs = OrbArguments(orbArgs);
  std::vector<char*> orbArgv;
  for (std::string& arg : orbArgs) {
    orbArgv.push_back(&arg[0]);
  }
  int orbArgc = static_cast<int>(orbArgv.size());
  orbArgv.push_back(nullptr);
  CORBA::ORB_var orb;
  int status = 1;
  try {
    char** orbArgvPointer = orbArgv.data();
    orb = CORBA::ORB_init(orbArgc, orbArgvPointer);
    CORBA::Object_var object = orb->resolve_initial_references("RootPOA");
    PortableServer::POA_var poa = PortableServer::POA::_narrow(object);
    PortableServer::POAManager_var manager = poa->the_POAManager();
    manager->activate();
    const std::string name = args[0];
    args.erase(args.begin());
    status = RunCommand(orb, name, ParseOptions(args), out, err);
  } catch (const UsageError& e) {
    err << "specimenctl: " << e.what() << "\n" << kUsage;
    status = 2;
  } catch (const CORBA::SystemException& e) {
    err << "specimenctl: CORBA system exception " << e._name() << " (minor " << e.minor()
        << ")" << std::endl;
  } catch (const CORBA::Exception& e) {
    err << "specimenctl: CORBA exception " << e._name() << std::endl;
  } catch (const std::exception& e) {
    err << "specimenctl: " << e.what() << std::endl;
  }
  if (!CORBA::is_nil(orb)) {
    try {
      orb->destroy();
    } catch (const CORBA::Exception&) {
      // Exiting anyway; the status already tells what happened.
    }
  }
  return status;
}

}  // namespace SpecimenCtl
