#pragma once

#include <string>

#include <omniORB4/CORBA.h>

#include "platform/herald/EventBase.h"

namespace Corvane::Herald {

// A result of a command that completes after its call returned. Wire form: Requester,
// TransactionID (string), Complete (boolean), Result (the Any given to Result itself,
// not nested in another); the remainder of the body is empty.
class SendCommandCompleteEvent : public EventBase {
 public:
  SendCommandCompleteEvent(const EventSettings& eventSettings,
                           TalisFramework::IObjectBroker& eventBroker)
      : EventBase(eventSettings, eventBroker) {}
  explicit SendCommandCompleteEvent(TalisFramework::IObjectBroker& eventBroker)
      : EventBase(eventBroker) {}

  void Requester(const std::string& value) { requester = value; }
  void TransactionID(const std::string& value) { transactionID = value; }
  void Complete(bool value) { complete = value; }
  void Result(const CORBA::Any& value) { result = value; }

  const std::string& GetRequester() const { return requester; }
  const std::string& GetTransactionID() const { return transactionID; }
  bool IsComplete() const { return complete; }
  const CORBA::Any& GetResult() const { return result; }

 protected:
  const char* ClassLabel() const override { return "SendCommandCompleteEvent"; }
  void EncodeBody(CosNotification::StructuredEvent& out) const override;
  void DecodeBody(const CosNotification::StructuredEvent& in) override;

 private:
  std::string requester;
  std::string transactionID;
  bool complete = false;
  CORBA::Any result;
};

}  // namespace Corvane::Herald
