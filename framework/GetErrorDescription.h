#pragma once

#include <string>

namespace Corvane::TalisFramework {

// The system's text for an error number (as strerror gives it), obtained re-entrantly so
// that any thread may call it. An unknown number gives the system's "Unknown error N".
std::string GetErrorDescription(int errorNumber);

}  // namespace Corvane::TalisFramework
