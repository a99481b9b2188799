#include "platform/marisk/SerialSampleSource.h"

#include <string>

namespace Corvane::Marisk {

namespace {

using TalisFramework::ByteArray;
using TalisFramework::ISerialPort;
using TalisFramework::SerialPort;

constexpr unsigned kReadBytes = 1024;

// The wait is only a turn of the loop, not a limit: the sensor may be quiet for long.
const boost::posix_time::time_duration kWaitTurn = boost::posix_time::seconds(1);
// A sample line arrives as one burst; a pause this long ends one read.
const boost::posix_time::time_duration kByteInterval = boost::posix_time::milliseconds(50);

// The port reports a line that hung up, with no byte left to read, as a SystemError of
// its own wording; for this program that is the end of input, not a failure.
bool IsHangUp(const SerialPort::SystemError& error) {
  const std::string text = error.what();
  const std::string mark = "hung up (end of input)";
  return text.size() >= mark.size() &&
         text.compare(text.size() - mark.size(), mark.size(), mark) == 0;
}

}  // namespace

SerialSampleSource::SerialSampleSource(const std::string& device, const std::string& programName)
    : logger(programName), port(device, logger) {
  port.Open(ISerialPort::BaudRate::Baud19200, ISerialPort::CharacterSize::Bits8,
            ISerialPort::Parity::None, ISerialPort::StopBits::One, ISerialPort::FlowControl::None);
}

bool SerialSampleSource::Read(std::string& bytes) {
  ByteArray data;
  for (;;) {
    bool readable = true;
    bool writable = false;
    if (!port.WaitForPortState(kWaitTurn, readable, writable, false) || !readable) {
      continue;
    }
    try {
      if (port.ReadWithIntervalTimer(data, kReadBytes, kByteInterval, nullptr, false) > 0) {
        bytes = data.ToString();
        return true;
      }
    } catch (const SerialPort::SystemError& e) {
      if (!IsHangUp(e)) {
        throw;
      }
      bytes.clear();
      return false;
    }
  }
}

}  // namespace Corvane::Marisk
