#include "serialterm/Program.h"

#include <signal.h>
#include <string.h>
#include <termios.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "serialterm/tests/PseudoTerminal.h"
#include "serialterm/tests/TerminalProcess.h"

namespace {

constexpr int kCapMs = 15000;                 // for something that happens
constexpr int kQuietMs = 100;                 // for something that must not happen
const std::string kPrompt = "cts dsr dcd> ";  // a pseudo-terminal has no modem lines
const std::string kEscape = "\x1b";

std::vector<std::string> Command(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), SERIALTERM_PATH);
  return arguments;
}

TEST(ProgramTest, PromptShowsAssertedLinesInUpperCase) {
  struct Case {
    bool cts, dsr, dcd;
    const char* prompt;
  };
  const Case cases[] = {{true, true, true, "CTS DSR DCD> "},
                        {false, false, false, "cts dsr dcd> "},
                        {true, false, true, "CTS dsr DCD> "},
                        {false, true, false, "cts DSR dcd> "}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.prompt, Program::PromptText(c.cts, c.dsr, c.dcd));
  }
}

TEST(ProgramTest, WithoutArgumentsExitsAndLeavesTheConsoleAlone) {
  PseudoTerminal console(false);
  const termios before = console.Settings();
  TerminalProcess process(Command({}), console.Slave());
  ASSERT_TRUE(process.Wait(kCapMs));
  EXPECT_EQ(0, process.ExitStatus());
  EXPECT_TRUE(console.QuietFor(kQuietMs)) << console.Received();
  EXPECT_EQ("", process.ErrorOutput());
  EXPECT_TRUE(SameSettings(before, console.Settings()));
}

