#pragma once

#include <string>

#include <boost/serialization/nvp.hpp>
#include <boost/serialization/level.hpp>
#include <boost/serialization/tracking.hpp>

#include "platform/herald/EventSettings.h"
#include "platform/herald/EventTransceiverSettings.h"
#include "platform/herald/PayloadManagerClientSettings.h"

// The driver's whole configuration, kept in one XML archive ("Specimen-config.xml").
// Used on one thread only; copying is member-wise.
class SpecimenSettings {
 public:
  SpecimenSettings() = default;

  const std::string& GetServerName() const { return serverName; }
  void SetServerName(const std::string& name) { serverName = name; }
  const Corvane::Herald::EventSettings& GetCommandCompleteEventSettings() const {
    return commandCompleteEventSettings;
  }
  void SetCommandCompleteEventSettings(const Corvane::Herald::EventSettings& value) {
    commandCompleteEventSettings = value;
  }
  const Corvane::Herald::EventSettings& GetGPSEventSettings() const { return gpsEventSettings; }
  void SetGPSEventSettings(const Corvane::Herald::EventSettings& value) {
    gpsEventSettings = value;
  }
  const Corvane::Herald::EventSettings& GetTelemetryChangedEventSettings() const {
    return telemetryChangedEventSettings;
  }
  void SetTelemetryChangedEventSettings(const Corvane::Herald::EventSettings& value) {
    telemetryChangedEventSettings = value;
  }
  const Corvane::Herald::EventTransceiverSettings& GetEventTransceiverSettings() const {
    return eventTransceiverSettings;
  }
  void SetEventTransceiverSettings(const Corvane::Herald::EventTransceiverSettings& value) {
    eventTransceiverSettings = value;
  }
  const Corvane::Herald::PayloadManagerClientSettings& GetPayloadManagerClientSettings() const {
    return payloadManagerClientSettings;
  }
  void SetPayloadManagerClientSettings(
      const Corvane::Herald::PayloadManagerClientSettings& value) {
    payloadManagerClientSettings = value;
  }

  // Writes the settings to `path`, replacing its content. Throws std::invalid_argument
  // when the file cannot be opened for writing.
  void Save(const std::string& path) const;

  // Reads the settings from `path`. An empty file is first filled with the defaults.
  // Throws std::invalid_argument when the file is missing or unreadable; malformed
  // content raises the archive library's exception, leaving the fields read before the
  // failure changed.
  void Load(const std::string& path);

  template <class Archive>
  void serialize(Archive& archive, const unsigned int /*version*/) {
    archive& BOOST_SERIALIZATION_NVP(serverName);
    archive& BOOST_SERIALIZATION_NVP(commandCompleteEventSettings);
    archive& BOOST_SERIALIZATION_NVP(gpsEventSettings);
    archive& BOOST_SERIALIZATION_NVP(telemetryChangedEventSettings);
    archive& BOOST_SERIALIZATION_NVP(eventTransceiverSettings);
    archive& BOOST_SERIALIZATION_NVP(payloadManagerClientSettings);
  }

 private:
  std::string serverName;
  Corvane::Herald::EventSettings commandCompleteEventSettings;
  Corvane::Herald::EventSettings gpsEventSettings;
  Corvane::Herald::EventSettings telemetryChangedEventSettings;
  Corvane::Herald::EventTransceiverSettings eventTransceiverSettings;
  Corvane::Herald::PayloadManagerClientSettings payloadManagerClientSettings;
};

BOOST_CLASS_IMPLEMENTATION(SpecimenSettings, boost::serialization::object_class_info)
BOOST_CLASS_TRACKING(SpecimenSettings, boost::serialization::track_never)
