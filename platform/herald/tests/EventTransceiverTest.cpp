#include "platform/herald/EventTransceiver.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/herald/DataSetEvent.h"
#include "platform/herald/GPSSampleEvent.h"
#include "platform/herald/GenericEvent.h"
#include "platform/herald/PayloadManagerClient.h"
#include "platform/herald/SendCommandCompleteEvent.h"
#include "platform/herald/TelemetryEventBase.h"
#include "platform/herald/TelemetrySettingsChangedEvent.h"
#include "platform/herald/tests/CapturingLogger.h"
#include "platform/herald/tests/TestOrb.h"
#include "platform/talis/ByteArray.h"

namespace Corvane::Herald {
namespace {

constexpr int kArrivalMs = 20000;  // generous: the machine is shared

// Keeps the description of every event a signal delivers, and a copy of the event when
// it is a T.
template <class T>
class Collector {
 public:
  void Connect(EventTransceiver::EventSignal& signal) {
    connections.emplace_back(signal.connect([this](EventTransceiver&, const IEventBase& event) {
      std::lock_guard<std::mutex> lock(mutex);
      std::ostringstream text;
      event.Describe(text);
      descriptions.push_back(text.str());
      if (const T* typed = dynamic_cast<const T*>(&event)) {
        events.push_back(*typed);
      }
      changed.notify_all();
    }));
  }

  // Waits for `count` events in all; false after timeoutMs.
  bool WaitFor(std::size_t count, int timeoutMs = kArrivalMs) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return descriptions.size() >= count; });
  }

  std::vector<std::string> Descriptions() {
    std::lock_guard<std::mutex> lock(mutex);
    return descriptions;
  }
  std::vector<T> Events() {
    std::lock_guard<std::mutex> lock(mutex);
    return events;
  }

 private:
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> descriptions;
  std::vector<T> events;
  std::vector<boost::signals2::scoped_connection> connections;
};

class EventTransceiverTest : public ::testing::Test {
 protected:
  EventTransceiverSettings ChannelSettings(bool receive) {
    EventTransceiverSettings settings;
    settings.eventServiceName = channel;
    settings.receiveEnable = receive;
    return settings;
  }

  TalisFramework::IObjectBroker& broker = TestOrb::Get().Broker();
  const std::string channel = TestOrb::Get().NewChannel();
  CapturingLogger senderLog;
  CapturingLogger receiverLog;
};

