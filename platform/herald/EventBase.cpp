#include "platform/herald/EventBase.h"

#include "platform/herald/WireFormat.h"

namespace Corvane::Herald {

void EventBase::Describe(std::ostream& out) const {
  CosNotification::StructuredEvent event;
  Encode(event);
  out << ClassLabel();
  WireFormat::DescribeEvent(out, event);
}

void EventBase::Encode(CosNotification::StructuredEvent& out) const {
  out = CosNotification::StructuredEvent();
  out.header.fixed_header.event_type.domain_name = settings.eventType.domainName.c_str();
  out.header.fixed_header.event_type.type_name = settings.eventType.typeName.c_str();
  out.header.fixed_header.event_name = settings.eventName.c_str();
  EncodeBody(out);
}

void EventBase::Decode(const CosNotification::StructuredEvent& in) {
  settings.eventName = in.header.fixed_header.event_name.in();
  settings.eventType.domainName = in.header.fixed_header.event_type.domain_name.in();
  settings.eventType.typeName = in.header.fixed_header.event_type.type_name.in();
  DecodeBody(in);
}

}  // namespace Corvane::Herald
