#pragma once

#include <string>

#include "platform/marisk/ErrorStreamLogger.h"
#include "platform/marisk/SampleSource.h"
#include "platform/talis/SerialPort.h"

namespace Corvane::Marisk {

// An ECO sensor on a serial line: 19200 bit/s, 8 data bits, no parity, one stop bit,
// no flow control. Input ends when the line hangs up (the device reports end of
// file); an unfinished line is then half a sample and not a complete one.
class SerialSampleSource : public SampleSource {
 public:
  // Opens the port; throws std::runtime_error naming the device when it cannot.
  // `programName` heads the port's own log lines on standard error.
  SerialSampleSource(const std::string& device, const std::string& programName);

  bool Read(std::string& bytes) override;
  bool EndCompletesLine() const override { return false; }

 private:
  ErrorStreamLogger logger;  // outlives the port, which logs to it
  TalisFramework::SerialPort port;
};

}  // namespace Corvane::Marisk
