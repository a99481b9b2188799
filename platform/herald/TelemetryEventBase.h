#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/herald/EventPropertyValue.h"
#include "platform/herald/LocatedEventBase.h"

namespace Corvane::Herald {

// Telemetry: GeneratorAddress, Latitude, Longitude, then each added field under its
// own name with its typed value, in the order added. The remainder of the body is empty.
class TelemetryEventBase : public LocatedEventBase {
 public:
  using Field = std::pair<std::string, EventPropertyValue>;

  TelemetryEventBase(const EventSettings& eventSettings, TalisFramework::IObjectBroker& eventBroker)
      : LocatedEventBase(eventSettings, eventBroker) {}
  explicit TelemetryEventBase(TalisFramework::IObjectBroker& eventBroker)
      : LocatedEventBase(eventBroker) {}

  // Appends a field; a name given twice travels twice.
  void AddField(const std::string& name, const EventPropertyValue& value);
  const std::vector<Field>& GetFields() const { return fields; }
  // The first field of that name, or null.
  const EventPropertyValue* FindField(const std::string& name) const;

 protected:
  const char* ClassLabel() const override { return "TelemetryEvent"; }
  void EncodeBody(CosNotification::StructuredEvent& out) const override;
  void DecodeBody(const CosNotification::StructuredEvent& in) override;

 private:
  std::vector<Field> fields;
};

}  // namespace Corvane::Herald
