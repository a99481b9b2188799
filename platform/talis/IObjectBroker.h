#pragma once

#include <string>

#include <omniORB4/CORBA.h>

namespace Corvane::TalisFramework {

// The process's access to the ORB: start-up, advertising servants, the request loop
// and the few ORB services the libraries built on it need. ObjectBroker is the
// implementation; the interface lets those libraries take any broker.
//
// Object references returned as CORBA::Object_ptr are owned by the caller (release them
// with CORBA::release or hold them in a CORBA::Object_var). Failures of the ORB leave
// as CORBA exceptions; misuse (a call before Initialize) as std::logic_error.
class IObjectBroker {
 public:
  virtual ~IObjectBroker();

  // Starts the ORB; removes the ORB's own options (-ORB...) from argc/argv.
  virtual void Initialize(int& argc, char**& argv) = 0;

  // Activates `servant` so that clients can reach it; `name` and `kind` (null means
  // empty) say how it is found. Returns an owning reference to it.
  virtual CORBA::Object_ptr AdvertizeInstance(PortableServer::ServantBase* servant,
                                              const char* name, const char* kind) = 0;

  // Serves requests until RequestShutdown; requests run on the ORB's threads.
  virtual void ListenForRequests() = 0;
  // Asks the request loop to end and returns at once; safe from inside a request.
  virtual void RequestShutdown() = 0;

  // The ORB and its root POA (not duplicated; valid until the broker is destroyed).
  virtual CORBA::ORB_ptr GetORB() = 0;
  virtual PortableServer::POA_ptr GetRootPOA() = 0;

  // Activates a servant in the root POA without a name (a callback object such as an
  // event consumer) and returns an owning reference; DeactivateObject undoes it.
  virtual CORBA::Object_ptr ActivateObject(PortableServer::ServantBase* servant) = 0;
  virtual void DeactivateObject(PortableServer::ServantBase* servant) = 0;

  // True when the ORB has a NameService initial reference (it is not contacted).
  virtual bool HasNamingService() = 0;
  // Looks `name`/`kind` up in the naming service. Throws CORBA::ORB::InvalidName when no
  // naming service is configured, CosNaming::NamingContext::NotFound when the name is
  // not bound, and a CORBA system exception when the service cannot be reached.
  virtual CORBA::Object_ptr ResolveName(const char* name, const char* kind) = 0;

  virtual std::string ObjectToString(CORBA::Object_ptr object) = 0;
  // Accepts "IOR:...", "corbaloc:..." and "corbaname:..."; throws CORBA::BAD_PARAM for
  // malformed text.
  virtual CORBA::Object_ptr StringToObject(const char* text) = 0;
};

}  // namespace Corvane::TalisFramework
