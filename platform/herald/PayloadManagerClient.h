#pragma once

#include <omniORB4/CORBA.h>

#include "platform/herald/PayloadManagerClientSettings.h"

namespace Corvane::TalisFramework {
class IObjectBroker;
}

namespace Corvane::Herald {

class EventTransceiver;

// The device's side of the payload manager: its generator address and its
// announcement on the event channel. Held by a shared pointer; keeps references to the
// broker and the transceiver, which must outlive it. Thread-safe after construction.
class PayloadManagerClient {
 public:
  PayloadManagerClient(const PayloadManagerClientSettings& settingsIn,
                       TalisFramework::IObjectBroker& brokerIn, EventTransceiver& transceiverIn);
  PayloadManagerClient(const PayloadManagerClient&) = delete;
  PayloadManagerClient& operator=(const PayloadManagerClient&) = delete;

  // boardID * 256 + taskID.
  unsigned short GetAddress() const;
  unsigned short GetBoardID() const;
  unsigned short GetTaskID() const;

  // With `announce`, publishes the device-added event (deviceAddedEventName, type
  // commonEventType in domain commonEventDomain) carrying BoardID, TaskID (ushort),
  // Description, ReadableName and IOR (the stringified `self`; empty when null) through
  // the transceiver. Nothing is published when no device-added event name is set.
  // Exceptions of TransmitEvent pass through.
  void Register(CORBA::Object* self, bool announce);

  const PayloadManagerClientSettings& GetSettings() const { return settings; }

 private:
  const PayloadManagerClientSettings settings;
  TalisFramework::IObjectBroker& broker;
  EventTransceiver& transceiver;
};

}  // namespace Corvane::Herald
