#include "platform/talis/ByteArray.h"

namespace Corvane::TalisFramework {

ByteArray::~ByteArray() = default;

}  // namespace Corvane::TalisFramework
