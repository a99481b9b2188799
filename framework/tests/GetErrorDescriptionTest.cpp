#include "framework/GetErrorDescription.h"

#include <errno.h>
#include <string.h>

#include <gtest/gtest.h>

namespace Corvane::TalisFramework {
namespace {

TEST(GetErrorDescriptionTest, GivesTheSystemText) {
  EXPECT_EQ(strerror(EBADF), GetErrorDescription(EBADF));
  EXPECT_EQ(strerror(ENOENT), GetErrorDescription(ENOENT));
  EXPECT_EQ("Unknown error 99999", GetErrorDescription(99999));
}

}  // namespace
}  // namespace Corvane::TalisFramework
