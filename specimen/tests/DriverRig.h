#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <omniORB4/CORBA.h>

#include "specimen/idl/Talis.hh"
#include "testing/ChildProcess.h"
#include "testing/EventService.h"
#include "testing/NamingService.h"
#include "testing/ScopedTempDir.h"
#include "tools/specimenctl/ChannelWatcher.h"

class SpecimenSettings;

// The ORB of the test process (loopback only, 30 s call time-out), started on first use
// and destroyed at the end of the test program.
CORBA::ORB_ptr TestOrb();

// Names the rig's driver is configured with.
struct RigNames {
  static constexpr const char* kServer = "Specimen";
  static constexpr const char* kChannel = "SpecimenChannel";
  static constexpr const char* kGpsEvent = "GPSSample";
  static constexpr const char* kGpsType = "GPSFix";
  static constexpr const char* kGpsDomain = "Navigation";
  static constexpr const char* kCompleteEvent = "CommandComplete";
  static constexpr const char* kCompleteType = "SendCommandComplete";
  static constexpr const char* kTelemChangedEvent = "TelemetrySettingsChanged";
  static constexpr const char* kTelemChangedType = "TelemetrySettings";
  static constexpr const char* kDomain = "Specimen";
  static constexpr const char* kDeviceAdded = "DeviceAdded";
  static constexpr int kBoardID = 1;
  static constexpr int kTaskID = 2;
};

// The settings the rig writes: the names above, board 1 task 2 (generator address 258).
SpecimenSettings RigSettings();

// A private naming service and event channel, a watcher on the channel, and the real
// specimen binary serving in its own working directory on a loopback port. The
// constructor returns once the driver has announced itself on the channel (so it has
// joined the channel and serves requests). Everything is stopped by process id on
// destruction.
class DriverRig {
 public:
  // `extraArgs` go to the driver after the ORB options (e.g. a sanitizer-free run).
  explicit DriverRig(const std::vector<std::string>& extraArgs = {});
  ~DriverRig();

  Corvane::Testing::ChildProcess& Driver() { return *driver; }
  Corvane::Talis::ISpecimenWithEvents_ptr Reference() { return reference.in(); }
  std::string Corbaloc() const;
  const Corvane::Testing::NamingService& Naming() const { return naming; }

  // The next channel event whose name is `eventName` (others are skipped), waiting at
  // most `timeout`; false on time-out.
  bool NextEvent(const std::string& eventName, SpecimenCtl::ReceivedEvent& event,
                 std::chrono::milliseconds timeout = std::chrono::seconds(30));
  // Takes the next channel event of any name.
  bool AnyEvent(SpecimenCtl::ReceivedEvent& event, std::chrono::milliseconds timeout);

  // Pushes a GPS sample event (by default of the configured name and type) to the channel.
  void PublishGps(long dateTimeUTC, bool validFix, double latitude, double longitude,
                  const std::string& typeName = RigNames::kGpsType);

  // Pushes an event named `name` without fields and waits until the driver has logged
  // its arrival: the channel delivers in order, so every event pushed before it has
  // been handled by then. False when it was not seen in time.
  bool Barrier(const std::string& name);

  // Runs specimenctl with this rig's naming service; returns its standard output.
  std::string RunCtl(const std::vector<std::string>& args, int* exitStatus);

  // Sends a command text; returns the result string or throws the driver's exception.
  std::string Send(const std::string& text, const std::string& requester = "",
                   const std::string& transactionID = "");

  // Waits until the driver's log holds `text`.
  bool WaitForLog(const std::string& text, int timeoutMs = 30000) {
    return driver->WaitForOutput(text, timeoutMs);
  }
  // The length of the driver's log so far, and a wait for `text` to appear after it.
  std::size_t LogMark() const { return driver->Output().size(); }
  bool WaitForLogAfter(std::size_t mark, const std::string& text, int timeoutMs = 30000);
  // The log written after `mark`.
  std::string LogSince(std::size_t mark) const { return driver->Output().substr(mark); }

 private:
  Corvane::Testing::NamingService naming;
  Corvane::Testing::EventService events{naming};
  Corvane::Testing::ScopedTempDir workDir{"specimen"};
  int port = 0;
  std::unique_ptr<SpecimenCtl::ChannelWatcher> watcher;
  std::unique_ptr<SpecimenCtl::ChannelPublisher> publisher;
  std::unique_ptr<Corvane::Testing::ChildProcess> driver;
  Corvane::Talis::ISpecimenWithEvents_var reference;
};

// Whether `text` holds a match of the POSIX extended regular expression `pattern` (^ and
// $ anchor at the ends of the whole text).
bool RegexSearch(const std::string& text, const std::string& pattern);

// Typed views of an event field; each fails the current test when the field is missing
// or of another type.
std::string StringField(const SpecimenCtl::ReceivedEvent& event, const std::string& name);
bool BoolField(const SpecimenCtl::ReceivedEvent& event, const std::string& name);
double DoubleField(const SpecimenCtl::ReceivedEvent& event, const std::string& name);
unsigned UShortField(const SpecimenCtl::ReceivedEvent& event, const std::string& name);
// The driver's results: an Any holding a string.
std::string ResultText(const SpecimenCtl::ReceivedEvent& event);

// A fixture whose tests share one driver. The first test that needs it starts it from
// SetUp rather than SetUpTestSuite: a failed suite set-up makes the tests count as
// skipped, while a failed SetUp fails the test.
class DriverRigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (rig == nullptr) {
      rig = new DriverRig();
    }
  }
  static void TearDownTestSuite() {
    delete rig;
    rig = nullptr;
  }
  static DriverRig* rig;
};
