#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <omniORB4/CORBA.h>
#include <omniORB4/Naming.hh>

#include "platform/talis/IObjectBroker.h"
#include "platform/talis/Logger.h"

namespace Corvane::TalisFramework {

// The ORB of this process, with omniORB's INS POA for objects that clients reach by a
// fixed key: a servant advertised as NAME answers at corbaloc::HOST:PORT/NAME, HOST:PORT
// being the endpoint given with -ORBendPoint (for example giop:tcp:127.0.0.1:5000).
//
// When the ORB has a NameService initial reference (-ORBInitRef NameService=... or the
// ORB's configuration), advertising also binds NAME/KIND there; a configured naming
// service that cannot be reached makes AdvertizeInstance throw a CORBA exception.
// The stringified reference of each advertised servant is logged as
//   ObjectBroker: advertised 'NAME' as IOR:...
//
// The ORB is one per process. Several brokers may exist at once: the second Initialize
// shares the ORB the first started (its ORB options are then ignored) and the last
// broker destroyed destroys it. RequestShutdown ends the request loop of every broker.
//
// Thread-safety: Initialize, AdvertizeInstance and destruction belong to one thread;
// RequestShutdown and the lookup operations may be called from any thread.
class ObjectBroker : public IObjectBroker {
 public:
  // `serve` true: the process serves objects under names (the INS POA is activated);
  // false: a client that may still activate unnamed callback objects in the root POA,
  // and AdvertizeInstance with a name throws std::logic_error.
  // Log lines go to `logger` when given (not owned; it must outlive the broker), or
  // else to standard output through a StdOutLogger named "ObjectBroker".
  explicit ObjectBroker(bool serve, Logger* logger = nullptr);
  ~ObjectBroker() override;
  ObjectBroker(const ObjectBroker&) = delete;
  ObjectBroker& operator=(const ObjectBroker&) = delete;

  // CORBA::ORB_init (which consumes -ORB... options), then the root POA and, when
  // serving, omniORB's INS POA; both POA managers are activated.
  void Initialize(int& argc, char**& argv) override;

  // With a non-empty `name`: activates the servant in the INS POA under the object key
  // `name` and (re)binds `name`/`kind` in the naming service when one is configured (one
  // info line says so when none is). With an empty or null `name`: activates it in the
  // root POA and binds nothing. On failure the servant is deactivated again.
  CORBA::Object_ptr AdvertizeInstance(PortableServer::ServantBase* servant, const char* name,
                                      const char* kind) override;

  // Returns at once when RequestShutdown came first.
  void ListenForRequests() override;
  // orb->shutdown(false): returns at once, ListenForRequests returns soon after.
  void RequestShutdown() override;

  CORBA::ORB_ptr GetORB() override;
  PortableServer::POA_ptr GetRootPOA() override;
  CORBA::Object_ptr ActivateObject(PortableServer::ServantBase* servant) override;
  void DeactivateObject(PortableServer::ServantBase* servant) override;
  bool HasNamingService() override;
  CORBA::Object_ptr ResolveName(const char* name, const char* kind) override;
  std::string ObjectToString(CORBA::Object_ptr object) override;
  CORBA::Object_ptr StringToObject(const char* text) override;

 private:
  void RequireInitialized(const char* operation) const;
  CORBA::Object_ptr NamingServiceReference();    // owning; nil when none is configured
  CosNaming::NamingContext_ptr NamingContext();  // owning; nil when none is configured
  void BindName(const char* name, const char* kind, CORBA::Object_ptr object);
  CORBA::Object_ptr Activate(PortableServer::POA_ptr poa, PortableServer::ServantBase* servant,
                             const char* key);
  void LogAdvertised(const char* name, CORBA::Object_ptr object);

  struct Activation {
    PortableServer::POA_var poa;
    PortableServer::ObjectId_var id;
  };

  bool serve;
  std::unique_ptr<Logger> ownLogger;
  Logger& logger;
  CORBA::ORB_var orb;
  PortableServer::POA_var rootPOA;
  PortableServer::POA_var insPOA;
  std::atomic<bool> shutdownRequested{false};
  std::mutex activationsMutex;
  std::map<PortableServer::ServantBase*, Activation> activations;
};

}  // namespace Corvane::TalisFramework
