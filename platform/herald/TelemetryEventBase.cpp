#include "platform/herald/TelemetryEventBase.h"

#include <cstring>
#include <stdexcept>

#include "platform/herald/WireFormat.h"

namespace Corvane::Herald {

void TelemetryEventBase::AddField(const std::string& name, const EventPropertyValue& value) {
  fields.emplace_back(name, value);
}

const EventPropertyValue* TelemetryEventBase::FindField(const std::string& name) const {
  for (const Field& field : fields) {
    if (field.first == name) {
      return &field.second;
    }
  }
  return nullptr;
}

void TelemetryEventBase::EncodeBody(CosNotification::StructuredEvent& out) const {
  EncodeLocation(out);
  CORBA::Any value;
  for (const Field& field : fields) {
    field.second.CopyOut(value);
    WireFormat::Add(out, field.first.c_str(), value);
  }
}

void TelemetryEventBase::DecodeBody(const CosNotification::StructuredEvent& in) {
  DecodeLocation(in);
  fields.clear();
  // The location comes first; a later value of the same name is a field of its own.
  static const char* const kLocation[] = {"GeneratorAddress", "Latitude", "Longitude"};
  bool locationSeen[3] = {false, false, false};
  for (CORBA::ULong i = 0; i < in.filterable_data.length(); ++i) {
    const char* name = in.filterable_data[i].name.in();
    bool isLocation = false;
    for (int k = 0; k < 3; ++k) {
      if (!locationSeen[k] && std::strcmp(name, kLocation[k]) == 0) {
        locationSeen[k] = true;
        isLocation = true;
        break;
      }
    }
    if (isLocation) {
      continue;
    }
    EventPropertyValue value(GetBroker());
    try {
      value.SetFromAny(in.filterable_data[i].value);
    } catch (const std::invalid_argument& e) {
      throw std::runtime_error(std::string("telemetry field ") + name + ": " + e.what());
    }
    fields.emplace_back(name, value);
  }
}

}  // namespace Corvane::Herald
