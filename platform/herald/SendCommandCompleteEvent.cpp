#include "platform/herald/SendCommandCompleteEvent.h"

#include "platform/herald/WireFormat.h"

namespace Corvane::Herald {

void SendCommandCompleteEvent::EncodeBody(CosNotification::StructuredEvent& out) const {
  WireFormat::AddString(out, "Requester", requester);
  WireFormat::AddString(out, "TransactionID", transactionID);
  WireFormat::AddBoolean(out, "Complete", complete);
  WireFormat::Add(out, "Result", result);
}

void SendCommandCompleteEvent::DecodeBody(const CosNotification::StructuredEvent& in) {
  WireFormat::ReadString(in, "Requester", requester);
  WireFormat::ReadString(in, "TransactionID", transactionID);
  WireFormat::ReadBoolean(in, "Complete", complete);
  if (const CORBA::Any* value = WireFormat::Find(in, "Result")) {
    result = *value;
  }
}

}  // namespace Corvane::Herald
