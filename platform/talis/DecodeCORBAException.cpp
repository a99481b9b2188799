#include "platform/talis/DecodeCORBAException.h"

#include <cstdio>
#include <sstream>

#include "specimen/idl/Talis.hh"

namespace Corvane::TalisFramework {

namespace {

const char* CompletionName(CORBA::CompletionStatus status) {
  switch (status) {
    case CORBA::COMPLETED_YES:
      return "COMPLETED_YES";
    case CORBA::COMPLETED_NO:
      return "COMPLETED_NO";
    case CORBA::COMPLETED_MAYBE:
      return "COMPLETED_MAYBE";
  }
  return "COMPLETED_UNKNOWN";
}

std::string DecodeSystemException(const CORBA::SystemException& exception) {
  std::ostringstream text;
  text << "CORBA::" << exception._name() << " minor=";
  const char* minorName = exception.NP_minorString();
  if (minorName != nullptr) {
    text << minorName;
  } else {
    char number[16];
    std::snprintf(number, sizeof number, "0x%08lx", static_cast<unsigned long>(exception.minor()));
    text << number;
  }
  text << " completed=" << CompletionName(exception.completed());
  return text.str();
}

}  // namespace

std::string DecodeCORBAException(const CORBA::Exception& exception) {
  if (const CORBA::SystemException* system = CORBA::SystemException::_downcast(&exception)) {
    return DecodeSystemException(*system);
  }
  std::string text = exception._rep_id();
  if (const Corvane::Talis::BadParameter* refusal =
          Corvane::Talis::BadParameter::_downcast(&exception)) {
    text += " parameter='";
    text += static_cast<const char*>(refusal->parameter);
    text += "' reason='";
    text += static_cast<const char*>(refusal->reason);
    text += "'";
  }
  return text;
}

}  // namespace Corvane::TalisFramework
