#include "serialterm/tests/PseudoTerminal.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace {

std::runtime_error Failed(const std::string& what) {
  return std::runtime_error("PseudoTerminal: " + what + ": " + strerror(errno));
}

}  // namespace

PseudoTerminal::PseudoTerminal(bool raw) {
  masterFd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (masterFd == -1) {
    throw Failed("posix_openpt()");
  }
  char name[128];
  if (grantpt(masterFd) != 0 || unlockpt(masterFd) != 0 ||
      ptsname_r(masterFd, name, sizeof name) != 0) {
    ::close(masterFd);
    throw Failed("grantpt/unlockpt/ptsname_r");
  }
  slavePath = name;
  slaveFd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveFd == -1) {
    ::close(masterFd);
    throw Failed("open(" + slavePath + ")");
  }
  if (raw) {
    termios settings{};
    tcgetattr(slaveFd, &settings);
    cfmakeraw(&settings);
    tcsetattr(slaveFd, TCSANOW, &settings);
  }
}

PseudoTerminal::~PseudoTerminal() {
  CloseMaster();
  ::close(slaveFd);
}

void PseudoTerminal::Write(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(masterFd, text.data() + done, text.size() - done);
    if (written == -1) {
      if (errno == EINTR) {
        continue;
      }
      throw Failed("write()");
    }
    done += static_cast<size_t>(written);
  }
}

bool PseudoTerminal::ReadSome(int ms) {
  pollfd fd{masterFd, POLLIN, 0};
  if (::poll(&fd, 1, ms) <= 0) {
    return false;
  }
  char buffer[4096];
  const ssize_t count = ::read(masterFd, buffer, sizeof buffer);
  if (count <= 0) {
    return false;
  }
  received.append(buffer, static_cast<size_t>(count));
  return true;
}

bool PseudoTerminal::WaitFor(const std::string& text, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (received.find(text) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return false;
    }
    ReadSome(static_cast<int>(left.count()));
  }
  return true;
}

bool PseudoTerminal::QuietFor(int ms) {
  return !ReadSome(ms);
}

termios PseudoTerminal::Settings() const {
  termios settings{};
  if (tcgetattr(slaveFd, &settings) != 0) {
    throw Failed("tcgetattr()");
  }
  return settings;
}

void PseudoTerminal::CloseMaster() {
  if (masterFd != -1) {
    ::close(masterFd);
    masterFd = -1;
  }
}

bool SameSettings(const termios& left, const termios& right) {
  return left.c_iflag == right.c_iflag && left.c_oflag == right.c_oflag &&
         left.c_cflag == right.c_cflag && left.c_lflag == right.c_lflag &&
         left.c_line == right.c_line && memcmp(left.c_cc, right.c_cc, sizeof left.c_cc) == 0 &&
         cfgetispeed(&left) == cfgetispeed(&right) && cfgetospeed(&left) == cfgetospeed(&right);
}
