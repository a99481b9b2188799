#pragma once

#include "platform/herald/EventBase.h"

namespace Corvane::Herald {

// A GPS sample. Wire form: DateTimeUTC (long, seconds since 1970-01-01 00:00 UTC),
// ValidFix (boolean), Latitude, Longitude (double); the remainder of the body is empty.
class GPSSampleEvent : public EventBase {
 public:
  // A received sample: name, type and values come from Decode.
  explicit GPSSampleEvent(TalisFramework::IObjectBroker& eventBroker) : EventBase(eventBroker) {}
  GPSSampleEvent(const EventSettings& eventSettings, TalisFramework::IObjectBroker& eventBroker)
      : EventBase(eventSettings, eventBroker) {}

  // Throws std::out_of_range when the time does not fit 32 bits.
  void SetSample(long dateTimeUTCIn, bool validFixIn, double latitudeIn, double longitudeIn);

  // Whether the sample holds a position (its valid-fix flag).
  bool HasGPS() const { return validFix; }
  long GetDateTimeUTC() const { return dateTimeUTC; }
  double GetLatitude() const { return latitude; }
  double GetLongitude() const { return longitude; }

 protected:
  const char* ClassLabel() const override { return "GPSSampleEvent"; }
  void EncodeBody(CosNotification::StructuredEvent& out) const override;
  void DecodeBody(const CosNotification::StructuredEvent& in) override;

 private:
  long dateTimeUTC = 0;
  bool validFix = false;
  double latitude = 0.0;
  double longitude = 0.0;
};

}  // namespace Corvane::Herald
