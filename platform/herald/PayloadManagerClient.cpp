#include "platform/herald/PayloadManagerClient.h"

#include "platform/herald/EventTransceiver.h"
#include "platform/herald/GenericEvent.h"
#include "platform/talis/IObjectBroker.h"
#include "platform/talis/Logger.h"

namespace Corvane::Herald {

PayloadManagerClient::PayloadManagerClient(const PayloadManagerClientSettings& settingsIn,
                                           TalisFramework::IObjectBroker& brokerIn,
                                           EventTransceiver& transceiverIn)
    : settings(settingsIn), broker(brokerIn), transceiver(transceiverIn) {}

unsigned short PayloadManagerClient::GetAddress() const {
  return static_cast<unsigned short>(GetBoardID() * 256 + GetTaskID());
}

unsigned short PayloadManagerClient::GetBoardID() const {
  return settings.payloadDescription.boardID;
}

unsigned short PayloadManagerClient::GetTaskID() const {
  return settings.payloadDescription.taskID;
}

void PayloadManagerClient::Register(CORBA::Object* self, bool announce) {
  if (!announce) {
    return;
  }
  if (settings.deviceAddedEventName.empty()) {
    transceiver.GetLogger().infoStream
        << "PayloadManagerClient::Register: no device-added event name configured; "
           "nothing announced"
        << std::endl;
    return;
  }
  GenericEvent event(settings.deviceAddedEventName,
                     EventType(settings.commonEventType, settings.commonEventDomain));
  CORBA::Any value;
  value <<= static_cast<CORBA::UShort>(GetBoardID());
  event.AddField("BoardID", value);
  value <<= static_cast<CORBA::UShort>(GetTaskID());
  event.AddField("TaskID", value);
  value <<= settings.payloadDescription.description.c_str();
  event.AddField("Description", value);
  value <<= settings.payloadDescription.readableName.c_str();
  event.AddField("ReadableName", value);
  const std::string ior = CORBA::is_nil(self) ? std::string() : broker.ObjectToString(self);
  value <<= ior.c_str();
  event.AddField("IOR", value);
  transceiver.TransmitEvent(event);
}

}  // namespace Corvane::Herald
