#pragma once

#include <ostream>
#include <string>
#include <utility>

#include <boost/serialization/level.hpp>
#include <boost/serialization/nvp.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>

namespace Corvane::Herald {

// The type of an event: a type name inside a domain. On the channel it travels as the
// fixed header's {domainName, typeName}.
class EventType {
 public:
  EventType() = default;
  EventType(std::string typeNameIn, std::string domainNameIn)
      : typeName(std::move(typeNameIn)), domainName(std::move(domainNameIn)) {}

  // Orders by type name, then by domain name (the order of a set of types).
  bool operator<(const EventType& other) const;
  bool operator==(const EventType& other) const;
  bool operator!=(const EventType& other) const { return !(*this == other); }

  // Writes "domainName/typeName".
  void Describe(std::ostream& out) const;
  // The text Describe writes.
  std::string ToString() const;

  template <class Archive>
  void serialize(Archive& archive, const unsigned int /*version*/) {
    archive& BOOST_SERIALIZATION_NVP(typeName);
    archive& BOOST_SERIALIZATION_NVP(domainName);
  }

  std::string typeName;
  std::string domainName;
};

}  // namespace Corvane::Herald

BOOST_CLASS_IMPLEMENTATION(Corvane::Herald::EventType, boost::serialization::object_class_info)
BOOST_CLASS_TRACKING(Corvane::Herald::EventType, boost::serialization::track_never)
BOOST_CLASS_VERSION(Corvane::Herald::EventType, 0)
