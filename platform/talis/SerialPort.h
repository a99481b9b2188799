#pragma once

#include <termios.h>

#include <atomic>
#include <stdexcept>
#include <string>

#include "platform/talis/ISerialPort.h"
#include "platform/talis/Logger.h"

namespace Corvane::TalisFramework {

// A serial port on a terminal device (/dev/ttyS0, /dev/ttyUSB0, a pseudo-terminal),
// driven through termios in raw mode. Closed until Open and by the destructor.
//
// Failed system calls throw SystemError naming the call, the device and the system's
// text. A device without modem lines (a pseudo-terminal) reports CTS, DSR and DCD as not
// asserted and ignores RTS and DTR, saying so once on the logger's notice stream.
//
// Thread-safety: one thread may Write while another waits and reads. Open and Close
// must not run while another thread uses the port.
class SerialPort : public ISerialPort {
 public:
  class SystemError : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };
  // Thrown by WaitForPortState and ReadWithIntervalTimer when `throwOnTimeout` is set.
  class Timeout : public std::runtime_error {
   public:
    using std::runtime_error::runtime_error;
  };

  // `logger` is not owned and must outlive the port.
  SerialPort(const std::string& device, Logger& logger);
  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  const std::string& GetDevice() const { return device; }

  // Turns `settings` into raw mode with the given line settings (what Open applies).
  static void ApplySettings(struct termios& settings, BaudRate baudRate,
                            CharacterSize characterSize, Parity parity, StopBits stopBits,
                            FlowControl flowControl);

  // Opens the device (read-write, not as controlling terminal, close-on-exec) and sets
  // raw mode with the given settings; the receiver is enabled and modem control lines
  // are ignored for the connection (CLOCAL). Throws std::logic_error when already open,
  // SystemError when the device cannot be opened or set up.
  void Open(BaudRate baudRate, CharacterSize characterSize, Parity parity, StopBits stopBits,
            FlowControl flowControl) override;
  void Close() override;
  bool IsOpen() const override { return fd >= 0; }

  void SetRts(bool asserted) override;
  void SetDtr(bool asserted) override;
  bool GetCts() override;
  bool GetDsr() override;
  bool GetDcd() override;

  void Write(const ByteArray& data) override;

  // Readable also when the other side hung up or the device reports an error, so that
  // the following read reports it. Throws Timeout ("SerialPort::WaitForPortState: ...")
  // when nothing asked for holds within `timeout` and `throwOnTimeout` is set.
  bool WaitForPortState(const boost::posix_time::time_duration& timeout, bool& readable,
                        bool& writable, bool throwOnTimeout) override;

  // Ends early, with what was read, when the device hangs up (end of input); a hang-up
  // before any byte throws SystemError. Throws Timeout when no byte at all arrived within the first
  // `interval` and `throwOnTimeout` is set.
  std::size_t ReadWithIntervalTimer(ByteArray& data, unsigned maxBytes,
                                    const boost::posix_time::time_duration& interval,
                                    const unsigned char* terminator, bool throwOnTimeout) override;

 private:
  int RequireOpen(const char* operation) const;
  void SetModemLine(int line, bool asserted, const char* operation);
  bool GetModemLine(int line, const char* operation);
  void NoteNoModemLines();
  // "SerialPort::OPERATION: CALL failed for 'DEVICE': TEXT (error #N)"
  SystemError Failure(const char* operation, const char* call, int errorNumber) const;

  std::string device;
  Logger& logger;
  int fd = -1;
  std::atomic<bool> noModemLinesLogged{false};
};

}  // namespace Corvane::TalisFramework
