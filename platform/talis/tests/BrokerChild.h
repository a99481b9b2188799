#pragma once

namespace Corvane::TalisFramework {

// The test binary re-run as a server: `talis_test --broker-child NAME [ORB options]`.
// Advertises a small commandable servant as NAME (kind "test") and serves until a
// client sends it "SHUTDOWN". Exit status: 0 after the request loop ended, 3 for a CORBA
// exception (decoded on standard error), 4 for another exception.
int RunBrokerChild(int argc, char** argv);

}  // namespace Corvane::TalisFramework
