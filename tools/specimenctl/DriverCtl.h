#pragma once

#include <iosfwd>

namespace SpecimenCtl {

// The whole driver client: parses the command line (ORB options first go to the ORB,
// which binds to loopback unless an -ORBendPoint is given), talks to the driver or the
// channel, and returns the exit status: 0 done, 1 failure (unreachable driver, CORBA
// system exception, missing events), 2 usage error, 3 the driver raised BadParameter.
int RunDriverCtl(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace SpecimenCtl
