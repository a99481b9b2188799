#include "platform/herald/GPSSampleEvent.h"

#include <limits>
#include <stdexcept>

#include "platform/herald/WireFormat.h"

namespace Corvane::Herald {

void GPSSampleEvent::SetSample(long dateTimeUTCIn, bool validFixIn, double latitudeIn,
                               double longitudeIn) {
  // The time travels as a 32-bit CORBA long.
  if (dateTimeUTCIn < std::numeric_limits<CORBA::Long>::min() ||
      dateTimeUTCIn > std::numeric_limits<CORBA::Long>::max()) {
    throw std::out_of_range("GPSSampleEvent::SetSample: time " + std::to_string(dateTimeUTCIn) +
                            " does not fit a 32-bit long");
  }
  dateTimeUTC = dateTimeUTCIn;
  validFix = validFixIn;
  latitude = latitudeIn;
  longitude = longitudeIn;
}

void GPSSampleEvent::EncodeBody(CosNotification::StructuredEvent& out) const {
  CORBA::Any time;
  time <<= static_cast<CORBA::Long>(dateTimeUTC);
  WireFormat::Add(out, "DateTimeUTC", time);
  WireFormat::AddBoolean(out, "ValidFix", validFix);
  WireFormat::AddDouble(out, "Latitude", latitude);
  WireFormat::AddDouble(out, "Longitude", longitude);
}

void GPSSampleEvent::DecodeBody(const CosNotification::StructuredEvent& in) {
  WireFormat::ReadLong(in, "DateTimeUTC", dateTimeUTC);
  WireFormat::ReadBoolean(in, "ValidFix", validFix);
  WireFormat::ReadDouble(in, "Latitude", latitude);
  WireFormat::ReadDouble(in, "Longitude", longitude);
}

}  // namespace Corvane::Herald
