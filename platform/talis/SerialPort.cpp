#include "platform/talis/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ostream>
#include <string>

#include "framework/GetErrorDescription.h"
#include "framework/RetryOnEintr.h"

namespace Corvane::TalisFramework {

namespace {

using Clock = std::chrono::steady_clock;

Clock::duration ToDuration(const boost::posix_time::time_duration& duration) {
  if (duration.is_special() || duration.is_negative()) {
    return Clock::duration::zero();
  }
  return std::chrono::microseconds(duration.total_microseconds());
}

}  // namespace

void SerialPort::ApplySettings(struct termios& settings, BaudRate baudRate,
                               CharacterSize characterSize, Parity parity, StopBits stopBits,
                               FlowControl flowControl) {
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  settings.c_cflag |= static_cast<tcflag_t>(characterSize);
  settings.c_iflag &= ~static_cast<tcflag_t>(INPCK | IXON | IXOFF | IXANY);
  if (parity != ISerialPort::Parity::None) {
    settings.c_cflag |= PARENB;
    settings.c_iflag |= INPCK;
    if (parity == ISerialPort::Parity::Odd) {
      settings.c_cflag |= PARODD;
    }
  }
  if (stopBits == ISerialPort::StopBits::Two) {
    settings.c_cflag |= CSTOPB;
  }
  if (flowControl == ISerialPort::FlowControl::Hardware) {
    settings.c_cflag |= CRTSCTS;
  } else if (flowControl == ISerialPort::FlowControl::Software) {
    settings.c_iflag |= IXON | IXOFF;
  }
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  cfsetispeed(&settings, static_cast<speed_t>(baudRate));
  cfsetospeed(&settings, static_cast<speed_t>(baudRate));
}

namespace {

// poll() on one descriptor until `deadline`, retried with the time left when a signal
// interrupts it. Returns the returned events (0 at the deadline) or -1 with errno set.
int PollUntil(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    struct timespec timeout {};
    timeout.tv_sec = static_cast<time_t>(nanoseconds / 1000000000);
    timeout.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
    struct pollfd entry {};
    entry.fd = fd;
    entry.events = events;
    const int ready = ::ppoll(&entry, 1, &timeout, nullptr);
    if (ready >= 0) {
      return ready == 0 ? 0 : entry.revents;
    }
    if (errno != EINTR) {
      return -1;
    }
  }
}

}  // namespace

SerialPort::SerialPort(const std::string& deviceName, Logger& log)
    : device(deviceName), logger(log) {}

SerialPort::~SerialPort() {
  Close();
}

