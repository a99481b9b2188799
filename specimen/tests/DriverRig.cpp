#include "specimen/tests/DriverRig.h"

#include <regex.h>

#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "specimen/SpecimenSettings.h"
#include "testing/FreeTcpPort.h"

namespace {

CORBA::ORB_var& OrbHolder() {
  static CORBA::ORB_var orb;
  return orb;
}

// Destroys the test ORB after the last test.
class OrbEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    CORBA::ORB_var& orb = OrbHolder();
    if (!CORBA::is_nil(orb)) {
      orb->destroy();
      orb = CORBA::ORB::_nil();
    }
  }
};

const ::testing::Environment* const kOrbEnvironment =
    ::testing::AddGlobalTestEnvironment(new OrbEnvironment);

}  // namespace

CORBA::ORB_ptr TestOrb() {
  CORBA::ORB_var& orb = OrbHolder();
  if (CORBA::is_nil(orb)) {
    const char* options[][2] = {{"endPoint", "giop:tcp:127.0.0.1:"},
                                {"clientCallTimeOutPeriod", "30000"},
                                {nullptr, nullptr}};
    int argc = 0;
    char* argv[] = {nullptr};
    orb = CORBA::ORB_init(argc, argv, "omniORB4", options);
    CORBA::Object_var object = orb->resolve_initial_references("RootPOA");
    PortableServer::POA_var poa = PortableServer::POA::_narrow(object);
    PortableServer::POAManager_var manager = poa->the_POAManager();
    manager->activate();
  }
  return orb.in();
}

SpecimenSettings RigSettings() {
  using Corvane::Herald::EventSettings;
  SpecimenSettings settings;
  settings.SetServerName(RigNames::kServer);
  settings.SetCommandCompleteEventSettings(
      EventSettings(RigNames::kCompleteEvent, RigNames::kCompleteType, RigNames::kDomain));
  settings.SetGPSEventSettings(
      EventSettings(RigNames::kGpsEvent, RigNames::kGpsType, RigNames::kGpsDomain));
  settings.SetTelemetryChangedEventSettings(EventSettings(
      RigNames::kTelemChangedEvent, RigNames::kTelemChangedType, RigNames::kDomain));
  Corvane::Herald::EventTransceiverSettings transceiver;
  transceiver.eventServiceName = RigNames::kChannel;
  settings.SetEventTransceiverSettings(transceiver);
  Corvane::Herald::PayloadManagerClientSettings client;
  client.deviceAddedEventName = RigNames::kDeviceAdded;
  client.commonEventType = "Device";
  client.commonEventDomain = RigNames::kDomain;
  client.payloadDescription.boardID = RigNames::kBoardID;
  client.payloadDescription.taskID = RigNames::kTaskID;
  client.payloadDescription.description = "sample sensor for tests";
  client.payloadDescription.readableName = "Specimen under test";
  settings.SetPayloadManagerClientSettings(client);
  return settings;
}

DriverRig::DriverRig(const std::vector<std::string>& extraArgs) {
  // A deep queue: the stress test publishes thousands of events faster than the
  // driver (which also receives and logs each of them) consumes them, and the channel
  // drops what overflows its queue.
  int status = -1;
  Corvane::Testing::RunProgram({"eventc", "-n", RigNames::kChannel, "-q", "1000000", "-ORBInitRef",
                                naming.InitRef(), "-ORBendPoint", "giop:tcp:127.0.0.1:"},
                               &status, 30000);
  if (status != 0) {
    throw std::runtime_error("eventc could not create the channel");
  }
  const std::string namingLoc = naming.Corbaloc();
  CORBA::Object_var namingObject = TestOrb()->string_to_object(namingLoc.c_str());
  CosEventChannelAdmin::EventChannel_var channel =
      SpecimenCtl::ResolveChannel(namingObject.in(), RigNames::kChannel, "");
  watcher.reset(new SpecimenCtl::ChannelWatcher(TestOrb(), channel));
  publisher.reset(new SpecimenCtl::ChannelPublisher(channel));

  RigSettings().Save(workDir.File("Specimen-config.xml"));
  port = Corvane::Testing::FreeTcpPort();
  std::vector<std::string> argv = {SPECIMEN_BINARY,
                                   "-ORBendPoint",
                                   "giop:tcp:127.0.0.1:" + std::to_string(port),
                                   "-ORBInitRef",
                                   naming.InitRef()};
  argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
  Corvane::Testing::ChildProcess::Options options;
  options.workDir = workDir.Path();
  driver.reset(new Corvane::Testing::ChildProcess(argv, options));
  SpecimenCtl::ReceivedEvent announced;
  if (!NextEvent(RigNames::kDeviceAdded, announced, std::chrono::seconds(60))) {
    throw std::runtime_error("the driver did not announce itself; its output:\n" +
                             driver->Output() + driver->ErrorOutput());
  }
  CORBA::Object_var object = TestOrb()->string_to_object(Corbaloc().c_str());
  reference = Corvane::Talis::ISpecimenWithEvents::_narrow(object);
}

