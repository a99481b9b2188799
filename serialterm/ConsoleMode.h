#pragma once

#include <termios.h>

// Switches a terminal descriptor to the raw mode of the serial terminal and puts the
// saved settings back when destroyed. Not copyable; not thread-safe.
class ConsoleMode {
 public:
  // Touches nothing yet; the descriptor is not owned.
  explicit ConsoleMode(int terminalFd) : fd(terminalFd) {}
  // Restores the settings saved by MakeRaw (if it saved any). A terminal that has gone
  // away (hung up) cannot be restored; that failure is ignored.
  ~ConsoleMode();
  ConsoleMode(const ConsoleMode&) = delete;
  ConsoleMode& operator=(const ConsoleMode&) = delete;

  // Saves the current settings and applies RawSettings(original) at once (TCSANOW).
  // Throws std::runtime_error when the settings cannot be read or applied, for example
  // when the descriptor is not a terminal.
  void MakeRaw();

  // The raw settings derived from `original`: cfmakeraw, ISTRIP cleared, reads of one byte
  // without a timer, no special characters except START (0x11) and STOP (0x13).
  static termios RawSettings(const termios& original);

 private:
  int fd;
  bool saved = false;
  termios savedSettings{};
};
