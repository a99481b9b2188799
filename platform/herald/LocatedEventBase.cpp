#include "platform/herald/LocatedEventBase.h"

#include "platform/herald/WireFormat.h"

namespace Corvane::Herald {

void LocatedEventBase::EncodeLocation(CosNotification::StructuredEvent& out) const {
  WireFormat::AddUShort(out, "GeneratorAddress", generatorAddress);
  WireFormat::AddDouble(out, "Latitude", latitude);
  WireFormat::AddDouble(out, "Longitude", longitude);
}

void LocatedEventBase::DecodeLocation(const CosNotification::StructuredEvent& in) {
  WireFormat::ReadUShort(in, "GeneratorAddress", generatorAddress);
  WireFormat::ReadDouble(in, "Latitude", latitude);
  WireFormat::ReadDouble(in, "Longitude", longitude);
}

}  // namespace Corvane::Herald
