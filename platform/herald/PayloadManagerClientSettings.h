#pragma once

#include <string>

#include <boost/serialization/level.hpp>
#include <boost/serialization/nvp.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

#include "platform/talis/PayloadDescription.h"

namespace Corvane::Herald {

// How a device announces itself: the payload manager's name in the naming service, the
// names of the device-added, -changed and -removed events, their common type and domain,
// and the device's own description.
class PayloadManagerClientSettings {
 public:
  PayloadManagerClientSettings() = default;

  const TalisFramework::PayloadDescription& GetPayloadDescription() const {
    return payloadDescription;
  }

  template <class Archive>
  void serialize(Archive& archive, const unsigned int /*version*/) {
    archive& BOOST_SERIALIZATION_NVP(serviceName);
    archive& BOOST_SERIALIZATION_NVP(serviceKind);
    archive& BOOST_SERIALIZATION_NVP(deviceAddedEventName);
    archive& BOOST_SERIALIZATION_NVP(deviceChangedEventName);
    archive& BOOST_SERIALIZATION_NVP(deviceRemovedEventName);
    archive& BOOST_SERIALIZATION_NVP(commonEventType);
    archive& BOOST_SERIALIZATION_NVP(commonEventDomain);
    archive& BOOST_SERIALIZATION_NVP(payloadDescription);
  }

  std::string serviceName;
  std::string serviceKind;
  std::string deviceAddedEventName;
  std::string deviceChangedEventName;
  std::string deviceRemovedEventName;
  std::string commonEventType;
  std::string commonEventDomain;
  TalisFramework::PayloadDescription payloadDescription;
};

}  // namespace Corvane::Herald

BOOST_CLASS_IMPLEMENTATION(Corvane::Herald::PayloadManagerClientSettings,
                           boost::serialization::object_class_info)
BOOST_CLASS_TRACKING(Corvane::Herald::PayloadManagerClientSettings,
                     boost::serialization::track_never)
BOOST_CLASS_VERSION(Corvane::Herald::PayloadManagerClientSettings, 0)
