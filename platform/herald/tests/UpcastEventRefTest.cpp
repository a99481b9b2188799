#include "platform/herald/UpcastEventRef.h"

#include <stdexcept>
#include <string>
#include <typeinfo>

#include <gtest/gtest.h>

#include "platform/herald/DataSetEvent.h"
#include "platform/herald/EventTransceiver.h"
#include "platform/herald/GPSSampleEvent.h"
#include "platform/herald/tests/TestOrb.h"

namespace Corvane::Herald {
namespace {

std::string Message(const IEventBase& event, const EventType& expected,
                    const std::string& context) {
  try {
    EventTransceiver::UpcastEventRef<GPSSampleEvent>(event, expected, context);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "(no exception)";
}

TEST(UpcastEventRefTest, ReturnsTheEventOfTheExpectedTypeAndClass) {
  GPSSampleEvent gps(EventSettings("gps", "GPSSample", "Navigation"), TestOrb::Get().Broker());
  const IEventBase& base = gps;
  EXPECT_EQ(&gps, &EventTransceiver::UpcastEventRef<GPSSampleEvent>(
                      base, EventType("GPSSample", "Navigation"), "ctx"));
}

TEST(UpcastEventRefTest, ExplainsAWrongTypeOrAWrongClass) {
  const EventType expected("GPSSample", "Navigation");
  GPSSampleEvent wrongType(EventSettings("gps", "Other", "Navigation"), TestOrb::Get().Broker());
  DataSetEvent wrongClass(EventSettings("ds", "GPSSample", "Navigation"), TestOrb::Get().Broker());
  const std::string gpsName = typeid(GPSSampleEvent).name();
  const std::string dataSetName = typeid(DataSetEvent).name();
  struct Case {
    const IEventBase& event;
    const char* context;
    std::string expected;
  };
  const Case cases[] = {
      {wrongType, "Specimen::GPSSampleHandler",
       "Specimen::GPSSampleHandler: received event name=gps with type=Navigation/Other, but a "
       "type of Navigation/GPSSample was expected"},
      {wrongType, "",
       "Received event name=gps with type=Navigation/Other, but a type of "
       "Navigation/GPSSample was expected"},
      {wrongClass, "ctx",
       "ctx: received event name=ds type=Navigation/GPSSample expecting it to be a " + gpsName +
           ", but it was actually a " + dataSetName + "; event will be ignored"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(c.expected, Message(c.event, expected, c.context));
  }
}

}  // namespace
}  // namespace Corvane::Herald
