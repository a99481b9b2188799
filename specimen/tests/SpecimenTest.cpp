// The Specimen object in this process: what needs no naming service or channel.
#include "specimen/Specimen.h"

#include <memory>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "platform/herald/GPSSampleEvent.h"
#include "platform/herald/GenericEvent.h"
#include "platform/herald/TelemetryEventBase.h"
#include "platform/talis/ObjectBroker.h"
#include "platform/talis/StdOutLogger.h"

namespace {

using Corvane::Herald::EventSettings;
using Corvane::Herald::EventType;

const EventSettings kGps("GPSSample", "GPSFix", "Navigation");

class SpecimenTest : public ::testing::Test {
 protected:
  SpecimenTest() {
    char program[] = "specimen_test";
    char endpointOption[] = "-ORBendPoint";
    char endpoint[] = "giop:tcp:127.0.0.1:";
    char* args[] = {program, endpointOption, endpoint, nullptr};
    int argc = 3;
    char** argv = args;
    broker.Initialize(argc, argv);
    SpecimenSettings settings;
    settings.SetGPSEventSettings(kGps);
    specimen.reset(new Specimen(broker, settings, logger));
  }

  Corvane::TalisFramework::StdOutLogger logger{"SpecimenTest", 0,
                                               Corvane::TalisFramework::Logger::Detail};
  Corvane::TalisFramework::ObjectBroker broker{true, &logger};
  std::unique_ptr<Specimen> specimen;
};

TEST_F(SpecimenTest, BoardAndTaskBeforeInitializeRaiseASystemException) {
  EXPECT_THROW(specimen->boardID(), CORBA::BAD_INV_ORDER);
  EXPECT_THROW(specimen->taskID(), CORBA::BAD_INV_ORDER);
  EXPECT_EQ(0, specimen->requestOffTime());
}

TEST_F(SpecimenTest, GpsHandlerStoresOnlyPositionsOfValidFixes) {
  double latitude = -1;
  double longitude = -1;
  specimen->GetPosition(latitude, longitude);
  EXPECT_EQ(0.0, latitude);
  EXPECT_EQ(0.0, longitude);

  struct Case {
    bool validFix;
    double latitude;
    double longitude;
    double expectedLatitude;
    double expectedLongitude;
  };
  const Case cases[] = {
      {false, 5, 6, 0, 0}, {true, 47.5, -122.25, 47.5, -122.25}, {false, 1, 2, 47.5, -122.25}};
  for (const Case& c : cases) {
    Corvane::Herald::GPSSampleEvent sample(kGps, broker);
    sample.SetSample(0, c.validFix, c.latitude, c.longitude);
    specimen->GPSSampleHandler(*specimen, sample);
    specimen->GetPosition(latitude, longitude);
    EXPECT_EQ(c.expectedLatitude, latitude);
    EXPECT_EQ(c.expectedLongitude, longitude);
  }
}

TEST_F(SpecimenTest, GpsHandlerRefusesEventsOfAnotherTypeOrClass) {
  const Corvane::Herald::GenericEvent otherType("GPSSample", EventType("Other", "Navigation"));
  try {
    specimen->GPSSampleHandler(*specimen, otherType);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    const std::string message = e.what();
    EXPECT_EQ(0u, message.find("Specimen::GPSSampleHandler: received event name=GPSSample with type="))
        << message;
    EXPECT_NE(std::string::npos, message.find(" was expected")) << message;
  }
  const Corvane::Herald::TelemetryEventBase otherClass(kGps, broker);
  try {
    specimen->GPSSampleHandler(*specimen, otherClass);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    const std::string message = e.what();
    EXPECT_NE(std::string::npos, message.find(" expecting it to be a ")) << message;
    EXPECT_NE(std::string::npos, message.find("; event will be ignored")) << message;
  }
  double latitude = -1;
  double longitude = -1;
  specimen->GetPosition(latitude, longitude);
  EXPECT_EQ(0.0, latitude);
  EXPECT_EQ(0.0, longitude);
}

TEST_F(SpecimenTest, ACommandThatIsNoStringIsRefused) {
  CORBA::Any command;
  command <<= static_cast<CORBA::Long>(7);
  CORBA::Any_var result;
  EXPECT_THROW(specimen->SendCommand(command, "", "", result.out()), Corvane::Talis::BadParameter);
}

}  // namespace
