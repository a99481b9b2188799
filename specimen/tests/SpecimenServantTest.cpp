// The servant's operations, its log lines and its GPS handling, through the real driver.
#include <string>

#include <gtest/gtest.h>

#include "specimen/tests/DriverRig.h"

namespace {

using SpecimenServantTest = DriverRigTest;

TEST_F(SpecimenServantTest, EachOperationWorksThroughTheClientTool) {
  struct Case {
    std::vector<std::string> args;
    const char* output;  // a part of the tool's output (regular expression)
    const char* log;     // a part of the driver's log after the call, or null
  };
  const std::string driver = rig->Corbaloc();
  const Case cases[] = {
      {{"ping", driver}, "^Ping: [0-9]+\\.[0-9]{6}\n$", "INFO: Specimen::Ping: "},
      {{"attributes", driver},
       "^boardID=1\ntaskID=2\ndescription='sample sensor for tests'\nenableState=2\n"
       "requestOffTime=0\nrequestOnTime=0\nsoftwareVersion='1.0.1' 1.0.1\n"
       "hardwareVersion='no version' 0.0.0\nsensorSampleInterval=0\nsamplePending=false\n$",
       nullptr},
      {{"power-off", driver, "30"}, "^$", "INFO: PowerOff offDelay=30\n"},
      {{"power-on", driver}, "^$", "INFO: PowerOn\n"},
      {{"interval", driver, "10"}, "^sensorSampleInterval=0\n$", nullptr},
      {{"gps-note", driver, "86400", "0", "1.5", "2.5"}, "^$",
       "INFO: Specimen::NoteGPSSample dateTimeUTC=86400 (Fri Jan  2 00:00:00 1970) validFix=0\n"},
      {{"send", driver, "HELLO 1 2"},
       "^result: 'Time=[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]{2} [0-9:]{8} [0-9]{4}'\n$",
       "INFO: Specimen::SendCommand command='HELLO 1 2' requester='' transactionID='' 3 tokens: "
       "1) 'HELLO' 2) '1' 3) '2' returning result='Time="},
      {{"send", driver, "THROWBAD"},
       "^exception: BadParameter parameter='command' reason='Requested exception thrown'\n$",
       "ERROR: Throwing BadParameter exception\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + (c.args.size() > 2 ? " " + c.args[2] : ""));
    const std::size_t mark = rig->LogMark();
    int status = -1;
    const std::string output = rig->RunCtl(c.args, &status);
    EXPECT_EQ(c.args[2 % c.args.size()] == "THROWBAD" ? 3 : 0, status);
    EXPECT_TRUE(RegexSearch(output, (c.output))) << output;
    if (c.log != nullptr) {
      EXPECT_TRUE(rig->WaitForLogAfter(mark, c.log)) << rig->LogSince(mark);
    }
  }
}

TEST_F(SpecimenServantTest, GpsNotesAreLoggedAndLeaveFixedNotationBehind) {
  const std::size_t mark = rig->LogMark();
  rig->Reference()->NoteGPSSample(0, true, 47.5, -122.25);
  rig->Reference()->NoteGPSSample(0, false, 1.0, 2.0);
  rig->Reference()->Ping();
  ASSERT_TRUE(rig->WaitForLogAfter(mark, "Specimen::Ping: "));
  const std::string log = rig->LogSince(mark);
  EXPECT_NE(std::string::npos,
            log.find("INFO: Specimen::NoteGPSSample dateTimeUTC=0 (Thu Jan  1 00:00:00 1970) "
                     "validFix=1 latitude=47.5 longitude=-122.25\n"))
      << log;
  EXPECT_NE(std::string::npos,
            log.find("INFO: Specimen::NoteGPSSample dateTimeUTC=0 (Thu Jan  1 00:00:00 1970) "
                     "validFix=0\n"))
      << log;
  EXPECT_TRUE(RegexSearch(log, ("Specimen::Ping: [0-9]+\\.[0-9]{15}\n"))) << log;
}

TEST_F(SpecimenServantTest, SamplingIsRefusedAndAnswersAreFresh) {
  CORBA::Any nothing;
  for (int operation = 0; operation < 2; ++operation) {
    try {
      if (operation == 0) {
        rig->Reference()->SampleNow(nothing);
      } else {
        rig->Reference()->SetSamplePending(nothing);
      }
      ADD_FAILURE() << "no BadParameter from operation " << operation;
    } catch (const Corvane::Talis::BadParameter& e) {
      EXPECT_STREQ("", e.parameter.in());
      EXPECT_STREQ("", e.reason.in());
    }
  }
  CosNotification::StructuredEvent_var event = rig->Reference()->GetEnumerationData();
  EXPECT_STREQ("", event->header.fixed_header.event_name.in());
  EXPECT_STREQ("", event->header.fixed_header.event_type.type_name.in());
  EXPECT_STREQ("", event->header.fixed_header.event_type.domain_name.in());
  EXPECT_EQ(0u, event->filterable_data.length());
  EXPECT_EQ(0u, event->header.variable_header.length());
  CORBA::TypeCode_var bodyType = event->remainder_of_body.type();
  EXPECT_EQ(CORBA::tk_null, bodyType->kind());
  EXPECT_EQ(Corvane::Talis::ES_Enabled, rig->Reference()->enableState());
}

// The position is observed on the telemetry events the driver stamps with it.
TEST_F(SpecimenServantTest, GpsEventsMoveTheStampedPositionOnlyWhenTheyHoldAFix) {
  struct Step {
    bool validFix;
    double latitude;
    double longitude;
    const char* type;
    double expectedLatitude;
    double expectedLongitude;
  };
  const Step steps[] = {
      {true, 10.5, -20.25, RigNames::kGpsType, 10.5, -20.25},
      {false, 99.0, 99.0, RigNames::kGpsType, 10.5, -20.25},
      {true, 33.0, 44.0, "SomethingElse", 10.5, -20.25},
      {true, -1.125, 2.0, RigNames::kGpsType, -1.125, 2.0},
  };
  int stepNumber = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(std::to_string(step.latitude) + " " + step.type);
    const std::size_t mark = rig->LogMark();
    rig->PublishGps(1000, step.validFix, step.latitude, step.longitude, step.type);
    ASSERT_TRUE(rig->Barrier("AfterGps" + std::to_string(++stepNumber)));
    EXPECT_TRUE(rig->WaitForLogAfter(mark, "(GPSSampleHandler) Received ")) << rig->LogSince(mark);
    if (std::string(step.type) != RigNames::kGpsType) {
      EXPECT_TRUE(rig->WaitForLogAfter(
          mark, "Specimen::GPSSampleHandler: received event name=GPSSample with type="))
          << rig->LogSince(mark);
      EXPECT_TRUE(rig->WaitForLogAfter(mark, " was expected")) << rig->LogSince(mark);
    }
    rig->Send("TELEM Where PositionType PositionDomain");
    SpecimenCtl::ReceivedEvent event;
    ASSERT_TRUE(rig->NextEvent("Where", event));
    EXPECT_EQ(258u, UShortField(event, "GeneratorAddress"));
    EXPECT_EQ(step.expectedLatitude, DoubleField(event, "Latitude"));
    EXPECT_EQ(step.expectedLongitude, DoubleField(event, "Longitude"));
  }
}

}  // namespace