TEST_F(EventTransceiverTest, EachEventClassCrossesTheChannelFieldByField) {
  EventTransceiver sender(ChannelSettings(false), broker, senderLog);
  EventTransceiver receiver(ChannelSettings(true), broker, receiverLog);
  receiver.RegisterEventClassFactory(EventType("GPSSample", "Nav"),
                                     new EventTransceiver::TEventClassFactory<GPSSampleEvent>());
  receiver.RegisterEventClassFactory(EventType("DataSet", "P"),
                                     new EventTransceiver::TEventClassFactory<DataSetEvent>());
  receiver.RegisterEventClassFactory(
      EventType("Telemetry", "P"), new EventTransceiver::TEventClassFactory<TelemetryEventBase>());
  receiver.RegisterEventClassFactory(
      EventType("Changed", "P"),
      new EventTransceiver::TEventClassFactory<TelemetrySettingsChangedEvent>());
  receiver.RegisterEventClassFactory(
      EventType("Complete", "P"),
      new EventTransceiver::TEventClassFactory<SendCommandCompleteEvent>());
  Collector<GPSSampleEvent> gps;
  gps.Connect(receiver.SignalForEventName("gps"));
  Collector<DataSetEvent> dataSets;
  dataSets.Connect(receiver.SignalForEventName("nfa"));
  Collector<TelemetryEventBase> telemetry;
  telemetry.Connect(receiver.SignalForEventName("telem"));
  Collector<TelemetrySettingsChangedEvent> changed;
  changed.Connect(receiver.SignalForEventName("tsc"));
  Collector<SendCommandCompleteEvent> complete;
  complete.Connect(receiver.SignalForEventName("done"));
  Collector<GenericEvent> generic;
  generic.Connect(receiver.SignalForEventName("other"));
  sender.Initialize(nullptr);
  receiver.Initialize(nullptr);

  GPSSampleEvent gpsSent(EventSettings("gps", "GPSSample", "Nav"), broker);
  gpsSent.SetSample(1700000000, true, 47.5, -122.25);
  sender.TransmitEvent(gpsSent);
  DataSetEvent dataSent(EventSettings("nfa", "DataSet", "P"), broker);
  dataSent.SetGeneratorAddress(258);
  dataSent.SetGenerationLocation(1.5, 2.5);
  dataSent.SetDataSetName("desc");
  dataSent.SetContent(TalisFramework::ByteArray(std::string("x\0y", 3)));
  sender.TransmitEvent(dataSent);
  TelemetryEventBase telemetrySent(EventSettings("telem", "Telemetry", "P"), broker);
  EventPropertyValue count(broker);
  count.SetAsString(EventPropertyValue::StorageType::ULongLong, "18446744073709551615");
  telemetrySent.AddField("count", count);
  sender.TransmitEvent(telemetrySent);
  TelemetrySettingsChangedEvent changedSent(EventSettings("tsc", "Changed", "P"), broker);
  changedSent.SetFormatCode(44);
  changedSent.SetMaxSamples(10);
  changedSent.SetPendingMessageTreatment(
      TelemetrySettingsChangedEvent::PendingMessageTreatment::Discard);
  sender.TransmitEvent(changedSent);
  SendCommandCompleteEvent completeSent(EventSettings("done", "Complete", "P"), broker);
  completeSent.Requester("r");
  completeSent.TransactionID("t");
  completeSent.Complete(true);
  CORBA::Any result;
  result <<= "extra result line #1\n";
  completeSent.Result(result);
  sender.TransmitEvent(completeSent);
  GenericEvent otherSent("other", EventType("Unregistered", "P"));
  CORBA::Any value;
  value <<= static_cast<CORBA::Short>(-5);
  otherSent.AddField("v", value);
  sender.TransmitEvent(otherSent);

  ASSERT_TRUE(gps.WaitFor(1));
  ASSERT_EQ(1u, gps.Events().size());
  const GPSSampleEvent g = gps.Events()[0];
  EXPECT_EQ(1700000000, g.GetDateTimeUTC());
  EXPECT_TRUE(g.HasGPS());
  EXPECT_EQ(47.5, g.GetLatitude());
  EXPECT_EQ(-122.25, g.GetLongitude());
  EXPECT_EQ(EventType("GPSSample", "Nav"), g.GetType());

  ASSERT_TRUE(dataSets.WaitFor(1));
  ASSERT_EQ(1u, dataSets.Events().size());
  const DataSetEvent d = dataSets.Events()[0];
  EXPECT_EQ(258, d.GetGeneratorAddress());
  EXPECT_EQ(1.5, d.GetLatitude());
  EXPECT_EQ(2.5, d.GetLongitude());
  EXPECT_EQ("desc", d.GetDataSetName());
  EXPECT_EQ(std::string("x\0y", 3), std::string(d.GetContent().begin(), d.GetContent().end()));

  ASSERT_TRUE(telemetry.WaitFor(1));
  ASSERT_EQ(1u, telemetry.Events().size());
  const TelemetryEventBase t = telemetry.Events()[0];
  ASSERT_EQ(1u, t.GetFields().size());
  EXPECT_EQ("count", t.GetFields()[0].first);
  EXPECT_EQ(EventPropertyValue::StorageType::ULongLong, t.GetFields()[0].second.GetStorageType());
  EXPECT_EQ("18446744073709551615", t.GetFields()[0].second.ToText());

  ASSERT_TRUE(changed.WaitFor(1));
  ASSERT_EQ(1u, changed.Events().size());
  const TelemetrySettingsChangedEvent c = changed.Events()[0];
  EXPECT_EQ(44, c.GetFormatCode());
  EXPECT_EQ(10, c.GetMaxSamples());
  EXPECT_EQ(0, c.GetMaxRetainTime());
  EXPECT_EQ(TelemetrySettingsChangedEvent::PendingMessageTreatment::Discard,
            c.GetPendingMessageTreatment());

  ASSERT_TRUE(complete.WaitFor(1));
  ASSERT_EQ(1u, complete.Events().size());
  const SendCommandCompleteEvent s = complete.Events()[0];
  EXPECT_EQ("r", s.GetRequester());
  EXPECT_EQ("t", s.GetTransactionID());
  EXPECT_TRUE(s.IsComplete());
  const char* text = nullptr;
  ASSERT_TRUE(s.GetResult() >>= text);
  EXPECT_STREQ("extra result line #1\n", text);

  ASSERT_TRUE(generic.WaitFor(1));
  EXPECT_EQ("GenericEvent name='other' type=P/Unregistered v=-5", generic.Descriptions()[0]);
}

