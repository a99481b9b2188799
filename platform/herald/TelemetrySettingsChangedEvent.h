#pragma once

#include <string>

#include "platform/herald/EventBase.h"

namespace Corvane::Herald {

// New telemetry settings of a device. Wire form: GeneratorAddress (ushort), FormatCode
// (octet), MaxSamples (ushort), MaxRetainTime (long), PendingMessageTreatment (string:
// RETAIN, DISCARD or FLUSH); the remainder of the body is empty.
class TelemetrySettingsChangedEvent : public EventBase {
 public:
  enum class PendingMessageTreatment { Retain, Discard, Flush };

  TelemetrySettingsChangedEvent(const EventSettings& eventSettings,
                                TalisFramework::IObjectBroker& eventBroker)
      : EventBase(eventSettings, eventBroker) {}
  explicit TelemetrySettingsChangedEvent(TalisFramework::IObjectBroker& eventBroker)
      : EventBase(eventBroker) {}

  // Maps RETAIN, DISCARD or FLUSH (any case) to `treatment`; false (and `treatment`
  // unchanged) for any other word.
  static bool FromString(const std::string& word, PendingMessageTreatment& treatment);
  // "RETAIN", "DISCARD" or "FLUSH".
  static const char* ToString(PendingMessageTreatment treatment);

  void SetGeneratorAddress(unsigned short address) { generatorAddress = address; }
  void SetFormatCode(unsigned char code) { formatCode = code; }
  void SetMaxSamples(unsigned short count) { maxSamples = count; }
  // Throws std::out_of_range when `time` does not fit the 32-bit long of the wire.
  void SetMaxRetainTime(long time);
  void SetPendingMessageTreatment(PendingMessageTreatment treatment) {
    pendingMessageTreatment = treatment;
  }

  unsigned short GetGeneratorAddress() const { return generatorAddress; }
  unsigned char GetFormatCode() const { return formatCode; }
  unsigned short GetMaxSamples() const { return maxSamples; }
  long GetMaxRetainTime() const { return maxRetainTime; }
  PendingMessageTreatment GetPendingMessageTreatment() const { return pendingMessageTreatment; }

 protected:
  const char* ClassLabel() const override { return "TelemetrySettingsChangedEvent"; }
  void EncodeBody(CosNotification::StructuredEvent& out) const override;
  void DecodeBody(const CosNotification::StructuredEvent& in) override;

 private:
  unsigned short generatorAddress = 0;
  unsigned char formatCode = 0;
  unsigned short maxSamples = 0;
  long maxRetainTime = 0;
  PendingMessageTreatment pendingMessageTreatment = PendingMessageTreatment::Retain;
};

}  // namespace Corvane::Herald
