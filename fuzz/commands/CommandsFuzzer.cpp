// Fuzz entry for the command interpreter: Specimen::SendCommand in-process, with the
// event library in its no-channel mode (events are only described on the log).
//
// Input: the first byte holds flags, the rest is the command text (cut at a NUL, as a
// CORBA string is):
//   bit 0  the requester is non-empty       bit 1  the transaction identifier is non-empty
//   bit 2 and bit 3 together  the command Any holds a long instead of a string
// Each input gets its own logger and Specimen, both deleted afterwards, so a worker
// that outlived its Specimen would touch freed memory, which the address sanitizer
// reports. The process aborts when:
//  - anything but BadParameter or WillCompleteAsynchronously leaves SendCommand;
//  - a call that returns gives no Any holding a "Time=" string.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <exception>
#include <memory>
#include <string>
#include <typeinfo>

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include "platform/herald/PayloadManagerClient.h"
#include "platform/talis/DecodeCORBAException.h"
#include "platform/talis/Logger.h"
#include "platform/talis/ObjectBroker.h"
#include "specimen/Specimen.h"
#include "specimen/SpecimenSettings.h"

namespace {

using Corvane::TalisFramework::Logger;

[[noreturn]] void Fail(const std::string& what) {
  fprintf(stderr, "command property failed: %s\n", what.c_str());
  abort();
}

// Formats every line like a real logger would, then drops it.
class DiscardingLogger : public Logger {
 public:
  DiscardingLogger() : Logger(Logger::Detail) {}

 protected:
  void WriteLine(LogType /*type*/, const std::string& text) override { written += text.size(); }

 private:
  size_t written = 0;
};

// One ORB for the whole run, bound to loopback, never destroyed: libFuzzer may end
// the process from any thread, and the ORB must not be torn down under it.
Corvane::TalisFramework::ObjectBroker& Broker() {
  static Corvane::TalisFramework::ObjectBroker* broker = [] {
    static DiscardingLogger brokerLogger;
    auto* created = new Corvane::TalisFramework::ObjectBroker(true, &brokerLogger);
    static char program[] = "fuzz_commands";
    static char endpointOption[] = "-ORBendPoint";
    static char endpoint[] = "giop:tcp:127.0.0.1:";
    static char* args[] = {program, endpointOption, endpoint, nullptr};
    int argc = 3;
    char** argv = args;
    created->Initialize(argc, argv);
    return created;
  }();
  return *broker;
}

void CheckResult(const CORBA::Any* result) {
  const char* text = nullptr;
  if (result == nullptr || !(*result >>= text) || text == nullptr) {
    Fail("SendCommand returned without a string result");
  }
  if (std::string(text).compare(0, 5, "Time=") != 0) {
    Fail(std::string("unexpected result '") + text + "'");
  }
}

void Send(Specimen& specimen, const CORBA::Any& command, const char* requester,
          const char* transactionID) {
  CORBA::Any_var result;
  try {
    specimen.SendCommand(command, requester, transactionID, result.out());
  } catch (const Corvane::Talis::BadParameter&) {
    return;
  } catch (const Corvane::Talis::WillCompleteAsynchronously&) {
    return;
  } catch (const CORBA::Exception& e) {
    Fail("CORBA exception " + Corvane::TalisFramework::DecodeCORBAException(e));
  } catch (const std::exception& e) {
    Fail(std::string("exception ") + typeid(e).name() + ": " + e.what());
  } catch (...) {
    Fail("unknown exception");
  }
  CheckResult(result.operator->());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) {
    return 0;
  }
  const uint8_t flags = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  CORBA::Any command;
  if ((flags & 0x0c) == 0x0c) {
    command <<= static_cast<CORBA::Long>(size);
  } else {
    command <<= text.c_str();
  }
  const char* requester = (flags & 0x01) != 0 ? "fuzzer" : "";
  const char* transactionID = (flags & 0x02) != 0 ? "t1" : "";

  Corvane::TalisFramework::ObjectBroker& broker = Broker();
  const SpecimenSettings settings;
  auto logger = std::make_unique<DiscardingLogger>();
  auto specimen = std::make_unique<Specimen>(broker, settings, *logger);
  {
    boost::shared_ptr<Corvane::Herald::PayloadManagerClient> client =
        boost::make_shared<Corvane::Herald::PayloadManagerClient>(
            settings.GetPayloadManagerClientSettings(), broker, *specimen);
    specimen->Initialize(CORBA::Object::_nil(), client);
  }
  Send(*specimen, command, requester, transactionID);
  specimen.reset();
  logger.reset();
  return 0;
}