TEST_F(EventTransceiverTest, AliasesRenameAndFiltersSelectByNameOrType) {
  EventTransceiverSettings settings = ChannelSettings(true);
  settings.aliasToEvent = {{"position", "gps"}};
  settings.SynchronizeEventToAlias();
  settings.eventFilterEnabled = true;
  settings.eventNameFilter = {"position", "wanted"};
  settings.eventTypeFilter = {EventType("Good", "D")};
  EventTransceiver sender(ChannelSettings(false), broker, senderLog);
  EventTransceiver receiver(settings, broker, receiverLog);
  Collector<GenericEvent> all;
  all.Connect(receiver.SignalForAllEvents());
  Collector<GenericEvent> gps;
  gps.Connect(receiver.SignalForEventName("gps"));
  Collector<GenericEvent> position;
  position.Connect(receiver.SignalForEventName("position"));
  sender.Initialize(nullptr);
  receiver.Initialize(nullptr);

  struct Case {
    const char* name;
    const char* type;
    bool delivered;
  };
  const Case cases[] = {
      {"position", "Bad", true},                               // by name, then renamed
      {"unwanted", "Bad", false}, {"anything", "Good", true},  // by type
      {"gps", "Bad", false},  // the alias target itself is not in the name filter
      {"wanted", "Bad", true},
  };
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    sender.TransmitEvent(GenericEvent(c.name, EventType(c.type, "D")));
    if (c.delivered) {
      expected.push_back(std::string("GenericEvent name='") + c.name + "' type=D/" + c.type);
    }
  }
  // One supplier, one channel: events arrive in order, so the last one shows that
  // nothing else is still on its way.
  ASSERT_TRUE(all.WaitFor(expected.size()));
  EXPECT_EQ(expected, all.Descriptions());
  ASSERT_TRUE(gps.WaitFor(1, 0));
  EXPECT_EQ(expected[0], gps.Descriptions()[0]);
  EXPECT_EQ(1u, gps.Descriptions().size());
  EXPECT_TRUE(position.Descriptions().empty());
}

TEST_F(EventTransceiverTest, AThrowingHandlerStopsNeitherLaterHandlersNorLaterEvents) {
  EventTransceiverSettings settings = ChannelSettings(true);
  settings.doNotDisplayList = {"quiet"};
  EventTransceiver sender(ChannelSettings(false), broker, senderLog);
  EventTransceiver receiver(settings, broker, receiverLog);
  boost::signals2::scoped_connection thrower = receiver.SignalForEventName("loud").connect(
      [](EventTransceiver&, const IEventBase&) { throw std::runtime_error("handler failed"); });
  Collector<GenericEvent> after;
  after.Connect(receiver.SignalForEventName("loud"));
  Collector<GenericEvent> all;
  all.Connect(receiver.SignalForAllEvents());
  sender.Initialize(nullptr);
  receiver.Initialize(nullptr);

  sender.TransmitEvent(GenericEvent("loud", EventType("T", "D")));
  sender.TransmitEvent(GenericEvent("loud", EventType("T", "D")));
  sender.TransmitEvent(GenericEvent("quiet", EventType("T", "D")));
  ASSERT_TRUE(after.WaitFor(2));
  ASSERT_TRUE(all.WaitFor(3));
  EXPECT_EQ(2, receiverLog.Count("ERROR: EventTransceiver: a handler of event 'loud' threw "));
  EXPECT_EQ(2, receiverLog.Count("'handler failed'"));
  // Displayed in full, except the names on the do-not-display list.
  EXPECT_EQ(2, receiverLog.Count("INFO: EventTransceiver: received GenericEvent name='loud'"));
  EXPECT_EQ(0, receiverLog.Count("name='quiet'")) << receiverLog.Text();
}

TEST_F(EventTransceiverTest, ThreadsTransmittingAtOnceLoseNoEvent) {
  EventTransceiverSettings settings = ChannelSettings(true);
  settings.displayReceivedEvents = false;
  EventTransceiver sender(ChannelSettings(false), broker, senderLog);
  EventTransceiver receiver(settings, broker, receiverLog);
  Collector<GenericEvent> all;
  all.Connect(receiver.SignalForAllEvents());
  sender.Initialize(nullptr);
  receiver.Initialize(nullptr);

  constexpr int kThreads = 4;
  constexpr int kEach = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        sender.TransmitEvent(
            GenericEvent("e" + std::to_string(t) + "_" + std::to_string(i), EventType("T", "D")));
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  ASSERT_TRUE(all.WaitFor(kThreads * kEach));
  const std::vector<std::string> seen = all.Descriptions();
  EXPECT_EQ(static_cast<std::size_t>(kThreads * kEach),
            std::set<std::string>(seen.begin(), seen.end()).size());
}

