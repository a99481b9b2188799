#pragma once

#include <string>

#include "platform/talis/ICommandableBase.h"
#include "platform/talis/IObjectBroker.h"
#include "platform/talis/ThrowCORBAException2.h"

namespace Corvane::TalisFramework {

// A small commandable servant for tests. Answers "echo:TEXT"; "BAD" is refused, "LATER"
// completes asynchronously and "SHUTDOWN" ends the broker's request loop from inside
// the request (answering "bye").
class EchoCommandable : public ICommandableBase {
 public:
  explicit EchoCommandable(IObjectBroker& objectBroker) : broker(objectBroker) {}

  void SendCommand(const CORBA::Any& command, const char*, const char*,
                   CORBA::Any_out result) override {
    const char* text = "";
    command >>= text;
    const std::string word = text;
    if (word == "BAD") {
      ThrowCORBAException2<Corvane::Talis::BadParameter>("command", "refused");
    }
    if (word == "LATER") {
      ThrowCORBAException2<Corvane::Talis::WillCompleteAsynchronously>();
    }
    result = new CORBA::Any;
    if (word == "SHUTDOWN") {
      broker.RequestShutdown();
      *result <<= "bye";
      return;
    }
    *result <<= ("echo:" + word).c_str();
  }

 private:
  IObjectBroker& broker;
};

}  // namespace Corvane::TalisFramework