TEST(ProgramTest, RefusedOptionsAreReportedAndTheConsoleRestored) {
  struct Case {
    std::vector<std::string> options;
    const char* console;
    const char* error;
  };
  const Case cases[] = {
      {{"baud=96O0"},
       "baud rate 96O0\n96\n",
       "Caught exception type St16invalid_argument: 96O0 could not be converted to a baud rate "
       "number\n"},
      {{"speed=9600"},
       "",
       "Caught exception type St16invalid_argument: 'speed=9600' is not a "
       "valid option\n"},
      {{"baud=9600", "speed=1"},
       "baud rate 9600\n9600\n13\n",
       "Caught exception type St16invalid_argument: 'speed=1' is not a valid option\n"},
      {{"baud=12345"},
       "baud rate 12345\n12345\n",
       "Caught exception type St16invalid_argument: unsupported baud rate 12345\n"},
      {{"BaudRate="},
       "baud rate \n0\n",
       "Caught exception type St16invalid_argument: unsupported baud rate 0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options.back());
    PseudoTerminal console(false);
    PseudoTerminal port(true);
    const termios before = console.Settings();
    std::vector<std::string> arguments{port.SlavePath()};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    TerminalProcess process(Command(arguments), console.Slave());
    ASSERT_TRUE(process.Wait(kCapMs));
    EXPECT_EQ(0, process.ExitStatus());
    console.WaitFor(c.console, kCapMs);
    console.QuietFor(kQuietMs);
    EXPECT_EQ(c.console, console.Received());
    EXPECT_EQ(c.error, process.ErrorOutput());
    EXPECT_TRUE(SameSettings(before, console.Settings()));
  }
}

TEST(ProgramTest, PortThatCannotBeOpenedIsReported) {
  PseudoTerminal console(false);
  const termios before = console.Settings();
  TerminalProcess process(Command({"/nonexistent/ttyS9"}), console.Slave());
  ASSERT_TRUE(process.Wait(kCapMs));
  EXPECT_EQ(0, process.ExitStatus());
  const std::string& error = process.ErrorOutput();
  EXPECT_EQ(0u, error.find("Caught exception type ")) << error;
  EXPECT_NE(std::string::npos, error.find("/nonexistent/ttyS9")) << error;
  EXPECT_TRUE(SameSettings(before, console.Settings()));
}

// serialterm running with pseudo-terminals as its console and as its port.
class RunningProgramTest : public ::testing::Test {
 protected:
  // Starts the program and waits for its first prompt; `startOutput` keeps what came
  // before it, the console's record is then cleared.
  void Start(const std::vector<std::string>& options = {}) {
    before = console.Settings();
    std::vector<std::string> arguments{port.SlavePath()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    process = std::make_unique<TerminalProcess>(Command(arguments), console.Slave());
    ASSERT_TRUE(console.WaitFor(kPrompt, kCapMs)) << console.Received();
    startOutput = console.Received();
    console.Clear();
  }

  // Escape ends the program with status 0, the console restored and nothing more sent.
  void EndWithEscape() {
    console.Write(kEscape);
    ASSERT_TRUE(process->Wait(kCapMs));
    EXPECT_EQ(0, process->ExitStatus());
    EXPECT_TRUE(SameSettings(before, console.Settings()));
  }

  PseudoTerminal console{false};
  PseudoTerminal port{true};
  termios before{};
  std::string startOutput;
  std::unique_ptr<TerminalProcess> process;
};

TEST_F(RunningProgramTest, OpensThePortWithTheLastBaudRate) {
  struct Case {
    std::vector<std::string> options;
    const char* lines;
    speed_t speed;
  };
  const Case cases[] = {
      {{}, "", B19200},
      {{"BAUDRATE=115200"}, "baud rate 115200\n115200\n4098\n", B115200},
      {{"baud=9600", "Baud=4800"}, "baud rate 9600\n9600\n13\nbaud rate 4800\n4800\n12\n", B4800},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    Start(c.options);
    EXPECT_EQ(0u, startOutput.find(c.lines)) << startOutput;
    const termios settings = port.Settings();
    EXPECT_EQ(c.speed, cfgetospeed(&settings));
    EXPECT_EQ(static_cast<tcflag_t>(CS8), settings.c_cflag & CSIZE);
    EXPECT_EQ(0u, settings.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EndWithEscape();
    EXPECT_EQ("", process->ErrorOutput());
  }
}

TEST_F(RunningProgramTest, KeysAreEchoedAndSentOneByOne) {
  Start();
  const termios raw = console.Settings();
  EXPECT_EQ(0u, raw.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_EQ(0u, raw.c_iflag & (ISTRIP | ICRNL | IXON));
  EXPECT_EQ(0u, raw.c_oflag & OPOST);
  EXPECT_EQ(1, raw.c_cc[VMIN]);
  EXPECT_EQ(0, raw.c_cc[VINTR]);
  EXPECT_EQ(0x11, raw.c_cc[VSTART]);
  EXPECT_EQ(0x13, raw.c_cc[VSTOP]);

  // Return goes to the port as a lone carriage return; the console gets a new line.
  console.Write("a\rb\nc");
  const std::string sent = "a\rb\nc";
  ASSERT_TRUE(port.WaitFor(sent, kCapMs)) << port.Received();
  const std::string shown = "a\r\n" + kPrompt + "b\n" + kPrompt + "c";
  ASSERT_TRUE(console.WaitFor(shown, kCapMs)) << console.Received();
  EXPECT_TRUE(port.QuietFor(kQuietMs));
  EXPECT_EQ(sent, port.Received());
  EXPECT_EQ(shown, console.Received());

  EndWithEscape();
  EXPECT_TRUE(port.QuietFor(kQuietMs)) << "sent after Escape: " << port.Received();
  EXPECT_EQ("", process->ErrorOutput());
}

TEST_F(RunningProgramTest, PortDataGetsAPromptAfterEachLineFeed) {
  Start();
  port.Write("one\ntwo\nthr");
  const std::string shown = "one\n" + kPrompt + "two\n" + kPrompt + "thr";
  ASSERT_TRUE(console.WaitFor(shown, kCapMs)) << console.Received();
  EXPECT_TRUE(console.QuietFor(kQuietMs));
  EXPECT_EQ(shown, console.Received());
  EndWithEscape();
}

TEST_F(RunningProgramTest, EscapeEndsTheProgramAfterThePortWentAway) {
  Start();
  port.CloseMaster();
  ASSERT_TRUE(process->WaitForErrorOutput("\nReceiver caught exception type ", kCapMs))
      << process->ErrorOutput();
  EXPECT_FALSE(process->Wait(kQuietMs));
  EndWithEscape();
}

TEST_F(RunningProgramTest, FailedPortWriteEndsTheProgramInOrder) {
  Start();
  port.CloseMaster();
  ASSERT_TRUE(process->WaitForErrorOutput("Receiver caught exception type ", kCapMs));
  console.Write("x");
  ASSERT_TRUE(process->Wait(kCapMs));
  EXPECT_EQ(0, process->ExitStatus());
  EXPECT_NE(std::string::npos, process->ErrorOutput().find("\nTransmitter caught exception type "))
      << process->ErrorOutput();
  EXPECT_TRUE(SameSettings(before, console.Settings()));
}

TEST_F(RunningProgramTest, StopSignalsRestoreTheConsoleFirst) {
  for (int signalNumber : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(strsignal(signalNumber));
    Start();
    process->Signal(signalNumber);
    ASSERT_TRUE(process->Wait(kCapMs));
    EXPECT_EQ(signalNumber, process->TermSignal());
    EXPECT_TRUE(SameSettings(before, console.Settings()));
  }
}

TEST_F(RunningProgramTest, EndsWhenTheConsoleCloses) {
  Start();
  console.CloseMaster();
  EXPECT_TRUE(process->Wait(kCapMs));
}

}  // namespace
