#pragma once

#include <ostream>
#include <string>

#include <COS/CosNotification.hh>

#include "platform/herald/EventType.h"

namespace Corvane::Herald {

// What every event offers: a name, a type, a one-line description, and its conversion
// to and from the structured event that travels on the channel.
class IEventBase {
 public:
  virtual ~IEventBase() = default;

  // One line without a line end.
  virtual void Describe(std::ostream& out) const = 0;
  virtual std::string GetName() const = 0;
  virtual EventType GetType() const = 0;

  // Fills `out` completely (header, filterable data and remainder of body).
  virtual void Encode(CosNotification::StructuredEvent& out) const = 0;
  // Takes name, type and fields from a received event. Throws std::runtime_error when a
  // field the class knows holds a value of the wrong type; absent fields keep their
  // defaults.
  virtual void Decode(const CosNotification::StructuredEvent& in) = 0;

 protected:
  IEventBase() = default;
  IEventBase(const IEventBase&) = default;
  IEventBase& operator=(const IEventBase&) = default;
};

}  // namespace Corvane::Herald
