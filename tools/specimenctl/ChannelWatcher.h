#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <omniORB4/CORBA.h>
#include <COS/CosEventChannelAdmin.hh>
#include <COS/CosEventComm.hh>
#include <COS/CosNotification.hh>

namespace SpecimenCtl {

// One structured event as it arrived on the channel.
struct ReceivedEvent {
  std::string domainName;
  std::string typeName;
  std::string eventName;
  // filterable_data in arrival order.
  std::vector<std::pair<std::string, CORBA::Any>> fields;
  CORBA::Any remainderOfBody;

  // The named field, or null when the event has none.
  const CORBA::Any* Field(const std::string& name) const;
  // One line: "event NAME type=TYPE domain=DOMAIN Field=value ... body=...".
  std::string Describe() const;
};

// A readable form of a value: numbers in decimal, booleans as true/false, strings in
// single quotes with control characters escaped, octet sequences as "octets[N]:hex",
// an empty Any as "(none)" and a nested Any as its own value.
std::string DescribeAny(const CORBA::Any& value);

// The naming-service entry NAME (kind KIND) as an event channel. Throws a CORBA
// exception when it is missing or is no channel.
CosEventChannelAdmin::EventChannel_ptr ResolveChannel(CORBA::ORB_ptr orb, const std::string& name,
                                                      const std::string& kind);
// The same, in the naming service given by its reference.
CosEventChannelAdmin::EventChannel_ptr ResolveChannel(CORBA::Object_ptr namingService,
                                                      const std::string& name,
                                                      const std::string& kind);

// Connects a push consumer to a channel for its whole life and queues the structured
// events pushed to it (other values are dropped). Needs an active root POA manager.
// Next() is thread-safe.
class ChannelWatcher {
 public:
  // Throws a CORBA exception when the channel cannot be joined.
  ChannelWatcher(CORBA::ORB_ptr orb, CosEventChannelAdmin::EventChannel_ptr channel);
  ~ChannelWatcher();
  ChannelWatcher(const ChannelWatcher&) = delete;
  ChannelWatcher& operator=(const ChannelWatcher&) = delete;

  // Takes the oldest queued event, waiting at most `timeout`. False on time-out.
  bool Next(ReceivedEvent& event, std::chrono::milliseconds timeout);

  // Disconnects from the channel; idempotent. Called by the destructor.
  void Disconnect();

  // Shared by the watcher and its servant: the POA releases the servant only once no
  // push runs on it any more, which may be after the watcher is gone.
  struct Queue {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<ReceivedEvent> events;
    bool connected = false;
  };

 private:
  PortableServer::POA_var poa;
  PortableServer::ObjectId_var objectId;
  CosEventChannelAdmin::ProxyPushSupplier_var supplier;
  std::shared_ptr<Queue> queue;
};

// Pushes structured events into a channel as a push supplier.
class ChannelPublisher {
 public:
  // Throws a CORBA exception when the channel cannot be joined.
  explicit ChannelPublisher(CosEventChannelAdmin::EventChannel_ptr channel);
  ~ChannelPublisher();
  ChannelPublisher(const ChannelPublisher&) = delete;
  ChannelPublisher& operator=(const ChannelPublisher&) = delete;

  void Push(const CosNotification::StructuredEvent& event);

 private:
  CosEventChannelAdmin::ProxyPushConsumer_var consumer;
};

// A structured event with the given header and no filterable data yet.
CosNotification::StructuredEvent MakeStructuredEvent(const std::string& domainName,
                                                     const std::string& typeName,
                                                     const std::string& eventName);

// Appends a named value to the event's filterable data.
void AddField(CosNotification::StructuredEvent& event, const std::string& name,
              const CORBA::Any& value);

}  // namespace SpecimenCtl
