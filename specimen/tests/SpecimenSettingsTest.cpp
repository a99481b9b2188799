#include "specimen/SpecimenSettings.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "testing/ScopedTempDir.h"

namespace {

using Corvane::Herald::EventSettings;
using Corvane::Herald::EventTransceiverSettings;
using Corvane::Herald::EventType;
using Corvane::Herald::PayloadManagerClientSettings;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::trunc);
  out << text;
}

// The archive library's own version number is the only part of the envelope that
// changes between Boost releases.
std::string WithoutLibraryVersion(const std::string& document) {
  const std::string signature = "signature=\"serialization::archive\" version=\"";
  std::string result = document;
  const std::string::size_type start = result.find(signature);
  if (start != std::string::npos) {
    const std::string::size_type digits = start + signature.size();
    result.erase(digits, result.find('"', digits) - digits);
  }
  return result;
}

std::string DataFile(const std::string& name) { return std::string(SPECIMEN_TEST_DATA) + "/" + name; }

SpecimenSettings FullSettings() {
  SpecimenSettings settings;
  settings.SetServerName("Specimen <one> & \"two\"");
  settings.SetCommandCompleteEventSettings(EventSettings("Done", "CommandComplete", "Specimen"));
  settings.SetGPSEventSettings(EventSettings("GPS", "GPSSample", "Navigation"));
  settings.SetTelemetryChangedEventSettings(EventSettings("TelemChanged", "Telemetry", "Specimen"));
  EventTransceiverSettings transceiver;
  transceiver.eventServiceName = "SpecimenChannel";
  transceiver.eventServiceKind = "EventChannel";
  transceiver.receiveEnable = false;
  transceiver.aliasToEvent = {{"GPSFix", "GPS"}, {"Position", "GPS"}};
  transceiver.SynchronizeEventToAlias();
  transceiver.eventFilterEnabled = true;
  transceiver.eventNameFilter = {"GPS", "Other"};
  transceiver.eventTypeFilter = {EventType("GPSSample", "Navigation"), EventType("A", "B")};
  transceiver.displayReceivedEvents = false;
  transceiver.fullyDescribeReceivedEvents = false;
  transceiver.doNotDisplayList = {"Noise"};
  settings.SetEventTransceiverSettings(transceiver);
  PayloadManagerClientSettings client;
  client.serviceName = "PayloadManager";
  client.serviceKind = "Manager";
  client.deviceAddedEventName = "DeviceAdded";
  client.deviceChangedEventName = "DeviceChanged";
  client.deviceRemovedEventName = "DeviceRemoved";
  client.commonEventType = "Device";
  client.commonEventDomain = "Payload";
  client.payloadDescription.boardID = 255;
  client.payloadDescription.taskID = 7;
  client.payloadDescription.description = "sample sensor";
  client.payloadDescription.ior = "IOR:00";
  client.payloadDescription.readableName = "Specimen";
  settings.SetPayloadManagerClientSettings(client);
  return settings;
}

void ExpectEqualSettings(const SpecimenSettings& expected, const SpecimenSettings& actual) {
  // Saving both and comparing the documents compares every field, containers included.
  Corvane::Testing::ScopedTempDir dir;
  expected.Save(dir.File("expected.xml"));
  actual.Save(dir.File("actual.xml"));
  EXPECT_EQ(ReadFile(dir.File("expected.xml")), ReadFile(dir.File("actual.xml")));
}

TEST(SpecimenSettingsTest, SaveAndLoadReproduceEveryField) {
  Corvane::Testing::ScopedTempDir dir;
  const SpecimenSettings saved = FullSettings();
  saved.Save(dir.File("settings.xml"));
  SpecimenSettings loaded;
  loaded.Load(dir.File("settings.xml"));
  ExpectEqualSettings(saved, loaded);
  EXPECT_EQ("Specimen <one> & \"two\"", loaded.GetServerName());
  const EventTransceiverSettings& transceiver = loaded.GetEventTransceiverSettings();
  EXPECT_EQ(2u, transceiver.aliasToEvent.size());
  EXPECT_EQ("GPSFix", transceiver.eventToAlias.at("GPS"));
  EXPECT_EQ(2u, transceiver.eventTypeFilter.size());
  EXPECT_FALSE(transceiver.displayReceivedEvents);
  EXPECT_EQ(255, loaded.GetPayloadManagerClientSettings().GetPayloadDescription().boardID);
  EXPECT_EQ("GPSSample", loaded.GetGPSEventSettings().GetType().typeName);
}

// Class information: ids in order of first appearance, only on a class's first element;
// a non-empty map adds its pair type right after the map.
TEST(SpecimenSettingsTest, WritesTheExpectedDocuments) {
  Corvane::Testing::ScopedTempDir dir;
  SpecimenSettings().Save(dir.File("empty.xml"));
  EXPECT_EQ(WithoutLibraryVersion(ReadFile(DataFile("settings-default.xml"))),
            WithoutLibraryVersion(ReadFile(dir.File("empty.xml"))));

  SpecimenSettings withMap;
  EventTransceiverSettings transceiver;
  transceiver.aliasToEvent = {{"a", "x"}, {"b", "y"}};
  transceiver.eventNameFilter = {"n"};
  withMap.SetEventTransceiverSettings(transceiver);
  withMap.Save(dir.File("map.xml"));
  EXPECT_EQ(WithoutLibraryVersion(ReadFile(DataFile("settings-map.xml"))),
            WithoutLibraryVersion(ReadFile(dir.File("map.xml"))));
}

