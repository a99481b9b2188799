#include "platform/herald/EventTransceiver.h"

#include <condition_variable>
#include <sstream>
#include <utility>
#include <vector>

// GCC's -Warray-bounds misreads the construction of the skeleton's virtual bases when
// sanitizers are on; the diagnostic is attributed to these headers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#include <COS/CosEventChannelAdmin.hh>
#include <COS/CosEventComm.hh>
#pragma GCC diagnostic pop

#include "platform/herald/GenericEvent.h"
#include "platform/talis/DecodeCORBAException.h"
#include "platform/talis/IObjectBroker.h"
#include "platform/talis/Logger.h"

namespace Corvane::Herald {

using TalisFramework::DecodeCORBAException;

namespace {

// The consumer the channel pushes to. It hands each structured event to its owner
// until Close, which waits for the pushes in progress; the servant itself may outlive
// the transceiver while the ORB still holds it.
class ChannelConsumer : public POA_CosEventComm::PushConsumer {
 public:
  explicit ChannelConsumer(EventTransceiver* ownerIn) : owner(ownerIn) {}

  void push(const CORBA::Any& data) override {
    EventTransceiver* target = Enter();
    if (target == nullptr) {
      return;
    }
    Visit visit(*this);
    const CosNotification::StructuredEvent* event = nullptr;
    if (data >>= event) {
      target->push_structured_event(*event);
    } else {
      target->GetLogger().warningStream
          << "EventTransceiver: ignored a channel event that is not a structured event"
          << std::endl;
    }
  }

  void disconnect_push_consumer() override {
    EventTransceiver* target = Enter();
    if (target == nullptr) {
      return;
    }
    Visit visit(*this);
    target->GetLogger().infoStream << "EventTransceiver: the event channel disconnected us"
                                   << std::endl;
  }

  void Close() {
    std::unique_lock<std::mutex> lock(mutex);
    owner = nullptr;
    idle.wait(lock, [this] { return active == 0; });
  }

 private:
  // Ends a call that Enter admitted, also when the call throws.
  class Visit {
   public:
    explicit Visit(ChannelConsumer& consumerIn) : consumer(consumerIn) {}
    ~Visit() { consumer.Leave(); }
    Visit(const Visit&) = delete;
    Visit& operator=(const Visit&) = delete;

   private:
    ChannelConsumer& consumer;
  };

  EventTransceiver* Enter() {
    std::lock_guard<std::mutex> lock(mutex);
    if (owner != nullptr) {
      ++active;
    }
    return owner;
  }

  void Leave() {
    std::lock_guard<std::mutex> lock(mutex);
    if (--active == 0) {
      idle.notify_all();
    }
  }

  std::mutex mutex;
  std::condition_variable idle;
  EventTransceiver* owner;
  int active = 0;
};

std::string ChannelText(const EventTransceiverSettings& settings) {
  std::string text = "'" + settings.eventServiceName + "'";
  if (!settings.eventServiceKind.empty()) {
    text += " (kind '" + settings.eventServiceKind + "')";
  }
  return text;
}

}  // namespace

// The references of a joined channel. Shared, so that a transmission in progress keeps
// them while another thread disconnects.
class EventTransceiver::ChannelLink {
 public:
  CosEventChannelAdmin::EventChannel_var channel;
  CosEventChannelAdmin::ProxyPushConsumer_var toChannel;
  CosEventChannelAdmin::ProxyPushSupplier_var fromChannel;
  ChannelConsumer* consumer = nullptr;
};

EventTransceiver::EventTransceiver(const EventTransceiverSettings& settingsIn,
                                   TalisFramework::IObjectBroker& brokerIn,
                                   TalisFramework::Logger& loggerIn)
    : settings(settingsIn), broker(brokerIn), logger(loggerIn) {}

EventTransceiver::~EventTransceiver() {
  try {
    Disconnect();
  } catch (...) {
    // Nothing may leave a destructor; Disconnect already logged what went wrong.
  }
}

void EventTransceiver::RegisterEventClassFactory(const EventType& type,
                                                 EventClassFactory* factory) {
  RegisterEventClassFactory(type, boost::shared_ptr<EventClassFactory>(factory));
}

void EventTransceiver::RegisterEventClassFactory(const EventType& type,
                                                 boost::shared_ptr<EventClassFactory> factory) {
  std::lock_guard<std::mutex> lock(mutex);
  factories[type] = std::move(factory);
}

EventTransceiver::EventSignal& EventTransceiver::SignalForEventName(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex);
  std::unique_ptr<EventSignal>& signal = signals[name];
  if (!signal) {
    signal = std::make_unique<EventSignal>();
  }
  return *signal;
}

