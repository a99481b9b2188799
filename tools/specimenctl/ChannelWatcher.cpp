#include "tools/specimenctl/ChannelWatcher.h"

#include <cstdio>
#include <sstream>

#include <omniORB4/Naming.hh>

namespace SpecimenCtl {

namespace {

std::string Quote(const char* text) {
  std::string out = "'";
  for (const char* p = text; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\\' || c == '\'') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "'";
}

std::string DescribeOctets(const CORBA::OctetSeq& octets) {
  std::string out = "octets[" + std::to_string(octets.length()) + "]:";
  for (CORBA::ULong i = 0; i < octets.length(); ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02x", octets[i]);
    out += hex;
  }
  return out;
}

template <typename T>
std::string Number(T value) {
  std::ostringstream out;
  out.precision(17);
  out << value;
  return out.str();
}

}  // namespace

const CORBA::Any* ReceivedEvent::Field(const std::string& name) const {
  for (const auto& field : fields) {
    if (field.first == name) {
      return &field.second;
    }
  }
  return nullptr;
}

std::string ReceivedEvent::Describe() const {
  std::string out = "event " + eventName + " type=" + typeName + " domain=" + domainName;
  for (const auto& field : fields) {
    out += " " + field.first + "=" + DescribeAny(field.second);
  }
  CORBA::TypeCode_var type = remainderOfBody.type();
  if (type->kind() != CORBA::tk_null) {
    out += " body=" + DescribeAny(remainderOfBody);
  }
  return out;
}

std::string DescribeAny(const CORBA::Any& value) {
  CORBA::TypeCode_var type = value.type();
  switch (type->kind()) {
    case CORBA::tk_null:
    case CORBA::tk_void:
      return "(none)";
    case CORBA::tk_boolean: {
      CORBA::Boolean b = false;
      value >>= CORBA::Any::to_boolean(b);
      return b ? "true" : "false";
    }
    case CORBA::tk_char: {
      CORBA::Char c = 0;
      value >>= CORBA::Any::to_char(c);
      const char text[2] = {static_cast<char>(c), '\0'};
      return "char:" + Quote(text);
    }
    case CORBA::tk_octet: {
      CORBA::Octet o = 0;
      value >>= CORBA::Any::to_octet(o);
      return Number(static_cast<unsigned>(o));
    }
#define SPECIMENCTL_NUMBER(kind, Type)  \
  case CORBA::kind: {                   \
    Type n = 0;                         \
    value >>= n;                        \
    return Number(n);                   \
  }
      SPECIMENCTL_NUMBER(tk_short, CORBA::Short)
      SPECIMENCTL_NUMBER(tk_ushort, CORBA::UShort)
      SPECIMENCTL_NUMBER(tk_long, CORBA::Long)
      SPECIMENCTL_NUMBER(tk_ulong, CORBA::ULong)
      SPECIMENCTL_NUMBER(tk_longlong, CORBA::LongLong)
      SPECIMENCTL_NUMBER(tk_ulonglong, CORBA::ULongLong)
      SPECIMENCTL_NUMBER(tk_float, CORBA::Float)
      SPECIMENCTL_NUMBER(tk_double, CORBA::Double)
#undef SPECIMENCTL_NUMBER
    case CORBA::tk_string: {
      const char* text = nullptr;
      value >>= text;
      return Quote(text != nullptr ? text : "");
    }
    case CORBA::tk_any: {
      const CORBA::Any* inner = nullptr;
      value >>= inner;
      return inner != nullptr ? DescribeAny(*inner) : "(none)";
    }
    default:
      break;
  }
  const CORBA::OctetSeq* octets = nullptr;
  if (value >>= octets) {
    return DescribeOctets(*octets);
  }
  return std::string("(value of type ") + type->id() + ")";
}

CosEventChannelAdmin::EventChannel_ptr ResolveChannel(CORBA::ORB_ptr orb, const std::string& name,
                                                      const std::string& kind) {
  CORBA::Object_var object = orb->resolve_initial_references("NameService");
  return ResolveChannel(object.in(), name, kind);
}

CosEventChannelAdmin::EventChannel_ptr ResolveChannel(CORBA::Object_ptr namingService,
                                                      const std::string& name,
                                                      const std::string& kind) {
  CosNaming::NamingContext_var naming = CosNaming::NamingContext::_narrow(namingService);
  if (CORBA::is_nil(naming)) {
    throw CORBA::OBJECT_NOT_EXIST();
  }
  CosNaming::Name entry;
  entry.length(1);
  entry[0].id = name.c_str();
  entry[0].kind = kind.c_str();
  CORBA::Object_var found = naming->resolve(entry);
  CosEventChannelAdmin::EventChannel_var channel =
      CosEventChannelAdmin::EventChannel::_narrow(found);
  if (CORBA::is_nil(channel)) {
    throw CORBA::BAD_PARAM();
  }
  return channel._retn();
}

namespace {

class Consumer : public POA_CosEventComm::PushConsumer {
 public:
  explicit Consumer(std::shared_ptr<ChannelWatcher::Queue> sharedQueue)
      : queue(std::move(sharedQueue)) {}

