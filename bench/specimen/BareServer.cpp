// A bare ORB server with the driver's interface: Ping and SendCommand do the least work
// that still answers like the driver (the time of day, a "Time=" string); every other
// operation raises NO_IMPLEMENT. The baseline the driver's figures are compared with.
// Usage: specimen_bare_server PORT   (serves corbaloc::127.0.0.1:PORT/Bare until killed)
#include <sys/time.h>

#include <ctime>
#include <iostream>
#include <string>

#include <omniORB4/CORBA.h>

#include "specimen/CommandLanguage.h"
#include "specimen/idl/Talis.hh"

namespace {

class BareSpecimen : public POA_Corvane::Talis::ISpecimen {
 public:
  CORBA::Double Ping() override {
    struct timeval now = {};
    ::gettimeofday(&now, nullptr);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_usec) / 1000000.0;
  }
  void SendCommand(const CORBA::Any& /*command*/, const char* /*requester*/,
                   const char* /*transactionID*/, CORBA::Any_OUT_arg result) override {
    result = new CORBA::Any();
    *result <<= CommandLanguage::TimeResult(std::time(nullptr)).c_str();
  }

  CosNotification::StructuredEvent* GetEnumerationData() override { throw CORBA::NO_IMPLEMENT(); }
  void PowerOff(CORBA::UShort) override { throw CORBA::NO_IMPLEMENT(); }
  void PowerOn() override { throw CORBA::NO_IMPLEMENT(); }
  CORBA::UShort boardID() override { throw CORBA::NO_IMPLEMENT(); }
  char* description() override { throw CORBA::NO_IMPLEMENT(); }
  Corvane::Talis::EnableState enableState() override { throw CORBA::NO_IMPLEMENT(); }
  CORBA::ULong requestOffTime() override { throw CORBA::NO_IMPLEMENT(); }
  CORBA::ULong requestOnTime() override { throw CORBA::NO_IMPLEMENT(); }
  Corvane::Talis::ComponentVersion* softwareVersion() override { throw CORBA::NO_IMPLEMENT(); }
  CORBA::UShort taskID() override { throw CORBA::NO_IMPLEMENT(); }
  void SendCommandWorkaround(const CORBA::Any&, const char*, const char*, CORBA::Any_OUT_arg,
                             Corvane::Talis::SendCommandWorkaroundData_out) override {
    throw CORBA::NO_IMPLEMENT();
  }
  void SampleNow(const CORBA::Any&) override { throw CORBA::NO_IMPLEMENT(); }
  void SetSamplePending(const CORBA::Any&) override { throw CORBA::NO_IMPLEMENT(); }
  Corvane::Talis::ComponentVersion* hardwareVersion() override { throw CORBA::NO_IMPLEMENT(); }
  CORBA::UShort sensorSampleInterval() override { throw CORBA::NO_IMPLEMENT(); }
  void sensorSampleInterval(CORBA::UShort) override { throw CORBA::NO_IMPLEMENT(); }
  CORBA::Boolean samplePending() override { throw CORBA::NO_IMPLEMENT(); }
  void NoteGPSSample(CORBA::Long, CORBA::Boolean, CORBA::Double, CORBA::Double) override {
    throw CORBA::NO_IMPLEMENT();
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: specimen_bare_server PORT\n";
    return 2;
  }
  const std::string endpoint = std::string("giop:tcp:127.0.0.1:") + argv[1];
  const char* options[][2] = {{"endPoint", endpoint.c_str()}, {nullptr, nullptr}};
  int orbArgc = 0;
  char* orbArgv[] = {nullptr};
  try {
    CORBA::ORB_var orb = CORBA::ORB_init(orbArgc, orbArgv, "omniORB4", options);
    CORBA::Object_var object = orb->resolve_initial_references("omniINSPOA");
    PortableServer::POA_var poa = PortableServer::POA::_narrow(object);
    PortableServer::ObjectId_var id = PortableServer::string_to_ObjectId("Bare");
    BareSpecimen* servant = new BareSpecimen();
    poa->activate_object_with_id(id, servant);
    servant->_remove_ref();
    PortableServer::POAManager_var manager = poa->the_POAManager();
    manager->activate();
    std::cout << "serving corbaloc::127.0.0.1:" << argv[1] << "/Bare" << std::endl;
    orb->run();
    orb->destroy();
  } catch (const CORBA::Exception& e) {
    std::cerr << "specimen_bare_server: CORBA exception " << e._name() << std::endl;
    return 1;
  }
  return 0;
}
