#include "platform/talis/ByteArray.h"

#include <gtest/gtest.h>

namespace Corvane::TalisFramework {
namespace {

TEST(ByteArrayTest, KeepsBytesInOrder) {
  ByteArray bytes(std::string("ab"));
  const unsigned char more[] = {0, 0xff};
  bytes.append(more, sizeof more);
  bytes.push_back('z');
  ASSERT_EQ(5u, bytes.size());
  EXPECT_EQ(std::string("ab\0\xffz", 5), bytes.ToString());
  EXPECT_EQ(ByteArray(bytes.data(), bytes.size()), bytes);
}

}  // namespace
}  // namespace Corvane::TalisFramework
