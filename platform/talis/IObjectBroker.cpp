#include "platform/talis/IObjectBroker.h"

namespace Corvane::TalisFramework {

IObjectBroker::~IObjectBroker() = default;

}  // namespace Corvane::TalisFramework
