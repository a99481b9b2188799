#pragma once

#include <string>
#include <utility>

#include <boost/serialization/level.hpp>
#include <boost/serialization/nvp.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

#include "platform/herald/EventType.h"

namespace Corvane::Herald {

// The name and type under which an event is published.
class EventSettings {
 public:
  EventSettings() = default;
  EventSettings(std::string name, std::string type, std::string domain)
      : eventName(std::move(name)), eventType(std::move(type), std::move(domain)) {}

  const std::string& GetName() const { return eventName; }
  const EventType& GetType() const { return eventType; }

  template <class Archive>
  void serialize(Archive& archive, const unsigned int /*version*/) {
    archive& BOOST_SERIALIZATION_NVP(eventName);
    archive& BOOST_SERIALIZATION_NVP(eventType);
  }

  std::string eventName;
  EventType eventType;
};

}  // namespace Corvane::Herald

BOOST_CLASS_IMPLEMENTATION(Corvane::Herald::EventSettings, boost::serialization::object_class_info)
BOOST_CLASS_TRACKING(Corvane::Herald::EventSettings, boost::serialization::track_never)
BOOST_CLASS_VERSION(Corvane::Herald::EventSettings, 0)
