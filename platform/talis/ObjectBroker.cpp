#include "platform/talis/ObjectBroker.h"

#include <cstring>
#include <ostream>
#include <stdexcept>

#include "platform/talis/StdOutLogger.h"

namespace Corvane::TalisFramework {

namespace {

// omniORB keeps one ORB per process: brokers share it, and the last one destroys it.
std::mutex orbMutex;
CORBA::ORB_ptr sharedOrb = CORBA::ORB::_nil();
int orbUsers = 0;

// Removes the ORB's options ("-ORBname value") from argc/argv, as ORB_init does.
void RemoveOrbOptions(int& argc, char** argv) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "-ORB", 4) == 0) {
      ++i;
      continue;
    }
    argv[kept++] = argv[i];
  }
  if (argc > 0) {
    argv[kept] = nullptr;
    argc = kept;
  }
}

CORBA::ORB_ptr AcquireOrb(int& argc, char** argv) {
  std::lock_guard<std::mutex> guard(orbMutex);
  if (orbUsers == 0) {
    sharedOrb = CORBA::ORB_init(argc, argv);
  } else {
    RemoveOrbOptions(argc, argv);
  }
  ++orbUsers;
  return CORBA::ORB::_duplicate(sharedOrb);
}

void ReleaseOrb() {
  std::lock_guard<std::mutex> guard(orbMutex);
  if (--orbUsers > 0) {
    return;
  }
  try {
    sharedOrb->destroy();
  } catch (const CORBA::Exception&) {
    // Destroying after a shutdown in progress can fail; the process is done with it.
  }
  CORBA::release(sharedOrb);
  sharedOrb = CORBA::ORB::_nil();
}

}  // namespace

ObjectBroker::ObjectBroker(bool serveObjects, Logger* log)
    : serve(serveObjects),
      ownLogger(log != nullptr ? nullptr : new StdOutLogger("ObjectBroker", 1, Logger::Info)),
      logger(log != nullptr ? *log : *ownLogger) {}

ObjectBroker::~ObjectBroker() {
  if (CORBA::is_nil(orb)) {
    return;
  }
  std::map<PortableServer::ServantBase*, Activation> active;
  {
    std::lock_guard<std::mutex> guard(activationsMutex);
    active.swap(activations);
  }
  for (auto& entry : active) {
    try {
      entry.second.poa->deactivate_object(entry.second.id.in());
    } catch (const CORBA::Exception&) {
      // After a shutdown the POAs are gone and their objects with them.
    }
  }
  insPOA = PortableServer::POA::_nil();
  rootPOA = PortableServer::POA::_nil();
  orb = CORBA::ORB::_nil();
  ReleaseOrb();
}

void ObjectBroker::Initialize(int& argc, char**& argv) {
  if (!CORBA::is_nil(orb)) {
    throw std::logic_error("ObjectBroker::Initialize: already initialized");
  }
  orb = AcquireOrb(argc, argv);
  CORBA::Object_var object = orb->resolve_initial_references("RootPOA");
  rootPOA = PortableServer::POA::_narrow(object);
  PortableServer::POAManager_var manager = rootPOA->the_POAManager();
  manager->activate();
  if (serve) {
    object = orb->resolve_initial_references("omniINSPOA");
    insPOA = PortableServer::POA::_narrow(object);
    manager = insPOA->the_POAManager();
    manager->activate();
  }
}

CORBA::Object_ptr ObjectBroker::AdvertizeInstance(PortableServer::ServantBase* servant,
                                                  const char* name, const char* kind) {
  RequireInitialized("AdvertizeInstance");
  if (name == nullptr || *name == '\0') {
    CORBA::Object_var object = ActivateObject(servant);
    LogAdvertised("", object);
    return object._retn();
  }
  if (!serve) {
    throw std::logic_error(std::string("ObjectBroker::AdvertizeInstance: cannot advertise '") +
                           name + "': the broker does not serve objects");
  }
  CORBA::Object_var object = Activate(insPOA, servant, name);
  try {
    BindName(name, kind != nullptr ? kind : "", object);
  } catch (...) {
    DeactivateObject(servant);
    throw;
  }
  LogAdvertised(name, object);
  return object._retn();
}

void ObjectBroker::ListenForRequests() {
  RequireInitialized("ListenForRequests");
  if (shutdownRequested) {
    return;
  }
  try {
    orb->run();
  } catch (const CORBA::BAD_INV_ORDER&) {
    // The ORB refuses to run once a shutdown requested meanwhile has completed.
    if (!shutdownRequested) {
      throw;
    }
  }
}

void ObjectBroker::RequestShutdown() {
  RequireInitialized("RequestShutdown");
  shutdownRequested = true;
  try {
    orb->shutdown(false);
  } catch (const CORBA::BAD_INV_ORDER&) {
    // The ORB has shut down already (an earlier request completed): what was asked holds.
  }
}

CORBA::ORB_ptr ObjectBroker::GetORB() {
  RequireInitialized("GetORB");
  return orb.in();
}

