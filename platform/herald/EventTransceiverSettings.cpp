#include "platform/herald/EventTransceiverSettings.h"

namespace Corvane::Herald {

void EventTransceiverSettings::SynchronizeEventToAlias() {
  eventToAlias.clear();
  for (const auto& [alias, eventName] : aliasToEvent) {
    eventToAlias.emplace(eventName, alias);
  }
}

}  // namespace Corvane::Herald
