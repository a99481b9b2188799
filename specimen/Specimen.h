#pragma once

#include <memory>
#include <mutex>
#include <string>

#include <boost/shared_ptr.hpp>
#include <boost/signals2/connection.hpp>

#include "platform/herald/EventTransceiver.h"
#include "platform/herald/EventType.h"
#include "platform/herald/GPSSampleEvent.h"
#include "platform/herald/LocatedEventBase.h"
#include "platform/herald/SendCommandCompleteEvent.h"
#include "platform/herald/PayloadManagerClient.h"
#include "platform/talis/ICommandableBase.h"
#include "platform/talis/Logger.h"
#include "platform/talis/ObjectBroker.h"
#include "specimen/AsyncWorkerGroup.h"
#include "specimen/SpecimenSettings.h"
#include "specimen/idl/Talis.hh"

// The sample sensor driver: one object that answers the sensor interface family, is the
// driver's event transceiver (every event it publishes goes out through its own
// TransmitEvent) and interprets the text command language of SendCommand.
//
// It owns neither the broker nor the logger, and is served through the tie servant
// POA_Corvane::Talis::ISpecimenWithEvents_tie<Specimen>, which does not own it. IDL
// operations run on ORB threads, several at once; the GPS handler runs on the
// transceiver's delivery thread; asynchronous commands run on worker threads that the
// destructor stops and waits for.
class Specimen : public Corvane::Herald::EventTransceiver,
                 public Corvane::TalisFramework::ICommandableBase {
 public:
  Specimen(Corvane::TalisFramework::IObjectBroker& brokerIn, const SpecimenSettings& settingsIn,
           Corvane::TalisFramework::Logger& loggerIn);
  // Interrupts the sleep of every running asynchronous command and waits until each has
  // returned, then releases the payload manager client and disconnects the GPS handler.
  ~Specimen() override;

  // Registers the GPS event factory, connects the GPS handler and starts the
  // transceiver with the advertised reference `self`. Called once, before requests are
  // served. Failures propagate.
  virtual void Initialize(CORBA::Object* self,
                          boost::shared_ptr<Corvane::Herald::PayloadManagerClient> client);

  virtual CORBA::Double Ping();
  virtual CosNotification::StructuredEvent* GetEnumerationData();
  virtual void PowerOff(CORBA::UShort offDelay);
  virtual void PowerOn();
  // Raise CORBA::BAD_INV_ORDER before Initialize (there is no payload manager client yet).
  virtual CORBA::UShort boardID();
  virtual char* description();
  virtual Corvane::Talis::EnableState enableState();
  virtual CORBA::ULong requestOffTime();
  virtual CORBA::ULong requestOnTime();
  virtual Corvane::Talis::ComponentVersion* softwareVersion();
  virtual CORBA::UShort taskID();
  // The command interpreter. Raises BadParameter or WillCompleteAsynchronously.
  void SendCommand(const CORBA::Any& command, const char* requester, const char* transactionID,
                   CORBA::Any_out result) override;
  virtual void SampleNow(const CORBA::Any& parameters);
  virtual void SetSamplePending(const CORBA::Any& parameters);
  virtual Corvane::Talis::ComponentVersion* hardwareVersion();
  virtual CORBA::UShort sensorSampleInterval();
  virtual void sensorSampleInterval(CORBA::UShort interval);
  virtual CORBA::Boolean samplePending();
  virtual void NoteGPSSample(CORBA::Long dateTimeUTC, CORBA::Boolean validFix,
                             CORBA::Double latitudeIn, CORBA::Double longitudeIn);

  // Slot of the GPS event signal: stores the position of an event that holds one.
  // Throws std::runtime_error for an event of another type or class.
  void GPSSampleHandler(Corvane::Herald::EventTransceiver& transceiver,
                        const Corvane::Herald::IEventBase& event);

  // Body of an asynchronous command: waits `timeout` seconds, then publishes `times`
  // intermediate command-complete events and the final one. Runs on its own thread.
  void SendCommand_Asynch(std::string requester, std::string transID, float timeout, int times);

  // The last GPS position received as an event, read as one pair.
  void GetPosition(double& latitudeOut, double& longitudeOut) const;

 private:
  struct SendCommandLocalData;
  using LocalDataPtr = std::shared_ptr<SendCommandLocalData>;

  void RunAsynchReturn(LocalDataPtr& local, const char* requester, const char* transactionID);
  void RunNfaLiteral(LocalDataPtr& local);
  void RunNfaFile(LocalDataPtr& local);
  void RunTelem(LocalDataPtr& local);
  void RunTelemChange(LocalDataPtr& local);
  void RunThrowBad(LocalDataPtr& local);
  // Ends the information line, writes `message` as an error line, releases the record
  // and raises BadParameter with empty texts.
  [[noreturn]] void Refuse(LocalDataPtr& local, const std::string& message);
  // Appends `note` to the information line, ends it, releases the record and raises
  // BadParameter with empty texts.
  [[noreturn]] void RefuseOnLine(LocalDataPtr& local, const char* note);
  // Sets the generator address and the last GPS position on a data-set or telemetry
  // event; refuses the command when there is no payload manager client yet.
  void StampEvent(LocalDataPtr& local, Corvane::Herald::LocatedEventBase& event);
  // The payload manager client; throws CORBA::BAD_INV_ORDER before Initialize.
  boost::shared_ptr<Corvane::Herald::PayloadManagerClient> Client() const;
  // A command-complete event of the driver's settings with the given fields.
  std::unique_ptr<Corvane::Herald::SendCommandCompleteEvent> MakeCommandComplete(
      bool complete, const std::string& requester, const std::string& transID,
      const std::string& text);

  Corvane::TalisFramework::IObjectBroker& broker;
  Corvane::TalisFramework::Logger& logger;
  SpecimenSettings settings;
  std::string gpsEventName;
  Corvane::Herald::EventType gpsEventType;
  boost::shared_ptr<boost::signals2::scoped_connection> gpsConnection;
  // Guards latitude, longitude and payloadManagerClient: requests may arrive between
  // advertising and Initialize, and the GPS handler writes the position pair while
  // request threads read it.
  mutable std::mutex stateMutex;
  double latitude = 0;
  double longitude = 0;
  boost::shared_ptr<Corvane::Herald::PayloadManagerClient> payloadManagerClient;
  // Declared last so that it is destroyed first; the destructor stops it explicitly.
  AsyncWorkerGroup workers;
};
