#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include <COS/CosNotification.hh>
#include <boost/shared_ptr.hpp>
#include <boost/signals2/signal.hpp>

#include "platform/herald/EventClassFactory.h"
#include "platform/herald/EventTransceiverSettings.h"
#include "platform/herald/HandlerErrorCollector.h"
#include "platform/herald/IEventBase.h"
#include "platform/herald/UpcastEventRef.h"

namespace Corvane::TalisFramework {
class IObjectBroker;
class Logger;
}  // namespace Corvane::TalisFramework

namespace Corvane::Herald {

// Publishes events on the event channel named in its settings and delivers the events
// it receives to the signals of their names.
//
// Events travel as CosNotification::StructuredEvent values inside a CORBA::Any through
// a CosEventChannelAdmin channel located in the naming service. Received events come
// from the channel (when receiveEnable) or from push_structured_event called directly;
// each is built by the factory registered for its type (or kept as a GenericEvent),
// renamed through aliasToEvent, filtered, optionally logged, and handed to the signal
// of its name and then to the signal for all events, on the thread that received it.
// An exception from a handler is logged on the error stream and dropped.
//
// Thread-safety: every member may be called from several threads at once, except that
// Initialize is called once, before events flow.
class EventTransceiver {
 public:
  // Initialize could not resolve or join the configured channel.
  class ChannelError : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };
  // TransmitEvent could not hand the event to the channel.
  class TransmitError : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };

  using EventClassFactory = Herald::EventClassFactory;
  template <class T>
  using TEventClassFactory = Herald::TEventClassFactory<T>;
  using EventSignal =
      boost::signals2::signal<void(EventTransceiver&, const IEventBase&), HandlerErrorCollector>;

  // See UpcastEventRef.h.
  template <class T>
  static const T& UpcastEventRef(const IEventBase& event, const EventType& expectedType,
                                 const std::string& context) {
    return Herald::UpcastEventRef<T>(event, expectedType, context);
  }

  // Keeps references to `broker` and `logger`, which must outlive this object.
  EventTransceiver(const EventTransceiverSettings& settingsIn,
                   TalisFramework::IObjectBroker& brokerIn, TalisFramework::Logger& loggerIn);
  virtual ~EventTransceiver();
  EventTransceiver(const EventTransceiver&) = delete;
  EventTransceiver& operator=(const EventTransceiver&) = delete;

  // Takes ownership of `factory` (deleted with this object or when replaced by a later
  // factory for the same type).
  void RegisterEventClassFactory(const EventType& type, EventClassFactory* factory);
  // Shares `factory` with the caller.
  void RegisterEventClassFactory(const EventType& type,
                                 boost::shared_ptr<EventClassFactory> factory);
  // The signal fired for each delivered event of that name (after alias mapping). The
  // signal lives as long as this object.
  EventSignal& SignalForEventName(const std::string& name);
  // The signal fired for every delivered event, after the signal of its name.
  EventSignal& SignalForAllEvents();

  // Joins the configured channel as a supplier and, when receiveEnable, as a consumer.
  // `self` is the advertised reference of the owning servant (may be null). With no
  // channel configured it only logs that events will be logged. Throws ChannelError when
  // the channel cannot be resolved or joined (a later call may try again),
  // std::logic_error when called again after it succeeded.
  void Initialize(CORBA::Object* self);

  // Publishes `event` on the channel before returning; with no channel configured,
  // writes its description on the info stream. Throws TransmitError when the channel
  // refuses it, std::logic_error when a channel is configured but not joined (before
  // Initialize, after it failed, or after Disconnect).
  void TransmitEvent(const IEventBase& event);

  // Leaves the channel and waits for deliveries in progress to end; later events from
  // the channel are not delivered. Idempotent; the destructor calls it. Must not be
  // called from an event handler.
  void Disconnect();

  // The operations of a structured push consumer, as the tie servant forwards them.
  void push_structured_event(const CosNotification::StructuredEvent& notification);
  void disconnect_structured_push_consumer();
  void offer_change(const CosNotification::EventTypeSeq& added,
                    const CosNotification::EventTypeSeq& removed);

  const EventTransceiverSettings& GetSettings() const { return settings; }
  TalisFramework::IObjectBroker& GetBroker() const { return broker; }
  TalisFramework::Logger& GetLogger() const { return logger; }

 private:
  class ChannelLink;
  friend class ChannelLink;

  void JoinChannel(ChannelLink& newLink);
  void LeaveChannel(ChannelLink& oldLink);
  boost::shared_ptr<IEventBase> BuildEvent(const CosNotification::StructuredEvent& event);
  bool PassesFilter(const IEventBase& event) const;
  void Display(const IEventBase& event) const;
  void Deliver(const std::string& signalName, const IEventBase& event);
  EventSignal* FindSignal(const std::string& name);

  const EventTransceiverSettings settings;
  TalisFramework::IObjectBroker& broker;
  TalisFramework::Logger& logger;

  mutable std::mutex mutex;  // guards factories, signals and the pointer to link
  std::map<EventType, boost::shared_ptr<EventClassFactory>> factories;
  std::map<std::string, std::unique_ptr<EventSignal>> signals;
  EventSignal allEventsSignal;
  std::shared_ptr<ChannelLink> link;
  bool initialized = false;
};

}  // namespace Corvane::Herald