  void push(const CORBA::Any& data) override {
    const CosNotification::StructuredEvent* structured = nullptr;
    if (!(data >>= structured)) {
      return;
    }
    ReceivedEvent event;
    event.domainName = structured->header.fixed_header.event_type.domain_name.in();
    event.typeName = structured->header.fixed_header.event_type.type_name.in();
    event.eventName = structured->header.fixed_header.event_name.in();
    for (CORBA::ULong i = 0; i < structured->filterable_data.length(); ++i) {
      event.fields.emplace_back(structured->filterable_data[i].name.in(),
                                structured->filterable_data[i].value);
    }
    event.remainderOfBody = structured->remainder_of_body;
    std::lock_guard<std::mutex> guard(queue->mutex);
    queue->events.push_back(std::move(event));
    queue->arrived.notify_all();
  }

  void disconnect_push_consumer() override {
    std::lock_guard<std::mutex> guard(queue->mutex);
    queue->connected = false;
  }

 private:
  std::shared_ptr<ChannelWatcher::Queue> queue;
};

}  // namespace

// GCC's array-bounds analysis misreads the servant base's layout in sanitizer builds.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
ChannelWatcher::ChannelWatcher(CORBA::ORB_ptr orb, CosEventChannelAdmin::EventChannel_ptr channel)
    : queue(std::make_shared<Queue>()) {
  CORBA::Object_var object = orb->resolve_initial_references("RootPOA");
  poa = PortableServer::POA::_narrow(object);
  Consumer* servant = new Consumer(queue);
  objectId = poa->activate_object(servant);
  // The POA holds the only reference from here on and deletes the servant after it
  // is deactivated and its last call has returned.
  servant->_remove_ref();
  CORBA::Object_var self = poa->id_to_reference(objectId);
  CosEventComm::PushConsumer_var selfConsumer = CosEventComm::PushConsumer::_narrow(self);
  CosEventChannelAdmin::ConsumerAdmin_var admin = channel->for_consumers();
  supplier = admin->obtain_push_supplier();
  supplier->connect_push_consumer(selfConsumer);
  std::lock_guard<std::mutex> guard(queue->mutex);
  queue->connected = true;
}
#pragma GCC diagnostic pop

ChannelWatcher::~ChannelWatcher() {
  Disconnect();
  try {
    poa->deactivate_object(objectId);
  } catch (const CORBA::Exception&) {
    // Already gone when the ORB shut down first; nothing left to release.
  }
}

void ChannelWatcher::Disconnect() {
  {
    std::lock_guard<std::mutex> guard(queue->mutex);
    if (!queue->connected) {
      return;
    }
    queue->connected = false;
  }
  try {
    supplier->disconnect_push_supplier();
  } catch (const CORBA::Exception&) {
    // The channel may already have dropped us.
  }
}

bool ChannelWatcher::Next(ReceivedEvent& event, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(queue->mutex);
  if (!queue->arrived.wait_for(lock, timeout, [this] { return !queue->events.empty(); })) {
    return false;
  }
  event = std::move(queue->events.front());
  queue->events.pop_front();
  return true;
}

ChannelPublisher::ChannelPublisher(CosEventChannelAdmin::EventChannel_ptr channel) {
  CosEventChannelAdmin::SupplierAdmin_var admin = channel->for_suppliers();
  consumer = admin->obtain_push_consumer();
  consumer->connect_push_supplier(CosEventComm::PushSupplier::_nil());
}

ChannelPublisher::~ChannelPublisher() {
  try {
    consumer->disconnect_push_consumer();
  } catch (const CORBA::Exception&) {
    // The channel is gone already; there is nothing to disconnect from.
  }
}

void ChannelPublisher::Push(const CosNotification::StructuredEvent& event) {
  CORBA::Any data;
  data <<= event;
  consumer->push(data);
}

CosNotification::StructuredEvent MakeStructuredEvent(const std::string& domainName,
                                                     const std::string& typeName,
                                                     const std::string& eventName) {
  CosNotification::StructuredEvent event;
  event.header.fixed_header.event_type.domain_name = domainName.c_str();
  event.header.fixed_header.event_type.type_name = typeName.c_str();
  event.header.fixed_header.event_name = eventName.c_str();
  event.header.variable_header.length(0);
  event.filterable_data.length(0);
  return event;
}

void AddField(CosNotification::StructuredEvent& event, const std::string& name,
              const CORBA::Any& value) {
  const CORBA::ULong index = event.filterable_data.length();
  event.filterable_data.length(index + 1);
  event.filterable_data[index].name = name.c_str();
  event.filterable_data[index].value = value;
}

}  // namespace SpecimenCtl
