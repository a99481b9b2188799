#pragma once

#include "platform/herald/IEventBase.h"

namespace Corvane::TalisFramework {
class IObjectBroker;
}

namespace Corvane::Herald {

// Any structured event, kept as it is: received events of a type without a registered
// factory, and events built field by field (tools, the device-added event).
class GenericEvent : public IEventBase {
 public:
  GenericEvent() = default;
  explicit GenericEvent(TalisFramework::IObjectBroker& /*broker*/) {}
  explicit GenericEvent(const CosNotification::StructuredEvent& eventIn) : event(eventIn) {}
  // An event of that name and type with no fields and an empty body.
  GenericEvent(const std::string& name, const EventType& type);

  // "GenericEvent name='N' type=domain/type Field=value ... body=..."
  void Describe(std::ostream& out) const override;
  std::string GetName() const override;
  EventType GetType() const override;
  void Encode(CosNotification::StructuredEvent& out) const override { out = event; }
  void Decode(const CosNotification::StructuredEvent& in) override { event = in; }

  // Appends a filterable value.
  void AddField(const std::string& name, const CORBA::Any& value);
  // The first filterable value of that name, or null.
  const CORBA::Any* FindField(const std::string& name) const;
  const CosNotification::StructuredEvent& GetStructuredEvent() const { return event; }
  CosNotification::StructuredEvent& GetStructuredEvent() { return event; }

 private:
  CosNotification::StructuredEvent event;
};

}  // namespace Corvane::Herald
