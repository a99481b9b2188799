#include "tools/eventtool/EventTool.h"

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <iostream>
#include <mutex>
#include <sstream>

#include "platform/herald/EventPropertyValue.h"
#include "platform/herald/EventTransceiver.h"
#include "platform/herald/GPSSampleEvent.h"
#include "platform/herald/GenericEvent.h"
#include "platform/herald/WireFormat.h"

namespace Corvane::EventTool {

using Herald::EventPropertyValue;
using Herald::EventTransceiver;
using Herald::EventTransceiverSettings;

namespace {

EventTransceiverSettings ChannelSettings(const EventToolOptions& options, bool receive) {
  EventTransceiverSettings settings;
  settings.eventServiceName = options.channel;
  settings.eventServiceKind = options.kind;
  settings.receiveEnable = receive;
  settings.displayReceivedEvents = false;
  return settings;
}

// Splits NAME,STORAGE,VALUE (the value may hold further commas) into a typed value.
void AddField(Herald::GenericEvent& event, const std::string& token,
              TalisFramework::IObjectBroker& broker) {
  const std::size_t first = token.find(',');
  const std::size_t second = first == std::string::npos ? first : token.find(',', first + 1);
  if (second == std::string::npos || first == 0 || second == first + 1) {
    throw std::invalid_argument("field '" + token + "' is not NAME,STORAGE,VALUE");
  }
  EventPropertyValue::StorageType type{};
  const std::string storage = token.substr(first + 1, second - first - 1);
  if (!EventPropertyValue::FromString(storage, type)) {
    throw std::invalid_argument("field '" + token + "': unknown storage type '" + storage + "'");
  }
  EventPropertyValue value(broker);
  value.SetAsString(type, token.substr(second + 1));
  CORBA::Any any;
  value.CopyOut(any);
  event.AddField(token.substr(0, first), any);
}

}  // namespace

EventTool::EventTool(const EventToolOptions& optionsIn, TalisFramework::IObjectBroker& brokerIn,
                     TalisFramework::Logger& loggerIn, std::ostream& outIn)
    : options(optionsIn), broker(brokerIn), logger(loggerIn), out(outIn) {}

int EventTool::Run(const std::function<bool()>& interrupted) {
  switch (options.command) {
    case EventToolOptions::Command::Watch:
      return Watch(interrupted);
    case EventToolOptions::Command::Gps:
      return PublishGps();
    case EventToolOptions::Command::Send:
      return PublishEvent();
    case EventToolOptions::Command::Help:
      break;
  }
  out << EventToolUsage();
  return 0;
}

int EventTool::Watch(const std::function<bool()>& interrupted) {
  std::mutex mutex;
  std::condition_variable changed;
  long seen = 0;
  EventTransceiver transceiver(ChannelSettings(options, true), broker, logger);
  boost::signals2::scoped_connection connection = transceiver.SignalForAllEvents().connect(
      [&](EventTransceiver&, const Herald::IEventBase& event) {
        CosNotification::StructuredEvent structured;
        event.Encode(structured);
        std::ostringstream line;
        Herald::WireFormat::DescribeEvent(line, structured);
        std::lock_guard<std::mutex> lock(mutex);
        if (options.count == 0 || seen < options.count) {
          out << line.str().substr(1) << std::endl;  // without the leading blank
          ++seen;
        }
        changed.notify_all();
      });
  transceiver.Initialize(nullptr);
  std::cerr << "eventtool: watching channel '" << options.channel << "'" << std::endl;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::microseconds(static_cast<long long>(options.seconds * 1e6));
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    if (options.count != 0 && seen >= options.count) {
      break;
    }
    if (options.seconds > 0 && std::chrono::steady_clock::now() >= deadline) {
      break;
    }
    if (interrupted()) {
      break;
    }
    changed.wait_for(lock, std::chrono::milliseconds(100));
  }
  lock.unlock();
  transceiver.Disconnect();
  return 0;
}

int EventTool::PublishGps() {
  Herald::GPSSampleEvent event(Herald::EventSettings(options.name, options.type, options.domain),
                               broker);
  const long time = options.time >= 0 ? options.time : static_cast<long>(std::time(nullptr));
  event.SetSample(time, options.validFix, options.latitude, options.longitude);
  EventTransceiver transceiver(ChannelSettings(options, false), broker, logger);
  transceiver.Initialize(nullptr);
  transceiver.TransmitEvent(event);
  return 0;
}

int EventTool::PublishEvent() {
  Herald::GenericEvent event(options.name, Herald::EventType(options.type, options.domain));
  for (const std::string& field : options.fields) {
    AddField(event, field, broker);
  }
  if (options.hasBody) {
    CORBA::OctetSeq bytes;
    bytes.length(static_cast<CORBA::ULong>(options.body.size()));
    for (CORBA::ULong i = 0; i < bytes.length(); ++i) {
      bytes[i] = static_cast<CORBA::Octet>(options.body[i]);
    }
    event.GetStructuredEvent().remainder_of_body <<= bytes;
  }
  EventTransceiver transceiver(ChannelSettings(options, false), broker, logger);
  transceiver.Initialize(nullptr);
  transceiver.TransmitEvent(event);
  return 0;
}

}  // namespace Corvane::EventTool
