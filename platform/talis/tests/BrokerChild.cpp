#include "platform/talis/tests/BrokerChild.h"

#include <iostream>
#include <string>
#include <vector>

#include "platform/talis/DecodeCORBAException.h"
#include "platform/talis/ObjectBroker.h"
#include "platform/talis/StdOutLogger.h"
#include "platform/talis/tests/EchoCommandable.h"

namespace Corvane::TalisFramework {

int RunBrokerChild(int argc, char** argv) {
  const char* name = argv[2];
  std::vector<char*> orbArguments = {argv[0]};
  for (int i = 3; i < argc; ++i) {
    orbArguments.push_back(argv[i]);
  }
  orbArguments.push_back(nullptr);
  int orbArgc = static_cast<int>(orbArguments.size()) - 1;
  char** orbArgv = orbArguments.data();
  try {
    StdOutLogger logger("child", 0, Logger::Detail);
    ObjectBroker broker(true, &logger);
    broker.Initialize(orbArgc, orbArgv);
    EchoCommandable commandable(broker);
    POA_Corvane::Talis::ICommandable_tie<EchoCommandable> servant(commandable);
    CORBA::Object_var self = broker.AdvertizeInstance(&servant, name, "test");
    broker.ListenForRequests();
    logger.infoStream << "request loop ended" << std::endl;
    broker.DeactivateObject(&servant);
    return 0;
  } catch (const CORBA::Exception& exception) {
    std::cerr << "CORBA exception: " << DecodeCORBAException(exception) << std::endl;
    return 3;
  } catch (const std::exception& exception) {
    std::cerr << "exception: " << exception.what() << std::endl;
    return 4;
  }
}

}  // namespace Corvane::TalisFramework
