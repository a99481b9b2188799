#pragma once

#include "platform/herald/EventBase.h"

namespace Corvane::Herald {

// An event stamped with the address of the device that produced it and the position
// where it was produced: the filterable data GeneratorAddress (ushort), Latitude and
// Longitude (double), in this order, ahead of the class's own fields.
class LocatedEventBase : public EventBase {
 public:
  void SetGeneratorAddress(unsigned short address) { generatorAddress = address; }
  void SetGenerationLocation(double latitudeIn, double longitudeIn) {
    latitude = latitudeIn;
    longitude = longitudeIn;
  }
  unsigned short GetGeneratorAddress() const { return generatorAddress; }
  double GetLatitude() const { return latitude; }
  double GetLongitude() const { return longitude; }

 protected:
  using EventBase::EventBase;

  void EncodeLocation(CosNotification::StructuredEvent& out) const;
  void DecodeLocation(const CosNotification::StructuredEvent& in);

 private:
  unsigned short generatorAddress = 0;
  double latitude = 0.0;
  double longitude = 0.0;
};

}  // namespace Corvane::Herald
