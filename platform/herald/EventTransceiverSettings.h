#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>

#include <boost/serialization/level.hpp>
#include <boost/serialization/map.hpp>
#include <boost/serialization/nvp.hpp>
#include <boost/serialization/set.hpp>
#include <boost/serialization/split_member.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/tracking.hpp>
#include <boost/serialization/utility.hpp>
#include <boost/serialization/version.hpp>

#include "platform/herald/EventType.h"

namespace Corvane::Herald {

// How an EventTransceiver joins its channel and treats what it receives.
//
// eventServiceName/eventServiceKind name the event channel in the naming service; an
// empty name means no channel (transmitted events are only logged). receiveEnable
// connects a consumer. aliasToEvent maps a received event name (the alias) to the name
// whose signal fires; eventToAlias is its reverse, kept in line by
// SynchronizeEventToAlias and not stored. With eventFilterEnabled an event is delivered
// only when its name is in eventNameFilter or its type in eventTypeFilter.
// displayReceivedEvents logs one line per delivered event whose name is not in
// doNotDisplayList, with the whole description when fullyDescribeReceivedEvents.
class EventTransceiverSettings {
 public:
  using NameMap = std::map<std::string, std::string>;
  using NameSet = std::set<std::string>;
  using TypeSet = std::set<EventType>;

  EventTransceiverSettings() = default;

  // Rebuilds eventToAlias from aliasToEvent. When two aliases lead to one event name,
  // the reverse map keeps the first alias in key order.
  void SynchronizeEventToAlias();

  template <class Archive>
  void save(Archive& archive, const unsigned int /*version*/) const {
    archive& BOOST_SERIALIZATION_NVP(eventServiceName);
    archive& BOOST_SERIALIZATION_NVP(eventServiceKind);
    archive& BOOST_SERIALIZATION_NVP(receiveEnable);
    archive& BOOST_SERIALIZATION_NVP(aliasToEvent);
    archive& BOOST_SERIALIZATION_NVP(eventFilterEnabled);
    archive& BOOST_SERIALIZATION_NVP(eventNameFilter);
    archive& BOOST_SERIALIZATION_NVP(eventTypeFilter);
    archive& BOOST_SERIALIZATION_NVP(displayReceivedEvents);
    archive& BOOST_SERIALIZATION_NVP(fullyDescribeReceivedEvents);
    archive& BOOST_SERIALIZATION_NVP(doNotDisplayList);
  }

  template <class Archive>
  void load(Archive& archive, const unsigned int version) {
    archive& BOOST_SERIALIZATION_NVP(eventServiceName);
    archive& BOOST_SERIALIZATION_NVP(eventServiceKind);
    archive& BOOST_SERIALIZATION_NVP(receiveEnable);
    archive& BOOST_SERIALIZATION_NVP(aliasToEvent);
    SynchronizeEventToAlias();
    archive& BOOST_SERIALIZATION_NVP(eventFilterEnabled);
    archive& BOOST_SERIALIZATION_NVP(eventNameFilter);
    archive& BOOST_SERIALIZATION_NVP(eventTypeFilter);
    if (version == 2) {
      archive& BOOST_SERIALIZATION_NVP(displayReceivedEvents);
      archive& BOOST_SERIALIZATION_NVP(fullyDescribeReceivedEvents);
      archive& BOOST_SERIALIZATION_NVP(doNotDisplayList);
    } else {
      // Files written before these three existed.
      displayReceivedEvents = true;
      fullyDescribeReceivedEvents = true;
      doNotDisplayList.clear();
    }
  }
  BOOST_SERIALIZATION_SPLIT_MEMBER()

  std::string eventServiceName;
  std::string eventServiceKind;
  bool receiveEnable = true;
  NameMap aliasToEvent;
  NameMap eventToAlias;
  bool eventFilterEnabled = false;
  NameSet eventNameFilter;
  TypeSet eventTypeFilter;
  bool displayReceivedEvents = true;
  bool fullyDescribeReceivedEvents = true;
  NameSet doNotDisplayList;
};

// The containers and the map's item type are never tracked either.
using NameMapItem = std::pair<const std::string, std::string>;

}  // namespace Corvane::Herald

BOOST_CLASS_IMPLEMENTATION(Corvane::Herald::EventTransceiverSettings,
                           boost::serialization::object_class_info)
BOOST_CLASS_TRACKING(Corvane::Herald::EventTransceiverSettings, boost::serialization::track_never)
BOOST_CLASS_VERSION(Corvane::Herald::EventTransceiverSettings, 2)
BOOST_CLASS_TRACKING(Corvane::Herald::EventTransceiverSettings::NameMap,
                     boost::serialization::track_never)
BOOST_CLASS_TRACKING(Corvane::Herald::EventTransceiverSettings::NameSet,
                     boost::serialization::track_never)
BOOST_CLASS_TRACKING(Corvane::Herald::EventTransceiverSettings::TypeSet,
                     boost::serialization::track_never)
BOOST_CLASS_TRACKING(Corvane::Herald::NameMapItem, boost::serialization::track_never)
