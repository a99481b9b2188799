#include "platform/talis/ICommandableBase.h"

namespace Corvane::TalisFramework {

ICommandableBase::~ICommandableBase() = default;

void ICommandableBase::SendCommandWorkaround(const CORBA::Any& command, const char* requester,
                                             const char* transactionID, CORBA::Any_out result,
                                             Corvane::Talis::SendCommandWorkaroundData_out data) {
  Corvane::Talis::SendCommandWorkaroundData_var record =
      new Corvane::Talis::SendCommandWorkaroundData;
  record->badParameter = false;
  record->willCompleteAsynchronously = false;
  CORBA::Any_var answer;
  try {
    SendCommand(command, requester, transactionID, answer.out());
  } catch (const Corvane::Talis::BadParameter& refusal) {
    record->badParameter = true;
    record->parameter = refusal.parameter;
    record->reason = refusal.reason;
    answer = new CORBA::Any;
  } catch (const Corvane::Talis::WillCompleteAsynchronously&) {
    record->willCompleteAsynchronously = true;
    answer = new CORBA::Any;
  }
  // A SendCommand that left its out argument unset must not send a null Any back.
  if (answer.operator->() == nullptr) {
    answer = new CORBA::Any;
  }
  result = answer._retn();
  data = record._retn();
}

}  // namespace Corvane::TalisFramework