EventTransceiver::EventSignal& EventTransceiver::SignalForAllEvents() {
  return allEventsSignal;
}

void EventTransceiver::Initialize(CORBA::Object* /*self*/) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (initialized) {
      throw std::logic_error("EventTransceiver::Initialize: called twice");
    }
    initialized = true;
  }
  if (settings.eventServiceName.empty()) {
    logger.infoStream << "EventTransceiver::Initialize: no event channel configured; events "
                         "are only logged"
                      << std::endl;
    return;
  }
  auto newLink = std::make_shared<ChannelLink>();
  try {
    JoinChannel(*newLink);
  } catch (...) {
    LeaveChannel(*newLink);
    std::lock_guard<std::mutex> lock(mutex);
    initialized = false;
    throw;
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    link = newLink;
  }
  logger.infoStream << "EventTransceiver::Initialize: joined event channel "
                    << ChannelText(settings)
                    << (settings.receiveEnable ? " as supplier and consumer" : " as supplier")
                    << std::endl;
}

void EventTransceiver::JoinChannel(ChannelLink& newLink) {
  const std::string prefix = "EventTransceiver::Initialize: event channel " + ChannelText(settings);
  CORBA::Object_var object;
  try {
    object =
        broker.ResolveName(settings.eventServiceName.c_str(), settings.eventServiceKind.c_str());
  } catch (const CORBA::ORB::InvalidName&) {
    throw ChannelError(prefix + ": no naming service is configured");
  } catch (const CosNaming::NamingContext::NotFound&) {
    throw ChannelError(prefix + " is not bound in the naming service");
  } catch (const CORBA::Exception& e) {
    throw ChannelError(prefix + ": naming service lookup failed: " + DecodeCORBAException(e));
  }
  try {
    newLink.channel = CosEventChannelAdmin::EventChannel::_narrow(object.in());
    if (CORBA::is_nil(newLink.channel.in())) {
      throw ChannelError(prefix + " is not an event channel");
    }
    CosEventChannelAdmin::SupplierAdmin_var suppliers = newLink.channel->for_suppliers();
    newLink.toChannel = suppliers->obtain_push_consumer();
    newLink.toChannel->connect_push_supplier(CosEventComm::PushSupplier::_nil());
    if (settings.receiveEnable) {
      newLink.consumer = new ChannelConsumer(this);
      CORBA::Object_var consumerObject = broker.ActivateObject(newLink.consumer);
      CosEventComm::PushConsumer_var consumerRef =
          CosEventComm::PushConsumer::_narrow(consumerObject.in());
      CosEventChannelAdmin::ConsumerAdmin_var consumers = newLink.channel->for_consumers();
      newLink.fromChannel = consumers->obtain_push_supplier();
      newLink.fromChannel->connect_push_consumer(consumerRef.in());
    }
  } catch (const CORBA::Exception& e) {
    throw ChannelError(prefix + ": could not join: " + DecodeCORBAException(e));
  }
}

void EventTransceiver::LeaveChannel(ChannelLink& oldLink) {
  // Deliveries stop first, so that the channel's goodbye and late pushes go unnoticed.
  if (oldLink.consumer != nullptr) {
    oldLink.consumer->Close();
  }
  // The channel may already be gone; leaving is best effort.
  if (!CORBA::is_nil(oldLink.fromChannel.in())) {
    try {
      oldLink.fromChannel->disconnect_push_supplier();
    } catch (const CORBA::Exception& e) {
      logger.warningStream << "EventTransceiver: leaving the channel as consumer failed: "
                           << DecodeCORBAException(e) << std::endl;
    }
  }
  if (!CORBA::is_nil(oldLink.toChannel.in())) {
    try {
      oldLink.toChannel->disconnect_push_consumer();
    } catch (const CORBA::Exception& e) {
      logger.warningStream << "EventTransceiver: leaving the channel as supplier failed: "
                           << DecodeCORBAException(e) << std::endl;
    }
  }
  if (oldLink.consumer != nullptr) {
    broker.DeactivateObject(oldLink.consumer);
    oldLink.consumer->_remove_ref();
    oldLink.consumer = nullptr;
  }
}

void EventTransceiver::Disconnect() {
  std::shared_ptr<ChannelLink> oldLink;
  {
    std::lock_guard<std::mutex> lock(mutex);
    oldLink = std::move(link);
  }
  if (oldLink) {
    LeaveChannel(*oldLink);
  }
}

