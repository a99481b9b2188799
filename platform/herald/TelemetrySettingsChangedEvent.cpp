#include "platform/herald/TelemetrySettingsChangedEvent.h"

#include <limits>
#include <stdexcept>

#include <boost/algorithm/string/predicate.hpp>

#include "platform/herald/WireFormat.h"

namespace Corvane::Herald {

namespace {

struct TreatmentWord {
  const char* word;
  TelemetrySettingsChangedEvent::PendingMessageTreatment treatment;
};

const TreatmentWord kTreatmentWords[] = {
    {"RETAIN", TelemetrySettingsChangedEvent::PendingMessageTreatment::Retain},
    {"DISCARD", TelemetrySettingsChangedEvent::PendingMessageTreatment::Discard},
    {"FLUSH", TelemetrySettingsChangedEvent::PendingMessageTreatment::Flush},
};

}  // namespace

bool TelemetrySettingsChangedEvent::FromString(const std::string& word,
                                               PendingMessageTreatment& treatment) {
  for (const TreatmentWord& entry : kTreatmentWords) {
    if (boost::algorithm::iequals(word, entry.word)) {
      treatment = entry.treatment;
      return true;
    }
  }
  return false;
}

const char* TelemetrySettingsChangedEvent::ToString(PendingMessageTreatment treatment) {
  for (const TreatmentWord& entry : kTreatmentWords) {
    if (entry.treatment == treatment) {
      return entry.word;
    }
  }
  return "RETAIN";
}

void TelemetrySettingsChangedEvent::SetMaxRetainTime(long time) {
  if (time < std::numeric_limits<CORBA::Long>::min() ||
      time > std::numeric_limits<CORBA::Long>::max()) {
    throw std::out_of_range("TelemetrySettingsChangedEvent::SetMaxRetainTime: " +
                            std::to_string(time) + " does not fit a 32-bit long");
  }
  maxRetainTime = time;
}

void TelemetrySettingsChangedEvent::EncodeBody(CosNotification::StructuredEvent& out) const {
  WireFormat::AddUShort(out, "GeneratorAddress", generatorAddress);
  CORBA::Any format;
  format <<= CORBA::Any::from_octet(formatCode);
  WireFormat::Add(out, "FormatCode", format);
  WireFormat::AddUShort(out, "MaxSamples", maxSamples);
  CORBA::Any retain;
  retain <<= static_cast<CORBA::Long>(maxRetainTime);
  WireFormat::Add(out, "MaxRetainTime", retain);
  WireFormat::AddString(out, "PendingMessageTreatment", ToString(pendingMessageTreatment));
}

void TelemetrySettingsChangedEvent::DecodeBody(const CosNotification::StructuredEvent& in) {
  WireFormat::ReadUShort(in, "GeneratorAddress", generatorAddress);
  WireFormat::ReadOctet(in, "FormatCode", formatCode);
  WireFormat::ReadUShort(in, "MaxSamples", maxSamples);
  WireFormat::ReadLong(in, "MaxRetainTime", maxRetainTime);
  std::string word;
  if (WireFormat::ReadString(in, "PendingMessageTreatment", word) &&
      !FromString(word, pendingMessageTreatment)) {
    throw std::runtime_error("unknown pending message treatment '" + word + "'");
  }
}

}  // namespace Corvane::Herald
