#include <sstream>
#include <string>

#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/serialization/nvp.hpp>
#include <gtest/gtest.h>

#include "platform/herald/EventSettings.h"
#include "platform/herald/EventTransceiverSettings.h"
#include "platform/herald/PayloadManagerClientSettings.h"

namespace Corvane::Herald {
// Named, not anonymous: on ARM, libstdc++ orders the type_info of types with internal
// linkage as equal to unrelated ones, which confuses the archive's class registry.
namespace settings_test {

// The shape of the driver's settings document: a root holding a text and the records.
struct Document {
  std::string serverName;
  EventSettings commandComplete;
  EventSettings gps;
  EventSettings telemetryChanged;
  EventTransceiverSettings transceiver;
  PayloadManagerClientSettings payloadManager;

  template <class Archive>
  void serialize(Archive& archive, const unsigned int /*version*/) {
    archive& BOOST_SERIALIZATION_NVP(serverName);
    archive& boost::serialization::make_nvp("commandCompleteEventSettings", commandComplete);
    archive& boost::serialization::make_nvp("gpsEventSettings", gps);
    archive& boost::serialization::make_nvp("telemetryChangedEventSettings", telemetryChanged);
    archive& boost::serialization::make_nvp("eventTransceiverSettings", transceiver);
    archive& boost::serialization::make_nvp("payloadManagerClientSettings", payloadManager);
  }
};

std::string Save(const Document& document) {
  std::ostringstream out;
  {
    boost::archive::xml_oarchive archive(out);
    archive << boost::serialization::make_nvp("rootlevel", document);
  }
  return out.str();
}

Document Load(const std::string& text) {
  Document document;
  std::istringstream in(text);
  boost::archive::xml_iarchive archive(in);
  archive >> boost::serialization::make_nvp("rootlevel", document);
  return document;
}

Document FullDocument() {
  Document d;
  d.serverName = "Specimen <1> & \"2\"";
  d.commandComplete = EventSettings("done", "CommandComplete", "Payload");
  d.gps = EventSettings("gps", "GPSSample", "Navigation");
  d.telemetryChanged = EventSettings("tsc", "TelemetryChanged", "Payload");
  EventTransceiverSettings& t = d.transceiver;
  t.eventServiceName = "channel";
  t.eventServiceKind = "kind";
  t.receiveEnable = false;
  t.aliasToEvent = {{"position", "gps"}, {"fix", "gps2"}};
  t.eventFilterEnabled = true;
  t.eventNameFilter = {"gps", "done"};
  t.eventTypeFilter = {EventType("GPSSample", "Navigation"), EventType("A", "B")};
  t.displayReceivedEvents = false;
  t.fullyDescribeReceivedEvents = false;
  t.doNotDisplayList = {"noisy", "chatty"};
  PayloadManagerClientSettings& p = d.payloadManager;
  p.serviceName = "manager";
  p.serviceKind = "mkind";
  p.deviceAddedEventName = "added";
  p.deviceChangedEventName = "changed";
  p.deviceRemovedEventName = "removed";
  p.commonEventType = "Device";
  p.commonEventDomain = "Payload";
  p.payloadDescription.boardID = 255;
  p.payloadDescription.taskID = 7;
  p.payloadDescription.description = "a sensor";
  p.payloadDescription.ior = "IOR:00";
  p.payloadDescription.readableName = "Sensor One";
  return d;
}

TEST(SettingsSerializationTest, DefaultsAreTheDocumentedOnes) {
  const EventTransceiverSettings t;
  EXPECT_TRUE(t.eventServiceName.empty());
  EXPECT_TRUE(t.receiveEnable);
  EXPECT_FALSE(t.eventFilterEnabled);
  EXPECT_TRUE(t.displayReceivedEvents);
  EXPECT_TRUE(t.fullyDescribeReceivedEvents);
  EXPECT_TRUE(t.aliasToEvent.empty() && t.doNotDisplayList.empty());
  const PayloadManagerClientSettings p;
  EXPECT_EQ(0, p.GetPayloadDescription().boardID);
  EXPECT_TRUE(p.deviceAddedEventName.empty());
}

TEST(SettingsSerializationTest, SaveThenLoadReproducesEveryField) {
  const Document saved = FullDocument();
  const Document loaded = Load(Save(saved));
  EXPECT_EQ(saved.serverName, loaded.serverName);
  EXPECT_EQ("done", loaded.commandComplete.GetName());
  EXPECT_EQ(EventType("CommandComplete", "Payload"), loaded.commandComplete.GetType());
  EXPECT_EQ(EventType("GPSSample", "Navigation"), loaded.gps.GetType());
  EXPECT_EQ("tsc", loaded.telemetryChanged.GetName());

  const EventTransceiverSettings& t = loaded.transceiver;
  EXPECT_EQ("channel", t.eventServiceName);
  EXPECT_EQ("kind", t.eventServiceKind);
  EXPECT_FALSE(t.receiveEnable);
  EXPECT_EQ(saved.transceiver.aliasToEvent, t.aliasToEvent);
  const EventTransceiverSettings::NameMap reverse = {{"gps", "position"}, {"gps2", "fix"}};
  EXPECT_EQ(reverse, t.eventToAlias);
  EXPECT_TRUE(t.eventFilterEnabled);
  EXPECT_EQ(saved.transceiver.eventNameFilter, t.eventNameFilter);
  EXPECT_EQ(saved.transceiver.eventTypeFilter, t.eventTypeFilter);
  EXPECT_FALSE(t.displayReceivedEvents);
  EXPECT_FALSE(t.fullyDescribeReceivedEvents);
  EXPECT_EQ(saved.transceiver.doNotDisplayList, t.doNotDisplayList);

  const PayloadManagerClientSettings& p = loaded.payloadManager;
  EXPECT_EQ("manager", p.serviceName);
  EXPECT_EQ("mkind", p.serviceKind);
  EXPECT_EQ("added", p.deviceAddedEventName);
  EXPECT_EQ("changed", p.deviceChangedEventName);
  EXPECT_EQ("removed", p.deviceRemovedEventName);
  EXPECT_EQ("Device", p.commonEventType);
  EXPECT_EQ("Payload", p.commonEventDomain);
  EXPECT_EQ(255, p.payloadDescription.boardID);
  EXPECT_EQ(7, p.payloadDescription.taskID);
  EXPECT_EQ("a sensor", p.payloadDescription.description);
  EXPECT_EQ("IOR:00", p.payloadDescription.ior);
  EXPECT_EQ("Sensor One", p.payloadDescription.readableName);
}

TEST(SettingsSerializationTest, ClassInformationOnFirstOccurrenceOnly) {
  struct Case {
    const char* title;
    bool withAliases;
    const char* const* expected;
  };
  static const char* const kEmpty[] = {
      "<rootlevel class_id=\"0\" tracking_level=\"0\" version=\"0\">",
      "<commandCompleteEventSettings class_id=\"1\" tracking_level=\"0\" version=\"0\">",
      "<eventType class_id=\"2\" tracking_level=\"0\" version=\"0\">",
      "<gpsEventSettings>",
      "<eventTransceiverSettings class_id=\"3\" tracking_level=\"0\" version=\"2\">",
      "<aliasToEvent class_id=\"4\" tracking_level=\"0\" version=\"0\">",
      "<eventNameFilter class_id=\"5\" tracking_level=\"0\" version=\"0\">",
      "<eventTypeFilter class_id=\"6\" tracking_level=\"0\" version=\"0\">",
      "<doNotDisplayList>",
      "<payloadManagerClientSettings class_id=\"7\" tracking_level=\"0\" version=\"0\">",
      "<payloadDescription class_id=\"8\" tracking_level=\"0\" version=\"0\">",
      nullptr};
  static const char* const kTwoAliases[] = {
      "<eventTransceiverSettings class_id=\"3\" tracking_level=\"0\" version=\"2\">",
      "<aliasToEvent class_id=\"4\" tracking_level=\"0\" version=\"0\">",
      "<count>2</count>",
      "<item_version>0</item_version>",
      "<item class_id=\"5\" tracking_level=\"0\" version=\"0\">",
      "<first>a1</first>",
      "<second>e1</second>",
      "<item>",
      "<first>a2</first>",
      "<eventNameFilter class_id=\"6\" tracking_level=\"0\" version=\"0\">",
      "<eventTypeFilter class_id=\"7\" tracking_level=\"0\" version=\"0\">",
      "<payloadManagerClientSettings class_id=\"8\" tracking_level=\"0\" version=\"0\">",
      "<payloadDescription class_id=\"9\" tracking_level=\"0\" version=\"0\">",
      nullptr};
  const Case cases[] = {{"empty map", false, kEmpty}, {"two map entries", true, kTwoAliases}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    Document document;
    if (c.withAliases) {
      document.transceiver.aliasToEvent = {{"a1", "e1"}, {"a2", "e2"}};
    }
    const std::string text = Save(document);
    std::size_t position = 0;
    for (const char* const* expected = c.expected; *expected != nullptr; ++expected) {
      const std::size_t found = text.find(*expected, position);
      ASSERT_NE(std::string::npos, found) << "missing or out of order: " << *expected << "\n"
                                          << text;
      position = found + 1;
    }
    // Items of the type filter never repeat the class information of EventType.
    document.transceiver.eventTypeFilter = {EventType("T", "D")};
    const std::string withType = Save(document);
    const std::size_t item = withType.find("<typeName>T</typeName>");
    ASSERT_NE(std::string::npos, item);
    EXPECT_EQ("<item>", withType.substr(withType.rfind("<item", item), 6));
  }
}

TEST(SettingsSerializationTest, OlderTransceiverVersionsDefaultTheLastThreeElements) {
  Document document = FullDocument();
  std::string text = Save(document);
  const std::size_t display = text.find("<displayReceivedEvents>");
  const std::size_t end = text.find("</eventTransceiverSettings>");
  ASSERT_NE(std::string::npos, display);
  ASSERT_NE(std::string::npos, end);
  const std::string withoutLastThree =
      text.substr(0, display) + text.substr(end);  // ends after eventTypeFilter
  for (const char* version : {"0", "1"}) {
    SCOPED_TRACE(version);
    std::string old = withoutLastThree;
    const std::string tag =
        "<eventTransceiverSettings class_id=\"3\" tracking_level=\"0\" version=\"";
    old.replace(old.find(tag) + tag.size(), 1, version);
    const Document loaded = Load(old);
    EXPECT_TRUE(loaded.transceiver.displayReceivedEvents);
    EXPECT_TRUE(loaded.transceiver.fullyDescribeReceivedEvents);
    EXPECT_TRUE(loaded.transceiver.doNotDisplayList.empty());
    EXPECT_EQ("channel", loaded.transceiver.eventServiceName);
    EXPECT_EQ(document.transceiver.eventTypeFilter, loaded.transceiver.eventTypeFilter);
    EXPECT_EQ("manager", loaded.payloadManager.serviceName);
  }
  // Version 2 requires the three elements.
  EXPECT_ANY_THROW(Load(withoutLastThree));
  // A version above the current one is refused.
  std::string newer = text;
  const std::string tag = "version=\"2\"";
  newer.replace(newer.find(tag), tag.size(), "version=\"3\"");
  EXPECT_ANY_THROW(Load(newer));
}

}  // namespace
}  // namespace Corvane::Herald