void SerialPort::Open(BaudRate baudRate, CharacterSize characterSize, Parity parity,
                      StopBits stopBits, FlowControl flowControl) {
  if (fd >= 0) {
    throw std::logic_error("SerialPort::Open: '" + device + "' is already open");
  }
  const int newFd = RetryOnEintr(
      [&] { return ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
  if (newFd < 0) {
    throw Failure("Open", "open()", errno);
  }
  struct termios settings {};
  if (::tcgetattr(newFd, &settings) != 0) {
    const int error = errno;
    ::close(newFd);
    throw Failure("Open", "tcgetattr()", error);
  }
  ApplySettings(settings, baudRate, characterSize, parity, stopBits, flowControl);
  if (RetryOnEintr([&] { return ::tcsetattr(newFd, TCSANOW, &settings); }) != 0) {
    const int error = errno;
    ::close(newFd);
    throw Failure("Open", "tcsetattr()", error);
  }
  fd = newFd;
}

void SerialPort::Close() {
  if (fd >= 0) {
    // Not retried: Linux frees the descriptor even when close() reports EINTR.
    ::close(fd);
    fd = -1;
  }
}

void SerialPort::SetRts(bool asserted) {
  SetModemLine(TIOCM_RTS, asserted, "SetRts");
}

void SerialPort::SetDtr(bool asserted) {
  SetModemLine(TIOCM_DTR, asserted, "SetDtr");
}

bool SerialPort::GetCts() {
  return GetModemLine(TIOCM_CTS, "GetCts");
}

bool SerialPort::GetDsr() {
  return GetModemLine(TIOCM_DSR, "GetDsr");
}

bool SerialPort::GetDcd() {
  return GetModemLine(TIOCM_CAR, "GetDcd");
}

void SerialPort::Write(const ByteArray& data) {
  const int portFd = RequireOpen("Write");
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t written =
        RetryOnEintr([&] { return ::write(portFd, data.data() + done, data.size() - done); });
    if (written >= 0) {
      done += static_cast<std::size_t>(written);
      continue;
    }
    const int error = errno;
    if (error != EAGAIN) {
      throw Failure("Write", "write()", error);
    }
    // The output queue is full (flow control, a slow line): wait until it drains.
    if (PollUntil(portFd, POLLOUT, Clock::time_point::max()) < 0) {
      throw Failure("Write", "ppoll()", errno);
    }
  }
}

bool SerialPort::WaitForPortState(const boost::posix_time::time_duration& timeout, bool& readable,
                                  bool& writable, bool throwOnTimeout) {
  const int portFd = RequireOpen("WaitForPortState");
  const bool wantRead = readable;
  const bool wantWrite = writable;
  const short events = static_cast<short>((wantRead ? POLLIN : 0) | (wantWrite ? POLLOUT : 0));
  const int revents = PollUntil(portFd, events, Clock::now() + ToDuration(timeout));
  if (revents < 0) {
    throw Failure("WaitForPortState", "ppoll()", errno);
  }
  readable = wantRead && (revents & (POLLIN | POLLHUP | POLLERR)) != 0;
  writable = wantWrite && (revents & (POLLOUT | POLLERR)) != 0;
  if (readable || writable) {
    return true;
  }
  if (throwOnTimeout) {
    throw Timeout("SerialPort::WaitForPortState: '" + device + "' timed out after " +
                  std::to_string(timeout.total_milliseconds()) + " ms");
  }
  return false;
}

std::size_t SerialPort::ReadWithIntervalTimer(ByteArray& data, unsigned maxBytes,
                                              const boost::posix_time::time_duration& interval,
                                              const unsigned char* terminator,
                                              bool throwOnTimeout) {
  const int portFd = RequireOpen("ReadWithIntervalTimer");
  data.clear();
  bool endOfInput = false;
  unsigned char chunk[1024];
  while (data.size() < maxBytes && !endOfInput) {
    const int revents = PollUntil(portFd, POLLIN, Clock::now() + ToDuration(interval));
    if (revents < 0) {
      throw Failure("ReadWithIntervalTimer", "ppoll()", errno);
    }
    if (revents == 0) {
      break;
    }
    // With a terminator, bytes are taken one at a time so none after it is consumed.
    const std::size_t wanted =
        terminator != nullptr ? 1 : std::min(sizeof chunk, maxBytes - data.size());
    const ssize_t count = RetryOnEintr([&] { return ::read(portFd, chunk, wanted); });
    if (count < 0) {
      const int error = errno;
      if (error == EAGAIN) {
        continue;
      }
      // What was read is returned; the next call reports the error.
      if (!data.empty()) {
        break;
      }
      throw Failure("ReadWithIntervalTimer", "read()", error);
    }
    endOfInput = count == 0;
    data.append(chunk, static_cast<std::size_t>(count));
    if (terminator != nullptr && count == 1 && chunk[0] == *terminator) {
      break;
    }
  }
  if (data.empty() && endOfInput) {
    throw SystemError("SerialPort::ReadWithIntervalTimer: '" + device + "' hung up (end of input)");
  }
  if (data.empty() && maxBytes > 0 && throwOnTimeout) {
    throw Timeout("SerialPort::ReadWithIntervalTimer: '" + device + "' no byte within " +
                  std::to_string(interval.total_milliseconds()) + " ms");
  }
  return data.size();
}

int SerialPort::RequireOpen(const char* operation) const {
  if (fd < 0) {
    throw std::logic_error(std::string("SerialPort::") + operation + ": '" + device +
                           "' is not open");
  }
  return fd;
}

void SerialPort::SetModemLine(int line, bool asserted, const char* operation) {
  const int portFd = RequireOpen(operation);
  if (::ioctl(portFd, asserted ? TIOCMBIS : TIOCMBIC, &line) == 0) {
    return;
  }
  const int error = errno;
  if (error == ENOTTY || error == EINVAL) {
    NoteNoModemLines();
    return;
  }
  throw Failure(operation, asserted ? "ioctl(TIOCMBIS)" : "ioctl(TIOCMBIC)", error);
}

bool SerialPort::GetModemLine(int line, const char* operation) {
  const int portFd = RequireOpen(operation);
  int status = 0;
  if (::ioctl(portFd, TIOCMGET, &status) == 0) {
    return (status & line) != 0;
  }
  const int error = errno;
  if (error == ENOTTY || error == EINVAL) {
    NoteNoModemLines();
    return false;
  }
  throw Failure(operation, "ioctl(TIOCMGET)", error);
}

void SerialPort::NoteNoModemLines() {
  if (!noModemLinesLogged.exchange(true)) {
    logger.noticeStream << "SerialPort: '" << device
                        << "' has no modem lines; CTS, DSR and DCD read as not asserted, RTS "
                           "and DTR are ignored"
                        << std::endl;
  }
}

SerialPort::SystemError SerialPort::Failure(const char* operation, const char* call,
                                            int errorNumber) const {
  return SystemError(std::string("SerialPort::") + operation + ": " + call + " failed for '" +
                     device + "': " + GetErrorDescription(errorNumber) + " (error #" +
                     std::to_string(errorNumber) + ")");
}

}  // namespace Corvane::TalisFramework
