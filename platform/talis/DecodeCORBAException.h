#pragma once

#include <string>

#include <omniORB4/CORBA.h>

namespace Corvane::TalisFramework {

// One line of text for a CORBA exception, for logs and error messages:
//   system exception: "CORBA::TRANSIENT minor=TRANSIENT_ConnectFailed completed=COMPLETED_NO"
//     (the minor code as a number, "minor=0x...", when the ORB has no name for it);
//   user exception:   its repository id, and for BadParameter also
//     " parameter='...' reason='...'".
std::string DecodeCORBAException(const CORBA::Exception& exception);

}  // namespace Corvane::TalisFramework
