#include "platform/marisk/EcoSensorProgram.h"

#include <errno.h>
#include <sys/stat.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "framework/GetErrorDescription.h"
#include "platform/marisk/FileSampleSource.h"
#include "platform/marisk/SampleLineAssembler.h"
#include "platform/marisk/SerialSampleSource.h"

namespace {

using Corvane::Marisk::FileSampleSource;
using Corvane::Marisk::SampleLineAssembler;
using Corvane::Marisk::SampleSource;
using Corvane::Marisk::SerialSampleSource;

struct Arguments {
  std::string source;
  unsigned long maxSamples = 0;  // 0: until the end of input
};

// A positive decimal number without sign or blanks that fits an unsigned long.
bool ParseCount(const std::string& text, unsigned long& count) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  errno = 0;
  count = std::strtoul(text.c_str(), nullptr, 10);
  return errno != ERANGE && count > 0;
}

bool ParseArguments(int argc, char** argv, Arguments& arguments) {
  if (argc < 2 || argc > 3 || argv[1][0] == '\0') {
    return false;
  }
  arguments.source = argv[1];
  return argc == 2 || ParseCount(argv[2], arguments.maxSamples);
}

// A character device is taken for a serial line (one that is no terminal then fails to
// open as one); everything else is read as it stands.
std::unique_ptr<SampleSource> OpenSource(const std::string& path, const std::string& program) {
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) {
    const int error = errno;
    throw std::runtime_error("cannot open '" + path +
                             "': " + Corvane::TalisFramework::GetErrorDescription(error));
  }
  if (S_ISCHR(status.st_mode)) {
    return std::make_unique<SerialSampleSource>(path, program);
  }
  return std::make_unique<FileSampleSource>(path);
}

class SampleWriter {
 public:
  SampleWriter(const std::string& programName, unsigned long maxSamples)
      : program(programName), limit(maxSamples) {}

  // Writes one sample line and flushes it; false once the requested number is written.
  // Throws std::runtime_error when standard output fails.
  bool Write(const std::string& line) {
    std::cout << line << std::endl;
    if (!std::cout) {
      throw std::runtime_error("cannot write to standard output");
    }
    return ++written != limit;
  }

  void ReportDropped(const SampleLineAssembler& assembler) {
    for (; dropped < assembler.DroppedLines(); ++dropped) {
      std::cerr << program << ": dropped a line longer than " << SampleLineAssembler::kMaxLineBytes
                << " bytes" << std::endl;
    }
  }

 private:
  std::string program;
  unsigned long limit;
  unsigned long written = 0;
  std::size_t dropped = 0;
};

int CopySamples(const std::string& program, const Arguments& arguments) {
  std::unique_ptr<SampleSource> source = OpenSource(arguments.source, program);
  SampleLineAssembler assembler;
  SampleWriter writer(program, arguments.maxSamples);
  std::string bytes;
  while (source->Read(bytes)) {
    for (const std::string& line : assembler.Append(bytes.data(), bytes.size())) {
      if (!writer.Write(line)) {
        return 0;
      }
    }
    writer.ReportDropped(assembler);
  }
  // A sender cut off in the middle of a line leaves half a sample; a file simply ends.
  const std::string last = assembler.Finish();
  if (source->EndCompletesLine() && !last.empty()) {
    writer.Write(last);
  }
  return 0;
}

}  // namespace

extern "C" int EcoSensorProgram(int argc, char** argv) {
  const std::string program = argc > 0 ? argv[0] : "EcoSensorProgram";
  Arguments arguments;
  if (!ParseArguments(argc, argv, arguments)) {
    std::cerr << "Usage: " << program << " serial-device-or-file [sample-count]" << std::endl;
    return 2;
  }
  // Nothing may leave a function called through C linkage.
  try {
    return CopySamples(program, arguments);
  } catch (const std::exception& e) {
    std::cerr << program << ": " << e.what() << std::endl;
  } catch (...) {
    std::cerr << program << ": unknown failure" << std::endl;
  }
  return 1;
}
