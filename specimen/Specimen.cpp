#include "specimen/Specimen.h"

#include <sys/time.h>

#include <cerrno>
#include <ctime>
#include <sstream>
#include <string>

#include <boost/bind/bind.hpp>
#include <boost/make_shared.hpp>

#include "framework/GetErrorDescription.h"
#include "platform/herald/EventClassFactory.h"
#include "platform/herald/EventSettings.h"
#include "platform/talis/ThrowCORBAException2.h"
#include "specimen/CommandLanguage.h"

using Corvane::Talis::BadParameter;
using Corvane::TalisFramework::ThrowCORBAException2;

Specimen::Specimen(Corvane::TalisFramework::IObjectBroker& brokerIn,
                   const SpecimenSettings& settingsIn, Corvane::TalisFramework::Logger& loggerIn)
    : Corvane::Herald::EventTransceiver(settingsIn.GetEventTransceiverSettings(), brokerIn,
                                        loggerIn),
      Corvane::TalisFramework::ICommandableBase(),
      broker(brokerIn),
      logger(loggerIn),
      settings(settingsIn),
      gpsEventName(settings.GetGPSEventSettings().GetName()),
      gpsEventType(settings.GetGPSEventSettings().GetType().typeName,
                   settings.GetGPSEventSettings().GetType().domainName) {}

Specimen::~Specimen() {
  // Workers use this object's transceiver, settings and logger: none may outlive it.
  workers.StopAndWait();
}

// Boost.Signals2's slot-group key trips GCC's maybe-uninitialized analysis in
// sanitizer builds; the optional it names is always set before use.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
void Specimen::Initialize(CORBA::Object* self,
                          boost::shared_ptr<Corvane::Herald::PayloadManagerClient> client) {
  {
    std::lock_guard<std::mutex> guard(stateMutex);
    payloadManagerClient = client;
  }
  RegisterEventClassFactory(gpsEventType,
                            new Corvane::Herald::TEventClassFactory<Corvane::Herald::GPSSampleEvent>());
  using namespace boost::placeholders;
  gpsConnection = boost::make_shared<boost::signals2::scoped_connection>(
      SignalForEventName(gpsEventName)
          .connect(boost::bind(&Specimen::GPSSampleHandler, this, _1, _2),
                   boost::signals2::at_back));
  Corvane::Herald::EventTransceiver::Initialize(self);
}
#pragma GCC diagnostic pop

CORBA::Double Specimen::Ping() {
  std::ostringstream buffer;
  buffer << "Specimen::Ping: ";
  double result = 0.0;
  struct timeval now = {};
  if (::gettimeofday(&now, nullptr) != 0) {
    const int errorNumber = errno;
    buffer << "(gettimeofday returned error #" << errorNumber << " '"
           << Corvane::TalisFramework::GetErrorDescription(errorNumber) << "') ";
  } else {
    result = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_usec) / 1000000.0;
  }
  std::lock_guard<Corvane::TalisFramework::Logger> guard(logger);
  logger.infoStream.precision(15);
  logger.infoStream << buffer.str() << result << std::endl;
  return result;
}

CosNotification::StructuredEvent* Specimen::GetEnumerationData() {
  CosNotification::StructuredEvent* event = new CosNotification::StructuredEvent();
  event->header.fixed_header.event_type.domain_name = CORBA::string_dup("");
  event->header.fixed_header.event_type.type_name = CORBA::string_dup("");
  event->header.fixed_header.event_name = CORBA::string_dup("");
  return event;
}

void Specimen::PowerOff(CORBA::UShort offDelay) {
  logger.infoStream << "PowerOff offDelay=" << offDelay << std::endl;
}

void Specimen::PowerOn() { logger.infoStream << "PowerOn" << std::endl; }

boost::shared_ptr<Corvane::Herald::PayloadManagerClient> Specimen::Client() const {
  std::lock_guard<std::mutex> guard(stateMutex);
  if (!payloadManagerClient) {
    throw CORBA::BAD_INV_ORDER(0, CORBA::COMPLETED_NO);
  }
  return payloadManagerClient;
}

CORBA::UShort Specimen::boardID() { return Client()->GetBoardID(); }

char* Specimen::description() {
  return settings.GetPayloadManagerClientSettings().GetPayloadDescription().GetEntity();
}

Corvane::Talis::EnableState Specimen::enableState() { return Corvane::Talis::ES_Enabled; }

CORBA::ULong Specimen::requestOffTime() { return 0; }

CORBA::ULong Specimen::requestOnTime() { return 0; }

Corvane::Talis::ComponentVersion* Specimen::softwareVersion() {
  Corvane::Talis::ComponentVersion* version = new Corvane::Talis::ComponentVersion();
  version->versionText = CORBA::string_dup("1.0.1");
  version->major = 1;
  version->minor = 0;
  version->revision = 1;
  return version;
}

CORBA::UShort Specimen::taskID() { return Client()->GetTaskID(); }

void Specimen::SampleNow(const CORBA::Any& /*parameters*/) {
  ThrowCORBAException2<BadParameter>();
}

void Specimen::SetSamplePending(const CORBA::Any& /*parameters*/) {
  ThrowCORBAException2<BadParameter>();
}

Corvane::Talis::ComponentVersion* Specimen::hardwareVersion() {
  Corvane::Talis::ComponentVersion* version = new Corvane::Talis::ComponentVersion();
  version->versionText = CORBA::string_dup("no version");
  version->major = 0;
  version->minor = 0;
  version->revision = 0;
  return version;
}

CORBA::UShort Specimen::sensorSampleInterval() { return 0; }

void Specimen::sensorSampleInterval(CORBA::UShort /*interval*/) {}

CORBA::Boolean Specimen::samplePending() { return false; }

void Specimen::NoteGPSSample(CORBA::Long dateTimeUTC, CORBA::Boolean validFix,
                             CORBA::Double latitudeIn, CORBA::Double longitudeIn) {
  std::ostream& out = logger.infoStream;
  out << "Specimen::NoteGPSSample dateTimeUTC=" << dateTimeUTC << " ("
      << CommandLanguage::AsctimeUtc(static_cast<std::time_t>(dateTimeUTC))
      << ") validFix=" << (validFix ? true : false);
  if (validFix) {
    out.precision(15);
    out.unsetf(std::ios::floatfield);
    out << " latitude=" << latitudeIn << " longitude=" << longitudeIn;
    // Later lines of this stream keep fixed notation with 15 digits.
    out.setf(std::ios::fixed, std::ios::floatfield);
  }
  out << std::endl;
}

void Specimen::GPSSampleHandler(Corvane::Herald::EventTransceiver& /*transceiver*/,
                                const Corvane::Herald::IEventBase& event) {
  logger.infoStream << "(GPSSampleHandler) Received ";
  event.Describe(logger.infoStream);
  logger.infoStream << std::endl;
  const Corvane::Herald::GPSSampleEvent& sample =
      EventTransceiver::UpcastEventRef<Corvane::Herald::GPSSampleEvent>(
          event, gpsEventType, "Specimen::GPSSampleHandler");
  if (sample.HasGPS()) {
    std::lock_guard<std::mutex> guard(stateMutex);
    latitude = sample.GetLatitude();
    longitude = sample.GetLongitude();
  }
}

void Specimen::GetPosition(double& latitudeOut, double& longitudeOut) const {
  std::lock_guard<std::mutex> guard(stateMutex);
  latitudeOut = latitude;
  longitudeOut = longitude;
}
