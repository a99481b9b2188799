#pragma once

#include <termios.h>

#include <cstddef>

#include <boost/date_time/posix_time/posix_time_types.hpp>

#include "platform/talis/ByteArray.h"

namespace Corvane::TalisFramework {

// A serial port: its settings, its modem lines and byte transfer. SerialPort is the
// implementation over a terminal device.
class ISerialPort {
 public:
  // The terminal interface's speed codes (Baud19200 is B19200, 14).
  enum class BaudRate : unsigned {
    Baud50 = B50,
    Baud75 = B75,
    Baud110 = B110,
    Baud134 = B134,
    Baud150 = B150,
    Baud200 = B200,
    Baud300 = B300,
    Baud600 = B600,
    Baud1200 = B1200,
    Baud1800 = B1800,
    Baud2400 = B2400,
    Baud4800 = B4800,
    Baud9600 = B9600,
    Baud19200 = B19200,
    Baud38400 = B38400,
    Baud57600 = B57600,
    Baud115200 = B115200,
    Baud230400 = B230400,
    Baud460800 = B460800,
    Baud500000 = B500000,
    Baud576000 = B576000,
    Baud921600 = B921600,
    Baud1000000 = B1000000,
    Baud1152000 = B1152000,
    Baud1500000 = B1500000,
    Baud2000000 = B2000000,
    Baud2500000 = B2500000,
    Baud3000000 = B3000000,
    Baud3500000 = B3500000,
    Baud4000000 = B4000000,
  };
  // The terminal interface's character-size flags (Bits8 is CS8, 0x30).
  enum class CharacterSize : unsigned { Bits5 = CS5, Bits6 = CS6, Bits7 = CS7, Bits8 = CS8 };
  enum class Parity { Even = 0, Odd = 1, None = 2 };
  enum class StopBits { One = 1, Two = 2 };
  enum class FlowControl { Hardware = 0, Software = 1, None = 2 };

  virtual ~ISerialPort();

  // The BaudRate for a rate in bits per second: the standard rates from 50 to 4000000.
  // Throws std::invalid_argument("unsupported baud rate N") for any other number.
  static BaudRate NumToBaudRate(unsigned long bitsPerSecond);
  // The rate in bits per second of a BaudRate (0 for a value that is none of them).
  static unsigned long BaudRateToNum(BaudRate rate);

  virtual void Open(BaudRate baudRate, CharacterSize characterSize, Parity parity,
                    StopBits stopBits, FlowControl flowControl) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  virtual void SetRts(bool asserted) = 0;
  virtual void SetDtr(bool asserted) = 0;
  virtual bool GetCts() = 0;
  virtual bool GetDsr() = 0;
  virtual bool GetDcd() = 0;

  // Sends every byte of `data`.
  virtual void Write(const ByteArray& data) = 0;

  // Waits at most `timeout` for the states asked for on entry (`readable`, `writable`)
  // and says on return which hold. Returns true when one of them holds.
  virtual bool WaitForPortState(const boost::posix_time::time_duration& timeout, bool& readable,
                                bool& writable, bool throwOnTimeout) = 0;

  // Replaces `data` with at most `maxBytes` bytes read from the port. The read ends when
  // no byte arrives within `interval` (also before the first), when the byte
  // `*terminator` has been read (kept in `data`; no terminator when null), or when
  // `maxBytes` bytes were read. Returns the number of bytes read.
  virtual std::size_t ReadWithIntervalTimer(ByteArray& data, unsigned maxBytes,
                                            const boost::posix_time::time_duration& interval,
                                            const unsigned char* terminator,
                                            bool throwOnTimeout) = 0;
};

}  // namespace Corvane::TalisFramework