void EventTransceiver::TransmitEvent(const IEventBase& event) {
  std::shared_ptr<ChannelLink> current;
  {
    std::lock_guard<std::mutex> lock(mutex);
    current = link;
  }
  if (!current && !settings.eventServiceName.empty()) {
    // Never report an event as sent when its channel was configured but is not joined.
    throw std::logic_error("EventTransceiver::TransmitEvent: event '" + event.GetName() +
                           "' not published: not joined to event channel " + ChannelText(settings));
  }
  if (!current) {
    std::ostringstream line;
    line << "EventTransceiver::TransmitEvent: (no channel) ";
    event.Describe(line);
    logger.infoStream << line.str() << std::endl;
    return;
  }
  CosNotification::StructuredEvent structured;
  event.Encode(structured);
  CORBA::Any data;
  data <<= structured;
  try {
    current->toChannel->push(data);
  } catch (const CORBA::Exception& e) {
    throw TransmitError("EventTransceiver::TransmitEvent: event '" + event.GetName() +
                        "' not published: " + DecodeCORBAException(e));
  }
}

void EventTransceiver::push_structured_event(const CosNotification::StructuredEvent& notification) {
  boost::shared_ptr<IEventBase> event;
  try {
    event = BuildEvent(notification);
  } catch (const std::exception& e) {
    logger.errorStream << "EventTransceiver: dropped received event '"
                       << notification.header.fixed_header.event_name.in() << "': " << e.what()
                       << std::endl;
    return;
  }
  if (settings.eventFilterEnabled && !PassesFilter(*event)) {
    return;
  }
  const std::string name = event->GetName();
  const auto alias = settings.aliasToEvent.find(name);
  const std::string signalName = alias == settings.aliasToEvent.end() ? name : alias->second;
  Display(*event);
  Deliver(signalName, *event);
}

void EventTransceiver::disconnect_structured_push_consumer() {
  logger.infoStream << "EventTransceiver: a structured supplier disconnected" << std::endl;
}

void EventTransceiver::offer_change(const CosNotification::EventTypeSeq& added,
                                    const CosNotification::EventTypeSeq& removed) {
  std::ostringstream line;
  line << "EventTransceiver: offer change, added";
  for (CORBA::ULong i = 0; i < added.length(); ++i) {
    line << ' ' << added[i].domain_name.in() << '/' << added[i].type_name.in();
  }
  line << "; removed";
  for (CORBA::ULong i = 0; i < removed.length(); ++i) {
    line << ' ' << removed[i].domain_name.in() << '/' << removed[i].type_name.in();
  }
  logger.detailStream << line.str() << std::endl;
}

boost::shared_ptr<IEventBase> EventTransceiver::BuildEvent(
    const CosNotification::StructuredEvent& notification) {
  const EventType type(notification.header.fixed_header.event_type.type_name.in(),
                       notification.header.fixed_header.event_type.domain_name.in());
  boost::shared_ptr<EventClassFactory> factory;
  {
    std::lock_guard<std::mutex> lock(mutex);
    const auto found = factories.find(type);
    if (found != factories.end()) {
      factory = found->second;
    }
  }
  boost::shared_ptr<IEventBase> event;
  if (factory) {
    event = factory->CreateCustomEvent(notification, broker);
  }
  if (!event) {
    event.reset(new GenericEvent());
  }
  event->Decode(notification);
  return event;
}

bool EventTransceiver::PassesFilter(const IEventBase& event) const {
  return settings.eventNameFilter.count(event.GetName()) != 0 ||
         settings.eventTypeFilter.count(event.GetType()) != 0;
}

void EventTransceiver::Display(const IEventBase& event) const {
  if (!settings.displayReceivedEvents || settings.doNotDisplayList.count(event.GetName()) != 0) {
    return;
  }
  std::ostringstream line;
  line << "EventTransceiver: received ";
  if (settings.fullyDescribeReceivedEvents) {
    event.Describe(line);
  } else {
    line << "event name='" << event.GetName() << "' type=";
    event.GetType().Describe(line);
  }
  logger.infoStream << line.str() << std::endl;
}

void EventTransceiver::Deliver(const std::string& signalName, const IEventBase& event) {
  EventSignal* named = FindSignal(signalName);
  std::vector<std::string> failures;
  if (named != nullptr) {
    failures = (*named)(*this, event);
  }
  std::vector<std::string> more = allEventsSignal(*this, event);
  failures.insert(failures.end(), more.begin(), more.end());
  for (const std::string& failure : failures) {
    logger.errorStream << "EventTransceiver: a handler of event '" << signalName << "' threw "
                       << failure << std::endl;
  }
}

EventTransceiver::EventSignal* EventTransceiver::FindSignal(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex);
  const auto found = signals.find(name);
  return found == signals.end() ? nullptr : found->second.get();
}

}  // namespace Corvane::Herald
