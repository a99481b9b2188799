// A sensor library for the ecohost tests: reports how it was called and returns 3.
// It writes with write() straight to the descriptor, so a line that the host left in
// its stream buffer would show up after this output.

#include <unistd.h>

#include <string>

#include "platform/marisk/EcoSensorProgram.h"

extern "C" int EcoSensorProgram(int argc, char** argv) {
  std::string report = "argc=" + std::to_string(argc) + "\n";
  for (int i = 0; i < argc; ++i) {
    report += "argv[" + std::to_string(i) + "]=" + argv[i] + "\n";
  }
  report += std::string("argv[argc]=") + (argv[argc] == nullptr ? "null" : "set") + "\n";
  if (::write(STDOUT_FILENO, report.data(), report.size()) != static_cast<ssize_t>(report.size())) {
    return 1;
  }
  return 3;
}
