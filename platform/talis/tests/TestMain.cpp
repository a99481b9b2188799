#include <cstring>

#include <gtest/gtest.h>

#include "platform/talis/tests/BrokerChild.h"

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--broker-child") == 0) {
    return Corvane::TalisFramework::RunBrokerChild(argc, argv);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