TEST(SpecimenSettingsTest, LoadsAVersionOneTransceiverRecordWithDefaultsForTheLaterFields) {
  SpecimenSettings settings;
  settings.Load(DataFile("settings-version1.xml"));
  const EventTransceiverSettings& transceiver = settings.GetEventTransceiverSettings();
  EXPECT_EQ("Old", settings.GetServerName());
  EXPECT_EQ("OldChannel", transceiver.eventServiceName);
  EXPECT_TRUE(transceiver.displayReceivedEvents);
  EXPECT_TRUE(transceiver.fullyDescribeReceivedEvents);
  EXPECT_TRUE(transceiver.doNotDisplayList.empty());
  EXPECT_EQ(3, settings.GetPayloadManagerClientSettings().GetPayloadDescription().taskID);
}

TEST(SpecimenSettingsTest, RefusesAVersionTwoRecordWithoutItsLaterFields) {
  SpecimenSettings settings;
  EXPECT_THROW(settings.Load(DataFile("settings-version2-short.xml")), std::exception);
  // Fields read before the failure keep their new values.
  EXPECT_EQ("Short", settings.GetServerName());
}

TEST(SpecimenSettingsTest, KeepsTheLowEightBitsOfBoardNumbers) {
  Corvane::Testing::ScopedTempDir dir;
  std::string document = ReadFile(DataFile("settings-version1.xml"));
  const std::string original = "<boardID>2</boardID>";
  ASSERT_NE(std::string::npos, document.find(original));
  struct Case {
    const char* text;
    int expected;
  };
  for (const Case& c : {Case{"255", 255}, Case{"256", 0}, Case{"258", 2}}) {
    SCOPED_TRACE(c.text);
    std::string changed = document;
    changed.replace(changed.find(original), original.size(),
                    std::string("<boardID>") + c.text + "</boardID>");
    WriteFile(dir.File("board.xml"), changed);
    SpecimenSettings settings;
    settings.Load(dir.File("board.xml"));
    EXPECT_EQ(c.expected, settings.GetPayloadManagerClientSettings().GetPayloadDescription().boardID);
  }
}

TEST(SpecimenSettingsTest, TheExampleFileLoads) {
  SpecimenSettings settings;
  settings.Load(std::string(SPECIMEN_SOURCE_DIR) + "/Specimen-config.example.xml");
  EXPECT_EQ("Specimen", settings.GetServerName());
  EXPECT_EQ("SpecimenChannel", settings.GetEventTransceiverSettings().eventServiceName);
  EXPECT_EQ("GPSSample", settings.GetGPSEventSettings().GetName());
  EXPECT_EQ(258, settings.GetPayloadManagerClientSettings().GetPayloadDescription().boardID * 256 +
                     settings.GetPayloadManagerClientSettings().GetPayloadDescription().taskID);
}

TEST(SpecimenSettingsTest, MissingFileNamesTheErrorNumber) {
  Corvane::Testing::ScopedTempDir dir;
  const std::string path = dir.File("absent.xml");
  SpecimenSettings settings;
  settings.SetServerName("unchanged");
  try {
    settings.Load(path);
    FAIL() << "no exception";
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ("SpecimenSettings::Load: could not stat '" + path +
                  "' (errno=2 'No such file or directory')",
              std::string(e.what()));
  }
  EXPECT_EQ("unchanged", settings.GetServerName());
}

TEST(SpecimenSettingsTest, EmptyFileIsFilledWithTheDefaults) {
  Corvane::Testing::ScopedTempDir dir;
  const std::string path = dir.File("Specimen-config.xml");
  WriteFile(path, "");
  SpecimenSettings settings;
  settings.SetServerName("before");
  settings.Load(path);
  EXPECT_EQ("", settings.GetServerName());
  EXPECT_EQ(WithoutLibraryVersion(ReadFile(DataFile("settings-default.xml"))),
            WithoutLibraryVersion(ReadFile(path)));
}

TEST(SpecimenSettingsTest, SaveToAnUnwritablePathThrows) {
  Corvane::Testing::ScopedTempDir dir;
  const std::string path = dir.File("no/such/dir.xml");
  try {
    SpecimenSettings().Save(path);
    FAIL() << "no exception";
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ("SpecimenSettings::Save: could not open '" + path + "' for write",
              std::string(e.what()));
  }
}

// Load of an unreadable file, checked in a child that is not root when the test runs as
// root (root reads any file); the child reports through its exit status.
TEST(SpecimenSettingsTest, UnreadableFileCannotBeOpened) {
  Corvane::Testing::ScopedTempDir dir;
  ASSERT_EQ(0, ::chmod(dir.Path().c_str(), 0755));
  const std::string path = dir.File("locked.xml");
  FullSettings().Save(path);
  ASSERT_EQ(0, ::chmod(path.c_str(), 0));
  const std::string expected = "SpecimenSettings::Load: could not open '" + path + "' for read";
  const pid_t child = ::fork();
  ASSERT_NE(-1, child);
  if (child == 0) {
    if (::geteuid() == 0 && ::setresuid(65534, 65534, 65534) != 0) {
      ::_exit(3);
    }
    try {
      SpecimenSettings().Load(path);
    } catch (const std::invalid_argument& e) {
      ::_exit(expected == e.what() ? 0 : 1);
    } catch (...) {
    }
    ::_exit(2);
  }
  int status = 0;
  ASSERT_EQ(child, ::waitpid(child, &status, 0));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status)) << "1: other message, 2: no such exception, 3: setresuid";
}

}  // namespace