DriverRig::~DriverRig() {
  reference = Corvane::Talis::ISpecimenWithEvents::_nil();
  driver.reset();
  publisher.reset();
  watcher.reset();
}

bool DriverRig::WaitForLogAfter(std::size_t mark, const std::string& text, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (driver->Output().find(text, mark) != std::string::npos) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string DriverRig::Corbaloc() const {
  return "corbaloc::127.0.0.1:" + std::to_string(port) + "/" + RigNames::kServer;
}

bool DriverRig::NextEvent(const std::string& eventName, SpecimenCtl::ReceivedEvent& event,
                          std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !watcher->Next(event, left)) {
      return false;
    }
    if (event.eventName == eventName) {
      return true;
    }
  }
}

bool DriverRig::AnyEvent(SpecimenCtl::ReceivedEvent& event, std::chrono::milliseconds timeout) {
  return watcher->Next(event, timeout);
}

void DriverRig::PublishGps(long dateTimeUTC, bool validFix, double latitude, double longitude,
                           const std::string& typeName) {
  CosNotification::StructuredEvent event =
      SpecimenCtl::MakeStructuredEvent(RigNames::kGpsDomain, typeName, RigNames::kGpsEvent);
  CORBA::Any value;
  value <<= static_cast<CORBA::Long>(dateTimeUTC);
  SpecimenCtl::AddField(event, "DateTimeUTC", value);
  value <<= CORBA::Any::from_boolean(validFix);
  SpecimenCtl::AddField(event, "ValidFix", value);
  value <<= latitude;
  SpecimenCtl::AddField(event, "Latitude", value);
  value <<= longitude;
  SpecimenCtl::AddField(event, "Longitude", value);
  publisher->Push(event);
}

bool DriverRig::Barrier(const std::string& name) {
  const std::size_t mark = LogMark();
  publisher->Push(SpecimenCtl::MakeStructuredEvent("Test", "Barrier", name));
  return WaitForLogAfter(mark, name);
}

std::string DriverRig::RunCtl(const std::vector<std::string>& args, int* exitStatus) {
  std::vector<std::string> argv = {SPECIMENCTL_BINARY, "-ORBInitRef", naming.InitRef()};
  argv.insert(argv.end(), args.begin(), args.end());
  return Corvane::Testing::RunProgram(argv, exitStatus, 60000);
}

std::string DriverRig::Send(const std::string& text, const std::string& requester,
                            const std::string& transactionID) {
  CORBA::Any command;
  command <<= text.c_str();
  CORBA::Any_var result;
  reference->SendCommand(command, requester.c_str(), transactionID.c_str(), result.out());
  const char* answer = nullptr;
  if (!(result.in() >>= answer)) {
    ADD_FAILURE() << "result holds no string";
    return std::string();
  }
  return answer;
}

namespace {

const CORBA::Any* RequireField(const SpecimenCtl::ReceivedEvent& event, const std::string& name) {
  const CORBA::Any* value = event.Field(name);
  if (value == nullptr) {
    ADD_FAILURE() << "no field " << name << " in " << event.Describe();
  }
  return value;
}

}  // namespace

bool RegexSearch(const std::string& text, const std::string& pattern) {
  regex_t compiled;
  if (::regcomp(&compiled, pattern.c_str(), REG_EXTENDED | REG_NOSUB) != 0) {
    ADD_FAILURE() << "bad pattern " << pattern;
    return false;
  }
  const bool found = ::regexec(&compiled, text.c_str(), 0, nullptr, 0) == 0;
  ::regfree(&compiled);
  return found;
}

std::string StringField(const SpecimenCtl::ReceivedEvent& event, const std::string& name) {
  const CORBA::Any* value = RequireField(event, name);
  const char* text = nullptr;
  if (value != nullptr && !(*value >>= text)) {
    ADD_FAILURE() << name << " is no string in " << event.Describe();
  }
  return text != nullptr ? text : "";
}

bool BoolField(const SpecimenCtl::ReceivedEvent& event, const std::string& name) {
  const CORBA::Any* value = RequireField(event, name);
  CORBA::Boolean flag = false;
  if (value != nullptr && !(*value >>= CORBA::Any::to_boolean(flag))) {
    ADD_FAILURE() << name << " is no boolean in " << event.Describe();
  }
  return flag;
}

double DoubleField(const SpecimenCtl::ReceivedEvent& event, const std::string& name) {
  const CORBA::Any* value = RequireField(event, name);
  CORBA::Double number = 0;
  if (value != nullptr && !(*value >>= number)) {
    ADD_FAILURE() << name << " is no double in " << event.Describe();
  }
  return number;
}

unsigned UShortField(const SpecimenCtl::ReceivedEvent& event, const std::string& name) {
  const CORBA::Any* value = RequireField(event, name);
  CORBA::UShort number = 0;
  if (value != nullptr && !(*value >>= number)) {
    ADD_FAILURE() << name << " is no unsigned short in " << event.Describe();
  }
  return number;
}

std::string ResultText(const SpecimenCtl::ReceivedEvent& event) {
  return StringField(event, "Result");
}

DriverRig* DriverRigTest::rig = nullptr;
