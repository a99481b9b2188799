#include "platform/talis/PayloadDescription.h"

namespace Corvane::TalisFramework {

char* PayloadDescription::GetEntity() const {
  return CORBA::string_dup(description.c_str());
}

}  // namespace Corvane::TalisFramework
