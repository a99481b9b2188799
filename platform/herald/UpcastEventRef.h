#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <typeinfo>

#include "platform/herald/EventType.h"
#include "platform/herald/IEventBase.h"

namespace Corvane::Herald {

namespace UpcastDetail {
// The type-information name without a leading '*'.
inline std::string TypeName(const std::type_info& info) {
  const char* name = info.name();
  return name[0] == '*' ? name + 1 : name;
}

// context + ": r"/": c" or "R"/"C" alone.
inline std::string Prefix(const std::string& context, char letter) {
  if (context.empty()) {
    return std::string(1, static_cast<char>(letter - 'a' + 'A'));
  }
  return context + ": " + letter;
}
}  // namespace UpcastDetail

// Returns `event` as a T after checking that its type is `expectedType`. Throws
// std::runtime_error when the type differs, when the event is not a T, or when the cast
// fails otherwise; `context` (may be empty) starts each message.
template <class T>
const T& UpcastEventRef(const IEventBase& event, const EventType& expectedType,
                        const std::string& context) {
  using UpcastDetail::Prefix;
  using UpcastDetail::TypeName;
  if (event.GetType() != expectedType) {
    throw std::runtime_error(Prefix(context, 'r') + "eceived event name=" + event.GetName() +
                             " with type=" + event.GetType().ToString() + ", but a type of " +
                             expectedType.ToString() + " was expected");
  }
  try {
    return dynamic_cast<const T&>(event);
  } catch (const std::bad_cast&) {
    throw std::runtime_error(Prefix(context, 'r') + "eceived event name=" + event.GetName() +
                             " type=" + event.GetType().ToString() + " expecting it to be a " +
                             TypeName(typeid(T)) + ", but it was actually a " +
                             TypeName(typeid(event)) + "; event will be ignored");
  } catch (const std::exception& e) {
    throw std::runtime_error(Prefix(context, 'c') + "aught " + TypeName(typeid(e)) + " '" +
                             e.what() + "' while upcasting received event to " +
                             TypeName(typeid(T)));
  }
}

}  // namespace Corvane::Herald
