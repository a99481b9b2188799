#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/herald/EventTransceiver.h"
#include "platform/herald/GPSSampleEvent.h"
#include "platform/herald/GenericEvent.h"
#include "platform/herald/tests/CapturingLogger.h"
#include "platform/herald/tests/TestOrb.h"
#include "testing/ChildProcess.h"
#include "tools/eventtool/EventToolOptions.h"

namespace Corvane::EventTool {
namespace {

using Herald::TestOrb;

TEST(EventToolOptionsTest, ParsesCommandsOptionsAndOrbArguments) {
  const EventToolOptions gps = ParseEventToolOptions(
      {"--naming", "127.0.0.1:2809", "gps", "chan", "--lat", "-122.25", "--lon", "47.5", "--time",
       "0", "--invalid", "-ORBendPoint", "giop:tcp:127.0.0.1:"});
  EXPECT_EQ(EventToolOptions::Command::Gps, gps.command);
  EXPECT_EQ("chan", gps.channel);
  EXPECT_EQ(-122.25, gps.latitude);
  EXPECT_EQ(47.5, gps.longitude);
  EXPECT_EQ(0, gps.time);
  EXPECT_FALSE(gps.validFix);
  EXPECT_EQ("gps", gps.name);
  EXPECT_EQ("GPSSample", gps.type);
  EXPECT_EQ("Navigation", gps.domain);
  const std::vector<std::string> orb = {"-ORBInitRef",
                                        "NameService=corbaloc::127.0.0.1:2809/NameService",
                                        "-ORBendPoint", "giop:tcp:127.0.0.1:"};
  EXPECT_EQ(orb, gps.orbArguments);

  const EventToolOptions send =
      ParseEventToolOptions({"SEND", "chan", "--name", "n", "a,long,1", "b,string,x,y"});
  EXPECT_EQ(EventToolOptions::Command::Send, send.command);
  EXPECT_EQ((std::vector<std::string>{"a,long,1", "b,string,x,y"}), send.fields);

  const EventToolOptions watch = ParseEventToolOptions({"watch", "chan", "--count", "3"});
  EXPECT_EQ(3, watch.count);
}

TEST(EventToolOptionsTest, RefusesMalformedCommandLines) {
  const std::vector<std::vector<std::string>> cases = {
      {"watch"},                          // no channel
      {"listen", "chan"},                 // unknown command
      {"gps", "chan", "--lat"},           // missing value
      {"gps", "chan", "--lat", "north"},  // not a number
      {"watch", "chan", "--lat", "1"},    // option of another command
      {"send", "chan", "a,long,1"},       // send without --name
      {"watch", "chan", "extra"},         // stray argument
      {"watch", "chan", "--count", "-1"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    EXPECT_THROW(ParseEventToolOptions(args), UsageError);
  }
}

class EventToolTest : public ::testing::Test {
 protected:
  std::vector<std::string> Command(std::vector<std::string> args) {
    args.insert(args.begin(), {EVENTTOOL_PATH, "--naming",
                               "127.0.0.1:" + std::to_string(TestOrb::Get().Naming().Port())});
    return args;
  }

  TalisFramework::IObjectBroker& broker = TestOrb::Get().Broker();
  const std::string channel = TestOrb::Get().NewChannel();
  Herald::CapturingLogger log;
};

TEST_F(EventToolTest, AGpsSampleFromTheToolReachesAHandler) {
  Herald::EventTransceiverSettings settings;
  settings.eventServiceName = channel;
  Herald::EventTransceiver receiver(settings, broker, log);
  const Herald::EventType gpsType("GPSSample", "Navigation");
  receiver.RegisterEventClassFactory(
      gpsType, new Herald::EventTransceiver::TEventClassFactory<Herald::GPSSampleEvent>());
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<Herald::GPSSampleEvent> samples;
  boost::signals2::scoped_connection connection = receiver.SignalForEventName("gps").connect(
      [&](Herald::EventTransceiver&, const Herald::IEventBase& event) {
        const auto& gps = Herald::EventTransceiver::UpcastEventRef<Herald::GPSSampleEvent>(
            event, gpsType, "test");
        std::lock_guard<std::mutex> lock(mutex);
        samples.push_back(gps);
        arrived.notify_all();
      });
  receiver.Initialize(nullptr);

  int status = -1;
  Testing::RunProgram(Command({"gps", channel, "--time", "0", "--lat", "47.5", "--lon", "-122.25"}),
                      &status, 30000);
  ASSERT_EQ(0, status);
  std::unique_lock<std::mutex> lock(mutex);
  ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(20), [&] { return !samples.empty(); }));
  EXPECT_EQ(0, samples[0].GetDateTimeUTC());
  EXPECT_TRUE(samples[0].HasGPS());
  EXPECT_EQ(47.5, samples[0].GetLatitude());
  EXPECT_EQ(-122.25, samples[0].GetLongitude());
}

TEST_F(EventToolTest, WatchPrintsEveryEventOnOneLine) {
  Testing::ChildProcess watcher(Command({"watch", channel, "--count", "2"}));
  ASSERT_TRUE(watcher.WaitForErrorOutput("eventtool: watching channel", 30000))
      << watcher.ErrorOutput();
  Herald::EventTransceiverSettings settings;
  settings.eventServiceName = channel;
  settings.receiveEnable = false;
  Herald::EventTransceiver sender(settings, broker, log);
  sender.Initialize(nullptr);
  Herald::GenericEvent first("telem", Herald::EventType("Telemetry", "Payload"));
  CORBA::Any value;
  value <<= "line\nbreak";
  first.AddField("note", value);
  sender.TransmitEvent(first);
  // Published by the tool itself, with a body.
  int status = -1;
  Testing::RunProgram(Command({"send", channel, "--name", "n2", "--type", "T", "--domain", "D",
                               "--body", "ab", "x,double,0.1", "flag,bool,TRUE"}),
                      &status, 30000);
  ASSERT_EQ(0, status);
  ASSERT_TRUE(watcher.Wait(30000));
  EXPECT_EQ(0, watcher.ExitStatus());
  EXPECT_EQ(
      "name='telem' type=Payload/Telemetry note='line\\x0abreak'\n"
      "name='n2' type=D/T x=0.1 flag=true body='ab'\n",
      watcher.Output());
}

TEST_F(EventToolTest, AMissingChannelIsAClearFailure) {
  Testing::ChildProcess tool(Command({"gps", "no-such-channel"}));
  ASSERT_TRUE(tool.Wait(30000));
  EXPECT_EQ(1, tool.ExitStatus());
  EXPECT_NE(std::string::npos,
            tool.ErrorOutput().find("event channel 'no-such-channel' is not bound in the naming "
                                    "service"))
      << tool.ErrorOutput();
}

}  // namespace
}  // namespace Corvane::EventTool