TEST_F(EventTransceiverTest, DirectStructuredPushIsDeliveredAndDisplayedShortly) {
  EventTransceiverSettings settings;  // no channel
  settings.fullyDescribeReceivedEvents = false;
  EventTransceiver receiver(settings, broker, receiverLog);
  receiver.RegisterEventClassFactory(EventType("GPSSample", "Nav"),
                                     new EventTransceiver::TEventClassFactory<GPSSampleEvent>());
  Collector<GPSSampleEvent> gps;
  gps.Connect(receiver.SignalForEventName("gps"));
  receiver.Initialize(nullptr);
  GPSSampleEvent sent(EventSettings("gps", "GPSSample", "Nav"), broker);
  sent.SetSample(5, false, 1, 2);
  CosNotification::StructuredEvent structured;
  sent.Encode(structured);
  receiver.push_structured_event(structured);
  ASSERT_EQ(1u, gps.Events().size());
  EXPECT_FALSE(gps.Events()[0].HasGPS());
  EXPECT_EQ(
      1, receiverLog.Count("INFO: EventTransceiver: received event name='gps' type=Nav/GPSSample"));
  EXPECT_EQ(0, receiverLog.Count("ValidFix"));
}

TEST_F(EventTransceiverTest, WithoutAChannelEventsAreOnlyLogged) {
  EventTransceiver transceiver(EventTransceiverSettings(), broker, senderLog);
  transceiver.Initialize(nullptr);
  GPSSampleEvent sent(EventSettings("gps", "GPSSample", "Nav"), broker);
  sent.SetSample(0, true, 1, 2);
  transceiver.TransmitEvent(sent);
  EXPECT_EQ(1, senderLog.Count("no event channel configured"));
  EXPECT_EQ(1, senderLog.Count("INFO: EventTransceiver::TransmitEvent: (no channel) "
                               "GPSSampleEvent name='gps' type=Nav/GPSSample DateTimeUTC=0 "
                               "ValidFix=true Latitude=1 Longitude=2"))
      << senderLog.Text();
}

TEST_F(EventTransceiverTest, AChannelThatDoesNotExistFailsInitialize) {
  EventTransceiverSettings settings;
  settings.eventServiceName = "no-such-channel";
  EventTransceiver transceiver(settings, broker, senderLog);
  try {
    transceiver.Initialize(nullptr);
    FAIL() << "Initialize returned";
  } catch (const EventTransceiver::ChannelError& e) {
    EXPECT_EQ(std::string("EventTransceiver::Initialize: event channel 'no-such-channel' is not "
                          "bound in the naming service"),
              e.what());
  }
  EXPECT_THROW(transceiver.TransmitEvent(GenericEvent("x", EventType())), std::logic_error);
}

TEST_F(EventTransceiverTest, PayloadManagerClientAnnouncesTheDevice) {
  EventTransceiver sender(ChannelSettings(false), broker, senderLog);
  EventTransceiver receiver(ChannelSettings(true), broker, receiverLog);
  Collector<GenericEvent> added;
  added.Connect(receiver.SignalForEventName("deviceAdded"));
  sender.Initialize(nullptr);
  receiver.Initialize(nullptr);
  PayloadManagerClientSettings settings;
  settings.deviceAddedEventName = "deviceAdded";
  settings.commonEventType = "Device";
  settings.commonEventDomain = "Payload";
  settings.payloadDescription.boardID = 2;
  settings.payloadDescription.taskID = 5;
  settings.payloadDescription.description = "sample sensor";
  settings.payloadDescription.readableName = "Sample";
  PayloadManagerClient client(settings, broker, sender);
  EXPECT_EQ(2 * 256 + 5, client.GetAddress());
  EXPECT_EQ(2, client.GetBoardID());
  EXPECT_EQ(5, client.GetTaskID());

  CORBA::Object_var self = broker.StringToObject(
      ("corbaloc::127.0.0.1:" + std::to_string(TestOrb::Get().Naming().Port()) + "/NameService")
          .c_str());
  client.Register(self.in(), true);
  ASSERT_TRUE(added.WaitFor(1));
  const std::string ior = broker.ObjectToString(self.in());
  EXPECT_EQ(
      "GenericEvent name='deviceAdded' type=Payload/Device BoardID=2 TaskID=5 "
      "Description='sample sensor' ReadableName='Sample' IOR='" +
          ior + "'",
      added.Descriptions()[0]);
}

}  // namespace
}  // namespace Corvane::Herald
