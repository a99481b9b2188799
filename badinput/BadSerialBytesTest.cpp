// Every byte value the serial port delivers reaches the console unchanged; the only
// addition is the status prompt after each line feed.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "serialterm/tests/PseudoTerminal.h"
#include "serialterm/tests/TerminalProcess.h"

namespace {

constexpr int kCapMs = 15000;
constexpr int kQuietMs = 100;
const std::string kPrompt = "cts dsr dcd> ";  // a pseudo-terminal has no modem lines

TEST(BadSerialBytesTest, AllByteValuesFromThePortReachTheConsoleUnchanged) {
  PseudoTerminal console{false};
  PseudoTerminal port{true};
  TerminalProcess process({SERIALTERM_PATH, port.SlavePath()}, console.Slave());
  ASSERT_TRUE(console.WaitFor(kPrompt, kCapMs)) << console.Received();
  console.Clear();

  std::string bytes;
  std::string shown;
  for (int value = 0; value < 256; ++value) {
    bytes += static_cast<char>(value);
    shown += static_cast<char>(value);
    if (value == '\n') {
      shown += kPrompt;
    }
  }
  // Twice, so that the bytes after the prompt also follow a full line.
  port.Write(bytes + bytes);
  ASSERT_TRUE(console.WaitFor(shown + shown, kCapMs)) << console.Received().size();
  EXPECT_TRUE(console.QuietFor(kQuietMs));
  EXPECT_EQ(shown + shown, console.Received());

  console.Write("\x1b");
  ASSERT_TRUE(process.Wait(kCapMs));
  EXPECT_EQ(0, process.ExitStatus());
}

}  // namespace