PortableServer::POA_ptr ObjectBroker::GetRootPOA() {
  RequireInitialized("GetRootPOA");
  return rootPOA.in();
}

CORBA::Object_ptr ObjectBroker::ActivateObject(PortableServer::ServantBase* servant) {
  RequireInitialized("ActivateObject");
  return Activate(rootPOA, servant, nullptr);
}

void ObjectBroker::DeactivateObject(PortableServer::ServantBase* servant) {
  Activation activation;
  {
    std::lock_guard<std::mutex> guard(activationsMutex);
    auto found = activations.find(servant);
    if (found == activations.end()) {
      return;
    }
    activation.poa = found->second.poa._retn();
    activation.id = found->second.id._retn();
    activations.erase(found);
  }
  try {
    activation.poa->deactivate_object(activation.id.in());
  } catch (const CORBA::Exception&) {
    // After a shutdown the POAs are gone and their objects with them.
  }
}

bool ObjectBroker::HasNamingService() {
  RequireInitialized("HasNamingService");
  CORBA::Object_var object = NamingServiceReference();
  return !CORBA::is_nil(object);
}

CORBA::Object_ptr ObjectBroker::ResolveName(const char* name, const char* kind) {
  RequireInitialized("ResolveName");
  CosNaming::NamingContext_var context = NamingContext();
  if (CORBA::is_nil(context)) {
    throw CORBA::ORB::InvalidName();
  }
  CosNaming::Name entry;
  entry.length(1);
  entry[0].id = CORBA::string_dup(name != nullptr ? name : "");
  entry[0].kind = CORBA::string_dup(kind != nullptr ? kind : "");
  return context->resolve(entry);
}

std::string ObjectBroker::ObjectToString(CORBA::Object_ptr object) {
  RequireInitialized("ObjectToString");
  CORBA::String_var text = orb->object_to_string(object);
  return text.in();
}

CORBA::Object_ptr ObjectBroker::StringToObject(const char* text) {
  RequireInitialized("StringToObject");
  return orb->string_to_object(text);
}

void ObjectBroker::RequireInitialized(const char* operation) const {
  if (CORBA::is_nil(orb)) {
    throw std::logic_error(std::string("ObjectBroker::") + operation +
                           ": Initialize has not been called");
  }
}

CORBA::Object_ptr ObjectBroker::NamingServiceReference() {
  try {
    return orb->resolve_initial_references("NameService");
  } catch (const CORBA::ORB::InvalidName&) {
    return CORBA::Object::_nil();
  } catch (const CORBA::NO_RESOURCES& missing) {
    // omniORB's answer when neither -ORBInitRef nor its configuration names the service.
    if (missing.minor() == omni::NO_RESOURCES_InitialRefNotFound) {
      return CORBA::Object::_nil();
    }
    throw;
  }
}

CosNaming::NamingContext_ptr ObjectBroker::NamingContext() {
  CORBA::Object_var object = NamingServiceReference();
  if (CORBA::is_nil(object)) {
    return CosNaming::NamingContext::_nil();
  }
  CosNaming::NamingContext_var context = CosNaming::NamingContext::_narrow(object);
  if (CORBA::is_nil(context)) {
    // Configured, but what answers is no naming context.
    throw CORBA::INV_OBJREF(0, CORBA::COMPLETED_NO);
  }
  return context._retn();
}

void ObjectBroker::BindName(const char* name, const char* kind, CORBA::Object_ptr object) {
  CosNaming::NamingContext_var context = NamingContext();
  if (CORBA::is_nil(context)) {
    logger.infoStream << "ObjectBroker: no naming service configured; '" << name << "' is not bound"
                      << std::endl;
    return;
  }
  CosNaming::Name entry;
  entry.length(1);
  entry[0].id = CORBA::string_dup(name);
  entry[0].kind = CORBA::string_dup(kind);
  context->rebind(entry, object);
  logger.infoStream << "ObjectBroker: bound '" << name << "' (kind '" << kind
                    << "') in the naming service" << std::endl;
}

CORBA::Object_ptr ObjectBroker::Activate(PortableServer::POA_ptr poa,
                                         PortableServer::ServantBase* servant, const char* key) {
  PortableServer::ObjectId_var id;
  if (key != nullptr) {
    id = PortableServer::string_to_ObjectId(key);
    poa->activate_object_with_id(id.in(), servant);
  } else {
    id = poa->activate_object(servant);
  }
  {
    std::lock_guard<std::mutex> guard(activationsMutex);
    Activation& activation = activations[servant];
    activation.poa = PortableServer::POA::_duplicate(poa);
    activation.id = new PortableServer::ObjectId(id.in());
  }
  return poa->id_to_reference(id.in());
}

void ObjectBroker::LogAdvertised(const char* name, CORBA::Object_ptr object) {
  logger.infoStream << "ObjectBroker: advertised '" << name << "' as " << ObjectToString(object)
                    << std::endl;
}

}  // namespace Corvane::TalisFramework
