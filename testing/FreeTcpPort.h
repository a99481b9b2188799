#pragma once

namespace Corvane::Testing {

// A TCP port on 127.0.0.1 that was free a moment ago (the system picks it). Another
// process may still take it before the caller binds; callers that start servers retry.
int FreeTcpPort();

}  // namespace Corvane::Testing
