#include "platform/herald/GenericEvent.h"

#include "platform/herald/WireFormat.h"

namespace Corvane::Herald {

GenericEvent::GenericEvent(const std::string& name, const EventType& type) {
  event.header.fixed_header.event_type.domain_name = type.domainName.c_str();
  event.header.fixed_header.event_type.type_name = type.typeName.c_str();
  event.header.fixed_header.event_name = name.c_str();
}

void GenericEvent::Describe(std::ostream& out) const {
  out << "GenericEvent";
  WireFormat::DescribeEvent(out, event);
}

std::string GenericEvent::GetName() const {
  return event.header.fixed_header.event_name.in();
}

EventType GenericEvent::GetType() const {
  return EventType(event.header.fixed_header.event_type.type_name.in(),
                   event.header.fixed_header.event_type.domain_name.in());
}

void GenericEvent::AddField(const std::string& name, const CORBA::Any& value) {
  WireFormat::Add(event, name.c_str(), value);
}

const CORBA::Any* GenericEvent::FindField(const std::string& name) const {
  return WireFormat::Find(event, name.c_str());
}

}  // namespace Corvane::Herald
