#pragma once

#include <COS/CosNotification.hh>
#include <boost/shared_ptr.hpp>

#include "platform/herald/IEventBase.h"

namespace Corvane::TalisFramework {
class IObjectBroker;
}

namespace Corvane::Herald {

// Builds the event object for a received structured event of one type. The transceiver
// then fills the object with IEventBase::Decode.
class EventClassFactory {
 public:
  virtual ~EventClassFactory() = default;
  virtual boost::shared_ptr<IEventBase> CreateCustomEvent(
      const CosNotification::StructuredEvent& event, TalisFramework::IObjectBroker& broker) = 0;
};

// The factory of an event class T constructible from the broker alone.
template <class T>
class TEventClassFactory : public EventClassFactory {
 public:
  boost::shared_ptr<IEventBase> CreateCustomEvent(const CosNotification::StructuredEvent&,
                                                  TalisFramework::IObjectBroker& broker) override {
    return boost::shared_ptr<IEventBase>(new T(broker));
  }
};

}  // namespace Corvane::Herald
