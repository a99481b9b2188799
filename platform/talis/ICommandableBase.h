#pragma once

#include <omniORB4/CORBA.h>

#include "specimen/idl/Talis.hh"

namespace Corvane::TalisFramework {

// The commandable half of a servant: the servant implements SendCommand, and
// SendCommandWorkaround runs it for clients that cannot handle the IDL exceptions of
// SendCommand (BadParameter, WillCompleteAsynchronously): those come back in the out
// record instead, with an empty `result` (an Any of type tk_null). Any other exception
// of SendCommand leaves SendCommandWorkaround unchanged.
class ICommandableBase {
 public:
  ICommandableBase() = default;
  virtual ~ICommandableBase();

  virtual void SendCommand(const CORBA::Any& command, const char* requester,
                           const char* transactionID, CORBA::Any_out result) = 0;

  // Fills `data` as: badParameter and its parameter/reason texts when SendCommand raised
  // BadParameter, willCompleteAsynchronously when it raised WillCompleteAsynchronously,
  // otherwise both flags false and both texts empty, `result` being SendCommand's.
  virtual void SendCommandWorkaround(const CORBA::Any& command, const char* requester,
                                     const char* transactionID, CORBA::Any_out result,
                                     Corvane::Talis::SendCommandWorkaroundData_out data);
};

}  // namespace Corvane::TalisFramework
