#include "serialterm/ConsoleMode.h"

#include <errno.h>

#include <stdexcept>
#include <string>

#include "framework/GetErrorDescription.h"
#include "framework/RetryOnEintr.h"

using Corvane::TalisFramework::GetErrorDescription;
using Corvane::TalisFramework::RetryOnEintr;

namespace {

std::runtime_error CallFailed(const char* operation, const char* call, int fd, int errorNumber) {
  return std::runtime_error(std::string("ConsoleMode::") + operation + ": " + call +
                            " failed on descriptor " + std::to_string(fd) + ": " +
                            std::to_string(errorNumber) + " " + GetErrorDescription(errorNumber));
}

}  // namespace

ConsoleMode::~ConsoleMode() {
  if (saved) {
    RetryOnEintr([&] { return ::tcsetattr(fd, TCSANOW, &savedSettings); });
  }
}

void ConsoleMode::MakeRaw() {
  termios current{};
  if (::tcgetattr(fd, &current) != 0) {
    throw CallFailed("MakeRaw", "tcgetattr()", fd, errno);
  }
  savedSettings = current;
  saved = true;
  const termios raw = RawSettings(current);
  if (RetryOnEintr([&] { return ::tcsetattr(fd, TCSANOW, &raw); }) != 0) {
    throw CallFailed("MakeRaw", "tcsetattr()", fd, errno);
  }
}

termios ConsoleMode::RawSettings(const termios& original) {
  termios raw = original;
  ::cfmakeraw(&raw);
  raw.c_iflag &= ~static_cast<tcflag_t>(ISTRIP);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  for (int index : {VINTR, VQUIT, VERASE, VKILL, VEOF, VEOL, VSUSP}) {
    raw.c_cc[index] = 0;
  }
  raw.c_cc[VSTART] = 0x11;
  raw.c_cc[VSTOP] = 0x13;
  return raw;
}
