#pragma once

#include <errno.h>

namespace Corvane::TalisFramework {

// Repeats a system call that reports failure as -1 with errno while it fails with EINTR,
// and returns the first other result. errno is left as the last attempt set it.
// Usage: RetryOnEintr([&] { return ::read(fd, buffer, sizeof buffer); })
template <typename Call>
auto RetryOnEintr(Call call) -> decltype(call()) {
  for (;;) {
    auto result = call();
    if (result != -1 || errno != EINTR) {
      return result;
    }
  }
}

}  // namespace Corvane::TalisFramework
