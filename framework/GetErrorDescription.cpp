#include "framework/GetErrorDescription.h"

#include <string.h>

namespace Corvane::TalisFramework {

namespace {

// strerror_r comes in two flavours; overloads pick whichever the C library declares.
[[maybe_unused]] const char* DescriptionFrom(int result, const char* buffer) {
  return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* DescriptionFrom(const char* result, const char*) { return result; }

}  // namespace

std::string GetErrorDescription(int errorNumber) {
  char buffer[256] = {};
  const char* text = DescriptionFrom(strerror_r(errorNumber, buffer, sizeof buffer), buffer);
  if (text == nullptr) {
    return "Unknown error " + std::to_string(errorNumber);
  }
  return text;
}

}  // namespace Corvane::TalisFramework
