#include "platform/talis/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/talis/tests/CapturingLogger.h"

namespace Corvane::TalisFramework {
namespace {

using boost::posix_time::milliseconds;
using BaudRate = ISerialPort::BaudRate;
using CharacterSize = ISerialPort::CharacterSize;
using FlowControl = ISerialPort::FlowControl;
using Parity = ISerialPort::Parity;
using StopBits = ISerialPort::StopBits;

// A pseudo-terminal pair: the port under test opens the slave, the test plays the
// device on the master side.
class SerialPortTest : public ::testing::Test {
 protected:
  SerialPortTest() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    char name[128];
    if (ptsname_r(master, name, sizeof name) != 0) {
      throw std::runtime_error("ptsname_r failed");
    }
    slaveName = name;
    port.reset(new SerialPort(slaveName, logger));
  }

  ~SerialPortTest() override {
    port.reset();
    if (master >= 0) {
      close(master);
    }
  }

  void OpenDefault() {
    port->Open(BaudRate::Baud19200, CharacterSize::Bits8, Parity::None, StopBits::One,
               FlowControl::None);
  }

  void WriteMaster(const std::string& text) {
    ASSERT_EQ(static_cast<ssize_t>(text.size()), write(master, text.data(), text.size()));
  }

  // Reads from the master until `count` bytes arrived or 5 s passed.
  std::string ReadMaster(std::size_t count) {
    std::string text;
    while (text.size() < count) {
      struct pollfd entry = {master, POLLIN, 0};
      if (poll(&entry, 1, 5000) <= 0) {
        break;
      }
      char buffer[256];
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) {
        break;
      }
      text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
  }

  // Whether the descriptor the port holds on the slave is close-on-exec (from /proc).
  bool SlaveIsCloseOnExec() const {
    for (int fd = 0; fd < 1024; ++fd) {
      char target[256] = {};
      const std::string link = "/proc/self/fd/" + std::to_string(fd);
      const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
      if (n <= 0 || slaveName != target) {
        continue;
      }
      std::ifstream info("/proc/self/fdinfo/" + std::to_string(fd));
      std::string key;
      std::string flags;
      while (info >> key >> flags) {
        if (key == "flags:") {
          return (std::stoul(flags, nullptr, 8) & O_CLOEXEC) != 0;
        }
      }
    }
    return false;
  }

  CapturingLogger logger;
  int master = -1;
  std::string slaveName;
  std::unique_ptr<SerialPort> port;
};

TEST(SerialPortSettingsTest, ApplySettingsSetsRawModeAndTheLine) {
  struct Case {
    BaudRate baud;
    CharacterSize size;
    Parity parity;
    StopBits stop;
    FlowControl flow;
  };
  const Case cases[] = {
      {BaudRate::Baud19200, CharacterSize::Bits8, Parity::None, StopBits::One, FlowControl::None},
      {BaudRate::Baud115200, CharacterSize::Bits7, Parity::Even, StopBits::Two,
       FlowControl::Hardware},
      {BaudRate::Baud9600, CharacterSize::Bits5, Parity::Odd, StopBits::One, FlowControl::Software},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ISerialPort::BaudRateToNum(c.baud));
    // Start from a cooked terminal with every line flag set the wrong way.
    struct termios settings {};
    settings.c_iflag = ICRNL | IXON | IXOFF | INPCK;
    settings.c_oflag = OPOST | ONLCR;
    settings.c_lflag = ICANON | ECHO | ISIG;
    settings.c_cflag = CS6 | PARENB | PARODD | CSTOPB | CRTSCTS;
    SerialPort::ApplySettings(settings, c.baud, c.size, c.parity, c.stop, c.flow);
    EXPECT_EQ(static_cast<speed_t>(c.baud), cfgetospeed(&settings));
    EXPECT_EQ(static_cast<speed_t>(c.baud), cfgetispeed(&settings));
    EXPECT_EQ(static_cast<tcflag_t>(c.size), settings.c_cflag & CSIZE);
    EXPECT_EQ(c.parity != Parity::None, (settings.c_cflag & PARENB) != 0);
    EXPECT_EQ(c.parity != Parity::None, (settings.c_iflag & INPCK) != 0);
    EXPECT_EQ(c.parity == Parity::Odd, (settings.c_cflag & PARODD) != 0);
    EXPECT_EQ(c.stop == StopBits::Two, (settings.c_cflag & CSTOPB) != 0);
    EXPECT_EQ(c.flow == FlowControl::Hardware, (settings.c_cflag & CRTSCTS) != 0);
    EXPECT_EQ(c.flow == FlowControl::Software,
              (settings.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF));
    EXPECT_EQ(static_cast<tcflag_t>(CLOCAL | CREAD), settings.c_cflag & (CLOCAL | CREAD));
    EXPECT_EQ(0u, settings.c_lflag & (ICANON | ECHO | ISIG));
    EXPECT_EQ(0u, settings.c_oflag & OPOST);
    EXPECT_EQ(0u, settings.c_iflag & ICRNL);
  }
}

