#pragma once

#include <string>

namespace Corvane::TalisFramework {

// Throws the IDL exception E: without arguments default-constructed (for BadParameter
// both texts empty), with two texts built from them (for BadParameter the parameter and
// the reason).
template <typename E>
[[noreturn]] void ThrowCORBAException2() {
  throw E();
}

template <typename E>
[[noreturn]] void ThrowCORBAException2(const std::string& first, const std::string& second) {
  throw E(first.c_str(), second.c_str());
}

}  // namespace Corvane::TalisFramework
