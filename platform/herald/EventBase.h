#pragma once

#include <ostream>
#include <string>

#include "platform/herald/EventSettings.h"
#include "platform/herald/IEventBase.h"

namespace Corvane::TalisFramework {
class IObjectBroker;
}

namespace Corvane::Herald {

// Name, type and wire handling shared by the event classes: Encode writes the fixed
// header and lets the class add its fields; Describe renders the encoded form on one
// line ("Class name='N' type=domain/type Field=value ...").
class EventBase : public IEventBase {
 public:
  void Describe(std::ostream& out) const override;
  std::string GetName() const override { return settings.GetName(); }
  EventType GetType() const override { return settings.GetType(); }
  void Encode(CosNotification::StructuredEvent& out) const override;
  void Decode(const CosNotification::StructuredEvent& in) override;

  const EventSettings& GetSettings() const { return settings; }
  void SetSettings(const EventSettings& value) { settings = value; }
  TalisFramework::IObjectBroker& GetBroker() const { return *broker; }

 protected:
  EventBase(const EventSettings& settingsIn, TalisFramework::IObjectBroker& brokerIn)
      : broker(&brokerIn), settings(settingsIn) {}
  explicit EventBase(TalisFramework::IObjectBroker& brokerIn) : broker(&brokerIn) {}

  // The word that starts the description.
  virtual const char* ClassLabel() const = 0;
  // Adds the class's filterable data and sets the remainder of the body.
  virtual void EncodeBody(CosNotification::StructuredEvent& out) const = 0;
  virtual void DecodeBody(const CosNotification::StructuredEvent& in) = 0;

 private:
  TalisFramework::IObjectBroker* broker;
  EventSettings settings;
};

}  // namespace Corvane::Herald
