#include "platform/herald/EventType.h"

#include <sstream>
#include <tuple>

namespace Corvane::Herald {

bool EventType::operator<(const EventType& other) const {
  return std::tie(typeName, domainName) < std::tie(other.typeName, other.domainName);
}

bool EventType::operator==(const EventType& other) const {
  return typeName == other.typeName && domainName == other.domainName;
}

void EventType::Describe(std::ostream& out) const {
  out << domainName << '/' << typeName;
}

std::string EventType::ToString() const {
  std::ostringstream text;
  Describe(text);
  return text.str();
}

}  // namespace Corvane::Herald