TEST_F(SerialPortTest, OpenPutsTheDeviceInRawModeAtTheRate) {
  // A pseudo-terminal keeps the rate, stop bits and flow control; it forces 8N1 itself.
  port->Open(BaudRate::Baud19200, CharacterSize::Bits8, Parity::None, StopBits::Two,
             FlowControl::Hardware);
  struct termios settings {};
  ASSERT_EQ(0, tcgetattr(master, &settings));
  EXPECT_EQ(static_cast<speed_t>(B19200), cfgetospeed(&settings));
  EXPECT_EQ(static_cast<tcflag_t>(CS8), settings.c_cflag & CSIZE);
  EXPECT_NE(0u, settings.c_cflag & CSTOPB);
  EXPECT_NE(0u, settings.c_cflag & CRTSCTS);
  EXPECT_EQ(0u, settings.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_EQ(0u, settings.c_oflag & OPOST);
  EXPECT_TRUE(SlaveIsCloseOnExec());
}

TEST_F(SerialPortTest, TheValuesCallersPassAreTheTerminalCodes) {
  EXPECT_EQ(14u, static_cast<unsigned>(BaudRate::Baud19200));
  EXPECT_EQ(0x30u, static_cast<unsigned>(CharacterSize::Bits8));
  EXPECT_EQ(2, static_cast<int>(Parity::None));
  EXPECT_EQ(1, static_cast<int>(StopBits::One));
  EXPECT_EQ(2, static_cast<int>(FlowControl::None));
}

TEST_F(SerialPortTest, WritesEveryByteAndReadsWhatArrives) {
  OpenDefault();
  const std::string sent("hello\r\n\x00\xff", 9);
  port->Write(ByteArray(sent));
  EXPECT_EQ(sent, ReadMaster(sent.size()));

  // A write far larger than the terminal's buffer completes once the device drains it.
  const std::string large(64 * 1024, 'x');
  std::string received;
  std::thread drain([&] { received = ReadMaster(large.size()); });
  port->Write(ByteArray(large));
  drain.join();
  EXPECT_EQ(large.size(), received.size());

  WriteMaster("abc");
  ByteArray data;
  EXPECT_EQ(3u, port->ReadWithIntervalTimer(data, 1024, milliseconds(50), nullptr, false));
  EXPECT_EQ("abc", data.ToString());
}

TEST_F(SerialPortTest, OneThreadWritesWhileAnotherReads) {
  OpenDefault();
  std::string expected;
  for (int i = 0; i < 200; ++i) {
    expected += "line " + std::to_string(i) + "\n";
  }
  // The device echoes what it receives.
  std::thread device([&] {
    const std::string received = ReadMaster(expected.size());
    WriteMaster(received);
  });
  std::thread writer([&] {
    for (std::size_t at = 0; at < expected.size(); at += 7) {
      port->Write(ByteArray(expected.substr(at, 7)));
      port->GetCts();
    }
  });
  std::string echoed;
  ByteArray data;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (echoed.size() < expected.size() && std::chrono::steady_clock::now() < deadline) {
    port->ReadWithIntervalTimer(data, 1024, milliseconds(50), nullptr, false);
    echoed += data.ToString();
    port->GetDcd();
  }
  writer.join();
  device.join();
  EXPECT_EQ(expected, echoed);
}

TEST_F(SerialPortTest, ReadEndsOnTerminatorOnCountAndOnInterval) {
  OpenDefault();
  const unsigned char lineFeed = '\n';
  ByteArray data;

  WriteMaster("one\ntwo");
  EXPECT_EQ(4u, port->ReadWithIntervalTimer(data, 100, milliseconds(2000), &lineFeed, false));
  EXPECT_EQ("one\n", data.ToString());
  // Nothing after the terminator was consumed; the rest ends on the interval.
  EXPECT_EQ(3u, port->ReadWithIntervalTimer(data, 100, milliseconds(50), &lineFeed, false));
  EXPECT_EQ("two", data.ToString());

  WriteMaster("0123456789");
  EXPECT_EQ(4u, port->ReadWithIntervalTimer(data, 4, milliseconds(2000), nullptr, false));
  EXPECT_EQ("0123", data.ToString());
  EXPECT_EQ(6u, port->ReadWithIntervalTimer(data, 100, milliseconds(50), nullptr, false));
  EXPECT_EQ("456789", data.ToString());
}

TEST_F(SerialPortTest, ReadKeepsGoingWhileBytesFollowWithinTheInterval) {
  OpenDefault();
  std::thread device([&] {
    WriteMaster("a");
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    WriteMaster("b");
  });
  ByteArray data;
  port->ReadWithIntervalTimer(data, 100, milliseconds(1000), nullptr, false);
  device.join();
  EXPECT_EQ("ab", data.ToString());
}

TEST_F(SerialPortTest, ReadWithNothingToReadTimesOut) {
  OpenDefault();
  ByteArray data(std::string("old"));
  EXPECT_EQ(0u, port->ReadWithIntervalTimer(data, 100, milliseconds(30), nullptr, false));
  EXPECT_TRUE(data.empty());
  EXPECT_THROW(port->ReadWithIntervalTimer(data, 100, milliseconds(30), nullptr, true),
               SerialPort::Timeout);
}

TEST_F(SerialPortTest, WaitForPortStateReportsWhatHolds) {
  OpenDefault();
  bool readable = true;
  bool writable = false;
  EXPECT_FALSE(port->WaitForPortState(milliseconds(30), readable, writable, false));
  EXPECT_FALSE(readable);
  EXPECT_FALSE(writable);
  readable = true;
  EXPECT_THROW(port->WaitForPortState(milliseconds(30), readable, writable, true),
               SerialPort::Timeout);

  readable = true;
  writable = true;
  EXPECT_TRUE(port->WaitForPortState(milliseconds(5000), readable, writable, true));
  EXPECT_FALSE(readable);
  EXPECT_TRUE(writable);

  WriteMaster("x");
  readable = true;
  writable = false;
  EXPECT_TRUE(port->WaitForPortState(milliseconds(5000), readable, writable, false));
  EXPECT_TRUE(readable);
  EXPECT_FALSE(writable);
}

TEST_F(SerialPortTest, APseudoTerminalHasNoModemLines) {
  OpenDefault();
  EXPECT_FALSE(port->GetCts());
  EXPECT_FALSE(port->GetDsr());
  EXPECT_FALSE(port->GetDcd());
  port->SetRts(true);
  port->SetDtr(true);
  port->SetDtr(false);
  int notices = 0;
  for (const std::string& line : logger.Lines()) {
    notices += line.find("has no modem lines") != std::string::npos;
  }
  EXPECT_EQ(1, notices);
}

TEST_F(SerialPortTest, FailuresNameTheCallTheDeviceAndTheReason) {
  SerialPort missing("/nonexistent/ttyQ9", logger);
  try {
    missing.Open(BaudRate::Baud9600, CharacterSize::Bits8, Parity::None, StopBits::One,
                 FlowControl::None);
    FAIL() << "opened a device that does not exist";
  } catch (const SerialPort::SystemError& error) {
    EXPECT_STREQ(
        "SerialPort::Open: open() failed for '/nonexistent/ttyQ9': No such file or directory "
        "(error #2)",
        error.what());
  }
  EXPECT_FALSE(missing.IsOpen());

  // A file is no terminal: setting it up fails and leaves the port closed.
  SerialPort notATerminal("/dev/null", logger);
  EXPECT_THROW(notATerminal.Open(BaudRate::Baud9600, CharacterSize::Bits8, Parity::None,
                                 StopBits::One, FlowControl::None),
               SerialPort::SystemError);
  EXPECT_FALSE(notATerminal.IsOpen());

  ByteArray data;
  EXPECT_THROW(port->Write(ByteArray(std::string("x"))), std::logic_error);
  EXPECT_THROW(port->ReadWithIntervalTimer(data, 1, milliseconds(1), nullptr, false),
               std::logic_error);
  OpenDefault();
  EXPECT_THROW(OpenDefault(), std::logic_error);
}

TEST_F(SerialPortTest, AHangUpIsReportedNotWaitedOn) {
  OpenDefault();
  close(master);
  master = -1;
  bool readable = true;
  bool writable = false;
  EXPECT_TRUE(port->WaitForPortState(milliseconds(5000), readable, writable, false));
  EXPECT_TRUE(readable);
  ByteArray data;
  EXPECT_THROW(port->ReadWithIntervalTimer(data, 100, milliseconds(5000), nullptr, false),
               SerialPort::SystemError);
}

TEST(ISerialPortTest, NumToBaudRateTakesTheStandardRatesOnly) {
  struct Case {
    unsigned long rate;
    speed_t code;
  };
  const Case cases[] = {{50, B50},       {300, B300},       {9600, B9600},     {19200, B19200},
                        {57600, B57600}, {115200, B115200}, {921600, B921600}, {4000000, B4000000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    const ISerialPort::BaudRate baud = ISerialPort::NumToBaudRate(c.rate);
    EXPECT_EQ(c.code, static_cast<speed_t>(baud));
    EXPECT_EQ(c.rate, ISerialPort::BaudRateToNum(baud));
  }
  for (unsigned long rate : {0ul, 14ul, 9601ul, 250000ul, 4000001ul}) {
    SCOPED_TRACE(rate);
    try {
      ISerialPort::NumToBaudRate(rate);
      FAIL() << "accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_EQ("unsupported baud rate " + std::to_string(rate), error.what());
    }
  }
}

}  // namespace
}  // namespace Corvane::TalisFramework
