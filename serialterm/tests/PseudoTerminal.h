#pragma once

#include <termios.h>

#include <string>

// A pseudo-terminal pair for tests: the program under test opens or inherits the slave
// side, the test reads and writes the master side. The test keeps a slave descriptor of
// its own, so the slave's settings outlive the program and can be compared afterwards.
class PseudoTerminal {
 public:
  // The slave side starts in the system's default (cooked) mode, or raw when `raw`.
  // Throws std::runtime_error.
  explicit PseudoTerminal(bool raw);
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  const std::string& SlavePath() const { return slavePath; }
  int Slave() const { return slaveFd; }

  // Writes all of `text` to the master side.
  void Write(const std::string& text);
  // Reads from the master side until everything read since the last Clear() contains
  // `text`; false after timeoutMs.
  bool WaitFor(const std::string& text, int timeoutMs);
  // True when nothing arrives at the master side within `ms`.
  bool QuietFor(int ms);
  // Everything read since the last Clear().
  const std::string& Received() const { return received; }
  void Clear() { received.clear(); }

  // The slave side's current settings.
  termios Settings() const;
  // Closes the master side: the slave side is hung up.
  void CloseMaster();

 private:
  // Reads what is there within `ms`; false when nothing came.
  bool ReadSome(int ms);

  int masterFd = -1;
  int slaveFd = -1;
  std::string slavePath;
  std::string received;
};

// True when the two settings agree in every field.
bool SameSettings(const termios& left, const termios& right);
