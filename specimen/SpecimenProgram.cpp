#include "specimen/SpecimenProgram.h"

#include <ctime>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include "platform/herald/PayloadManagerClient.h"
#include "platform/talis/DecodeCORBAException.h"
#include "platform/talis/ObjectBroker.h"
#include "platform/talis/StdOutLogger.h"
#include "specimen/CommandLanguage.h"
#include "specimen/RunThrowTest.h"
#include "specimen/Specimen.h"
#include "specimen/SpecimenSettings.h"

namespace {

using Servant = POA_Corvane::Talis::ISpecimenWithEvents_tie<Specimen>;

// Releases the tie servant's reference when it goes out of scope, on every path.
struct ServantReference {
  explicit ServantReference(Servant* servantIn) : servant(servantIn) {}
  ~ServantReference() { servant->_remove_ref(); }
  ServantReference(const ServantReference&) = delete;
  ServantReference& operator=(const ServantReference&) = delete;
  Servant* servant;
};

// Start-up, serving and tear-down; objects are destroyed in reverse order of
// construction on every path, an exception included.
void Serve(int& argc, char**& argv) {
  SpecimenSettings settings;
  settings.Load("Specimen-config.xml");
  const std::string serverName = settings.GetServerName();
  Corvane::TalisFramework::StdOutLogger logger(serverName.c_str(), 1,
                                               Corvane::TalisFramework::Logger::Detail);
  Corvane::TalisFramework::ObjectBroker broker(true, &logger);
  broker.Initialize(argc, argv);
  Specimen specimen(broker, settings, logger);
  // Built from a reference, the tie does not own the Specimen (its release flag is off).
  ServantReference servant(new Servant(specimen));
  CORBA::Object_var advertised = broker.AdvertizeInstance(servant.servant, serverName.c_str(),
                                                          nullptr);
  boost::shared_ptr<Corvane::Herald::PayloadManagerClient> client =
      boost::make_shared<Corvane::Herald::PayloadManagerClient>(
          settings.GetPayloadManagerClientSettings(), broker, specimen);
  specimen.Initialize(advertised.in(), client);
  client->Register(advertised.in(), true);
  broker.ListenForRequests();
  client.reset();
}

}  // namespace

int RunSpecimenProgram(int argc, char** argv) {
  if (argc > 1 && CommandLanguage::EqualsIgnoreCase(argv[1], "RUNTHROWTEST")) {
    RunThrowTest();
  }
  tzset();
  try {
    Serve(argc, argv);
  } catch (const CORBA::Exception& e) {
    std::cerr << "Caught CORBA exception: " << Corvane::TalisFramework::DecodeCORBAException(e)
              << std::endl;
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "Caught " << CommandLanguage::RunTimeTypeName(typeid(e)) << ": " << e.what()
              << std::endl;
    return 1;
  }
  return 0;
}
